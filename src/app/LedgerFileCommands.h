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

    // Where the user is asked; tests answer in the user's place ("" = cancelled).
    std::function<QString()> ChooseNewLedger;
    std::function<QString()> ChooseLedger;
    std::function<QString()> ChooseBackup;

    const TRecentLedgers &Recent() const { return FRecent; }

private:
    void guarded(const std::function<void()> &action);
    void switched();
    void fillRecentMenu();
    QString folder() const;

    TForm1 &FWindow;
    TLedgerSwitcher &FSwitcher;
    TRecentLedgers FRecent;
};

} // namespace kestrum
