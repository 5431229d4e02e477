#include "ledger/WriteTarget.h"

#include "core/Errors.h"
#include "ledger/LedgerLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

//! SQLite's lock bytes on a database file (its unix VFS): the pending byte,
//! the reserved byte after it, then the 510 bytes of the shared range.
constexpr off_t PendingByte = 0x40000000;
constexpr off_t LockBytes = 512;
//! The write lock of a write-ahead log, a byte of the "-shm" file.
constexpr off_t WalWriteLockByte = 120;

//! The files SQLite and the program keep beside a ledger.
const char *const Companions[] = {"-journal", "-wal", "-shm", ".lock"};

class TDescriptor {
public:
    explicit TDescriptor(const QString &path)
        : FFile(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~TDescriptor()
    {
        if (FFile >= 0)
            ::close(FFile);
    }
    TDescriptor(const TDescriptor &) = delete;
    TDescriptor &operator=(const TDescriptor &) = delete;
    int Get() const { return FFile; }

private:
    int FFile;
};

std::optional<struct stat> StatOf(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

//! Whether a record lock that conflicts with `type` over [start, start+length)
//! is held through another open file description, this process's own
//! classic POSIX locks included (open-file-description locks see them).
bool RecordLockConflicts(int file, short type, off_t start, off_t length)
{
    struct flock probe {};
    probe.l_type = type;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    if (::fcntl(file, F_OFD_GETLK, &probe) != 0)
        return false;
    return probe.l_type != F_UNLCK;
}

//! Whether someone holds a flock() on the file: tried exclusively, released at once.
bool FlockHeld(int file)
{
    int rc;
    do
        rc = ::flock(file, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        ::flock(file, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

//! The path with symbolic links resolved when it exists, made absolute when not.
QString Resolved(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

bool IsCompanionOf(const QString &target, const QString &ledger)
{
    const QFileInfo resolvedTarget(Resolved(target)), resolvedLedger(Resolved(ledger));
    if (!SameFile(resolvedTarget.absolutePath(), resolvedLedger.absolutePath()))
        return false;
    for (const char *companion : Companions)
        if (resolvedTarget.fileName() == resolvedLedger.fileName() + QLatin1String(companion))
            return true;
    return false;
}

QString Quoted(const QString &path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

} // namespace

bool SameFile(const QString &a, const QString &b)
{
    const auto first = StatOf(a), second = StatOf(b);
    return first && second && first->st_dev == second->st_dev && first->st_ino == second->st_ino;
}

bool HasDatabaseHeader(const QString &path)
{
    const TDescriptor file(path);
    if (file.Get() < 0)
        return false;
    unsigned char head[16] = {};
    ssize_t got;
    do
        got = ::read(file.Get(), head, sizeof head);
    while (got < 0 && errno == EINTR);
    if (got >= 16 && std::memcmp(head, "SQLite format 3", 16) == 0)
        return true;
    static const unsigned char journal[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
    if (got >= 8 && std::memcmp(head, journal, 8) == 0)
        return true;
    // A write-ahead log: 0x377f0682 or 0x377f0683, big-endian.
    return got >= 4 && head[0] == 0x37 && head[1] == 0x7f && head[2] == 0x06 && (head[3] & 0xfe) == 0x82;
}

bool HeldByAnotherProgram(const QString &path)
{
    const QString lockPath = TLedgerLock::LockPath(path);
    if (QFileInfo::exists(lockPath)) {
        const TDescriptor lock(lockPath);
        if (lock.Get() >= 0 && FlockHeld(lock.Get()))
            return true;
    }
    const TDescriptor file(path);
    if (file.Get() < 0)
        return false;
    return FlockHeld(file.Get()) || RecordLockConflicts(file.Get(), F_WRLCK, 0, 0);
}

bool DatabaseWriteLockHeld(const QString &path)
{
    {
        const TDescriptor file(path);
        // A read lock conflicts only with the write locks SQLite takes for
        // the reserved, pending and exclusive states, never with a reader's.
        if (file.Get() >= 0 && RecordLockConflicts(file.Get(), F_RDLCK, PendingByte, LockBytes))
            return true;
    }
    const QString shm = path + QStringLiteral("-shm");
    if (!QFileInfo::exists(shm))
        return false;
    const TDescriptor index(shm);
    return index.Get() >= 0 && RecordLockConflicts(index.Get(), F_RDLCK, WalWriteLockByte, 1);
}

TWriteTargetCheck CheckWriteTarget(const QString &target, const QString &readLedger)
{
    TWriteTargetCheck check;
    const auto refuse = [&](TWriteRefusal refusal, const QString &why) {
        check.Refusal = refusal;
        check.Message = QStringLiteral("不能写入%1：%2").arg(Quoted(target), why);
        return check;
    };
    if (target.isEmpty())
        return refuse(TWriteRefusal::NotAFile, QStringLiteral("没有给出文件名。"));
    const auto info = StatOf(target);
    // The ledger first, before anything opens the file: closing a descriptor
    // of the ledger would drop the locks of its own connections.
    if (info && !readLedger.isEmpty() && SameFile(target, readLedger))
        return refuse(TWriteRefusal::ReadLedger,
                      QStringLiteral("它就是正在读取的账本，写入会毁掉账本。请另选一个文件名。"));
    if (!readLedger.isEmpty() && IsCompanionOf(target, readLedger))
        return refuse(
            TWriteRefusal::LedgerCompanion,
            QStringLiteral("它是账本%1旁边的数据库辅助文件。请另选一个文件名。").arg(Quoted(readLedger)));
    if (!info)
        return check; // a new file
    if (!S_ISREG(info->st_mode))
        return refuse(TWriteRefusal::NotAFile, QStringLiteral("它不是一个普通文件。"));
    if (HasDatabaseHeader(target))
        return refuse(
            TWriteRefusal::Database,
            QStringLiteral("它是一个数据库文件（可能是账本或账本的备份），不会被覆盖。请另选一个文件名。"));
    if (HeldByAnotherProgram(target))
        return refuse(
            TWriteRefusal::InUse,
            QStringLiteral("另一个程序正打开并锁定着它（例如把它作为账本打开）。请另选一个文件名。"));
    return check;
}

void RequireWriteTarget(const QString &target, const QString &readLedger)
{
    const TWriteTargetCheck check = CheckWriteTarget(target, readLedger);
    if (!check.Allowed())
        throw Exception(check.Message.toStdString());
}

} // namespace kestrum
