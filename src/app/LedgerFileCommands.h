#pragma once
// The menu's ledger items: "新建账本...", "打开账本...", "查看备份..." and
// "最近打开", placed before "退出". Each asks for a file and hands it to the
// ledger switcher; the window's title follows the open file.
#include "app/RecentLedgers.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QMenu;

namespace kestrum {

class TForm1;
class TLedgerSwitcher;

class TLedgerFileCommands : public QObject {
    Q_OBJECT
public:
    TLedgerFileCommands(TForm1 &window, TLedgerSwitcher &switcher, TRecentLedgers recent = TRecentLedgers());

    QAction *NewAction;    //!< "新建账本..."
    QAction *OpenAction;   //!< "打开账本..."
    QAction *BackupAction; //!< "查看备份..."
    QMenu *RecentMenu;     //!< "最近打开"

    void NewClick();
    void OpenClick();
    void BackupClick();
    void OpenRecent(const QString &path);
    //! "服务器..." of "打开账本...": a ledger on a database server.
    void OpenServerClick();

    // Where the user is asked; tests answer in the user's place ("" = cancelled).
    std::function<QString()> ChooseNewLedger;
    //! A file, or a server address when the user picks "服务器...".
    std::function<QString()> ChooseLedger;
    std::function<QString()> ChooseServer;
    std::function<QString()> ChooseBackup;
    //! Where a local copy of a server ledger goes ("" = not now).
    std::function<QString()> ChooseServerCopy;
    //! Shows a message box; its index of the pressed button.
    std::function<int(const QString &text, const QStringList &buttons)> Ask;

    const TRecentLedgers &Recent() const { return FRecent; }

private:
    void guarded(const std::function<void()> &action);
    void switched();
    //! 查看备份... on a server ledger: where its local copies come from, and
    //! one written now on request.
    void serverBackup();
    void fillRecentMenu();
    QString folder() const;

    TForm1 &FWindow;
    TLedgerSwitcher &FSwitcher;
    TRecentLedgers FRecent;
};

} // namespace kestrum
