#include "db/NumberPattern.h"

#include "core/RegionalSettings.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace kestrum {

namespace {

enum class TokenKind { Literal, IntDigit, Point, FracDigit };

struct Token {
    TokenKind kind;
    QString text; // literal text, or the placeholder character
};

struct Section {
    std::vector<Token> tokens;
    bool thousands = false;
    int intPlaceholders = 0;
    int intMinDigits = 0; // placeholders from the first "0" on
    int fracPlaceholders = 0;
    int fracMinDigits = 0; // up to the last "0"
    bool hasPlaceholder() const { return intPlaceholders + fracPlaceholders > 0; }
};

//! Splits at ";" outside quotes; at most three sections count.
std::vector<QString> splitSections(const QString &pattern)
{
    std::vector<QString> sections(1);
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back().append(c);
    }
    if (sections.size() > 3)
        sections.resize(3);
    return sections;
}

Section parseSection(const QString &text)
{
    Section section;
    bool afterPoint = false;
    bool seenIntZero = false;
    auto literal = [&](QString chars) {
        if (!section.tokens.empty() && section.tokens.back().kind == TokenKind::Literal)
            section.tokens.back().text += chars;
        else
            section.tokens.push_back({TokenKind::Literal, chars});
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == '\'' || c == '"') {
            qsizetype close = text.indexOf(c, i + 1);
            if (close < 0)
                close = text.size();
            if (close > i + 1)
                literal(text.mid(i + 1, close - i - 1));
            i = close;
        } else if (c == '0' || c == '#') {
            if (afterPoint) {
                ++section.fracPlaceholders;
                if (c == '0')
                    section.fracMinDigits = section.fracPlaceholders;
                section.tokens.push_back({TokenKind::FracDigit, QString(c)});
            } else {
                ++section.intPlaceholders;
                if (c == '0')
                    seenIntZero = true;
                if (seenIntZero)
                    ++section.intMinDigits;
                section.tokens.push_back({TokenKind::IntDigit, QString(c)});
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            section.tokens.push_back({TokenKind::Point, QString()});
        } else if (c == ',') {
            section.thousands = true;
        } else {
            literal(QString(c));
        }
    }
    return section;
}

struct Digits {
    std::string integer;  // without leading zeros; empty for a value below 1
    std::string fraction; // exactly the requested count of digits
    bool isZero() const { return integer.empty() && fraction.find_first_not_of('0') == std::string::npos; }
};

//! Rounds |value| half away from zero at `decimals` places, working on the
//! shortest decimal form of the double so that 1.005 rounds to 1.01 as a
//! person reading the number expects.
Digits roundDigits(double value, int decimals)
{
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    std::string text(buffer, result.ptr);
    std::string intPart = text, fracPart;
    if (auto dot = text.find('.'); dot != std::string::npos) {
        intPart = text.substr(0, dot);
        fracPart = text.substr(dot + 1);
    }
    bool roundUp = int(fracPart.size()) > decimals && fracPart[decimals] >= '5';
    fracPart.resize(decimals, '0');
    std::string all = intPart + fracPart;
    if (roundUp) {
        int i = int(all.size()) - 1;
        while (i >= 0 && all[i] == '9')
            all[i--] = '0';
        if (i >= 0)
            ++all[i];
        else
            all.insert(all.begin(), '1');
    }
    Digits digits;
    digits.fraction = all.substr(all.size() - decimals);
    digits.integer = all.substr(0, all.size() - decimals);
    std::size_t firstNonZero = digits.integer.find_first_not_of('0');
    digits.integer.erase(0, firstNonZero == std::string::npos ? digits.integer.size() : firstNonZero);
    return digits;
}

QString renderSection(const Section &section, Digits digits, bool withMinus)
{
    const RegionalSettings &locale = regionalSettings();
    while (int(digits.fraction.size()) > section.fracMinDigits && digits.fraction.back() == '0')
        digits.fraction.pop_back();
    if (int(digits.integer.size()) < section.intMinDigits)
        digits.integer.insert(0, section.intMinDigits - digits.integer.size(), '0');

    QString out;
    bool minusPending = withMinus;
    auto putMinus = [&] {
        if (minusPending)
            out += '-';
        minusPending = false;
    };
    const int length = int(digits.integer.size());
    int nextDigit = 0; // index into digits.integer
    auto putIntDigit = [&](int index) {
        putMinus();
        out += QChar(digits.integer[index]);
        int remaining = length - 1 - index;
        if (section.thousands && remaining > 0 && remaining % 3 == 0)
            out += locale.thousandSeparator;
    };
    int intIndex = 0, fracIndex = 0;
    for (const Token &token : section.tokens) {
        switch (token.kind) {
        case TokenKind::Literal:
            out += token.text;
            break;
        case TokenKind::IntDigit: {
            // Placeholder intIndex stands for digit position (from the right)
            // intPlaceholders-1-intIndex; the first one takes all extra digits.
            int fromRight = section.intPlaceholders - 1 - intIndex;
            int upTo = length - 1 - fromRight; // last digit index this placeholder prints
            while (nextDigit <= upTo)
                putIntDigit(nextDigit++);
            ++intIndex;
            break;
        }
        case TokenKind::Point:
            while (nextDigit < length) // a pattern without integer placeholders
                putIntDigit(nextDigit++);
            if (!digits.fraction.empty()) {
                putMinus();
                out += locale.decimalSeparator;
            }
            break;
        case TokenKind::FracDigit:
            if (fracIndex < int(digits.fraction.size())) {
                putMinus();
                out += QChar(digits.fraction[fracIndex]);
            }
            ++fracIndex;
            break;
        }
    }
    if (section.hasPlaceholder()) {
        while (nextDigit < length)
            putIntDigit(nextDigit++);
        if (minusPending)
            out.prepend('-');
    }
    return out;
}

//! Plain text of a number for an empty pattern: shortest form, locale point.
QString plainNumber(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    text.replace('.', regionalSettings().decimalSeparator);
    return text;
}

} // namespace

QString FormatNumberPattern(const QString &pattern, double value)
{
    if (pattern.isEmpty() || !std::isfinite(value))
        return plainNumber(value);
    std::vector<QString> texts = splitSections(pattern);
    auto sectionText = [&](std::size_t index) {
        return index < texts.size() && !texts[index].isEmpty() ? texts[index] : texts[0];
    };
    bool negative = value < 0;
    bool ownSign = negative && texts.size() >= 2 && !texts[1].isEmpty();
    Section section = parseSection(negative ? sectionText(1) : texts[0]);
    Digits digits = roundDigits(value, section.fracPlaceholders);
    if (digits.isZero()) {
        // Zero after rounding: the zero section, else the positive one, unsigned.
        section = parseSection(sectionText(2));
        digits = roundDigits(0.0, section.fracPlaceholders);
        negative = false;
    }
    return renderSection(section, digits, negative && !ownSign);
}

} // namespace kestrum
