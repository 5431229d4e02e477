#include "ledger/DatePeriods.h"

#include "core/DateTime.h"
#include "db/DateText.h"

#include <QRegularExpression>

namespace kestrum {

namespace {

const QRegularExpression &MonthListPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+(\w+)\s+where\s+)"
                       R"((year\(([^()\s]+)\)\s*=\s*:(\w+)\s+and\s+month\(\3\)\s*=\s*:(\w+))\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// What MonthListStatement writes: the month statement, the ranges, the order.
const QRegularExpression &MonthListOutputPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(
            R"(^(select \* from \w+ where year\(([^()\s]+)\)\s*=\s*:\w+\s+and\s+month\(\2\)\s*=\s*:\w+))"
            R"( AND \(\(.*\)\) order by rowid$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption |
            QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

std::optional<QString> ParameterText(const TPeriodParameters &parameters, const QString &name)
{
    for (const auto &[parameterName, text] : parameters)
        if (parameterName.compare(name, Qt::CaseInsensitive) == 0)
            return text;
    return std::nullopt;
}

} // namespace

std::optional<int> WholeNumberText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 6)
        return std::nullopt;
    for (const QChar c : trimmed)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return trimmed.toInt();
}

std::optional<TDatePeriodRanges> DatePeriodRanges(const QString &column, const QString &yearText,
                                                  const std::optional<QString> &monthText)
{
    const std::optional<int> year = WholeNumberText(yearText);
    if (!year || *year < 1 || *year > 9999)
        return std::nullopt; // year() gives no such number: nothing to narrow
    // A month the statement cannot match leaves the year's range, which
    // still holds every row it selects.
    int month = 0;
    if (const std::optional<int> number = monthText ? WholeNumberText(*monthText) : std::nullopt;
        number && *number >= 1 && *number <= 12)
        month = *number;
    const QString prefix =
        month > 0 ? QString::asprintf("%04d-%02d", *year, month) : QString::asprintf("%04d", *year);
    // "/" follows "-": the range ends after every text that starts "prefix-".
    // The ends are no numbers, so the date column's numeric affinity leaves
    // them text ("2020." would become the number 2020).
    const bool isQuoted = column.startsWith('"') || column.startsWith('[') || column.startsWith('`');
    const QString quoted = isQuoted ? column : "\"" + column + "\"";
    TDatePeriodRanges ranges;
    ranges.Text = quoted + " >= '" + prefix + "-' AND " + quoted + " < '" + prefix + "/'";
    // A day's number is its date, with the time of day a fraction of it
    // either way from it: one day of margin at each end covers both.
    const int firstMonth = month > 0 ? month : 1, lastMonth = month > 0 ? month : 12;
    const double first = EncodeDays(*year, firstMonth, 1) - 1;
    const double last = EncodeDays(*year, lastMonth, DaysInMonth(*year, lastMonth)) + 2;
    ranges.Number = quoted + " >= " + QString::number(qint64(first)) + " AND " + quoted + " < " +
                    QString::number(qint64(last));
    return ranges;
}

std::optional<TDateSpan> DatePeriodSpan(const QString &yearText, const std::optional<QString> &monthText)
{
    const std::optional<int> year = WholeNumberText(yearText);
    if (!year || *year < 1 || *year > 9999)
        return std::nullopt;
    if (!monthText)
        return TDateSpan{EncodeDays(*year, 1, 1), EncodeDays(*year, 12, 31) + 1};
    const std::optional<int> month = WholeNumberText(*monthText);
    if (!month || *month < 1 || *month > 12)
        return std::nullopt;
    return TDateSpan{EncodeDays(*year, *month, 1), EncodeDays(*year, *month, DaysInMonth(*year, *month)) + 1};
}

QString MonthListStatement(const QString &statement, const TPeriodParameters &parameters)
{
    const QRegularExpressionMatch match = MonthListPattern().match(statement);
    if (!match.hasMatch())
        return statement;
    const std::optional<QString> yearText = ParameterText(parameters, match.captured(4));
    const std::optional<QString> monthText = ParameterText(parameters, match.captured(5));
    if (!yearText || !monthText)
        return statement;
    const auto ranges = DatePeriodRanges(match.captured(3), *yearText, monthText);
    if (!ranges)
        return statement;
    // The statement as written reads the whole table in its order, the row
    // id's; the ranges come out of the index in date order, so the rows are
    // put back in row id order, which costs a sort of the month's rows only.
    return "select * from " + match.captured(1) + " where " + match.captured(2) + " AND ((" + ranges->Text +
           ") OR (" + ranges->Number + ")) order by rowid";
}

std::optional<QString> MonthStatementOfList(const QString &listStatement)
{
    const QRegularExpressionMatch match = MonthListOutputPattern().match(listStatement);
    if (!match.hasMatch() || !MonthListPattern().match(match.captured(1)).hasMatch())
        return std::nullopt;
    return match.captured(1);
}

std::optional<std::pair<QString, QString>> MonthStatementParameters(const QString &statement)
{
    const QRegularExpressionMatch match = MonthListPattern().match(statement);
    if (!match.hasMatch())
        return std::nullopt;
    return std::pair(match.captured(4), match.captured(5));
}

} // namespace kestrum
