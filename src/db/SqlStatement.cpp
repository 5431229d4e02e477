#include "db/SqlStatement.h"

namespace kestrum {

namespace {

struct Token {
    enum Kind : std::uint8_t { Ident, Number, String, Param, Op, LParen, RParen, Comma, Dot, Other };
    Kind kind;
    qsizetype start; // in the source
    qsizetype end;
    QString text; // identifier unquoted, parameter name, operator text
};

bool IsNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == '_' || c == '$';
}

std::vector<Token> Tokenize(const QString &sql)
{
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto push = [&](Token::Kind kind, qsizetype start, qsizetype end, QString text) {
        tokens.push_back(Token{kind, start, end, std::move(text)});
    };
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            ++i;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const qsizetype close = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else if (c == '\'') {
            QString text;
            ++i;
            while (i < n) {
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += sql[i++];
            }
            push(Token::String, start, i, text);
        } else if (c == '"' || c == '[' || c == '`') {
            const QChar close = c == '[' ? QChar(']') : c;
            QString text;
            ++i;
            while (i < n && sql[i] != close)
                text += sql[i++];
            if (i < n)
                ++i;
            push(Token::Ident, start, i, text);
        } else if (c == ':') {
            if (i + 1 < n && sql[i + 1] == ':') {
                push(Token::Other, start, i + 2, QStringLiteral("::"));
                i += 2;
            } else if (i + 1 < n && IsNameChar(sql[i + 1])) {
                ++i;
                while (i < n && IsNameChar(sql[i]))
                    ++i;
                push(Token::Param, start, i, sql.mid(start + 1, i - start - 1));
            } else {
                push(Token::Other, start, ++i, QStringLiteral(":"));
            }
        } else if (c.isDigit() || (c == '.' && i + 1 < n && sql[i + 1].isDigit())) {
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == '.'))
                ++i;
            push(Token::Number, start, i, sql.mid(start, i - start));
        } else if (IsNameChar(c)) {
            while (i < n && IsNameChar(sql[i]))
                ++i;
            push(Token::Ident, start, i, sql.mid(start, i - start));
        } else if (c == '(') {
            push(Token::LParen, start, ++i, QStringLiteral("("));
        } else if (c == ')') {
            push(Token::RParen, start, ++i, QStringLiteral(")"));
        } else if (c == ',') {
            push(Token::Comma, start, ++i, QStringLiteral(","));
        } else if (c == '.') {
            push(Token::Dot, start, ++i, QStringLiteral("."));
        } else if (c == '<' || c == '>' || c == '=' || c == '!') {
            ++i;
            if (i < n && (sql[i] == '=' || (c == '<' && sql[i] == '>')))
                ++i;
            push(Token::Op, start, i, sql.mid(start, i - start));
        } else {
            push(Token::Other, start, ++i, QString(c));
        }
    }
    return tokens;
}

bool IsComparison(const Token &t)
{
    return t.kind == Token::Op && t.text != QStringLiteral("!");
}

bool IsKeyword(const Token &t, const char *word)
{
    return t.kind == Token::Ident && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// The operand that ends at token k (the left side of a comparison).
TDbOperand OperandEndingAt(const std::vector<Token> &tokens, qsizetype k)
{
    if (k < 0)
        return {};
    const Token &t = tokens[std::size_t(k)];
    switch (t.kind) {
    case Token::Ident:
        return {TDbOperand::Column, t.text};
    case Token::Number:
        return {TDbOperand::Number, t.text};
    case Token::String:
        return {TDbOperand::String, t.text};
    case Token::RParen: {
        int depth = 0;
        for (qsizetype m = k; m >= 0; --m) {
            const Token &u = tokens[std::size_t(m)];
            if (u.kind == Token::RParen)
                ++depth;
            else if (u.kind == Token::LParen && --depth == 0) {
                if (m > 0 && tokens[std::size_t(m - 1)].kind == Token::Ident)
                    return {TDbOperand::Function, tokens[std::size_t(m - 1)].text};
                return {};
            }
        }
        return {};
    }
    default:
        return {};
    }
}

// The operand that starts at token k (the right side of a comparison).
TDbOperand OperandStartingAt(const std::vector<Token> &tokens, std::size_t k)
{
    if (k >= tokens.size())
        return {};
    const Token &t = tokens[k];
    if (t.kind == Token::Other && t.text == QStringLiteral("-") && k + 1 < tokens.size() &&
        tokens[k + 1].kind == Token::Number)
        return {TDbOperand::Number, tokens[k + 1].text};
    if (t.kind == Token::Number)
        return {TDbOperand::Number, t.text};
    if (t.kind == Token::String)
        return {TDbOperand::String, t.text};
    if (t.kind != Token::Ident)
        return {};
    if (k + 1 < tokens.size() && tokens[k + 1].kind == Token::LParen)
        return {TDbOperand::Function, t.text};
    // A qualified name "t.col" names the column after the dot.
    std::size_t last = k;
    while (last + 2 < tokens.size() && tokens[last + 1].kind == Token::Dot &&
           tokens[last + 2].kind == Token::Ident)
        last += 2;
    return {TDbOperand::Column, tokens[last].text};
}

// What the parameter at token k is compared with, when the statement says.
TDbOperand PartnerOf(const std::vector<Token> &tokens, std::size_t k)
{
    const auto at = [&](qsizetype index) -> const Token * {
        return index >= 0 && index < qsizetype(tokens.size()) ? &tokens[std::size_t(index)] : nullptr;
    };
    const qsizetype i = qsizetype(k);
    if (const Token *prev = at(i - 1)) {
        if (IsComparison(*prev))
            return OperandEndingAt(tokens, i - 2);
        if (IsKeyword(*prev, "like"))
            return {TDbOperand::String, QString()};
        if (IsKeyword(*prev, "between"))
            return OperandEndingAt(tokens, i - 2);
        // x BETWEEN :a AND :b
        if (IsKeyword(*prev, "and")) {
            const Token *low = at(i - 2);
            const Token *between = at(i - 3);
            if (low && between && IsKeyword(*between, "between"))
                return OperandEndingAt(tokens, i - 4);
        }
        // x IN (:a, :b)
        if (prev->kind == Token::LParen || prev->kind == Token::Comma) {
            qsizetype m = i - 1;
            while (m >= 0 && tokens[std::size_t(m)].kind != Token::LParen)
                m -= 2;
            if (m >= 1 && IsKeyword(tokens[std::size_t(m - 1)], "in"))
                return OperandEndingAt(tokens, m - 2);
        }
    }
    if (const Token *next = at(i + 1); next && IsComparison(*next))
        return OperandStartingAt(tokens, k + 2);
    return {};
}

} // namespace

TDbStatementPlan ParseStatement(const QString &sql)
{
    TDbStatementPlan plan;
    const std::vector<Token> tokens = Tokenize(sql);
    QString rewritten;
    qsizetype copied = 0;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const Token &t = tokens[k];
        if (t.kind == Token::Ident && k + 1 < tokens.size() &&
            (IsKeyword(t, "from") || IsKeyword(t, "join")) && tokens[k + 1].kind == Token::Ident)
            plan.tables.append(tokens[k + 1].text);
        if (t.kind == Token::Other && t.text == QStringLiteral("::")) {
            // "::" stands for a literal colon.
            rewritten += sql.mid(copied, t.start - copied) + ':';
            copied = t.end;
            continue;
        }
        if (t.kind != Token::Param)
            continue;
        std::size_t index = 0;
        while (index < plan.names.size() && plan.names[index].compare(t.text, Qt::CaseInsensitive) != 0)
            ++index;
        if (index == plan.names.size()) {
            plan.names.push_back(t.text);
            plan.operands.emplace_back();
        }
        const TDbOperand partner = PartnerOf(tokens, k);
        if (partner.kind != TDbOperand::None)
            plan.operands[index].push_back(partner);
        rewritten += sql.mid(copied, t.start - copied) + '?' + QString::number(index + 1);
        copied = t.end;
    }
    rewritten += sql.mid(copied);
    plan.sql = rewritten.toStdString();
    return plan;
}

} // namespace kestrum
