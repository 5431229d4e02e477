#include "app/LedgerFileCommands.h"

#include "ServerCommands.h"
#include "app/LedgerData.h"
#include "app/LedgerSwitcher.h"
#include "app/MainWindow.h"
#include "app/ServerAddress.h"
#include "app/ServerOpenDialog.h"
#include "core/Utf8.h"
#include "db/DbDriver.h"
#include "ledger/Backups.h"
#include "ledger/LedgerLocation.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace kestrum {

namespace {

const char *const LedgerFilter = "账本文件 (*.mdb);;所有文件 (*)";

bool IsServer(const QString &target)
{
    return IsServerTarget(target.toStdString());
}

} // namespace

TLedgerFileCommands::TLedgerFileCommands(TForm1 &window, TLedgerSwitcher &switcher, TRecentLedgers recent)
    : QObject(&window), FWindow(window), FSwitcher(switcher), FRecent(std::move(recent))
{
    setObjectName(QStringLiteral("LedgerFiles"));
    NewAction = new QAction(utf8("新建账本..."), this);
    OpenAction = new QAction(utf8("打开账本..."), this);
    BackupAction = new QAction(utf8("查看备份..."), this);
    RecentMenu = new QMenu(utf8("最近打开"), &window);
    QMenu *menu = window.N1;
    menu->insertAction(window.N9, NewAction);
    menu->insertAction(window.N9, OpenAction);
    menu->insertMenu(window.N9, RecentMenu);
    menu->insertAction(window.N9, BackupAction);
    menu->insertSeparator(window.N9);
    connect(NewAction, &QAction::triggered, this, [this] { guarded([this] { NewClick(); }); });
    connect(OpenAction, &QAction::triggered, this, [this] { guarded([this] { OpenClick(); }); });
    connect(BackupAction, &QAction::triggered, this, [this] { guarded([this] { BackupClick(); }); });
    connect(RecentMenu, &QMenu::aboutToShow, this, [this] { fillRecentMenu(); });

    ChooseNewLedger = [this] {
        QString path = QFileDialog::getSaveFileName(&FWindow, utf8("新建账本"), folder(), utf8(LedgerFilter),
                                                    nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".mdb");
        return path;
    };
    Ask = [this](const QString &text, const QStringList &buttons) {
        TMessageBoxRequest request;
        request.Caption = ApplicationTitle();
        request.Icon = miQuestion;
        request.Text = text;
        request.Buttons = buttons;
        return ShowMessageBox(&FWindow, request);
    };
    ChooseLedger = [this] {
        const int where =
            Ask(QStringLiteral("要打开的账本在哪里？"),
                {QStringLiteral("文件..."), QStringLiteral("服务器..."), QStringLiteral("取消")});
        if (where == 1)
            return ChooseServer();
        if (where != 0)
            return QString();
        return QFileDialog::getOpenFileName(&FWindow, utf8("打开账本"), folder(), utf8(LedgerFilter));
    };
    ChooseServer = [this] {
        // Filled in from the open server ledger, else the newest one opened.
        TServerOpenModel start;
        QStringList known = FRecent.All();
        known.prepend(FSwitcher.ShownPath());
        for (const QString &target : known)
            if (IsServer(target)) {
                if (const std::optional<TServerAddress> address = TServerAddress::Parse(target))
                    start.SetFrom(*address);
                break;
            }
        return TServerOpenDialog::Choose(&FWindow, start);
    };
    ChooseServerCopy = [this] {
        const std::optional<TServerAddress> address = TServerAddress::Parse(FSwitcher.ShownPath());
        const QString name =
            (address ? address->Database() : QStringLiteral("ledger")) + QStringLiteral("-backup-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".mdb");
        return QFileDialog::getSaveFileName(&FWindow, QStringLiteral("写一份本机副本"),
                                            QDir(UserDataFolder()).filePath(name), utf8(LedgerFilter));
    };
    ChooseBackup = [this] {
        const QString backups =
            FSwitcher.View() == TLedgerView::Ledger ? BackupFolder(FSwitcher.ShownPath()) : folder();
        return QFileDialog::getOpenFileName(&FWindow, utf8("查看备份"), backups, utf8(LedgerFilter));
    };

    FSwitcher.SetSwitched([this] { switched(); });
    if (FSwitcher.View() == TLedgerView::Ledger &&
        (IsServer(FSwitcher.ShownPath()) ? FWindow.Data().ADOConnection1.Connected()
                                         : QFileInfo(FSwitcher.ShownPath()).isFile()))
        FRecent.Add(FSwitcher.ShownPath());
    window.setWindowTitle(FSwitcher.WindowTitle());
    fillRecentMenu();
}

void TLedgerFileCommands::guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &error) {
        ShowException(&FWindow, error);
    }
}

QString TLedgerFileCommands::folder() const
{
    if (IsServer(FSwitcher.ShownPath()))
        return QDir::currentPath();
    return QFileInfo(FSwitcher.ShownPath()).absolutePath();
}

void TLedgerFileCommands::NewClick()
{
    const QString path = ChooseNewLedger();
    if (!path.isEmpty())
        FSwitcher.CreateLedger(path);
}

void TLedgerFileCommands::OpenClick()
{
    const QString path = ChooseLedger();
    if (!path.isEmpty())
        FSwitcher.OpenLedger(path);
}

void TLedgerFileCommands::OpenServerClick()
{
    const QString target = ChooseServer();
    if (!target.isEmpty())
        FSwitcher.OpenLedger(target);
}

void TLedgerFileCommands::BackupClick()
{
    if (FSwitcher.View() == TLedgerView::Ledger && IsServer(FSwitcher.ShownPath())) {
        serverBackup();
        return;
    }
    const QString path = ChooseBackup();
    if (!path.isEmpty())
        FSwitcher.OpenBackup(path);
}

void TLedgerFileCommands::OpenRecent(const QString &path)
{
    FSwitcher.OpenLedger(path);
}

void TLedgerFileCommands::serverBackup()
{
    const QString address = WithoutPassword(FSwitcher.ShownPath());
    const int choice =
        Ask(QStringLiteral("服务器上的账本由服务器保管，Kestrum 关闭时不在本机复制它。\n\n"
                           "命令“kestrum-db backup %1”在当前文件夹写一份本机副本"
                           "（数据库名-backup-时间.mdb），这份副本不用服务器也能用“打开账本...”打开。\n\n"
                           "要现在写一份本机副本吗？")
                .arg(address),
            {QStringLiteral("写一份副本..."), QStringLiteral("关闭")});
    if (choice != 0)
        return;
    const QString file = ChooseServerCopy();
    if (file.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TLedgerCopy copy;
    try {
        copy = CopyLedger(FSwitcher.ShownPath().toStdString(), file.toStdString());
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    Ask(QStringLiteral("本机副本已写好：%1\n%2 笔进帐、%3 笔消费，笔数和金额合计都已核对。")
            .arg(QDir::toNativeSeparators(file))
            .arg(copy.GainRows)
            .arg(copy.ExpenRows),
        {QStringLiteral("确定")});
}

void TLedgerFileCommands::switched()
{
    // A server that could not be reached is no ledger to offer again.
    if (FSwitcher.View() == TLedgerView::Ledger &&
        (!IsServer(FSwitcher.ShownPath()) || FWindow.Data().ADOConnection1.Connected()))
        FRecent.Add(FSwitcher.ShownPath());
    FWindow.setWindowTitle(FSwitcher.WindowTitle());
    fillRecentMenu();
}

void TLedgerFileCommands::fillRecentMenu()
{
    RecentMenu->clear();
    const QStringList paths = FRecent.Existing();
    for (const QString &path : paths) {
        const std::optional<TServerAddress> server =
            IsServer(path) ? TServerAddress::Parse(path) : std::nullopt;
        QAction *item = RecentMenu->addAction(server ? server->Shown() : QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this,
                [this, path] { guarded([this, path] { OpenRecent(path); }); });
    }
    RecentMenu->setEnabled(!paths.isEmpty());
}

} // namespace kestrum
