#pragma once
// An entry read from a file made elsewhere (a bank's CSV, a QIF export, an
// old Access ledger), on its way into the ledger, and the interface that
// every reader of such files offers the importer.
#include "core/Errors.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kestrum {

//! Which table an entry goes to: income to `gain`, expense to `expen`.
enum TEntryKind : std::uint8_t { ekIncome, ekExpense };

struct TForeignEntry {
    TEntryKind Kind = ekExpense;
    //! The amount in cents. The kind says the table; a negative amount is a
    //! refund or a correction there, as the ledger's amount editor lets a
    //! user write one.
    std::int64_t Cents = 0;
    //! Set when the amount is no whole number of cents (a quotient that the
    //! calculator stored) or past what cents hold: then it is the amount,
    //! exactly as the ledger held it, and Cents is only near it. Only a
    //! reader of the ledger's own export sets it.
    std::optional<double> Exact;
    QDate Date;
    //! Time of day in seconds after midnight; 0 for a bare date.
    int Seconds = 0;
    std::string Item;          //!< UTF-8; goes to 进帐人 or 消费者
    std::string Remark;        //!< UTF-8; goes to 备注
    std::string TransactionId; //!< the file's own id of the transaction (an OFX FITID); empty when none
    //! An empty item or remark goes to the ledger as Null (no text), unless
    //! these say the file held an empty text there: only the ledger's own
    //! export tells the two apart (a quoted empty cell is an empty text).
    bool EmptyItemIsText = false;
    bool EmptyRemarkIsText = false;
    //! The 1-based line of the source where the entry begins; 0 when the
    //! source has no lines (a database table).
    int Line = 0;
    //! A ledger entry may lack an amount or a date (the program lets the user
    //! save one so); a reader of another ledger sets these to keep such an
    //! entry as it is. Readers of bank files always give both.
    bool HasAmount = true;
    bool HasDate = true;
};

//! A record that cannot become an entry, and why (a line of its own).
struct TBadRecord {
    int Line = 0; //!< as TForeignEntry::Line
    QString Reason;
};

//! A failure that stops a whole file: it cannot be read, it is no text, its
//! encoding is unknown, its header names no amount or date, a quote is never
//! closed. The message names the file's line where there is one.
class EImportError : public Exception {
public:
    explicit EImportError(const std::string &message) : Exception(message) {}
};

//! Called now and then with the share of the work done (0 to 1); returning
//! false asks the work to stop (an import then keeps nothing).
using TProgressCallback = std::function<bool(double fraction)>;

//! A reader of one foreign file. The importer pulls entries one by one; a
//! reader raises EImportError for faults of the whole file and reports a
//! record it cannot read as a bad record, then goes on with the next one.
class TEntrySource {
public:
    enum TStep : std::uint8_t {
        esEntry, //!< `entry` holds the next entry
        esBad,   //!< `bad` tells of a record that was passed over
        esEnd,   //!< nothing more
    };

    virtual ~TEntrySource() = default;

    //! Reads the next record. Fields of `entry` are all set on esEntry (the
    //! strings are reused, so a reader may keep their capacity).
    virtual TStep Next(TForeignEntry &entry, TBadRecord &bad) = 0;
    //! The share of the source read so far, 0 to 1.
    virtual double Progress() const = 0;
    //! What is being read, for messages: "CSV (UTF-8, comma)", "QIF".
    virtual QString Description() const = 0;
    //! Choices the reader made that the user should hear of (a category taken
    //! as the item, splits left out). Complete once Next has returned esEnd.
    virtual QStringList Notes() const { return {}; }
};

} // namespace kestrum
