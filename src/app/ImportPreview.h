#pragma once
// What the import dialog shows before anything is written: the picked file's
// format, how a CSV file is read (encoding, separator, what each column
// holds, which the user may change), the first records as they will come in,
// and, over the whole file, how many entries there are and which records
// will be passed over and why. Plain logic: tests drive it without a display.
#include "app/BackgroundJob.h"
#include "exchange/CsvReader.h"
#include "exchange/ForeignFormat.h"
#include "exchange/Importer.h"
#include "exchange/QifReader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

//! One record as the dialog lists it.
struct TPreviewRow {
    int Line = 0;
    QString Kind, Date, Amount, Item, Remark;
    QString Problem; //!< why the record is passed over; empty for an entry
    //! What the record is though it reads well: "期初余额，不导入" for an
    //! opening balance that is left out.
    QString Note;
    bool LeftOut = false; //!< read well, but not imported with the current choices
};

//! Counts over the whole file, as the importer would see it with the current
//! choices; without a ledger to compare with, duplicates are not known.
struct TImportScan {
    bool Done = false;
    int Income = 0; //!< entries that would come in (duplicates not counted when known)
    int Expense = 0;
    bool DuplicatesKnown = false;
    int Duplicates = 0;              //!< entries the ledger holds already
    std::vector<int> DuplicateLines; //!< their lines, ascending (the first thousand)
    //! The same entries, in file order, for the user to keep or skip one by one.
    std::vector<TFoundDuplicate> DuplicateEntries;
    int BadCount = 0;
    std::vector<TBadRecord> BadRecords; //!< the first MaxListed
    QString Failure;                    //!< the file as a whole cannot be read
    QStringList Notes;                  //!< the reader's, over the whole file
    static constexpr int MaxListed = 200;
};

class TImportPreview {
public:
    //! Reads the file's beginning and guesses how to read it. Raises
    //! EImportError for a file that is no ledger data (binary, empty, an
    //! SQLite file) or cannot be opened.
    explicit TImportPreview(const QString &path, int rowCount = 50);
    ~TImportPreview();

    const QString &Path() const { return FPath; }
    //! The ledger the entries would go to: the scan counts its duplicates.
    const QString &LedgerPath() const { return FLedgerPath; }
    void SetLedgerPath(const QString &path) { FLedgerPath = path; }
    TForeignFormat Format() const { return FFormat; }
    //! The reader's description ("CSV (UTF-8, comma)").
    QString SourceDescription() const { return FDescription; }

    // CSV only: how the text is read. Changing any of it reads the preview again.
    bool HasCsvSettings() const { return FFormat == ffCsv; }
    QString EncodingText() const;
    QString SeparatorText() const;
    char Separator() const { return FCsv.Options.Separator; }

    // CSV and QIF: the text's encoding, as found or as the user picked it.
    bool HasEncodingChoice() const { return FFormat == ffCsv || FFormat == ffQif; }
    TCsvEncoding Encoding() const;
    void SetEncoding(TCsvEncoding encoding);

    // QIF only: the order of day and month, and whether opening balances
    // and transfers between the file's accounts come in.
    bool HasQifSettings() const { return FFormat == ffQif; }
    TQifDateOrder DateOrder() const { return FQif.DateOrder; }
    void SetDateOrder(TQifDateOrder order);
    //! QIF, and CSV with an account column: whether transfers come in.
    bool HasTransferChoice() const;
    bool ImportTransfers() const;
    void SetImportTransfers(bool import);
    //! QIF and HomeBank: which field gives the item. The choices are the
    //! fields the file has (the current one always among them; every field
    //! for HomeBank, whose transactions may name them through its lists).
    bool HasItemChoice() const;
    TQifItemSource ItemSource() const { return FFormat == ffCsv ? FCsv.Options.Item : FQif.Item; }
    void SetItemSource(TQifItemSource source);
    std::vector<TQifItemSource> ItemChoices() const;
    static QString ItemSourceName(TQifItemSource source, TForeignFormat format = ffQif);

    //! What the user should know of how the file is read: an encoding found
    //! by judging the text, dates that read either way, opening balances and
    //! transfers left out (over the whole file once it is scanned).
    QStringList Notes() const;
    void SetSeparator(char separator);
    TCsvKindRule KindRule() const { return FCsv.Options.KindRule; }
    void SetKindRule(TCsvKindRule rule);
    //! Whether the amount column's sign decides the kind (no type column and
    //! no separate income and expense amount columns).
    bool KindRuleApplies() const;

    int ColumnCount() const;
    //! The column's name in the header row, or "第n列" without one.
    QString ColumnHeader(int column) const;
    TCsvColumnRole ColumnRole(int column) const;
    void SetColumnRole(int column, TCsvColumnRole role);
    static const std::vector<TCsvColumnRole> &RoleChoices();

    //! The first records as the reader reads them with the current choices.
    const std::vector<TPreviewRow> &Rows() const { return FRows; }
    //! What the dialog says beside a row: why it is passed over, or that the
    //! ledger holds it already ("" for a row that comes in).
    QString RowNote(const TPreviewRow &row) const;
    bool IsDuplicate(const TPreviewRow &row) const;
    //! Why the file would not import as it is read now ("no amount column").
    const QStringList &Problems() const { return FProblems; }

    // What the user chose for records that do not come in.
    bool SkipBadRows() const { return FOptions.BadRecords == bpSkip; }
    void SetSkipBadRows(bool skip) { FOptions.BadRecords = skip ? bpSkip : bpReject; }
    bool ImportDuplicates() const { return FOptions.Duplicates == dpKeep; }
    void SetImportDuplicates(bool keep) { FOptions.Duplicates = keep ? dpKeep : dpSkip; }
    //! The options to import with, the duplicates picked one by one among them.
    const TImportOptions &Options() const { return FOptions; }

    // Likely duplicates, each skipped unless the user keeps it (known once
    // the whole file is scanned against the ledger; forgotten when a choice
    // reads the file anew).
    const std::vector<TFoundDuplicate> &DuplicateEntries() const { return FScan.DuplicateEntries; }
    bool IsDuplicateKept(std::int64_t ordinal) const;
    void SetDuplicateKept(std::int64_t ordinal, bool keep);
    //! How many of the duplicates will come in, and how many be skipped.
    int DuplicatesKept() const;
    int DuplicatesSkipped() const { return FScan.Duplicates - DuplicatesKept(); }

    //! Reads the whole file with the current choices and, when ledgerPath
    //! names the ledger, runs the import without keeping it to count the
    //! duplicates. Runs on a worker thread: it touches nothing of the
    //! preview but what makeSource reads. Raises nothing: a failure is in
    //! the scan; a cancel leaves it not done.
    static TImportScan ScanAll(const std::function<std::unique_ptr<TEntrySource>()> &makeSource,
                               const QString &ledgerPath, TJobProgress &progress);
    void SetScan(TImportScan scan);
    const TImportScan &Scan() const { return FScan; }

    //! A fresh reader with the current choices; raises EImportError.
    std::unique_ptr<TEntrySource> MakeSource() const;

    //! Why the import button is off ("" when it is on).
    QString ImportBlocker() const;
    bool CanImport() const { return ImportBlocker().isEmpty(); }
    //! The line under the preview: what the file holds and what is skipped.
    QString Summary() const;

private:
    void reload();
    void readRows();
    void readQifRows(TQifEntrySource &source);

    QString FPath;
    QString FLedgerPath;
    QByteArray FData; //!< the whole file, read once (shared with the readers)
    int FRowCount;
    TForeignFormat FFormat = ffUnknown;
    QString FDescription;
    TCsvPreview FCsv;
    TQifOptions FQif;
    exchange::TTextEncoding FQifEncoding = exchange::teUtf8; //!< the one the QIF reader used
    std::vector<TQifItemSource> FQifFields;                  //!< the fields the file has
    QString FEncodingNote;
    QStringList FReadNotes; //!< the reader's notes that hold before the whole file is read
    std::vector<TPreviewRow> FRows;
    QStringList FProblems;
    TImportOptions FOptions;
    TImportScan FScan;
};

//! An entry's cells as the dialog shows them.
TPreviewRow PreviewRowOf(const TForeignEntry &entry);

} // namespace kestrum
