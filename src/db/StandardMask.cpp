#include "db/StandardMask.h"

#include "core/RegionalSettings.h"

namespace kestrum {

bool TkvStandardMaskManyItem::Check(QChar &ch) const
{
    if (!Accepts(ch))
        return false;
    if (FCase == smcUpper)
        ch = ch.toUpper();
    else if (FCase == smcLower)
        ch = ch.toLower();
    return true;
}

void TkvStandardMask::SetMask(const QString &mask)
{
    FMask = mask;
    FItems.clear();
    FLeading = false;
    FSaveLiteralCharacters = true;
    FBlankChar = u'_';
    QString body = mask;
    if (body.startsWith(u'!')) {
        FLeading = true;
        body.remove(0, 1);
    }
    TkvStandardMaskCase caseControl = smcNone;
    auto literal = [this](QChar ch) { FItems.push_back(std::make_unique<TkvStandardMaskLiteralItem>(ch)); };
    for (qsizetype i = 0; i < body.size(); ++i) {
        QChar ch = body[i];
        qsizetype rest = body.size() - i - 1;
        switch (ch.unicode()) {
        case u'0':
            FItems.push_back(std::make_unique<TkvStandardMaskNumericItem>(false, caseControl));
            break;
        case u'9':
            FItems.push_back(std::make_unique<TkvStandardMaskNumericItem>(true, caseControl));
            break;
        case u'#':
            FItems.push_back(std::make_unique<TkvStandardMaskNumericSymbolItem>(true, caseControl));
            break;
        case u'L':
            FItems.push_back(std::make_unique<TkvStandardMaskAlphaItem>(false, caseControl));
            break;
        case u'l':
            FItems.push_back(std::make_unique<TkvStandardMaskAlphaItem>(true, caseControl));
            break;
        case u'A':
            FItems.push_back(std::make_unique<TkvStandardMaskAlphaNumericItem>(false, caseControl));
            break;
        case u'a':
            FItems.push_back(std::make_unique<TkvStandardMaskAlphaNumericItem>(true, caseControl));
            break;
        case u'C':
            FItems.push_back(std::make_unique<TkvStandardMaskASCIIItem>(false, caseControl));
            break;
        case u'c':
            FItems.push_back(std::make_unique<TkvStandardMaskASCIIItem>(true, caseControl));
            break;
        case u'>':
            caseControl = smcUpper;
            break;
        case u'<':
            if (rest > 0 && body[i + 1] == u'>') {
                caseControl = smcNone;
                ++i;
            } else {
                caseControl = smcLower;
            }
            break;
        case u'\\':
            if (rest > 0)
                literal(body[++i]);
            break;
        case u'/':
            literal(regionalSettings().dateSeparator);
            break;
        case u':':
            literal(regionalSettings().timeSeparator);
            break;
        case u';':
            // ";" opens the trailing fields only as ";x" or ";x;b" at the end.
            if (rest == 1 || (rest == 3 && body[i + 2] == u';')) {
                FSaveLiteralCharacters = body[i + 1] != u'0';
                if (rest == 3)
                    FBlankChar = body[i + 3];
                i = body.size();
            } else {
                literal(ch);
            }
            break;
        default:
            literal(ch);
        }
    }
}

QString TkvStandardMask::MaskedEmptyText() const
{
    QString text;
    for (const auto &item : FItems)
        text +=
            item->IsLiteral() ? static_cast<const TkvStandardMaskLiteralItem &>(*item).Char() : FBlankChar;
    return text;
}

QString TkvStandardMask::DisplayEmptyText() const
{
    return TextForValue(MaskedEmptyText());
}

int TkvStandardMask::ApplyAt(QString &edited, int from, const QString &text) const
{
    std::vector<bool> filled(FItems.size(), false);
    int last = from;
    for (QChar ch : text) {
        for (int position = from; position < Count(); ++position) {
            if (filled[std::size_t(position)])
                continue;
            QChar converted = ch;
            if (Item(position).Check(converted)) {
                edited[position] = converted;
            } else if ((ch == FBlankChar || ch == u' ') && !IsLiteral(position)) {
                edited[position] = FBlankChar;
            } else {
                continue; // stays open for a later character
            }
            filled[std::size_t(position)] = true;
            last = position + 1;
            break;
        }
    }
    return last;
}

QString TkvStandardMask::Apply(const QString &text) const
{
    QString edited = MaskedEmptyText();
    ApplyAt(edited, 0, text);
    return edited;
}

QString TkvStandardMask::TextForValue(const QString &edited) const
{
    QString value;
    for (int position = 0; position < Count() && position < edited.size(); ++position) {
        QChar ch = edited[position];
        if (IsLiteral(position)) {
            if (FSaveLiteralCharacters)
                value += ch;
        } else {
            value += ch == FBlankChar ? QChar(u' ') : ch;
        }
    }
    return value;
}

bool TkvStandardMask::IsValid(const QString &text, bool ignoreMaskBlank) const
{
    bool valid = text.size() == Count();
    for (int position = 0; valid && position < Count(); ++position) {
        QChar ch = text[position];
        const TkvStandardMaskCustomItem &item = Item(position);
        if (item.Check(ch))
            continue;
        valid =
            !item.IsLiteral() && item.Optional() && (text[position] == FBlankChar || text[position] == u' ');
    }
    if (!valid && ignoreMaskBlank)
        valid = text == MaskedEmptyText() || text == DisplayEmptyText();
    return valid;
}

QString FormatMaskText(const QString &mask, const QString &value)
{
    if (mask.trimmed().isEmpty())
        return value;
    TkvStandardMask standard;
    standard.SetMask(mask);
    QString text = standard.Apply(value);
    for (int i = 0; i < standard.Count() && i < int(text.size()); ++i) {
        if (!standard.IsLiteral(i) && text[i] == standard.BlankChar())
            text[i] = u' ';
    }
    return text;
}

} // namespace kestrum
