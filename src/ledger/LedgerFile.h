#pragma once
// Making and checking ledger database files: the work of the kestrum-db
// command (the ledger program itself never creates or repairs its file).
#include <QDate>
#include <QString>
#include <QStringList>

#include <chrono>

struct sqlite3;

namespace kestrum {

//! The two tables with a row-id key, amounts as REAL and dates as ISO text.
extern const char *const LedgerSchemaSql;

//! Creates an empty ledger; raises Exception when the file exists already
//! (nothing is overwritten) or cannot be made, and then leaves no file behind.
void CreateLedgerDatabase(const QString &path);

//! Creates a ledger filled with a sample household: monthly incomes and the
//! everyday expenses of the years from firstYear to lastYear, none dated after
//! `lastDay` when it is valid. The same seed gives the same rows. Like
//! CreateLedgerDatabase, it leaves no file behind when it fails.
void CreateDemoDatabase(const QString &path, int firstYear, int lastYear, unsigned seed = 2024,
                        const QDate &lastDay = QDate());

struct TLedgerCheck {
    bool Usable = false;
    QStringList Problems; //!< why it is not usable, or values worth a look
    int GainRows = 0;
    int ExpenRows = 0;
};

//! Reads a file without changing it and says whether the ledger can use it.
TLedgerCheck CheckLedgerDatabase(const QString &path);

//! What a look at the ledger file at start finds. Only damage (a missing
//! file, one that is no database, fails the quick check or lacks the tables)
//! is worth putting a backup in its place; a file that another program
//! keeps locked is in use, not damaged.
enum class TLedgerCondition {
    Sound,         //!< a database holding the tables gain and expen
    Missing,       //!< no file at the path
    NotADatabase,  //!< a file SQLite does not recognise
    Damaged,       //!< a database that fails the quick check or cannot be read
    NotALedger,    //!< a sound database without the ledger's tables (an empty file too)
    InUse,         //!< locked by another connection for longer than the wait
    NotAccessible, //!< a folder, or a file this user may not open
};

struct TLedgerExamination {
    TLedgerCondition Condition = TLedgerCondition::Sound;
    QString Detail; //!< SQLite's answer when it is not sound
    //! Whether putting a backup in the file's place could help.
    bool Damaged() const
    {
        return Condition == TLedgerCondition::Missing || Condition == TLedgerCondition::NotADatabase ||
               Condition == TLedgerCondition::Damaged || Condition == TLedgerCondition::NotALedger;
    }
};

//! Looks at the file without changing it (SQLite may roll back a journal a
//! crash left, as any connection would), waiting up to `busyWait` for a
//! connection that keeps it locked.
TLedgerExamination ExamineLedgerFile(const QString &path,
                                     std::chrono::milliseconds busyWait = std::chrono::milliseconds(5000));

//! The same look in two steps on one connection: the header and schema at
//! once (milliseconds on any size), the pages later, possibly on another
//! thread (one thread at a time). From the first step to the end of the
//! second it holds a read lock on the file, so no write of any connection
//! can land between them.
class TLedgerFileLook {
public:
    TLedgerFileLook(const QString &path, std::chrono::milliseconds busyWait);
    ~TLedgerFileLook();
    TLedgerFileLook(const TLedgerFileLook &) = delete;
    TLedgerFileLook &operator=(const TLedgerFileLook &) = delete;

    //! What the header and schema show (Sound when the pages are still to check).
    const TLedgerExamination &Schema() const { return FSchema; }
    //! SQLite's quick check of every page, then the schema's answer; ends
    //! the read and closes the file.
    TLedgerExamination Pages();

private:
    TLedgerExamination Failure(int rc) const;
    QString FPath;
    sqlite3 *FDb = nullptr;
    TLedgerExamination FSchema;
};

//! Whether the open database holds both ledger tables, gain and expen: only
//! such a file gets the program's own tables (journal, trash) added.
bool HoldsLedgerTables(sqlite3 *db);

} // namespace kestrum
