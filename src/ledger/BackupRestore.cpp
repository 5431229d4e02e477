// Putting a backup in the ledger's place, keeping the file it replaces.
//
// The order of the steps is what keeps the ledger safe when the process is
// killed between two of them: the copy is made and put on disk under a
// temporary name, the old file gets its aside name as a second link while the
// ledger's path still names it, and one rename then replaces the path's file
// with the copy. No moment leaves the path without a whole ledger.
#include "ledger/BackupRestore.h"

#include "core/Errors.h"
#include "ledger/Backups.h"
#include "ledger/LedgerLock.h"
#include "ledger/WriteTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

TRestoreStepHook &StepHook()
{
    static TRestoreStepHook hook;
    return hook;
}

void Reached(TRestoreStep step)
{
    if (StepHook())
        StepHook()(step);
}

std::string Shown(const QString &path)
{
    return "“" + QDir::toNativeSeparators(path).toStdString() + "”";
}

QByteArray Native(const QString &path)
{
    return QFile::encodeName(path);
}

//! The files SQLite keeps beside a database; a journal left by a crash
//! belongs to the file it was written for and moves with it.
const char *const Companions[] = {"-journal", "-wal", "-shm"};

//! Copies `from` into a new temporary file beside `ledgerPath` and makes it
//! durable; returns its name.
QString CopyBeside(const QString &from, const QString &ledgerPath, const char *what)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw Exception(std::string("无法读取") + what + Shown(from) + "：" +
                        source.errorString().toStdString());
    QTemporaryFile target(ledgerPath + QStringLiteral(".XXXXXX.part"));
    if (!target.open())
        throw Exception("无法在账本旁建立文件：" + target.errorString().toStdString());
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty())
        if (target.write(chunk) != chunk.size())
            throw Exception(std::string("无法复制") + what + "：" + target.errorString().toStdString());
    if (source.error() != QFileDevice::NoError)
        throw Exception(std::string("无法读取") + what + Shown(from) + "：" +
                        source.errorString().toStdString());
    if (!target.flush() || ::fsync(target.handle()) != 0)
        throw Exception(std::string("无法把") + what + "的副本写入磁盘");
    target.setAutoRemove(false);
    return target.fileName();
}

//! Gives the file at `from` the second name `to` without touching `from`: a
//! hard link, or on a disk without them a durable copy. Never overwrites.
void KeepAs(const QString &from, const QString &to)
{
    if (::link(Native(from).constData(), Native(to).constData()) == 0)
        return;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV && errno != EMLINK)
        throw Exception("无法把" + Shown(from) + "另存为" + Shown(to) + "，账本保持原样");
    const QString copy = CopyBeside(from, to, "账本");
    if (::link(Native(copy).constData(), Native(to).constData()) != 0 &&
        ::rename(Native(copy).constData(), Native(to).constData()) != 0) {
        QFile::remove(copy);
        throw Exception("无法把" + Shown(from) + "另存为" + Shown(to) + "，账本保持原样");
    }
    QFile::remove(copy);
}

std::optional<struct stat> StatOf(const QString &path)
{
    struct stat info {};
    if (::stat(Native(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

//! A name "<ledger>.<word>-<time>[-n]" that neither the file nor its companions use.
QString FreeAsideName(const QString &ledgerPath, const QString &asideWord, const QDateTime &now)
{
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1;; ++n) {
        const QString candidate =
            ledgerPath + '.' + asideWord + '-' + stamp + (n > 1 ? '-' + QString::number(n) : QString());
        bool free = !QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink();
        for (const char *companion : Companions)
            free = free && !QFileInfo::exists(candidate + QLatin1String(companion));
        if (free)
            return candidate;
    }
}

} // namespace

TRestoreStepHook SetRestoreStepHook(TRestoreStepHook hook)
{
    std::swap(StepHook(), hook);
    return hook;
}

QString RestoreBackup(const QString &backupPath, const QString &ledgerPath, const QDateTime &now,
                      const QString &asideWord, TLedgerLock *heldLock)
{
    if (SameFile(backupPath, ledgerPath))
        throw Exception("备份" + Shown(backupPath) + "就是账本" + Shown(ledgerPath) + "本身，账本保持原样");
    const QString problem = DatabaseProblem(backupPath, false);
    if (!problem.isEmpty())
        throw Exception("备份" + Shown(backupPath) + "不能使用，账本保持原样：" + problem.toStdString());

    std::optional<TLedgerLock> ownLock;
    if (!heldLock || !heldLock->Exclusive()) {
        if (heldLock)
            throw Exception("恢复需要独占账本");
        ownLock.emplace(ledgerPath);
        if (!ownLock->LockExclusive())
            throw Exception(ownLock->Busy()
                                ? "账本" + Shown(ledgerPath) + "正被记账程序打开，请先关闭程序再恢复"
                                : "无法锁定账本" + Shown(ledgerPath) + "：" + ownLock->Error().toStdString());
    }
    const std::optional<struct stat> current = StatOf(ledgerPath);
    if (current && !S_ISREG(current->st_mode))
        throw Exception(Shown(ledgerPath) + "不是文件，没有恢复");
    // Any other program's connection that writes now would go on writing into
    // the file put aside and believe its entries saved.
    if (current && DatabaseWriteLockHeld(ledgerPath))
        throw Exception("账本" + Shown(ledgerPath) + "正在写入（另一个程序正在修改它），请等它完成后再恢复");

    const QString restored = CopyBeside(backupPath, ledgerPath, "备份");
    QString aside;
    std::optional<struct stat> restoredFile;
    std::vector<std::pair<QString, QString>> companionsMoved; // (from, to), undone when the restore fails
    const auto undo = [&] {
        for (const auto &[from, to] : companionsMoved)
            QFile::rename(to, from);
        if (!aside.isEmpty())
            QFile::remove(aside); // the ledger's path still names the old file
        QFile::remove(restored);
    };
    try {
        // The copy is read back before it replaces anything.
        if (const QString copyProblem = DatabaseProblem(restored, true); !copyProblem.isEmpty())
            throw Exception("备份的副本读回时有错误，账本保持原样：" + copyProblem.toStdString());
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(Native(restored).constData(), current ? current->st_mode & 07777 : 0666 & ~mask);
        Reached(TRestoreStep::Copied);

        if (current) {
            aside = FreeAsideName(ledgerPath, asideWord, now);
            KeepAs(ledgerPath, aside);
            Reached(TRestoreStep::OldKeptAside);
            // Moved before the copy takes the path: a journal left beside the
            // restored file would be played back into it.
            for (const char *companion : Companions) {
                const QString from = ledgerPath + QLatin1String(companion);
                if (!QFileInfo::exists(from))
                    continue;
                const QString to = aside + QLatin1String(companion);
                if (!QFile::rename(from, to))
                    throw Exception("无法把" + Shown(from) + "改名保留，账本保持原样");
                companionsMoved.emplace_back(from, to);
            }
            Reached(TRestoreStep::CompanionsAside);
        }
        restoredFile = StatOf(restored);
        if (!restoredFile || ::rename(Native(restored).constData(), Native(ledgerPath).constData()) != 0)
            throw Exception("无法把恢复的账本放到" + Shown(ledgerPath) + "，账本保持原样");
    } catch (...) {
        undo();
        throw;
    }
    Reached(TRestoreStep::Replaced);

    // The restore is done only when the folder's new entries are on disk.
    const int folder =
        ::open(Native(QFileInfo(ledgerPath).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0)
        ::close(folder);
    if (!synced)
        throw Exception("恢复的账本已放到" + Shown(ledgerPath) +
                        (aside.isEmpty() ? "" : "，原来的文件保留为" + Shown(aside)) +
                        "，但无法确认文件夹已写入磁盘；请不要断电，稍后用 kestrum-db check 检查账本");
    const std::optional<struct stat> atPath = StatOf(ledgerPath);
    if (!atPath || atPath->st_dev != restoredFile->st_dev || atPath->st_ino != restoredFile->st_ino)
        throw Exception("恢复后" + Shown(ledgerPath) + "不是恢复的文件（另一个程序同时改动了它）" +
                        (aside.isEmpty() ? "" : "；原来的文件保留为" + Shown(aside)));
    Reached(TRestoreStep::Synced);
    return aside;
}

} // namespace kestrum
