#pragma once
// The cell-level parsing that every reader shares: amounts, dates (in
// ExchangeDates.h), the words of a type column, and turning a file's bytes
// into UTF-8 text.
#include "exchange/ExchangeDates.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/ForeignEntry.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum::exchange {

//! Leading and trailing blanks (ASCII blanks, no-break and ideographic spaces) off.
std::string_view Trimmed(std::string_view text);

struct TAmount {
    std::int64_t Cents = 0; //!< never negative
    bool Negative = false;  //!< a leading or trailing "-", or parentheses
};

//! Which character a file writes before the cents.
enum TDecimalMark : std::uint8_t {
    dmUnsettled, //!< nothing told yet: "." before the cents, "," between thousands
    dmPoint,     //!< "1,234.50"
    dmComma,     //!< "1.234,50", as much of Europe writes
};

//! Reads "1,234.50", "-12", "(12.50)", "￥12.5", "¥ 12", "12.50元", "+3".
//! Groups of thousands must have three digits; decimals past the cent must be
//! zeros. With dmComma the roles of "." and "," swap ("1.234,50"). With
//! dmUnsettled an amount like "1.500", whose dot may be a decimal point or a
//! thousands separator (1.5 or 1500), is refused: only the file's other
//! amounts can tell. On failure returns false and says why in `reason`.
bool ParseAmount(std::string_view text, TAmount &amount, QString &reason, TDecimalMark mark = dmUnsettled);
//! What an amount's own separators tell of the file's decimal mark:
//! dmPoint for "12.5" or "1,234,567", dmComma for "12,50" or "1.234.567",
//! dmUnsettled when they tell nothing ("1.500", "1,500", "12").
TDecimalMark DecimalMarkOf(std::string_view text);

//! A spreadsheet runs a cell that starts with one of these as a formula (a
//! tab or a carriage return is dropped before it looks), so an export writes
//! such text after an apostrophe and the reader takes it off again.
inline bool StartsFormula(char c)
{
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

//! The kind a type cell names ("收入", "支出", "income", "debit", ...);
//! false for a word it does not know.
bool ParseKindWord(std::string_view text, TEntryKind &kind);

//! "yyyy-MM-dd HH:mm:ss", as the ledger stores dates.
std::string LedgerDateText(const QDate &date, int seconds);

//! The encodings a file's bytes may be in.
enum TTextEncoding : std::uint8_t { teUtf8, teGb18030, teUtf16 };

//! Finds the encoding: a byte-order mark first, then UTF-8 when the bytes are
//! valid UTF-8, then GB18030. Raises EImportError for bytes that are no text
//! (NULs, control bytes) or that neither encoding reads, naming the line.
TTextEncoding DetectEncoding(const QByteArray &data, bool &byteOrderMark);
//! The text as UTF-8 without a byte-order mark. Raises EImportError when the
//! bytes are not valid in `encoding`, naming the line of the first bad byte.
//! `checked`: DetectEncoding found `encoding` for these bytes without a
//! byte-order mark, so they are known to be valid in it.
QByteArray DecodeToUtf8(const QByteArray &data, TTextEncoding encoding, bool checked = false);
QString EncodingName(TTextEncoding encoding);

} // namespace kestrum::exchange
