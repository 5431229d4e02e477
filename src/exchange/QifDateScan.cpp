#include "exchange/QifDateScan.h"

namespace kestrum {

using namespace exchange;

namespace {

QString DateIn(std::string_view text, TDayMonthOrder order)
{
    QDate date;
    int seconds = 0;
    QString reason;
    return ParseNumericDate(text, order, date, seconds, reason) ? date.toString(Qt::ISODate) : QString();
}

} // namespace

void TQifDateTally::Add(std::string_view text, int line)
{
    const std::string_view date = Trimmed(text);
    TFinding finding = fnEither;
    switch (NumericDateOrders(date)) {
    case 1:
        finding = fnMonthOnly;
        break;
    case 2:
        finding = fnDayOnly;
        break;
    case 3:
        // 1/1/2024 and 2024-01-05 read the same either way: no evidence.
        if (DateIn(date, dmMonthFirst) == DateIn(date, dmDayFirst))
            return;
        break;
    default: // unreadable either way: a bad record whatever the order
        return;
    }
    if (FCounts[finding]++ == 0) {
        FExamples[finding] = std::string(date);
        FExampleLines[finding] = line;
    }
}

TQifDateScan TQifDateTally::Finish(TQifDateOrder order) const
{
    TQifDateScan scan;
    switch (order) {
    case qdMonthFirst:
    case qdDayFirst:
        scan.Order = order == qdDayFirst ? dmDayFirst : dmMonthFirst;
        scan.Evidence = qeGiven;
        return scan;
    case qdAuto:
        break;
    }
    const auto example = [&](TFinding finding) {
        scan.Example = FExamples[finding];
        scan.ExampleLine = FExampleLines[finding];
    };
    // Month first, as Quicken writes, unless only day first reads them all.
    if (FCounts[fnDayOnly] > 0 && FCounts[fnMonthOnly] == 0) {
        scan.Order = dmDayFirst;
        scan.Evidence = qeDayFirst;
    } else if (FCounts[fnDayOnly] > 0) {
        scan.Evidence = qeMixed;
        example(fnDayOnly);
        scan.OtherExample = FExamples[fnMonthOnly];
    } else if (FCounts[fnEither] > 0 && FCounts[fnMonthOnly] == 0) {
        scan.Evidence = qeEitherWay;
        example(fnEither);
    }
    return scan;
}

QString QifDateNote(const TQifDateScan &scan)
{
    switch (scan.Evidence) {
    case qeGiven:
    case qeSettled:
        break;
    case qeDayFirst:
        return QStringLiteral("日期按“日/月/年”读取（如 31/1/2024），因为只有这样才能读出全部日期");
    case qeEitherWay:
        return QStringLiteral("文件中的每个日期都既能按“月/日/年”也能按“日/月/年”读取，例如第%1行的“%2”"
                              "按月/日/年是%3，按日/月/年是%4；现按“月/日/年”读取，如果不对，请改选日期顺序")
            .arg(scan.ExampleLine)
            .arg(QString::fromStdString(scan.Example), DateIn(scan.Example, dmMonthFirst),
                 DateIn(scan.Example, dmDayFirst));
    case qeMixed:
        return QStringLiteral("有的日期只能按“日/月/年”读取（如“%1”），有的只能按“月/日/年”读取（如“%2”）；"
                              "现按“月/日/年”读取，读不出的日期作为有误的纪录")
            .arg(QString::fromStdString(scan.Example), QString::fromStdString(scan.OtherExample));
    }
    return QString();
}

} // namespace kestrum
