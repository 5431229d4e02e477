#pragma once
// Reading entries from CSV text: a bank's or a spreadsheet's export in UTF-8
// (with or without a byte-order mark), GB18030 or UTF-16, separated by
// commas, semicolons or tabs, quoted as RFC 4180 quotes. A preview guesses
// the encoding, the separator, the header row and what each column holds;
// the user may change any of it before the reader runs with those choices.
#include "exchange/ForeignEntry.h"
#include "exchange/ItemFields.h"
#include "exchange/QifReader.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kestrum {

enum TCsvEncoding : std::uint8_t {
    ceAuto,    //!< detect: a byte-order mark, else UTF-8 when valid, else GB18030
    ceUtf8,    //!< with or without a byte-order mark
    ceGb18030, //!< also reads GBK and GB2312 text
    ceUtf16,   //!< with a byte-order mark (little- or big-endian)
};

//! What a column holds.
enum TCsvColumnRole : std::uint8_t {
    crIgnore,
    crAmount,        //!< a signed amount, or an unsigned one with a type column
    crDate,          //!< a date, maybe with a time
    crItem,          //!< what the entry is for
    crRemark,        //!< a remark
    crType,          //!< 收入/支出, income/expense, ...: the kind of the entry
    crIncomeAmount,  //!< a column of received amounts (empty on expense rows)
    crExpenseAmount, //!< a column of spent amounts (empty on income rows)
    //! A category ("Food:Groceries", Skrooge's "Food > Groceries"): the item by
    //! default, as a QIF file's; the payee and the remark then go to the remark.
    crCategory,
    crPayee, //!< who was paid or paid: beside a category, the remark's first part
};

//! How an amount decides the kind when no type column says it.
enum TCsvKindRule : std::uint8_t {
    ckBySign,     //!< negative or in parentheses is an expense, else income
    ckAllIncome,  //!< every row is income (amounts taken without their sign)
    ckAllExpense, //!< every row is an expense (amounts taken without their sign)
};

//! What the amount cells mean beside a type column.
enum TCsvAmountRule : std::uint8_t {
    caDetect,    //!< caLedger for a file with the ledger's own export header, else caDirection
    caDirection, //!< a bank's: the type says the direction, and a minus on an expense only repeats it
    //! The ledger's own export: each amount is the entry's, sign and every
    //! decimal kept ("支出,-50.00" is a refund of 50); an empty amount or date
    //! cell is an entry without one, a quoted empty item or remark ("") an
    //! empty text and an unquoted empty one no text.
    caLedger,
};

struct TCsvOptions {
    TCsvEncoding Encoding = ceAuto;
    char Separator = 0; //!< ',', ';' or '\t'; 0 to detect
    static constexpr int NoHeaderRow = -1;
    static constexpr int DetectHeaderRow = -2;
    //! The record (0-based, counting records, not lines) that holds the
    //! column names; the records before it are passed over (a bank's title
    //! lines). NoHeaderRow when every record is data; DetectHeaderRow to
    //! look for the first record whose names map an amount and a date, or
    //! failing that for data in the first record.
    int HeaderRow = DetectHeaderRow;
    //! One role per column, in file order. Empty: mapped from the header's
    //! names. Columns past the list's end are ignored.
    QList<TCsvColumnRole> Mapping;
    TCsvKindRule KindRule = ckBySign;
    TCsvAmountRule AmountRule = caDetect;
    //! Beside a category or payee column (and no item column): which of the
    //! category, the payee and the remark gives the item.
    TQifItemSource Item = qiCategory;
    //! A file with an account column: a transfer between two of its accounts
    //! (two records, one in each, as in a QIF file) is left out unless asked for.
    TQifTransfers Transfers = qtSkip;
};

//! What the preview found: the options it would read with, and the first rows.
struct TCsvPreview {
    TCsvOptions Options; //!< nothing left to detect: encoding, separator and mapping set
    bool HasByteOrderMark = false;
    QStringList Headers;     //!< the header row's cells (empty without a header row)
    QList<QStringList> Rows; //!< the first data records' cells, decoded
    QStringList Problems;    //!< why the file would not import as guessed ("no amount column")
};

//! Guesses how to read `data` (a whole file or its beginning). Options that
//! are set in `given` are kept, the rest detected. Raises EImportError only
//! when the bytes are no text at all (binary, an unknown encoding).
TCsvPreview PreviewCsv(const QByteArray &data, const TCsvOptions &given = {}, int rowCount = 20);
TCsvPreview PreviewCsvFile(const QString &path, const TCsvOptions &given = {}, int rowCount = 20);

//! The column names this reader knows for a role ("金额", "amount", ...), so
//! that a dialog can show them; and the role a header name maps to.
QStringList CsvRoleNames(TCsvColumnRole role);
TCsvColumnRole CsvRoleOfHeader(const QString &header);
//! A short caption of a role for lists: "金额", "日期", ... ("忽略" for crIgnore).
QString CsvRoleCaption(TCsvColumnRole role);

//! Reads entries; what the options leave to detect is detected as PreviewCsv
//! does. Raises EImportError (from the constructor or Next) when the file
//! cannot be read as CSV: not text, unknown encoding, no amount or no date
//! column, a quote left open at the end of the file.
class TCsvEntrySource : public TEntrySource {
public:
    TCsvEntrySource(const QByteArray &data, const TCsvOptions &options = {});
    //! Reads the file; raises EImportError when it cannot be opened.
    static std::unique_ptr<TCsvEntrySource> FromFile(const QString &path, const TCsvOptions &options = {});
    ~TCsvEntrySource() override;

    TStep Next(TForeignEntry &entry, TBadRecord &bad) override;
    double Progress() const override;
    QString Description() const override;
    QStringList Notes() const override;

    //! The options in force, with everything detected filled in.
    const TCsvOptions &Options() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace kestrum
