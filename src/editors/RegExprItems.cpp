#include "editors/RegExprItems.h"

#include "core/RegionalSettings.h"

#include <QString>

namespace kestrum {

bool TkvRegExprSymbol::Check(QChar &ch, bool caseInsensitive) const
{
    if (ch == FChar)
        return true;
    if (caseInsensitive && ch.toUpper() == FChar.toUpper()) {
        ch = FChar;
        return true;
    }
    return false;
}

std::unique_ptr<TkvRegExprItem> TkvRegExprSymbol::Clone() const
{
    return std::make_unique<TkvRegExprSymbol>(FChar);
}

bool TkvRegExprDateSeparator::Check(QChar &ch, bool) const
{
    return ch == regionalSettings().dateSeparator;
}

std::unique_ptr<TkvRegExprItem> TkvRegExprDateSeparator::Clone() const
{
    return std::make_unique<TkvRegExprDateSeparator>();
}

std::optional<QChar> TkvRegExprDateSeparator::LiteralChar() const
{
    return regionalSettings().dateSeparator;
}

bool TkvRegExprTimeSeparator::Check(QChar &ch, bool) const
{
    return ch == regionalSettings().timeSeparator;
}

std::unique_ptr<TkvRegExprItem> TkvRegExprTimeSeparator::Clone() const
{
    return std::make_unique<TkvRegExprTimeSeparator>();
}

std::optional<QChar> TkvRegExprTimeSeparator::LiteralChar() const
{
    return regionalSettings().timeSeparator;
}

bool TkvRegExprSubrange::Check(QChar &ch, bool) const
{
    return ch.unicode() >= FFirst.unicode() && ch.unicode() <= FLast.unicode();
}

std::unique_ptr<TkvRegExprItem> TkvRegExprSubrange::Clone() const
{
    return std::make_unique<TkvRegExprSubrange>(FFirst, FLast);
}

bool TkvRegExprUserEnumeration::Check(QChar &ch, bool caseInsensitive) const
{
    for (const auto &item : FItems) {
        QChar candidate = ch;
        if (item->Check(candidate, caseInsensitive)) {
            if (!FInverse)
                ch = candidate;
            return !FInverse;
        }
    }
    return FInverse;
}

std::unique_ptr<TkvRegExprItem> TkvRegExprUserEnumeration::Clone() const
{
    auto copy = std::make_unique<TkvRegExprUserEnumeration>();
    copy->FInverse = FInverse;
    for (const auto &item : FItems)
        copy->Add(item->Clone());
    return copy;
}

bool TkvRegExprDigit::Check(QChar &ch, bool) const
{
    bool digit = ch >= u'0' && ch <= u'9';
    return digit != FInverse;
}

std::unique_ptr<TkvRegExprItem> TkvRegExprDigit::Clone() const
{
    return std::make_unique<TkvRegExprDigit>(FInverse);
}

bool TkvRegExprIdLetter::Check(QChar &ch, bool) const
{
    char16_t c = ch.unicode();
    bool letter =
        (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || (c >= u'0' && c <= u'9');
    return letter != FInverse;
}

std::unique_ptr<TkvRegExprItem> TkvRegExprIdLetter::Clone() const
{
    return std::make_unique<TkvRegExprIdLetter>(FInverse);
}

bool TkvRegExprSpace::Check(QChar &ch, bool) const
{
    char16_t c = ch.unicode();
    bool space = c == u' ' || c == 0 || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
    return space != FInverse;
}

std::unique_ptr<TkvRegExprItem> TkvRegExprSpace::Clone() const
{
    return std::make_unique<TkvRegExprSpace>(FInverse);
}

std::unique_ptr<TkvRegExprQuantifier> TkvRegExprSimpleQuantifier::Clone() const
{
    return std::make_unique<TkvRegExprSimpleQuantifier>();
}

std::unique_ptr<TkvRegExprQuantifier> TkvRegExprQuestionQuantifier::Clone() const
{
    return std::make_unique<TkvRegExprQuestionQuantifier>();
}

std::unique_ptr<TkvRegExprQuantifier> TkvRegExprStarQuantifier::Clone() const
{
    return std::make_unique<TkvRegExprStarQuantifier>();
}

std::unique_ptr<TkvRegExprQuantifier> TkvRegExprPlusQuantifier::Clone() const
{
    return std::make_unique<TkvRegExprPlusQuantifier>();
}

std::unique_ptr<TkvRegExprQuantifier> MakeRegExprQuantifier(QChar symbol)
{
    switch (symbol.unicode()) {
    case u'?':
        return std::make_unique<TkvRegExprQuestionQuantifier>();
    case u'*':
        return std::make_unique<TkvRegExprStarQuantifier>();
    case u'+':
        return std::make_unique<TkvRegExprPlusQuantifier>();
    default:
        return std::make_unique<TkvRegExprSimpleQuantifier>();
    }
}

} // namespace kestrum
