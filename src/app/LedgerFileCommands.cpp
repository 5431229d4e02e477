#include "app/LedgerFileCommands.h"

#include "app/LedgerSwitcher.h"
#include "app/MainWindow.h"
#include "core/Utf8.h"
#include "ledger/Backups.h"
#include "ui/ErrorBox.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace kestrum {

namespace {

const char *const LedgerFilter = "账本文件 (*.mdb);;所有文件 (*)";

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
    ChooseLedger = [this] {
        return QFileDialog::getOpenFileName(&FWindow, utf8("打开账本"), folder(), utf8(LedgerFilter));
    };
    ChooseBackup = [this] {
        const QString backups =
            FSwitcher.View() == TLedgerView::Ledger ? BackupFolder(FSwitcher.ShownPath()) : folder();
        return QFileDialog::getOpenFileName(&FWindow, utf8("查看备份"), backups, utf8(LedgerFilter));
    };

    FSwitcher.SetSwitched([this] { switched(); });
    if (FSwitcher.View() == TLedgerView::Ledger && QFileInfo(FSwitcher.ShownPath()).isFile())
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

void TLedgerFileCommands::BackupClick()
{
    const QString path = ChooseBackup();
    if (!path.isEmpty())
        FSwitcher.OpenBackup(path);
}

void TLedgerFileCommands::OpenRecent(const QString &path)
{
    FSwitcher.OpenLedger(path);
}

void TLedgerFileCommands::switched()
{
    if (FSwitcher.View() == TLedgerView::Ledger)
        FRecent.Add(FSwitcher.ShownPath());
    FWindow.setWindowTitle(FSwitcher.WindowTitle());
    fillRecentMenu();
}

void TLedgerFileCommands::fillRecentMenu()
{
    RecentMenu->clear();
    const QStringList paths = FRecent.Existing();
    for (const QString &path : paths) {
        QAction *item = RecentMenu->addAction(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this,
                [this, path] { guarded([this, path] { OpenRecent(path); }); });
    }
    RecentMenu->setEnabled(!paths.isEmpty());
}

} // namespace kestrum
