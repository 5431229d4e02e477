#include "exchange/ExportLayout.h"

#include "exchange/ExchangeText.h"
#include "exchange/LedgerAmount.h"
#include "exchange/XlsxWriter.h"

#include <QDate>

#include <algorithm>
#include <cmath>

namespace kestrum {

using namespace exchange;

namespace {

//! The lines a cell adds to the file; such a cell is quoted, and a reader
//! counts the line feeds inside quotes.
int LineEnds(std::string_view text)
{
    return int(std::count(text.begin(), text.end(), '\n'));
}

//! The ledger's date text as yyyy-MM-dd, with the time of day when there is
//! one and `withTime`; false for text that is no date.
bool AppendIsoDate(std::string &out, std::string_view stored, bool withTime, bool &hadTime)
{
    QDate date;
    int seconds = 0;
    QString reason;
    if (!ParseDate(stored, date, seconds, reason))
        return false;
    const std::string text = LedgerDateText(date, seconds);
    hadTime = seconds != 0;
    out.append(text, 0, seconds != 0 && withTime ? text.size() : 10);
    return true;
}

//! The cents of a decimal ("-123.4567"), rounded half away from zero as a
//! server rounds; `between` when digits past the cents were not all zero.
//! False for text that is no such decimal.
bool DecimalCents(std::string_view decimal, std::int64_t &cents, bool &between)
{
    const bool negative = decimal.starts_with('-');
    std::size_t at = negative ? 1 : 0;
    std::uint64_t magnitude = 0;
    int wholeDigits = 0;
    for (; at < decimal.size() && decimal[at] >= '0' && decimal[at] <= '9'; ++at, ++wholeDigits) {
        // Beyond this the cents no longer fit a 64-bit count.
        if (wholeDigits >= 16)
            return false;
        magnitude = magnitude * 10 + std::uint64_t(decimal[at] - '0');
    }
    if (wholeDigits == 0)
        return false;
    int fraction[3] = {0, 0, 0};
    between = false;
    if (at < decimal.size()) {
        if (decimal[at++] != '.')
            return false;
        for (int place = 0; at < decimal.size(); ++at, ++place) {
            if (decimal[at] < '0' || decimal[at] > '9')
                return false;
            if (place < 3)
                fraction[place] = decimal[at] - '0';
            if (place >= 2 && decimal[at] != '0')
                between = true;
        }
    }
    magnitude = magnitude * 100 + std::uint64_t(fraction[0] * 10 + fraction[1]) + (fraction[2] >= 5 ? 1 : 0);
    cents = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
    return true;
}

//! The amount with its sign saying the kind (income positive, expense
//! negative), in whole cents; false for an amount that is no number.
bool AppendSignedCents(std::string &out, const TExportRow &row, TExportLosses &losses)
{
    const bool number = row.AmountType == TDbValueType::Integer || row.AmountType == TDbValueType::Real;
    // Beyond this the cents no longer fit a 64-bit count.
    if (!number || !std::isfinite(row.Amount) || std::fabs(row.Amount) >= 9e16) {
        ++losses.NonNumberAmounts;
        return false;
    }
    std::int64_t cents = 0;
    bool between = false;
    // A server's exact decimal is rounded by its digits: past about 1e14 the
    // double it reads as is off by more than a cent.
    if (row.AmountType == TDbValueType::Real && !row.AmountText.empty() &&
        DecimalCents(row.AmountText, cents, between)) {
        if (between)
            ++losses.RoundedAmounts;
    } else if (!WholeCents(row.Amount, cents)) {
        const double hundredths = row.Amount * 100.0;
        cents = std::llround(hundredths);
        // What sums of decimals leave behind (0.1 + 0.2) is no amount between two cents.
        if (std::fabs(hundredths - double(cents)) > 4e-15 * std::max(1.0, std::fabs(hundredths)))
            ++losses.RoundedAmounts;
    }
    if (row.Amount < 0)
        ++losses.KindsByFlip;
    const bool negative = row.Kind == ekExpense ? cents >= 0 : cents < 0;
    const std::uint64_t magnitude = cents < 0 ? 0 - std::uint64_t(cents) : std::uint64_t(cents);
    // An expense of nothing is still "-0.00", so that it reads back as an expense.
    if (negative)
        out += '-';
    out += std::to_string(magnitude / 100);
    out += '.';
    out += char('0' + magnitude % 100 / 10);
    out += char('0' + magnitude % 10);
    return true;
}

//! A QIF field holds one line: line ends become blanks.
bool AppendQifLine(std::string &out, char field, std::string_view text)
{
    out += field;
    bool joined = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += ' ';
            joined = true;
        } else {
            out += c;
        }
    }
    out += '\n';
    return joined;
}

bool AppendQif(std::string &out, const TExportRow &row, TExportLosses &losses)
{
    if (row.AmountType == TDbValueType::Null || row.Date.empty()) {
        ++losses.IncompleteRows;
        return false;
    }
    const std::size_t start = out.size();
    out += 'D';
    bool hadTime = false;
    if (!AppendIsoDate(out, row.Date, false, hadTime)) {
        out.resize(start);
        ++losses.IncompleteRows;
        return false;
    }
    out += "\nT";
    if (!AppendSignedCents(out, row, losses)) {
        out.resize(start);
        return false;
    }
    out += '\n';
    if (hadTime)
        ++losses.TimesDropped;
    if (!row.Item.empty()) {
        // A bracketed category is a transfer to that account, and "/" starts
        // a class: such an item is the payee instead.
        const bool asPayee = row.Item.front() == '[' || row.Item.find('/') != std::string_view::npos;
        losses.ItemsAsPayee += asPayee ? 1 : 0;
        AppendQifLine(out, asPayee ? 'P' : 'L', row.Item);
    }
    if (!row.Remark.empty() && AppendQifLine(out, 'M', row.Remark))
        ++losses.RemarksJoined;
    out += "^\n";
    return true;
}

bool AppendCsvEnglish(std::string &out, const TExportRow &row, TExportLosses &losses)
{
    if (row.AmountType == TDbValueType::Null || row.Date.empty()) {
        ++losses.IncompleteRows;
        return false;
    }
    const std::size_t start = out.size();
    bool hadTime = false;
    if (!AppendIsoDate(out, row.Date, false, hadTime)) {
        out.resize(start);
        ++losses.IncompleteRows;
        return false;
    }
    out += ',';
    if (!AppendSignedCents(out, row, losses)) {
        out.resize(start);
        return false;
    }
    if (hadTime)
        ++losses.TimesDropped;
    out += ',';
    AppendCsvText(out, row.Item);
    out += ',';
    AppendCsvText(out, row.Remark);
    out += "\r\n";
    return true;
}

//! A text cell that keeps an empty text apart from none: an empty text is a
//! quoted "", no text an empty cell, as CSV readers commonly tell them.
void AppendCsvTextOrNull(std::string &out, std::string_view text, bool emptyIsText)
{
    if (text.empty() && emptyIsText)
        out += "\"\"";
    else
        AppendCsvText(out, text);
}

bool AppendCsvChinese(std::string &out, const TExportRow &row, TExportLosses &losses, int &line)
{
    out += row.Kind == ekIncome ? "收入" : "支出";
    out += ',';
    const bool hasAmount = row.AmountType != TDbValueType::Null;
    // Text in the amount column (another program may put it there) is
    // written as it is, not as the 0.00 that it converts to.
    const bool number = AppendAmountCell(out, row);
    if (hasAmount && !number) {
        AppendCsvText(out, row.AmountText);
        ++losses.NonNumberAmounts;
        if (losses.NonNumberLines.size() < std::size_t(TExportLosses::MaxListed))
            losses.NonNumberLines.push_back(line);
    }
    out += ',';
    bool hadTime = false;
    if (!AppendIsoDate(out, row.Date, true, hadTime))
        AppendCsvText(out, row.Date); // text that is no date, as it is
    out += ',';
    AppendCsvTextOrNull(out, row.Item, row.EmptyItemIsText);
    out += ',';
    AppendCsvTextOrNull(out, row.Remark, row.EmptyRemarkIsText);
    out += "\r\n";
    line +=
        1 + LineEnds(row.Item) + LineEnds(row.Remark) + (hasAmount && !number ? LineEnds(row.AmountText) : 0);
    if (!hasAmount || row.Date.empty())
        ++losses.IncompleteRows;
    return true;
}

} // namespace

bool AppendAmountCell(std::string &out, const TExportRow &row)
{
    if (row.AmountType != TDbValueType::Integer && row.AmountType != TDbValueType::Real)
        return false;
    // A server's exact decimal keeps every digit it has.
    if (row.AmountType == TDbValueType::Real && !row.AmountText.empty() &&
        AppendDecimalAmount(out, row.AmountText))
        return true;
    return AppendLedgerAmount(out, row.Amount);
}

void AppendCsvText(std::string &out, std::string_view text)
{
    const bool formula =
        !text.empty() && (StartsFormula(text[0]) || (text[0] == '\'' && text.size() > 1 &&
                                                     (StartsFormula(text[1]) || text[1] == '\'')));
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && Trimmed(text).size() != text.size());
    if (quote)
        out += '"';
    if (formula)
        out += '\'';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    if (quote)
        out += '"';
}

std::string ExportPreamble(TExportFormat format)
{
    switch (format) {
    case xfCsv:
        return "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n";
    case xfCsvEnglish:
        // No byte-order mark: some programs take it for part of "date".
        return "date,amount,category,memo\r\n";
    case xfQif:
        return "!Type:Bank\n";
    case xfXlsx:
        return XlsxSheetStart();
    }
    return {};
}

bool AppendExportRow(std::string &out, TExportFormat format, const TExportRow &row, TExportLosses &losses,
                     int &line)
{
    switch (format) {
    case xfCsv:
        return AppendCsvChinese(out, row, losses, line);
    case xfCsvEnglish:
        return AppendCsvEnglish(out, row, losses);
    case xfQif:
        return AppendQif(out, row, losses);
    case xfXlsx:
        return AppendXlsxRow(out, row, losses, line);
    }
    return false;
}

} // namespace kestrum
