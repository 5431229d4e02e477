#include "ledger/BackupMarker.h"

#include "core/Errors.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <memory>

namespace kestrum {

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

Statement Prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return Statement(nullptr, sqlite3_finalize);
    return Statement(raw, sqlite3_finalize);
}

const char *const TimeFormat = "yyyy-MM-dd HH:mm:ss";

//! The four bytes at offset 24 of an SQLite file, big-endian.
std::int64_t FileChangeCounter(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray header = file.read(28);
    if (header.size() < 28 || !header.startsWith("SQLite format 3"))
        return -1;
    std::int64_t counter = 0;
    for (int i = 24; i < 28; ++i)
        counter = counter << 8 | static_cast<unsigned char>(header[i]);
    return counter;
}

} // namespace

TBackupMarker ReadBackupMarker(const QString &path)
{
    TBackupMarker marker;
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        return marker;
    // A marker from before the check flag has no column for it.
    Statement read = Prepare(raw, "SELECT sequence, taken_at, ledger_changes, ledger_journal, checked "
                                  "FROM kestrum_backup WHERE id = 1");
    const bool flagged = bool(read);
    if (!flagged)
        read = Prepare(
            raw,
            "SELECT sequence, taken_at, ledger_changes, ledger_journal FROM kestrum_backup WHERE id = 1");
    if (!read || sqlite3_step(read.get()) != SQLITE_ROW)
        return marker;
    marker.Confirmed = !flagged || sqlite3_column_type(read.get(), 4) == SQLITE_NULL ||
                       sqlite3_column_int64(read.get(), 4) != 0;
    marker.Sequence = std::max<std::int64_t>(0, sqlite3_column_int64(read.get(), 0));
    if (const unsigned char *taken = sqlite3_column_text(read.get(), 1))
        marker.TakenAt = QDateTime::fromString(QString::fromUtf8(reinterpret_cast<const char *>(taken)),
                                               QString::fromLatin1(TimeFormat));
    marker.LedgerChanges = sqlite3_column_int64(read.get(), 2);
    marker.LedgerJournal = sqlite3_column_int64(read.get(), 3);
    return marker;
}

void WriteBackupMarker(sqlite3 *copy, const TBackupMarker &marker)
{
    if (sqlite3_exec(
            copy,
            "CREATE TABLE IF NOT EXISTS kestrum_backup (id INTEGER PRIMARY KEY CHECK (id = 1), "
            "sequence INTEGER NOT NULL, taken_at TEXT, ledger_changes INTEGER, ledger_journal INTEGER, "
            "checked INTEGER)",
            nullptr, nullptr, nullptr) != SQLITE_OK)
        throw Exception(std::string("无法在备份中记下它的序号：") + sqlite3_errmsg(copy));
    // A restored ledger brings the table as an older program made it.
    if (!Prepare(copy, "SELECT checked FROM kestrum_backup"))
        sqlite3_exec(copy, "ALTER TABLE kestrum_backup ADD COLUMN checked INTEGER", nullptr, nullptr,
                     nullptr);
    Statement write = Prepare(copy, "INSERT OR REPLACE INTO kestrum_backup "
                                    "(id, sequence, taken_at, ledger_changes, ledger_journal, checked) "
                                    "VALUES (1, ?1, ?2, ?3, ?4, ?5)");
    if (!write)
        throw Exception(std::string("无法在备份中记下它的序号：") + sqlite3_errmsg(copy));
    const QByteArray taken = marker.TakenAt.toString(QString::fromLatin1(TimeFormat)).toUtf8();
    sqlite3_bind_int64(write.get(), 1, marker.Sequence);
    sqlite3_bind_text(write.get(), 2, taken.constData(), int(taken.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(write.get(), 3, marker.LedgerChanges);
    sqlite3_bind_int64(write.get(), 4, marker.LedgerJournal);
    sqlite3_bind_int(write.get(), 5, marker.Confirmed ? 1 : 0);
    if (sqlite3_step(write.get()) != SQLITE_DONE)
        throw Exception(std::string("无法在备份中记下它的序号：") + sqlite3_errmsg(copy));
}

void ConfirmBackupMarker(const QString &path)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK || sqlite3_exec(raw, "UPDATE kestrum_backup SET checked = 1 WHERE id = 1", nullptr,
                                        nullptr, nullptr) != SQLITE_OK)
        throw Exception(std::string("无法在备份中记下它已通过检查：") +
                        (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
}

TBackupMarker LedgerState(sqlite3 *ledger, const QString &ledgerPath)
{
    TBackupMarker state;
    // Both inside one read transaction: no writer commits between them.
    const bool own = sqlite3_get_autocommit(ledger) != 0;
    if (own)
        sqlite3_exec(ledger, "BEGIN", nullptr, nullptr, nullptr);
    // The journal's last row: a writer in WAL mode leaves the header's
    // counter alone, but every change of an entry adds a journal row.
    if (Statement newest = Prepare(ledger, "SELECT ifnull(max(id), 0) FROM kestrum_journal");
        newest && sqlite3_step(newest.get()) == SQLITE_ROW)
        state.LedgerJournal = sqlite3_column_int64(newest.get(), 0);
    state.LedgerChanges = FileChangeCounter(ledgerPath);
    if (own)
        sqlite3_exec(ledger, "COMMIT", nullptr, nullptr, nullptr);
    return state;
}

bool SameLedgerState(const TBackupMarker &marker, const TBackupMarker &now)
{
    return marker.LedgerChanges >= 0 && marker.LedgerChanges == now.LedgerChanges &&
           marker.LedgerJournal == now.LedgerJournal;
}

} // namespace kestrum
