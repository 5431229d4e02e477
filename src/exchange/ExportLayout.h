#pragma once
// How one ledger entry is written in each export layout: the Chinese CSV
// that the CSV reader reads back, a CSV with the English headers other
// finance programs look for (date,amount,category,memo, the amount signed),
// and QIF for ledger programs (one bank account, ISO dates, signed amounts,
// the item as category, the remark as memo). What a layout cannot carry is
// counted in the result, never dropped unsaid.
#include "db/DbDriver.h"
#include "exchange/ForeignEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

enum TExportFormat : std::uint8_t {
    xfCsv,        //!< 类型,金额,日期,项目,备注
    xfCsvEnglish, //!< date,amount,category,memo with signed amounts
    xfQif,        //!< !Type:Bank
    xfXlsx,       //!< an Excel workbook with the columns of xfCsv, numbers and dates as such
};

//! What the layouts could not write as the ledger holds it.
struct TExportLosses {
    //! Rows without an amount or a date. CSV writes the cell empty (the
    //! reader takes them back so); QIF has no record without both, so there
    //! they are left out.
    int IncompleteRows = 0;
    //! Rows whose amount is no number (text another program put there).
    //! CSV writes it as it is; QIF and the English CSV leave the row out.
    int NonNumberAmounts = 0;
    std::vector<int> NonNumberLines; //!< the file's lines (Chinese CSV only)
    //! The layout keeps cents only (QIF, English CSV): amounts between two
    //! cents were rounded to the nearest cent.
    int RoundedAmounts = 0;
    //! The layout keeps the day only (QIF, English CSV): times of day dropped.
    int TimesDropped = 0;
    //! QIF has one line per field: remarks over several lines were joined.
    int RemarksJoined = 0;
    //! A signed amount tells income from expense: a negative income (a
    //! correction) or a negative expense (a refund) reads back as the other kind.
    int KindsByFlip = 0;
    //! Items QIF would read as a transfer or a class ("[Bank]", "a/b"): written
    //! as the payee, which no program reads so.
    int ItemsAsPayee = 0;
    static constexpr int MaxListed = 1000;
};

//! The file's first line(s) before the rows, line ends included (for xlsx: the sheet's XML up to its header
//! row).
std::string ExportPreamble(TExportFormat format);

//! One row as the ledger holds it.
struct TExportRow {
    TEntryKind Kind = ekIncome;
    TDbValueType AmountType = TDbValueType::Null;
    double Amount = 0;
    //! The amount as text where it is no number (Text, Blob, or an
    //! infinity), or the exact decimal a server holds (Real); else empty.
    std::string_view AmountText;
    std::string_view Date, Item, Remark;
    //! An empty item or remark is Null in the ledger unless these say it is
    //! an empty text; the Chinese CSV writes such a cell as a quoted "".
    bool EmptyItemIsText = false;
    bool EmptyRemarkIsText = false;
};

//! Appends the row in the layout; false when the layout cannot hold it at
//! all (then nothing is appended and `losses` says why). `line` is the
//! file's line the row starts on (Chinese CSV; the sheet's row for xlsx), advanced past it.
bool AppendExportRow(std::string &out, TExportFormat format, const TExportRow &row, TExportLosses &losses,
                     int &line);

//! Appends the amount of a row that holds a number, as the ledger holds it
//! (see AppendLedgerAmount and AppendDecimalAmount); false, appending
//! nothing, for one that holds none.
bool AppendAmountCell(std::string &out, const TExportRow &row);

//! A CSV cell: quoted when it holds a separator, a quote, a line end or
//! blanks at its ends; after an apostrophe when a spreadsheet would take it
//! for a formula.
void AppendCsvText(std::string &out, std::string_view text);

} // namespace kestrum
