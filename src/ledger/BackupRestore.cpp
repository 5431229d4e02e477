// Putting a backup in the ledger's place, keeping the file it replaces.
#include "core/Errors.h"
#include "ledger/Backups.h"
#include "ledger/LedgerLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

std::string Shown(const QString &path)
{
    return "“" + QDir::toNativeSeparators(path).toStdString() + "”";
}

//! The files SQLite keeps beside a database; a journal left by a crash
//! belongs to the file it was written for and moves with it.
const char *const Companions[] = {"-journal", "-wal", "-shm"};

//! Copies `from` to a new temporary file beside `ledgerPath` and makes it
//! durable; returns its name.
QString CopyBeside(const QString &from, const QString &ledgerPath)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw Exception("无法读取备份" + Shown(from) + "：" + source.errorString().toStdString());
    QTemporaryFile target(ledgerPath + QStringLiteral(".XXXXXX.part"));
    if (!target.open())
        throw Exception("无法在账本旁建立文件：" + target.errorString().toStdString());
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty())
        if (target.write(chunk) != chunk.size())
            throw Exception("无法复制备份：" + target.errorString().toStdString());
    if (source.error() != QFileDevice::NoError)
        throw Exception("无法读取备份" + Shown(from) + "：" + source.errorString().toStdString());
    if (!target.flush() || ::fsync(target.handle()) != 0)
        throw Exception("无法把恢复的账本写入磁盘");
    target.setAutoRemove(false);
    return target.fileName();
}

} // namespace

QString RestoreBackup(const QString &backupPath, const QString &ledgerPath, const QDateTime &now,
                      const QString &asideWord, TLedgerLock *heldLock)
{
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

    const QString restored = CopyBeside(backupPath, ledgerPath);
    const QFileInfo current(ledgerPath);
    QString aside;
    std::vector<std::pair<QString, QString>> moved; // (from, to), undone when the restore fails
    const auto undo = [&] {
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            QFile::rename(it->second, it->first);
        QFile::remove(restored);
    };
    try {
        std::optional<mode_t> mode;
        if (current.exists()) {
            struct stat info {};
            if (::stat(QFile::encodeName(ledgerPath).constData(), &info) == 0)
                mode = info.st_mode & 07777;
            const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
            for (int n = 1; aside.isEmpty(); ++n) {
                const QString candidate = ledgerPath + '.' + asideWord + '-' + stamp +
                                          (n > 1 ? '-' + QString::number(n) : QString());
                bool free = !QFileInfo::exists(candidate);
                for (const char *companion : Companions)
                    free = free && !QFileInfo::exists(candidate + QLatin1String(companion));
                if (free)
                    aside = candidate;
            }
            if (!QFile::rename(ledgerPath, aside))
                throw Exception("无法把账本" + Shown(ledgerPath) + "改名保留，账本保持原样");
            moved.emplace_back(ledgerPath, aside);
            for (const char *companion : Companions) {
                const QString from = ledgerPath + QLatin1String(companion);
                if (!QFileInfo::exists(from))
                    continue;
                if (!QFile::rename(from, aside + QLatin1String(companion)))
                    throw Exception("无法把" + Shown(from) + "改名保留，账本保持原样");
                moved.emplace_back(from, aside + QLatin1String(companion));
            }
        }
        if (mode)
            ::chmod(QFile::encodeName(restored).constData(), *mode);
        else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::chmod(QFile::encodeName(restored).constData(), 0666 & ~mask);
        }
        if (!QFile::rename(restored, ledgerPath))
            throw Exception("无法把恢复的账本放到" + Shown(ledgerPath) + "，账本保持原样");
    } catch (...) {
        undo();
        throw;
    }
    const int folder =
        ::open(QFile::encodeName(current.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return aside;
}

} // namespace kestrum
