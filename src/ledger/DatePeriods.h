#pragma once
// Where the dates of one month or one year lie in an index on a date column.
// The ledger's statements select a period with year() and month(), functions
// of ours that no index can serve; the same statements with these ranges
// added select the same rows from a slice of the index.
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace kestrum {

//! Stored dates are ISO text, which year() and month() read from the first
//! ten characters alone, so the period's texts all start with "YYYY-" or
//! "YYYY-MM-"; a date stored as a number of days (which year() reads as
//! well) lies among the numbers, which sort before all text. Each range holds
//! every row of the period and maybe a few more, which the statement's own
//! year() and month() conditions then leave out.
struct TDatePeriodRanges {
    QString Text;   //!< condition on the text dates
    QString Number; //!< condition on the dates stored as days
};

//! A picker text that is plainly a whole number ("2020", " 07 "), which the
//! record set binds as that number; nothing for any other text, which is left
//! to the record set to bind (or to reject) as it always does.
std::optional<int> WholeNumberText(const QString &text);

//! The ranges of column (as the statement names it) that hold every date
//! whose year() is yearText's number and, when monthText names a month, whose
//! month() is that month. Nothing when yearText is no year year() gives.
std::optional<TDatePeriodRanges> DatePeriodRanges(const QString &column, const QString &yearText,
                                                  const std::optional<QString> &monthText);

//! The dates of the year that yearText names, or of its month when
//! monthText is given: from the first instant up to the first instant after
//! it, in days. Nothing when the texts name no year and month that year()
//! and month() give, as no date has them then.
struct TDateSpan {
    double From = 0;
    double To = 0;
};
std::optional<TDateSpan> DatePeriodSpan(const QString &yearText, const std::optional<QString> &monthText);

using TPeriodParameters = std::vector<std::pair<QString, QString>>;

//! What a list of one month runs: for "select * from T where year(D)= :y AND
//! month(D)=:m" (the entry pages' month statement), the same rows in the same
//! order (the table's, by its row id) read through the ranges of D that an
//! index on D serves; any other statement, or parameters that give no
//! ranges, as it is.
QString MonthListStatement(const QString &statement, const TPeriodParameters &parameters);

//! The month statement that MonthListStatement made `listStatement` from
//! (trimmed), or nothing when it is no such list.
std::optional<QString> MonthStatementOfList(const QString &listStatement);

//! The names of the year's and the month's parameters of a month statement
//! ("select * from T where year(D)= :y AND month(D)=:m"); nothing for any
//! other statement.
std::optional<std::pair<QString, QString>> MonthStatementParameters(const QString &statement);

} // namespace kestrum
