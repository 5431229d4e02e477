#include "db/DbFilter.h"

#include "core/Errors.h"
#include "db/DbErrors.h"
#include "db/DbQuery.h"
#include "db/FieldValues.h"

#include <vector>

namespace kestrum {

struct TDbFilterExpression::Node {
    enum Kind { And, Or, Not, Compare, Like, Between, In, IsNull };
    Kind kind;
    std::vector<std::unique_ptr<Node>> children; // And, Or, Not
    int field = -1;
    TFieldType type = ftUnknown;
    QString op;                  // comparison operator
    bool negated = false;        // NOT LIKE, NOT BETWEEN, NOT IN, IS NOT NULL
    std::vector<Variant> values; // literals (Null for NULL)
};

namespace {

struct Token {
    enum Kind { Name, Text, Number, Op, LParen, RParen, Comma, End };
    Kind kind;
    QString text;
};

class Parser {
public:
    Parser(const QString &text, const TDbQuery &dataSet) : FText(text), FDataSet(dataSet) { Advance(); }

    std::unique_ptr<TDbFilterExpression::Node> ParseAll()
    {
        auto node = ParseOr();
        if (FToken.kind != Token::End)
            Fail("此处不应出现“" + FToken.text + "”");
        return node;
    }

private:
    using Node = TDbFilterExpression::Node;

    [[noreturn]] void Fail(const QString &what) const
    {
        throw EDatabaseError("无法读懂筛选条件“" + FText.toStdString() + "”：" + what.toStdString() + "。");
    }

    bool IsWord(const char *word) const
    {
        return FToken.kind == Token::Name &&
               FToken.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    void Advance()
    {
        const qsizetype n = FText.size();
        while (FPos < n && FText[FPos].isSpace())
            ++FPos;
        if (FPos >= n) {
            FToken = {Token::End, QStringLiteral("end")};
            return;
        }
        const QChar c = FText[FPos];
        if (c == '\'' || c == '"') {
            QString text;
            ++FPos;
            for (;;) {
                if (FPos >= n)
                    Fail(QStringLiteral("引号没有闭合"));
                if (FText[FPos] == c) {
                    if (FPos + 1 < n && FText[FPos + 1] == c) {
                        text += c;
                        FPos += 2;
                        continue;
                    }
                    ++FPos;
                    break;
                }
                text += FText[FPos++];
            }
            FToken = {Token::Text, text};
        } else if (c == '[') {
            const qsizetype close = FText.indexOf(']', FPos);
            if (close < 0)
                Fail(QStringLiteral("“[”没有闭合"));
            FToken = {Token::Name, FText.mid(FPos + 1, close - FPos - 1)};
            FQuotedName = true;
            FPos = close + 1;
            return;
        } else if (c.isDigit() || ((c == '-' || c == '.') && FPos + 1 < n && FText[FPos + 1].isDigit())) {
            const qsizetype start = FPos++;
            while (FPos < n &&
                   (FText[FPos].isDigit() || FText[FPos] == '.' || FText[FPos] == 'e' || FText[FPos] == 'E'))
                ++FPos;
            FToken = {Token::Number, FText.mid(start, FPos - start)};
        } else if (c.isLetterOrNumber() || c == '_') {
            const qsizetype start = FPos;
            while (FPos < n && (FText[FPos].isLetterOrNumber() || FText[FPos] == '_'))
                ++FPos;
            FToken = {Token::Name, FText.mid(start, FPos - start)};
        } else if (c == '(') {
            FToken = {Token::LParen, QStringLiteral("(")};
            ++FPos;
        } else if (c == ')') {
            FToken = {Token::RParen, QStringLiteral(")")};
            ++FPos;
        } else if (c == ',') {
            FToken = {Token::Comma, QStringLiteral(",")};
            ++FPos;
        } else if (c == '<' || c == '>' || c == '=' || c == '!') {
            const qsizetype start = FPos++;
            if (FPos < n && (FText[FPos] == '=' || (c == '<' && FText[FPos] == '>')))
                ++FPos;
            FToken = {Token::Op, FText.mid(start, FPos - start)};
            if (FToken.text == QStringLiteral("!"))
                Fail(QStringLiteral("此处不应出现“!”"));
        } else {
            Fail("此处不应出现“" + QString(c) + "”");
        }
        FQuotedName = false;
    }

    std::unique_ptr<Node> ParseOr()
    {
        auto left = ParseAnd();
        while (IsWord("or")) {
            Advance();
            auto node = std::make_unique<Node>();
            node->kind = Node::Or;
            node->children.push_back(std::move(left));
            node->children.push_back(ParseAnd());
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<Node> ParseAnd()
    {
        auto left = ParseNot();
        while (IsWord("and")) {
            Advance();
            auto node = std::make_unique<Node>();
            node->kind = Node::And;
            node->children.push_back(std::move(left));
            node->children.push_back(ParseNot());
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<Node> ParseNot()
    {
        if (IsWord("not") && !FQuotedName) {
            Advance();
            auto node = std::make_unique<Node>();
            node->kind = Node::Not;
            node->children.push_back(ParseNot());
            return node;
        }
        if (FToken.kind == Token::LParen) {
            Advance();
            auto inner = ParseOr();
            if (FToken.kind != Token::RParen)
                Fail(QStringLiteral("“(”没有闭合"));
            Advance();
            return inner;
        }
        return ParseComparison();
    }

    Variant ParseLiteral()
    {
        Variant value;
        if (FToken.kind == Token::Text)
            value = Variant(FToken.text);
        else if (FToken.kind == Token::Number)
            value = Variant(FToken.text.toDouble());
        else if (IsWord("null"))
            value = Variant::null();
        else
            Fail("此处应是一个值，而不是“" + FToken.text + "”");
        Advance();
        return value;
    }

    std::unique_ptr<Node> ParseComparison()
    {
        if (FToken.kind != Token::Name)
            Fail("此处应是一个字段名，而不是“" + FToken.text + "”");
        const TDbField *field = FDataSet.FindField(FToken.text);
        if (!field)
            Fail("没有字段“" + FToken.text + "”");
        Advance();
        auto node = std::make_unique<Node>();
        node->field = field->Index();
        node->type = field->DataType();
        if (IsWord("not")) {
            node->negated = true;
            Advance();
        }
        if (FToken.kind == Token::Op && !node->negated) {
            node->kind = Node::Compare;
            node->op = FToken.text == QStringLiteral("!=") ? QStringLiteral("<>") : FToken.text;
            Advance();
            node->values.push_back(ParseLiteral());
            if (node->values.front().isNull()) { // "= NULL" and "<> NULL" test for null
                node->kind = Node::IsNull;
                node->negated = node->op == QStringLiteral("<>");
                if (node->op != QStringLiteral("=") && node->op != QStringLiteral("<>"))
                    Fail(QStringLiteral("NULL 只能用 = 或 <> 比较"));
            }
        } else if (IsWord("like")) {
            node->kind = Node::Like;
            Advance();
            node->values.push_back(ParseLiteral());
        } else if (IsWord("between")) {
            node->kind = Node::Between;
            Advance();
            node->values.push_back(ParseLiteral());
            if (!IsWord("and"))
                Fail(QStringLiteral("BETWEEN 后面缺少 AND"));
            Advance();
            node->values.push_back(ParseLiteral());
        } else if (IsWord("in")) {
            node->kind = Node::In;
            Advance();
            if (FToken.kind != Token::LParen)
                Fail(QStringLiteral("IN 后面需要一个括号括起的列表"));
            Advance();
            for (;;) {
                node->values.push_back(ParseLiteral());
                if (FToken.kind == Token::Comma) {
                    Advance();
                    continue;
                }
                if (FToken.kind != Token::RParen)
                    Fail(QStringLiteral("IN 的列表没有闭合"));
                Advance();
                break;
            }
        } else if (IsWord("is") && !node->negated) {
            node->kind = Node::IsNull;
            Advance();
            if (IsWord("not")) {
                node->negated = true;
                Advance();
            }
            if (!IsWord("null"))
                Fail(QStringLiteral("IS 后面缺少 NULL"));
            Advance();
        } else {
            Fail("此处应是一个运算符，而不是“" + FToken.text + "”");
        }
        return node;
    }

    QString FText;
    const TDbQuery &FDataSet;
    qsizetype FPos = 0;
    Token FToken{Token::End, {}};
    bool FQuotedName = false;
};

// LIKE with % (any run) and _ (any one character).
bool LikeMatch(const QString &text, qsizetype t, const QString &pattern, qsizetype p, Qt::CaseSensitivity cs)
{
    while (p < pattern.size()) {
        const QChar c = pattern[p];
        if (c == '%') {
            while (p < pattern.size() && pattern[p] == '%')
                ++p;
            if (p == pattern.size())
                return true;
            for (qsizetype k = t; k <= text.size(); ++k)
                if (LikeMatch(text, k, pattern, p, cs))
                    return true;
            return false;
        }
        if (t >= text.size())
            return false;
        if (c != '_' && QString::compare(QString(c), QString(text[t]), cs) != 0)
            return false;
        ++p;
        ++t;
    }
    return t == text.size();
}

// -1, 0, 1; throws when the literal cannot be read as the field's kind.
int CompareValues(const Variant &cell, const Variant &literal, TFieldType type, TFilterOptions options,
                  bool &partialMatch)
{
    partialMatch = false;
    if (IsNumericType(type) || type == ftBoolean) {
        const double a = cell.toDouble();
        const double b =
            literal.isString() ? Variant(literal.toString().trimmed()).toDouble() : literal.toDouble();
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    if (IsDateType(type)) {
        const double a = cell.toDate();
        const double b =
            literal.isString() ? Variant(literal.toString().trimmed()).toDate() : literal.toDate();
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    const QString a = cell.toString();
    QString b = literal.toString();
    const auto cs = (options & foCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (!(options & foNoPartialCompare) && b.endsWith('*')) {
        b.chop(1);
        partialMatch = true;
        if (a.startsWith(b, cs))
            return 0;
    }
    const int c = QString::compare(a, b, cs);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool Evaluate(const TDbFilterExpression::Node &node, const std::function<Variant(int)> &value,
              TFilterOptions options)
{
    using Node = TDbFilterExpression::Node;
    switch (node.kind) {
    case Node::And:
        return Evaluate(*node.children[0], value, options) && Evaluate(*node.children[1], value, options);
    case Node::Or:
        return Evaluate(*node.children[0], value, options) || Evaluate(*node.children[1], value, options);
    case Node::Not:
        return !Evaluate(*node.children[0], value, options);
    default:
        break;
    }
    const Variant cell = value(node.field);
    if (node.kind == Node::IsNull)
        return cell.isNull() != node.negated;
    if (cell.isNull())
        return false; // a null field satisfies no comparison
    bool partial;
    try {
        switch (node.kind) {
        case Node::Compare: {
            if (node.values[0].isNull())
                return false;
            const int c = CompareValues(cell, node.values[0], node.type, options, partial);
            const QString &op = node.op;
            if (op == QStringLiteral("=") || op == QStringLiteral("=="))
                return c == 0;
            if (op == QStringLiteral("<>"))
                return c != 0;
            if (op == QStringLiteral("<"))
                return c < 0;
            if (op == QStringLiteral("<="))
                return c <= 0;
            if (op == QStringLiteral(">"))
                return c > 0;
            return c >= 0;
        }
        case Node::Like: {
            const auto cs = (options & foCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
            return LikeMatch(cell.toString(), 0, node.values[0].toString(), 0, cs) != node.negated;
        }
        case Node::Between: {
            const bool inside =
                CompareValues(cell, node.values[0], node.type, options | foNoPartialCompare, partial) >= 0 &&
                CompareValues(cell, node.values[1], node.type, options | foNoPartialCompare, partial) <= 0;
            return inside != node.negated;
        }
        case Node::In: {
            bool found = false;
            for (const Variant &v : node.values)
                if (!v.isNull() && CompareValues(cell, v, node.type, options, partial) == 0)
                    found = true;
            return found != node.negated;
        }
        default:
            return false;
        }
    } catch (const Exception &) {
        return false; // a value that cannot be read as the field's kind matches nothing
    }
}

} // namespace

TDbFilterExpression::~TDbFilterExpression() = default;

std::unique_ptr<TDbFilterExpression> TDbFilterExpression::Parse(const QString &text, const TDbQuery &dataSet)
{
    std::unique_ptr<TDbFilterExpression> expression(new TDbFilterExpression);
    expression->FRoot = Parser(text, dataSet).ParseAll();
    return expression;
}

bool TDbFilterExpression::Matches(const std::function<Variant(int)> &value, TFilterOptions options) const
{
    return Evaluate(*FRoot, value, options);
}

} // namespace kestrum
