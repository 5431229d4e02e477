#include "app/LedgerSwitcher.h"

#include "app/AccessConversion.h"
#include "app/ServerAddress.h"
#include "core/Errors.h"
#include "db/DbDriver.h"
#include "ledger/LedgerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestrum {

namespace {

bool IsServer(const QString &target)
{
    return IsServerTarget(target.toStdString());
}

std::string Shown(const QString &path)
{
    return "“" + QDir::toNativeSeparators(path).toStdString() + "”";
}

} // namespace

TLedgerSwitcher::TLedgerSwitcher(TLedgerData &data, std::unique_ptr<TLedgerSafekeeping> &safekeeping)
    : FData(data), FSafekeeping(safekeeping), FShownPath(data.LedgerPath())
{
    FMakeSafekeeping = [](const QString &path) { return std::make_unique<TLedgerSafekeeping>(path); };
}

bool TLedgerSwitcher::IsInBackupFolder(const QString &path)
{
    return QFileInfo(path).absoluteDir().dirName().endsWith(QStringLiteral(".backups"));
}

QString TLedgerSwitcher::WindowTitle() const
{
    if (IsServer(FShownPath)) {
        const std::optional<TServerAddress> address = TServerAddress::Parse(FShownPath);
        return QStringLiteral("Kestrum - ") + (address ? address->Shown() : QStringLiteral("服务器"));
    }
    const QString name = QFileInfo(FShownPath).fileName();
    if (FView == TLedgerView::Backup)
        return QStringLiteral("Kestrum - ") + name + QString::fromUtf8("（备份，只读）");
    return QStringLiteral("Kestrum - ") + name;
}

bool TLedgerSwitcher::OpenLedger(const QString &path)
{
    if (IsServer(path)) {
        // The same server ledger, with or without a password typed again.
        if (FView == TLedgerView::Ledger && IsServer(FShownPath) &&
            WithoutPassword(path) == WithoutPassword(FShownPath))
            return true;
        if (!settle())
            return false;
        switchTo(path, TLedgerView::Ledger, {});
        return true;
    }
    if (IsInBackupFolder(path))
        return OpenBackup(path);
    const QFileInfo info(path);
    if (!info.isFile())
        throw Exception("找不到账本文件" + Shown(info.absoluteFilePath()) + "。");
    if (FView == TLedgerView::Ledger && info == QFileInfo(FShownPath))
        return true; // open already
    if (!settle())
        return false;
    switchTo(info.absoluteFilePath(), TLedgerView::Ledger, {});
    return true;
}

bool TLedgerSwitcher::CreateLedger(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        throw Exception("文件" + Shown(info.absoluteFilePath()) + "已经存在；新建账本不会覆盖任何文件。");
    // Settled before the file is made: a user who keeps typing gets no
    // stray empty ledger.
    if (!settle())
        return false;
    CreateLedgerDatabase(info.absoluteFilePath());
    switchTo(info.absoluteFilePath(), TLedgerView::Ledger, {});
    return true;
}

bool TLedgerSwitcher::OpenBackup(const QString &backupPath)
{
    const QFileInfo info(backupPath);
    if (!info.isFile())
        throw Exception("找不到备份文件" + Shown(info.absoluteFilePath()) + "。");
    // The copy is made before anything closes: a backup that cannot be
    // copied leaves the open ledger as it was.
    auto copyFolder = std::make_unique<QTemporaryDir>();
    const QString copy = copyFolder->filePath(info.fileName());
    if (!copyFolder->isValid() || !QFile::copy(info.absoluteFilePath(), copy))
        throw Exception("无法读取备份文件" + Shown(info.absoluteFilePath()) + "。");
    if (!settle())
        return false;
    switchTo(info.absoluteFilePath(), TLedgerView::Backup, std::move(copyFolder));
    return true;
}

bool TLedgerSwitcher::settle() const
{
    for (const TSettleStep &step : FSettle)
        if (step && !step())
            return false;
    return true;
}

void TLedgerSwitcher::switchTo(const QString &shownPath, TLedgerView view,
                               std::unique_ptr<QTemporaryDir> copyFolder)
{
    const QString opened = copyFolder ? copyFolder->filePath(QFileInfo(shownPath).fileName()) : shownPath;
    FData.SwitchTo(opened, view == TLedgerView::Backup);
    // The old ledger's close backup runs now that its record sets closed.
    FSafekeeping.reset();
    FBackupCopy = std::move(copyFolder);
    FView = view;
    FShownPath = shownPath;
    // A server keeps its own data safe: no Access file to convert, no file
    // to lock, check or copy at close.
    if (view == TLedgerView::Ledger && !IsServer(opened)) {
        OfferAccessConversion(opened, FParent);
        FSafekeeping = FMakeSafekeeping(opened);
    }
    FData.Loaded(FOnError);
    FData.LedgerChanged();
    if (FSwitched)
        FSwitched();
}

} // namespace kestrum
