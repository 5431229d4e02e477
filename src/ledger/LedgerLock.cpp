#include "ledger/LedgerLock.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrum {

TLedgerLock::TLedgerLock(const QString &ledgerPath) : FPath(LockPath(ledgerPath))
{
}

TLedgerLock::~TLedgerLock()
{
    if (FFile >= 0)
        ::close(FFile);
}

QString TLedgerLock::LockPath(const QString &ledgerPath)
{
    return ledgerPath + QStringLiteral(".lock");
}

bool TLedgerLock::LockShared()
{
    return Lock(LOCK_SH, THeld::Shared);
}

bool TLedgerLock::LockExclusive()
{
    return Lock(LOCK_EX, THeld::Exclusive);
}

bool TLedgerLock::Lock(int operation, THeld held)
{
    FError.clear();
    FBusy = false;
    if (FFile < 0) {
        FFile = ::open(QFile::encodeName(FPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (FFile < 0) {
            FError = QStringLiteral("无法建立锁文件“%1”：%2")
                         .arg(QFileInfo(FPath).fileName(), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    const auto attempt = [this](int how) {
        int rc;
        do
            rc = ::flock(FFile, how | LOCK_NB);
        while (rc != 0 && errno == EINTR);
        return rc == 0 ? 0 : errno;
    };
    if (const int error = attempt(operation)) {
        FBusy = error == EWOULDBLOCK;
        FError = error == EWOULDBLOCK ? QStringLiteral("账本正被另一个程序使用")
                                      : QString::fromLocal8Bit(std::strerror(error));
        // A converted lock is dropped before the new one is tried: a shared
        // lock that failed to become exclusive is taken again.
        if (FHeld == THeld::Shared && attempt(LOCK_SH) != 0)
            FHeld = THeld::None;
        return false;
    }
    FHeld = held;
    return true;
}

void TLedgerLock::Unlock()
{
    if (FFile >= 0)
        ::flock(FFile, LOCK_UN);
    FHeld = THeld::None;
}

} // namespace kestrum
