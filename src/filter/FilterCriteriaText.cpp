#include "filter/FilterCriteriaText.h"

#include "core/Codepage.h"
#include "core/DateTime.h"
#include "core/Errors.h"
#include "filter/FilterCriteriaTree.h"

#include <algorithm>

namespace kestrum {

QString TkvFilterCriteriaText::FilterText(bool display) const
{
    return ListText(FCriteria.Root(), display);
}

QString TkvFilterCriteriaText::ListText(const TkvFilterCriteriaItemList &list, bool display) const
{
    const TkvFilterBoolCode boolCode = list.BoolOperatorKind();
    const bool isOr = boolCode == bcOr || boolCode == bcNotOr;
    const QString boolWord = display ? QString::fromUtf8(isOr ? "或" : "与") : QString(isOr ? "OR" : "AND");
    QString text;
    for (int i = 0; i < list.Count(); ++i) {
        if (i > 0)
            text += QLatin1Char(' ') + boolWord + QLatin1Char(' ');
        const TkvCustomFilterCriteriaItem *item = list.Items(i);
        const QString childText =
            item->IsItemList() ? ListText(*static_cast<const TkvFilterCriteriaItemList *>(item), display)
                               : ItemText(*static_cast<const TkvFilterCriteriaItem *>(item), display);
        text += QLatin1Char('(') + childText + QLatin1Char(')');
    }
    if (boolCode == bcNotAnd || boolCode == bcNotOr)
        text = (display ? QString::fromUtf8("非") : QStringLiteral("NOT")) + QStringLiteral(" (") + text +
               QLatin1Char(')');
    return text;
}

QString TkvFilterCriteriaText::ItemText(const TkvFilterCriteriaItem &item, bool display) const
{
    const TkvFilterOperator &op = item.Operator();
    if (!display && op.HasWholeItemExpression())
        return op.WholeItemExpressionText();
    const QString fieldText = display ? item.GetFieldCaption() : item.GetFieldName();
    const bool captionWord =
        display && (op.AlwaysUseCaptionWord() || FCriteria.Options().Contains(fcoShowOperatorDescription));
    QString text = fieldText + QLatin1Char(' ') + (captionWord ? op.CaptionWord() : op.ExpressionOperator());
    // The caption reads "=" / "<>" before a Null value whatever the record set.
    if (display && !captionWord) {
        if (dynamic_cast<const TkvFilterNullOperator *>(&op))
            text = fieldText + QStringLiteral(" =");
        else if (dynamic_cast<const TkvFilterNotNullOperator *>(&op))
            text = fieldText + QStringLiteral(" <>");
    }
    const QString valueText = item.GetValueText(display);
    if (!valueText.isEmpty())
        text += QLatin1Char(' ') + valueText;
    return text;
}

QString TkvFilterCriteriaText::DateTimeText(const QString &format, double dateTime)
{
    if (!format.isEmpty())
        return kestrum::FormatDateTime(format, dateTime);
    return DateTimeToText(dateTime);
}

namespace {

//! The text of narrow bytes, a character that does not decode shown as U+FFFD:
//! a text form must not fail on a malformed value read from a stream.
QString LenientText(const NarrowString &bytes)
{
    QString text;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t length =
            std::min<std::size_t>(std::size_t(narrowCharLength(bytes, pos)), bytes.size() - pos);
        try {
            text += fromNarrow(std::string_view(bytes).substr(pos, length));
        } catch (const Exception &) {
            text += QChar(0xFFFD);
        }
        pos += length;
    }
    return text;
}

} // namespace

QString TkvFilterCriteriaText::ValueExpression(const Variant &value) const
{
    try {
        return ValueExpressionText(value);
    } catch (const Exception &) {
        if (value.type() == VarType::String)
            return QLatin1Char('\'') + LenientText(value.rawNarrow()) + QLatin1Char('\'');
        return {};
    }
}

QString TkvFilterCriteriaText::ValueExpressionText(const Variant &value) const
{
    switch (value.type()) {
    case VarType::Null:
        return QStringLiteral("NULL");
    case VarType::Date:
        // Quotes inside the text are not doubled: the expression is the
        // record set's own filter syntax, which has no escape for them.
        return QLatin1Char('\'') + FCriteria.FormatDateTime(value.rawDouble()) + QLatin1Char('\'');
    case VarType::String:
    case VarType::WideString:
        return QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
    default:
        try {
            return value.displayText();
        } catch (const Exception &) {
            return {};
        }
    }
}

} // namespace kestrum
