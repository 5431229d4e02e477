#include "app/ExportRange.h"

#include "core/Utf8.h"

namespace kestrum {

TExportRange::TExportRange(const QDate &today, const QString &shownYear, const QString &shownMonth)
    : FToday(today), FYear(today.year()), FMonth(today.month())
{
    // The pages' year edit and month list take any text; only a real month
    // replaces today's as the pickers' start.
    bool yearOk = false;
    bool monthOk = false;
    const int year = shownYear.trimmed().toInt(&yearOk);
    const int month = shownMonth.trimmed().toInt(&monthOk);
    if (yearOk && monthOk && year >= FirstYear && year <= LastYear && month >= 1 && month <= 12) {
        FYear = year;
        FMonth = month;
    }
    FRangeFrom = QDate(FYear, FMonth, 1);
    FRangeTo = FRangeFrom.addMonths(1).addDays(-1);
}

void TExportRange::StartOnEntries(const QDate &first, const QDate &last)
{
    FChoice = TExportChoice::Range;
    if (first.isValid() && last.isValid() && first <= last) {
        FRangeFrom = first;
        FRangeTo = last;
    } else {
        FRangeFrom = QDate(FToday.year(), 1, 1);
        FRangeTo = QDate(FToday.year(), 12, 31);
    }
}

QDate TExportRange::From() const
{
    switch (FChoice) {
    case TExportChoice::All:
        return QDate();
    case TExportChoice::ThisMonth:
        return QDate(FToday.year(), FToday.month(), 1);
    case TExportChoice::Month:
        return QDate(FYear, FMonth, 1);
    case TExportChoice::Range:
        return FRangeFrom;
    }
    return QDate();
}

QDate TExportRange::To() const
{
    switch (FChoice) {
    case TExportChoice::All:
        return QDate();
    case TExportChoice::ThisMonth:
    case TExportChoice::Month: {
        const QDate first = From();
        return first.isValid() ? first.addMonths(1).addDays(-1) : QDate();
    }
    case TExportChoice::Range:
        return FRangeTo;
    }
    return QDate();
}

QString TExportRange::Problem() const
{
    switch (FChoice) {
    case TExportChoice::All:
    case TExportChoice::ThisMonth:
        return QString();
    case TExportChoice::Month:
        if (FYear < FirstYear || FYear > LastYear)
            return utf8("年份应在%1到%2之间。").arg(FirstYear).arg(LastYear);
        if (FMonth < 1 || FMonth > 12)
            return utf8("月份应在1到12之间。");
        return QString();
    case TExportChoice::Range:
        if (!FRangeFrom.isValid() || !FRangeTo.isValid())
            return utf8("请选择起止日期。");
        if (FRangeFrom > FRangeTo)
            return utf8("起始日期晚于结束日期。");
        return QString();
    }
    return QString();
}

QString TExportRange::SuggestedFileName() const
{
    QString name = suggestedCsvName();
    if (FFormat == xfQif)
        name.replace(name.size() - 4, 4, QStringLiteral(".qif"));
    else if (FFormat == xfXlsx)
        name.replace(name.size() - 4, 4, QStringLiteral(".xlsx"));
    return name;
}

QString TExportRange::suggestedCsvName() const
{
    const QDate from = From();
    const QDate to = To();
    switch (FChoice) {
    case TExportChoice::All:
        return QStringLiteral("Kestrum.csv");
    case TExportChoice::ThisMonth:
    case TExportChoice::Month:
        if (from.isValid())
            return from.toString(QStringLiteral("'Kestrum-'yyyy-MM'.csv'"));
        break;
    case TExportChoice::Range:
        if (from.isValid() && to.isValid())
            return QStringLiteral("Kestrum-%1-%2.csv")
                .arg(from.toString(QStringLiteral("yyyyMMdd")), to.toString(QStringLiteral("yyyyMMdd")));
        break;
    }
    return QStringLiteral("Kestrum.csv");
}

QString TExportRange::Description() const
{
    const QDate from = From();
    const QDate to = To();
    switch (FChoice) {
    case TExportChoice::All:
        return utf8("全部纪录");
    case TExportChoice::ThisMonth:
    case TExportChoice::Month:
        return utf8("%1年%2月").arg(from.year()).arg(from.month());
    case TExportChoice::Range:
        return utf8("%1至%2").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
    }
    return QString();
}

} // namespace kestrum
