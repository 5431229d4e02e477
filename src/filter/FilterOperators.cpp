#include "filter/FilterOperators.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/LikeMatch.h"
#include "core/RegionalSettings.h"
#include "core/VariantCompare.h"
#include "filter/FilterCriteriaTree.h"

#include <QStringList>

namespace kestrum {

namespace {

QString Word(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

//! The text a like test sees: Null gives the empty text.
NarrowString LikeText(const Variant &value)
{
    return value.isNull() ? NarrowString() : value.toNarrow();
}

int LikeKind(const TkvFilterCriteriaItem &item)
{
    const TkvFilterCriteria *criteria = item.Criteria();
    const char percent = criteria ? criteria->PercentChar() : '%';
    NarrowString text;
    try {
        text = LikeText(item.Value());
    } catch (const Exception &) {
        return lpkPlain;
    }
    return ClassifyLikePattern(text, percent, nullptr);
}

//! Drops the percent characters the pattern kind counted from the display text.
QString StripLikeDisplay(const TkvFilterCriteriaItem &item, const QString &displayValue)
{
    const TkvFilterCriteria *criteria = item.Criteria();
    if (!criteria || !criteria->Options().Contains(fcoShowOperatorDescription))
        return displayValue;
    const int kind = LikeKind(item);
    const QString percent =
        criteria->PercentWildcard().isEmpty() ? QStringLiteral("%") : criteria->PercentWildcard();
    QString text = displayValue;
    if (kind & lpkEndsWith)
        while (text.startsWith(percent))
            text.remove(0, percent.size());
    if (kind & lpkBeginsWith)
        while (text.endsWith(percent))
            text.chop(percent.size());
    return text;
}

//! A part of a between or in-list display text; a Null element shows as "空".
QString PartText(const Variant &value, int index, const QString &part)
{
    if (value.isArray() && index <= value.arrayHighBound() && value.at(index).isNull())
        return Word("空");
    return part;
}

QString BetweenDisplay(const TkvFilterCriteriaItem &item, const QString &displayValue)
{
    const int split = displayValue.indexOf(QLatin1Char(';'));
    const QString first = split < 0 ? displayValue : displayValue.left(split);
    const QString second = split < 0 ? QString() : displayValue.mid(split + 1);
    return PartText(item.Value(), 0, first.trimmed()) + QLatin1Char(' ') + Word("与") + QLatin1Char(' ') +
           PartText(item.Value(), 1, second.trimmed());
}

QString InListDisplay(const TkvFilterCriteriaItem &item, const QString &displayValue)
{
    const QStringList parts = displayValue.split(QLatin1Char(';'));
    QStringList shown;
    for (int i = 0; i < parts.size(); ++i)
        shown.append(PartText(item.Value(), i, parts[i].trimmed()));
    return QLatin1Char('(') + shown.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString BetweenExpression(const TkvFilterCriteriaItem &item)
{
    const TkvFilterCriteria *criteria = item.Criteria();
    const Variant &value = item.Value();
    if (!criteria)
        return {};
    if (!value.isArray() || value.arrayHighBound() < 1)
        return criteria->ValueExpression(value);
    return criteria->ValueExpression(value.at(0)) + QStringLiteral(" AND ") +
           criteria->ValueExpression(value.at(1));
}

QString InListExpression(const TkvFilterCriteriaItem &item)
{
    const TkvFilterCriteria *criteria = item.Criteria();
    const Variant &value = item.Value();
    if (!criteria)
        return {};
    QStringList parts;
    if (value.isArray()) {
        for (const Variant &element : value.elements())
            parts.append(criteria->ValueExpression(element));
    } else {
        parts.append(criteria->ValueExpression(value));
    }
    return QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

bool Between(const Variant &v, const Variant &k)
{
    if (!k.isArray() || k.arrayHighBound() < 1)
        throw EVariantTypeError();
    return CompareVariants(k.at(0), v) <= 0 && CompareVariants(v, k.at(1)) <= 0;
}

bool InList(const Variant &v, const Variant &k)
{
    if (!k.isArray())
        return VariantsEqual(v, k);
    for (const Variant &element : k.elements())
        if (VariantsEqual(v, element))
            return true;
    return false;
}

bool Like(const TkvFilterOperator &op, const Variant &v, const Variant &k)
{
    const TkvFilterCriteria *criteria = op.Criteria();
    return MatchLike(LikeText(v), LikeText(k), criteria ? criteria->PercentChar() : '%',
                     criteria ? criteria->UnderscoreChar() : '_');
}

bool IsNullValue(const TkvFilterOperator &op, const Variant &v)
{
    const TkvFilterCriteria *criteria = op.Criteria();
    return criteria ? criteria->IsNull(v) : v.isNull();
}

bool IsQuery(const TkvFilterOperator &op)
{
    const TkvFilterCriteria *criteria = op.Criteria();
    return criteria && criteria->IsQueryExpression();
}

} // namespace

TkvFilterCriteria *TkvFilterOperator::Criteria() const
{
    return FCriteriaItem.Criteria();
}

QString TkvFilterOperator::ValueExpressionText() const
{
    const TkvFilterCriteria *criteria = Criteria();
    return criteria ? criteria->ValueExpression(FCriteriaItem.Value()) : QString();
}

// Comparison operators.

namespace {

struct TComparison {
    bool (*Test)(const Variant &v, const Variant &k);
    const char *CaptionWord;
    const char *ExpressionOperator;
    const char *ClassName;
};

// By operator code, ocEqual first.
const TComparison Comparisons[] = {
    {[](const Variant &v, const Variant &k) { return VariantsEqual(v, k); }, "等于", "=",
     "TkvFilterEqualOperator"},
    {[](const Variant &v, const Variant &k) { return !VariantsEqual(v, k); }, "不等于", "<>",
     "TkvFilterNotEqualOperator"},
    {[](const Variant &v, const Variant &k) { return CompareVariants(v, k) < 0; }, "小于", "<",
     "TkvFilterLessOperator"},
    {[](const Variant &v, const Variant &k) { return CompareVariants(v, k) <= 0; }, "小与等于",
     "<=", "TkvFilterLessEqualOperator"},
    {[](const Variant &v, const Variant &k) { return CompareVariants(v, k) > 0; }, "大于", ">",
     "TkvFilterGreaterOperator"},
    {[](const Variant &v, const Variant &k) { return CompareVariants(v, k) >= 0; }, "大于等于",
     ">=", "TkvFilterGreaterEqualOperator"},
};

const TComparison &ComparisonOf(TkvFilterOperatorCode code)
{
    return Comparisons[code - ocEqual];
}

} // namespace

TkvFilterComparisonOperator::TkvFilterComparisonOperator(TkvFilterCriteriaItem &criteriaItem,
                                                         TkvFilterOperatorCode code)
    : TkvFilterOperator(criteriaItem), FCode(code >= ocEqual && code <= ocGreaterEqual ? code : ocEqual)
{
}

bool TkvFilterComparisonOperator::Evaluate(const Variant &v, const Variant &k) const
{
    return ComparisonOf(FCode).Test(v, k);
}

QString TkvFilterComparisonOperator::CaptionWord() const
{
    return Word(ComparisonOf(FCode).CaptionWord);
}

QString TkvFilterComparisonOperator::ExpressionOperator() const
{
    return QString::fromLatin1(ComparisonOf(FCode).ExpressionOperator);
}

const char *TkvFilterComparisonOperator::ClassName() const
{
    return ComparisonOf(FCode).ClassName;
}

// Like.

bool TkvFilterLikeOperator::Evaluate(const Variant &v, const Variant &k) const
{
    return Like(*this, v, k);
}
QString TkvFilterLikeOperator::CaptionWord() const
{
    static const char *const words[] = {"类似", "开始于", "结束于", "包含"};
    return Word(words[LikeKind(FCriteriaItem)]);
}
QString TkvFilterLikeOperator::ExpressionOperator() const
{
    return QStringLiteral("LIKE");
}
QString TkvFilterLikeOperator::AdjustDisplayText(const QString &displayValue) const
{
    return StripLikeDisplay(FCriteriaItem, displayValue);
}

bool TkvFilterNotLikeOperator::Evaluate(const Variant &v, const Variant &k) const
{
    return !Like(*this, v, k);
}
QString TkvFilterNotLikeOperator::CaptionWord() const
{
    static const char *const words[] = {"不类似", "不开始于", "不结束于", "不包含"};
    return Word(words[LikeKind(FCriteriaItem)]);
}
QString TkvFilterNotLikeOperator::ExpressionOperator() const
{
    return QStringLiteral("NOT LIKE");
}
QString TkvFilterNotLikeOperator::AdjustDisplayText(const QString &displayValue) const
{
    return StripLikeDisplay(FCriteriaItem, displayValue);
}

// Ranges and lists.

bool TkvFilterBetweenOperator::Evaluate(const Variant &v, const Variant &k) const
{
    return Between(v, k);
}
QString TkvFilterBetweenOperator::CaptionWord() const
{
    return Word("取范围");
}
QString TkvFilterBetweenOperator::ExpressionOperator() const
{
    return QStringLiteral("BETWEEN");
}
QString TkvFilterBetweenOperator::AdjustDisplayText(const QString &displayValue) const
{
    return BetweenDisplay(FCriteriaItem, displayValue);
}
QString TkvFilterBetweenOperator::ValueExpressionText() const
{
    return BetweenExpression(FCriteriaItem);
}

bool TkvFilterNotBetweenOperator::Evaluate(const Variant &v, const Variant &k) const
{
    return !Between(v, k);
}
QString TkvFilterNotBetweenOperator::CaptionWord() const
{
    return Word("不在范围");
}
QString TkvFilterNotBetweenOperator::ExpressionOperator() const
{
    return QStringLiteral("NOT BETWEEN");
}
QString TkvFilterNotBetweenOperator::AdjustDisplayText(const QString &displayValue) const
{
    return BetweenDisplay(FCriteriaItem, displayValue);
}
QString TkvFilterNotBetweenOperator::ValueExpressionText() const
{
    return BetweenExpression(FCriteriaItem);
}

bool TkvFilterInListOperator::Evaluate(const Variant &v, const Variant &k) const
{
    return InList(v, k);
}
QString TkvFilterInListOperator::CaptionWord() const
{
    return Word("在之中");
}
QString TkvFilterInListOperator::ExpressionOperator() const
{
    return QStringLiteral("IN");
}
QString TkvFilterInListOperator::AdjustDisplayText(const QString &displayValue) const
{
    return InListDisplay(FCriteriaItem, displayValue);
}
QString TkvFilterInListOperator::ValueExpressionText() const
{
    return InListExpression(FCriteriaItem);
}

bool TkvFilterNotInListOperator::Evaluate(const Variant &v, const Variant &k) const
{
    return !InList(v, k);
}
QString TkvFilterNotInListOperator::CaptionWord() const
{
    return Word("不在之中");
}
QString TkvFilterNotInListOperator::ExpressionOperator() const
{
    return QStringLiteral("NOT IN");
}
QString TkvFilterNotInListOperator::AdjustDisplayText(const QString &displayValue) const
{
    return InListDisplay(FCriteriaItem, displayValue);
}
QString TkvFilterNotInListOperator::ValueExpressionText() const
{
    return InListExpression(FCriteriaItem);
}

// Null tests. The expression reads IS / IS NOT only for a query's own filter;
// the caption always reads "=" / "<>" followed by the display value.

bool TkvFilterNullOperator::Evaluate(const Variant &v, const Variant &) const
{
    return IsNullValue(*this, v);
}
QString TkvFilterNullOperator::CaptionWord() const
{
    return Word("为空");
}
QString TkvFilterNullOperator::ExpressionOperator() const
{
    return IsQuery(*this) ? QStringLiteral("IS") : QStringLiteral("=");
}
QString TkvFilterNullOperator::AdjustDisplayText(const QString &displayValue) const
{
    const TkvFilterCriteria *criteria = Criteria();
    return criteria && criteria->Options().Contains(fcoShowOperatorDescription) ? QString() : displayValue;
}

bool TkvFilterNotNullOperator::Evaluate(const Variant &v, const Variant &) const
{
    return !IsNullValue(*this, v);
}
QString TkvFilterNotNullOperator::CaptionWord() const
{
    return Word("不为空");
}
QString TkvFilterNotNullOperator::ExpressionOperator() const
{
    return IsQuery(*this) ? QStringLiteral("IS NOT") : QStringLiteral("<>");
}
QString TkvFilterNotNullOperator::AdjustDisplayText(const QString &displayValue) const
{
    const TkvFilterCriteria *criteria = Criteria();
    return criteria && criteria->Options().Contains(fcoShowOperatorDescription) ? QString() : displayValue;
}

// Date ranges.

namespace {

const char *const DateWords[] = {"昨天", "今天", "明天", "前一周", "前一月", "去年",
                                 "本周", "本月", "今年", "下一周", "下一月", "明年"};
const char *const DateClassNames[] = {
    "TkvFilterYesterdayOperator", "TkvFilterTodayOperator",     "TkvFilterTomorrowOperator",
    "TkvFilterLastWeekOperator",  "TkvFilterLastMonthOperator", "TkvFilterLastYearOperator",
    "TkvFilterThisWeekOperator",  "TkvFilterThisMonthOperator", "TkvFilterThisYearOperator",
    "TkvFilterNextWeekOperator",  "TkvFilterNextMonthOperator", "TkvFilterNextYearOperator"};

} // namespace

void TkvFilterDateOperator::Prepare()
{
    const TkvFilterCriteria *criteria = Criteria();
    const double today = criteria ? criteria->Today() : kestrum::Today();
    try {
        FRange = FilterDateRange(FCode, today, regionalSettings().firstDayOfWeek);
    } catch (const Exception &) {
        FRange = {}; // a clock at the end of the calendar: the range is empty
    }
}

bool TkvFilterDateOperator::Evaluate(const Variant &v, const Variant &) const
{
    if (IsNullValue(*this, v))
        return false;
    const double date = v.toDate();
    return FRange.Start <= date && date < FRange.End;
}

QString TkvFilterDateOperator::CaptionWord() const
{
    return Word(DateWords[FCode - ocYesterday]);
}

const char *TkvFilterDateOperator::ClassName() const
{
    return DateClassNames[FCode - ocYesterday];
}

QString TkvFilterDateOperator::WholeItemExpressionText() const
{
    const TkvFilterCriteria *criteria = Criteria();
    if (!criteria)
        return {};
    const QString field = FCriteriaItem.GetFieldName();
    return QLatin1Char('(') + criteria->ValueExpression(Variant::fromDate(FRange.Start)) +
           QStringLiteral(" <= ") + field + QStringLiteral(") AND (") + field + QStringLiteral(" < ") +
           criteria->ValueExpression(Variant::fromDate(FRange.End)) + QLatin1Char(')');
}

// Creation.

std::unique_ptr<TkvFilterOperator> CreateFilterOperator(TkvFilterCriteriaItem &criteriaItem,
                                                        TkvFilterOperatorCode code, bool valueIsNull)
{
    if (valueIsNull && (code == ocEqual || code == ocLike))
        return std::make_unique<TkvFilterNullOperator>(criteriaItem);
    if (valueIsNull && (code == ocNotEqual || code == ocNotLike))
        return std::make_unique<TkvFilterNotNullOperator>(criteriaItem);
    switch (code) {
    case ocEqual:
    case ocNotEqual:
    case ocLess:
    case ocLessEqual:
    case ocGreater:
    case ocGreaterEqual:
        return std::make_unique<TkvFilterComparisonOperator>(criteriaItem, code);
    case ocLike:
        return std::make_unique<TkvFilterLikeOperator>(criteriaItem);
    case ocNotLike:
        return std::make_unique<TkvFilterNotLikeOperator>(criteriaItem);
    case ocBetween:
        return std::make_unique<TkvFilterBetweenOperator>(criteriaItem);
    case ocNotBetween:
        return std::make_unique<TkvFilterNotBetweenOperator>(criteriaItem);
    case ocInList:
        return std::make_unique<TkvFilterInListOperator>(criteriaItem);
    case ocNotInList:
        return std::make_unique<TkvFilterNotInListOperator>(criteriaItem);
    default:
        if (IsDateOperatorCode(code))
            return std::make_unique<TkvFilterDateOperator>(criteriaItem, code);
        return std::make_unique<TkvFilterComparisonOperator>(criteriaItem, ocEqual);
    }
}

QString FilterOperatorCaptionWord(TkvFilterOperatorCode code)
{
    static const char *const words[] = {"等于", "不等于", "小于",   "小与等于", "大于",   "大于等于",
                                        "类似", "不类似", "取范围", "不在范围", "在之中", "不在之中"};
    if (code < ocYesterday)
        return Word(words[code]);
    if (IsDateOperatorCode(code))
        return Word(DateWords[code - ocYesterday]);
    return {};
}

} // namespace kestrum
