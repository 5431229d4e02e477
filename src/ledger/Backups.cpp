#include "ledger/Backups.h"

#include "core/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <thread>
#include <unistd.h>

namespace kestrum {

namespace {

using Database = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

const char *const TimeFormat = "yyyy-MM-dd-HHmmss";
constexpr int NewestKept = 10;
constexpr int MonthsKept = 12;

std::string Utf8(const QString &text)
{
    return text.toStdString();
}

std::string Shown(const QString &path)
{
    return "“" + Utf8(QDir::toNativeSeparators(path)) + "”";
}

QString Suffix(const QFileInfo &ledger)
{
    return ledger.suffix().isEmpty() ? QString() : QStringLiteral(".") + ledger.suffix();
}

//! Opens an existing file; SQLite rolls back a journal that a crash left, as
//! the program's own connection would. Never creates the file.
Database Open(const QString &path, int flags = SQLITE_OPEN_READWRITE)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    Database db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        throw Exception("无法打开" + Shown(path) + "：" + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

//! Makes what was written to `path` durable (the file is closed by SQLite).
bool SyncPath(const QString &path, bool directory = false)
{
    const int file = ::open(QFile::encodeName(path).constData(),
                            (directory ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
    if (file < 0)
        return false;
    const bool synced = ::fsync(file) == 0;
    ::close(file);
    return synced;
}

//! Removes what interrupted backups left behind. A part file younger than an
//! hour may belong to a backup running in another program; it stays.
void ClearLeftovers(const QString &folder)
{
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-3600);
    const QDir dir(folder);
    for (const QFileInfo &file :
         dir.entryInfoList({QStringLiteral("*.part"), QStringLiteral("*.part-journal")}, QDir::Files))
        if (file.lastModified() < stale)
            QFile::remove(file.absoluteFilePath());
}

void CopyPages(sqlite3 *source, sqlite3 *target, const TBackupOptions &options)
{
    std::unique_ptr<sqlite3_backup, int (*)(sqlite3_backup *)> backup(
        sqlite3_backup_init(target, "main", source, "main"), sqlite3_backup_finish);
    if (!backup)
        throw Exception(std::string("无法开始备份：") + sqlite3_errmsg(target));
    const auto limit = std::chrono::steady_clock::now() + options.BusyLimit;
    for (;;) {
        if (options.Stop && options.Stop->load(std::memory_order_relaxed))
            throw EBackupStopped();
        const int rc = sqlite3_backup_step(backup.get(), std::max(1, options.PagesPerStep));
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // A writer holds the ledger: wait for it, up to a limit.
            if (std::chrono::steady_clock::now() > limit)
                throw Exception("无法备份：账本长时间被其他程序锁定");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        if (rc != SQLITE_OK)
            throw Exception(std::string("备份失败：") + sqlite3_errstr(rc));
        if (options.OnStep)
            options.OnStep(sqlite3_backup_remaining(backup.get()), sqlite3_backup_pagecount(backup.get()));
        if (options.Pause.count() > 0)
            std::this_thread::sleep_for(options.Pause);
    }
    if (const int rc = sqlite3_backup_finish(backup.release()); rc != SQLITE_OK)
        throw Exception(std::string("备份失败：") + sqlite3_errstr(rc));
}

} // namespace

QString BackupFolder(const QString &ledgerPath)
{
    const QFileInfo ledger(ledgerPath);
    return ledger.dir().filePath(ledger.completeBaseName() + QStringLiteral(".backups"));
}

QString BackupFileName(const QString &ledgerPath, const QDateTime &time)
{
    const QFileInfo ledger(ledgerPath);
    return ledger.completeBaseName() + '-' + time.toString(QString::fromLatin1(TimeFormat)) + Suffix(ledger);
}

std::vector<TBackup> ListBackups(const QString &ledgerPath)
{
    const QFileInfo ledger(ledgerPath);
    const QRegularExpression name('^' + QRegularExpression::escape(ledger.completeBaseName()) +
                                  "-(\\d{4}-\\d\\d-\\d\\d-\\d{6})" +
                                  QRegularExpression::escape(Suffix(ledger)) + '$');
    std::vector<TBackup> backups;
    const QDir folder(BackupFolder(ledgerPath));
    for (const QFileInfo &file : folder.entryInfoList(QDir::Files)) {
        const QRegularExpressionMatch match = name.match(file.fileName());
        if (!match.hasMatch())
            continue;
        const QDateTime time = QDateTime::fromString(match.captured(1), QString::fromLatin1(TimeFormat));
        if (time.isValid())
            backups.push_back({file.absoluteFilePath(), time, ReadBackupMarker(file.absoluteFilePath())});
    }
    std::sort(backups.begin(), backups.end(), [](const TBackup &a, const TBackup &b) {
        if (a.Marker.Sequence != b.Marker.Sequence)
            return a.Marker.Sequence > b.Marker.Sequence;
        return a.Time > b.Time;
    });
    return backups;
}

namespace {

//! Keeps the first ten of `order` and the first of each of the last twelve
//! months that `order` reaches.
std::vector<bool> KeepRanked(const std::vector<QDateTime> &times, const std::vector<size_t> &order,
                             const QDateTime &now)
{
    const QDate today = now.date();
    const int thisMonth = today.year() * 12 + today.month() - 1;
    std::set<int> monthsSeen;
    std::vector<bool> keep(times.size(), false);
    for (size_t rank = 0; rank < order.size(); ++rank) {
        const QDate day = times[order[rank]].date();
        const int month = day.year() * 12 + day.month() - 1;
        if (rank < NewestKept)
            keep[order[rank]] = true;
        if (month > thisMonth - MonthsKept && month <= thisMonth && monthsSeen.insert(month).second)
            keep[order[rank]] = true;
    }
    return keep;
}

} // namespace

std::vector<bool> BackupsToKeep(const std::vector<QDateTime> &times, const QDateTime &now)
{
    std::vector<size_t> order(times.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return times[a] > times[b]; });
    return KeepRanked(times, order, now);
}

std::vector<bool> BackupsToKeepInOrder(const std::vector<QDateTime> &timesNewestFirst, const QDateTime &now)
{
    std::vector<size_t> order(timesNewestFirst.size());
    std::iota(order.begin(), order.end(), size_t(0));
    return KeepRanked(timesNewestFirst, order, now);
}

namespace {

//! DatabaseProblem, given up (EBackupStopped) once `stop` is set.
QString StoppableProblem(const QString &path, bool quick, const std::atomic<bool> *stop);

} // namespace

QString DatabaseProblem(const QString &path, bool quick)
{
    return StoppableProblem(path, quick, nullptr);
}

namespace {

int StopRequested(void *stop)
{
    return static_cast<const std::atomic<bool> *>(stop)->load(std::memory_order_relaxed) ? 1 : 0;
}

QString StoppableProblem(const QString &path, bool quick, const std::atomic<bool> *stop)
{
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("文件不存在");
    if (!file.isFile())
        return QStringLiteral("不是文件");
    try {
        Database db = Open(path);
        if (stop)
            sqlite3_progress_handler(db.get(), 10000, StopRequested,
                                     const_cast<void *>(static_cast<const void *>(stop)));
        sqlite3_stmt *raw = nullptr;
        if (sqlite3_prepare_v2(db.get(), quick ? "PRAGMA quick_check" : "PRAGMA integrity_check", -1, &raw,
                               nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(db.get()));
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
        QStringList answers;
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
            answers.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 0))));
        if (stop && StopRequested(const_cast<void *>(static_cast<const void *>(stop))))
            throw EBackupStopped();
        if (rc != SQLITE_DONE)
            return QString::fromUtf8(sqlite3_errmsg(db.get()));
        if (answers != QStringList{QStringLiteral("ok")})
            return answers.join('\n');
        // A file that holds no ledger tables (an empty file is an empty
        // database to SQLite) cannot stand in for a ledger either.
        statement.reset();
        if (sqlite3_prepare_v2(db.get(),
                               "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND lower(name) IN "
                               "('gain', 'expen')",
                               -1, &raw, nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(db.get()));
        statement.reset(raw);
        if (sqlite3_step(raw) != SQLITE_ROW)
            return QString::fromUtf8(sqlite3_errmsg(db.get()));
        if (sqlite3_column_int(raw, 0) != 2)
            return QStringLiteral("文件中没有账本的表 gain 和 expen");
        return QString();
    } catch (const EBackupStopped &) {
        throw;
    } catch (const Exception &e) {
        return QString::fromStdString(e.message());
    }
}

} // namespace

QString MakeBackup(const QString &ledgerPath, const QDateTime &now, const TBackupOptions &options)
{
    const QFileInfo ledger(ledgerPath);
    if (!ledger.isFile())
        throw Exception("找不到账本文件" + Shown(ledgerPath));
    const QString folder = BackupFolder(ledgerPath);
    if (!QDir().mkpath(folder))
        throw Exception("无法建立备份文件夹" + Shown(folder));
    ClearLeftovers(folder);
    // Rotation below counts the copies waiting for their check only once
    // they passed it.
    if (options.FullCheck)
        ConfirmBackups(ledgerPath, options.Stop);

    QString part;
    {
        QTemporaryFile temporary(
            QDir(folder).filePath(ledger.completeBaseName() + QStringLiteral("-XXXXXX.part")));
        if (!temporary.open())
            throw Exception("无法在" + Shown(folder) + "中建立备份：" + Utf8(temporary.errorString()));
        temporary.setAutoRemove(false);
        part = temporary.fileName();
    }
    const auto discard = [&part] {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
    };
    try {
        {
            Database source = Open(ledgerPath);
            Database target = Open(part);
            // The part file is thrown away after a crash, so it needs no
            // journal; it is synced once, when complete.
            sqlite3_exec(target.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr,
                         nullptr);
            // The state before the copy: a write that lands during the copy
            // makes the next close see a change, one copy too many at most.
            TBackupMarker marker = LedgerState(source.get(), ledgerPath);
            marker.TakenAt = now;
            marker.Confirmed = options.FullCheck;
            marker.Sequence = 1;
            for (const TBackup &older : ListBackups(ledgerPath))
                marker.Sequence = std::max(marker.Sequence, older.Marker.Sequence + 1);
            CopyPages(source.get(), target.get(), options);
            WriteBackupMarker(target.get(), marker);
            if (sqlite3_close(target.release()) != SQLITE_OK)
                throw Exception("备份无法完成");
        }
        if (!SyncPath(part))
            throw Exception("备份无法写入磁盘");
        const QString problem = StoppableProblem(part, !options.FullCheck, options.Stop);
        if (!problem.isEmpty())
            throw EBackupCheckFailed("新备份没有通过完整性检查（账本文件可能已损坏），旧的备份都保留着：" +
                                     Utf8(problem));

        // Never over an existing backup: a second backup within the same
        // second takes the next free second.
        QString path;
        for (int second = 0; second < 60 && path.isEmpty(); ++second) {
            const QString candidate = QDir(folder).filePath(BackupFileName(ledgerPath, now.addSecs(second)));
            if (!QFileInfo::exists(candidate) && QFile::rename(part, candidate))
                path = QFileInfo(candidate).absoluteFilePath();
        }
        if (path.isEmpty())
            throw Exception("无法给" + Shown(folder) + "中的新备份命名");
        SyncPath(folder, true);
        if (options.FullCheck)
            RotateBackups(ledgerPath, now, path);
        return path;
    } catch (...) {
        discard();
        throw;
    }
}

void RotateBackups(const QString &ledgerPath, const QDateTime &now, const QString &keep)
{
    const std::vector<TBackup> backups = ListBackups(ledgerPath);
    std::vector<QDateTime> times;
    for (const TBackup &backup : backups)
        times.push_back(backup.Time);
    const std::vector<bool> kept = BackupsToKeepInOrder(times, now);
    for (size_t i = 0; i < backups.size(); ++i)
        if (!kept[i] && QFileInfo(backups[i].Path) != QFileInfo(keep))
            QFile::remove(backups[i].Path);
}

bool HasUnconfirmedBackups(const QString &ledgerPath)
{
    const std::vector<TBackup> backups = ListBackups(ledgerPath);
    return std::any_of(backups.begin(), backups.end(), [](const TBackup &b) { return !b.Marker.Confirmed; });
}

void ConfirmBackups(const QString &ledgerPath, const std::atomic<bool> *stop)
{
    QStringList failed;
    for (const TBackup &backup : ListBackups(ledgerPath)) {
        if (backup.Marker.Confirmed)
            continue;
        const QString problem = StoppableProblem(backup.Path, false, stop);
        if (problem.isEmpty()) {
            ConfirmBackupMarker(backup.Path);
        } else {
            QFile::remove(backup.Path);
            failed.append(problem);
        }
    }
    if (!failed.isEmpty())
        throw EBackupCheckFailed("新备份没有通过完整性检查（账本文件可能已损坏），旧的备份都保留着：" +
                                 Utf8(failed.join('\n')));
}

bool HasBackupOn(const QString &ledgerPath, const QDate &day)
{
    const std::vector<TBackup> backups = ListBackups(ledgerPath);
    return std::any_of(backups.begin(), backups.end(),
                       [&](const TBackup &b) { return b.Time.date() == day; });
}

bool ChangedSinceNewestBackup(const QString &ledgerPath)
{
    const std::vector<TBackup> backups = ListBackups(ledgerPath);
    if (backups.empty())
        return true;
    const TBackup &newest = backups.front();
    if (newest.Marker.HasMarker()) {
        try {
            Database ledger = Open(ledgerPath, SQLITE_OPEN_READONLY);
            return !SameLedgerState(newest.Marker, LedgerState(ledger.get(), ledgerPath));
        } catch (const Exception &) {
            return true; // a ledger that cannot be read now: the backup will say why
        }
    }
    // A name keeps whole seconds: a write in the second of the backup counts
    // as a change, which costs at most one copy too many. A name in the
    // future was written by a wrong clock and proves nothing.
    const QDateTime modified = QFileInfo(ledgerPath).lastModified();
    return newest.Time > QDateTime::currentDateTime() || modified >= newest.Time;
}

TBackup NewestGoodBackup(const QString &ledgerPath)
{
    for (const TBackup &backup : ListBackups(ledgerPath))
        if (DatabaseProblem(backup.Path, false).isEmpty())
            return backup;
    return {};
}

} // namespace kestrum
