#pragma once
// Moving the open window from one ledger file to another: a new empty
// ledger, another ledger (a USB stick, last year's copy), or a backup shown
// to look at. The entry being typed is settled first, as closing does; the
// old record sets close, the old ledger gets its close backup, and the new
// one goes through the start checks (an old Access file offered for
// conversion, a damaged file offered its newest good backup) before its
// record sets open.
#include "app/LedgerData.h"
#include "app/LedgerSafekeeping.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace kestrum {

//! What the window shows: a ledger to work in, or a copy of a backup that
//! can be read but not changed.
enum class TLedgerView : std::uint8_t { Ledger, Backup };

class TLedgerSwitcher {
public:
    using TSettleStep = std::function<bool()>;
    using TSafekeepingFactory = std::function<std::unique_ptr<TLedgerSafekeeping>(const QString &ledgerPath)>;

    //! safekeeping: the open ledger's, owned by the caller so that it
    //! outlives the data components (its close backup runs after they
    //! closed); replaced on every switch.
    TLedgerSwitcher(TLedgerData &data, std::unique_ptr<TLedgerSafekeeping> &safekeeping);

    //! Each step settles one page's pending entry; the first that answers
    //! "stay" stops the switch and nothing changes.
    void SetSettleSteps(std::vector<TSettleStep> steps) { FSettle = std::move(steps); }
    //! Makes the safekeeping of a newly opened ledger (the start checks run
    //! in its constructor).
    void SetSafekeepingFactory(TSafekeepingFactory factory) { FMakeSafekeeping = std::move(factory); }
    //! Errors of loading the new ledger, one report each (as at start).
    void SetErrorHandler(TLedgerData::TErrorHandler handler) { FOnError = std::move(handler); }
    //! Heard after every switch (the window's title, the recent list).
    void SetSwitched(std::function<void()> switched) { FSwitched = std::move(switched); }
    //! Where message boxes of the start checks appear.
    void SetDialogParent(QWidget *parent) { FParent = parent; }

    //! Opens the ledger at path, a file or a server address. A file inside a
    //! backups folder is shown as a backup instead, so that nothing is ever
    //! written into a backup.
    //! Returns false when a page kept its entry (nothing changed); raises
    //! when the file is missing (the open ledger stays open).
    bool OpenLedger(const QString &path);
    //! Makes an empty ledger at path (never over an existing file) and
    //! opens it.
    bool CreateLedger(const QString &path);
    //! Shows a copy of the backup for reading only.
    bool OpenBackup(const QString &backupPath);

    TLedgerView View() const { return FView; }
    //! The file the user opened (the backup itself, not its private copy),
    //! or the server address as given (see WithoutPassword).
    QString ShownPath() const { return FShownPath; }
    //! The window's title: the program's name and the open file's (a
    //! server's user@host/db).
    QString WindowTitle() const;

    //! Whether path lies in a ledger's backups folder (a folder "*.backups").
    static bool IsInBackupFolder(const QString &path);

private:
    bool settle() const;
    void switchTo(const QString &shownPath, TLedgerView view, std::unique_ptr<QTemporaryDir> copyFolder);

    TLedgerData &FData;
    std::unique_ptr<TLedgerSafekeeping> &FSafekeeping;
    std::vector<TSettleStep> FSettle;
    TSafekeepingFactory FMakeSafekeeping;
    TLedgerData::TErrorHandler FOnError;
    std::function<void()> FSwitched;
    QWidget *FParent = nullptr;
    TLedgerView FView = TLedgerView::Ledger;
    QString FShownPath;
    //! Holds the copy of a backup being shown; its own folder, gone with it.
    std::unique_ptr<QTemporaryDir> FBackupCopy;
};

} // namespace kestrum
