#include "app/UndoCommands.h"

#include "app/BackgroundJob.h"
#include "app/ChangeWatch.h"
#include "app/LedgerData.h"
#include "app/RowFollowing.h"
#include "core/Utf8.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "ledger/Journal.h"
#include "ledger/JournalChanges.h"
#include "ledger/UndoHistory.h"
#include "ui/Beep.h"
#include "ui/ErrorBox.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

#include <sqlite3.h>

#include <memory>
#include <optional>

namespace kestrum {

namespace {

//! From this many entries on, reading the pages again is announced.
constexpr std::int64_t LargeUndo = 100000;
//! Whether a text box has typing of its own to take back (undo) or do
//! again; false for anything that is no text box.
bool HasOwnStep(const QObject *object, bool undo)
{
    if (const auto *line = qobject_cast<const QLineEdit *>(object))
        return !line->isReadOnly() && (undo ? line->isUndoAvailable() : line->isRedoAvailable());
    const QTextDocument *document = nullptr;
    bool readOnly = false;
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(object)) {
        document = plain->document();
        readOnly = plain->isReadOnly();
    } else if (const auto *rich = qobject_cast<const QTextEdit *>(object)) {
        document = rich->document();
        readOnly = rich->isReadOnly();
    }
    if (!document)
        return true; // not a text box: whatever it does with the key stays its own
    return !readOnly && (undo ? document->isUndoAvailable() : document->isRedoAvailable());
}

//! The tables whose entries an action wrote, lower-cased; empty when the
//! journal cannot say. Its undo and redo write the same ones.
QStringList TablesOfAction(TDbDriver &db, std::int64_t action)
{
    try {
        const auto statement =
            db.Prepare("SELECT DISTINCT lower(tbl) FROM kestrum_journal WHERE action_id = ?1");
        statement->BindInt64(1, action);
        QStringList tables;
        while (statement->Step())
            tables << QString::fromStdString(statement->ColumnText(0));
        return tables;
    } catch (const EDatabaseError &) {
        return {};
    }
}

//! The worker's own connection to the ledger for an undo or a redo: to the
//! server at the ledger's address, or to the file. The driver goes first,
//! then the file's connection it works on.
struct TUndoConnection {
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> File{nullptr, sqlite3_close};
    std::unique_ptr<TDbDriver> Driver;
};

void OpenUndoConnection(TUndoConnection &connection, const QString &ledger, bool server, bool undo)
{
    const std::string failed = undo ? "撤销失败：" : "重做失败：";
    if (server) {
        try {
            auto driver = std::make_unique<TPgDriver>(ledger.toStdString());
            // A row another member is writing is waited for as long as a
            // file's lock is, then the undo fails as busy.
            driver->Exec("SET lock_timeout = 5000");
            connection.Driver = std::move(driver);
        } catch (const std::exception &error) {
            throw Exception(failed + error.what());
        }
        return;
    }
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(ledger.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    connection.File.reset(raw);
    if (rc != SQLITE_OK)
        throw Exception(failed + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_exec(raw, "PRAGMA cache_size = -131072", nullptr, nullptr, nullptr);
    connection.Driver = std::make_unique<TSqliteDriver>(raw);
}

} // namespace

TTrashRestoreHook JournalRestoreHook()
{
    TTrashRestoreHook hook;
    hook.Begin = [](TDbDriver &db) {
        if (HasJournal(db))
            OpenJournalAction(db, utf8("从回收站恢复"));
    };
    hook.End = [](TDbDriver &db, const TTrashRestoreResult &result) {
        if (!HasJournal(db))
            return;
        SetJournalActionLabel(db,
                              utf8("从回收站恢复 ") + QString::number(result.Inserted()) + utf8(" 条纪录"));
        CloseJournalAction(db); // nothing went back: nothing to undo
    };
    return hook;
}

TUndoCommands::TUndoCommands(TLedgerData &data, QMenu *menu, QAction *before, QWidget *window,
                             std::vector<TSettleStep> settle)
    : QObject(window), FData(data), FWindow(window), FSettle(std::move(settle))
{
    FUndo = new QAction(utf8("撤销"), this);
    FRedo = new QAction(utf8("重做"), this);
    FUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    FRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    // A text box with the focus keeps Ctrl+Z for its own typing: Qt offers
    // it the key first, and line and text edits take their undo keys.
    for (QAction *action : {FUndo, FRedo})
        action->setShortcutContext(Qt::WindowShortcut);
    menu->insertSeparator(before);
    menu->insertAction(before, FUndo);
    menu->insertAction(before, FRedo);
    connect(FUndo, &QAction::triggered, this, [this] { Undo(); });
    connect(FRedo, &QAction::triggered, this, [this] { Redo(); });
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateItems(); });
    // Other programs may write the file: look again whenever the window
    // comes back to the front.
    window->installEventFilter(this);
    // A text box claims Ctrl+Z and Ctrl+Y before the window sees them, also
    // when it has nothing to take back; then they are the ledger's.
    qApp->installEventFilter(this);
    FListener = FData.AddLedgerChangedListener([this] { UpdateItems(); });

    // Deletes of the pages' record sets: several in one go (the grid's
    // delete of all selected entries) become one action.
    const struct {
        TDbQuery &query;
        const char *table;
    } pages[] = {{FData.ADOQuery1, "gain"}, {FData.ADOQuery2, "expen"}};
    for (const auto &page : pages) {
        const char *table = page.table;
        page.query.AfterDelete = [this, table,
                                  before = std::move(page.query.AfterDelete)](TDbQuery *dataSet) {
            noteDelete(table);
            if (before)
                before(dataSet);
        };
    }
    UpdateItems();
}

TUndoCommands::~TUndoCommands()
{
    FData.RemoveLedgerChangedListener(FListener);
}

bool TUndoCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        const QKeyCombination combination = key->keyCombination();
        const bool undo = combination == FUndo->shortcut()[0];
        const bool redo = combination == FRedo->shortcut()[0];
        auto *widget = qobject_cast<QWidget *>(watched);
        if ((undo || redo) && widget && FWindow->isAncestorOf(widget) && !HasOwnStep(widget, undo)) {
            // Left unclaimed, the key goes on to the menu's item.
            event->ignore();
            return true;
        }
    }
    if (watched == FWindow && (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show))
        UpdateItems();
    return QObject::eventFilter(watched, event);
}

void TUndoCommands::UpdateItems()
{
    FUndoId = FRedoId = 0;
    FUndoLabel.clear();
    FRedoLabel.clear();
    QString undoText = utf8("撤销"), redoText = utf8("重做");
    if (FData.ADOConnection1.Connected() && HasJournal(FData.ADOConnection1.Driver())) {
        try {
            TUndoHistory history(FData.ADOConnection1.Driver());
            if (const auto next = history.NextUndo()) {
                FUndoId = next->Id;
                FUndoLabel = next->Label;
                undoText += ' ' + next->Label;
            }
            if (const auto next = history.NextRedo()) {
                FRedoId = next->Id;
                FRedoLabel = next->Label;
                redoText += ' ' + next->Label;
            }
        } catch (const std::exception &) {
            // A file that cannot be read now (locked by another program) has
            // nothing to offer; the next look may find it again.
        }
    }
    // Menus take "&" as a mnemonic mark: an item named "R&D" keeps it.
    FUndo->setText(undoText.replace('&', QStringLiteral("&&")));
    FRedo->setText(redoText.replace('&', QStringLiteral("&&")));
    FUndo->setEnabled(FUndoId != 0);
    FRedo->setEnabled(FRedoId != 0);
}

void TUndoCommands::Undo()
{
    run(true);
}

void TUndoCommands::Redo()
{
    run(false);
}

void TUndoCommands::run(bool undo)
{
    // A delete gesture still waiting to be joined is joined first, so that
    // the undo takes it back whole.
    joinDeletes();
    for (const TSettleStep &settle : FSettle)
        if (!settle())
            return;
    const std::int64_t expected = undo ? FUndoId : FRedoId;
    FPendingLabel = undo ? FUndoLabel : FRedoLabel;
    if (!FData.ADOConnection1.Connected() || expected == 0) {
        UpdateItems();
        MessageBeep();
        return;
    }
    // An action may hold a million entries (an import): the undo runs on a
    // worker with its own connection to the file, under a progress dialog
    // that can cancel it, while the window goes on painting.
    const QString source = FData.ADOConnection1.DataSourceName();
    const bool server = IsServerTarget(source.toStdString());
    const QString ledger = server ? source : QFileInfo(source).absoluteFilePath();
    const QString label = (undo ? utf8("正在撤销") : utf8("正在重做")) +
                          (FPendingLabel.isEmpty() ? QString() : utf8("“%1”").arg(FPendingLabel)) +
                          utf8("...");
    // Reading a page's entries again costs as much as opening it: the
    // pages follow the rows the action wrote (its undo and redo write the
    // same), and when the journal cannot list them (or they are too many
    // to follow one by one) only the pages of the tables it wrote read again.
    TDbDriver &driver = FData.ADOConnection1.Driver();
    const std::optional<std::vector<TDbChange>> rows = RowsOfAction(driver, expected, FollowMostRows);
    const QStringList tables = rows ? QStringList() : TablesOfAction(driver, expected);
    bool written = false;
    std::int64_t entries = 0;
    // What other programs wrote before shows first; the watch does not take
    // the undo's own writes for theirs (and read every row again for them).
    const TOwnWrites own(FData.ADOConnection1);
    try {
        RunWithProgress(FWindow, label, [&](TJobProgress &progress) {
            TUndoConnection connection;
            OpenUndoConnection(connection, ledger, server, undo);
            TUndoHistory history(*connection.Driver);
            history.OnProgress = [&progress](double fraction) { return progress.Report(fraction); };
            if (undo)
                history.Undo(expected);
            else
                history.Redo(expected);
            written = true;
            entries = history.LastEntryCount();
        });
    } catch (const EUndoCancelled &) {
        UpdateItems(); // nothing was written
        return;
    } catch (const std::exception &error) {
        UpdateItems();
        ShowException(FWindow, error);
        return;
    }
    if (!written) {
        UpdateItems();
        return;
    }
    // The pages show what was written, keeping their month and their
    // current row; the statistics and the items hear of it through the
    // ledger's change notification. Reading a large ledger again takes a
    // while: the user is told what is going on.
    std::unique_ptr<QProgressDialog> notice;
    if (!rows && entries >= LargeUndo)
        notice = ShowBusyNotice(FWindow, utf8("正在重新读取收入和支出列表..."));
    const struct {
        TDbQuery *query;
        const char *table;
    } pages[] = {{&FData.ADOQuery1, "gain"}, {&FData.ADOQuery2, "expen"}};
    for (const auto &page : pages) {
        TDbQuery *query = page.query;
        if (!rows && !tables.isEmpty() && !tables.contains(QLatin1String(page.table)))
            continue;
        try {
            FollowWrittenRows(*query, rows);
        } catch (const std::exception &error) {
            ShowException(FWindow, error);
        }
    }
    FData.LedgerChanged();
}

void TUndoCommands::noteDelete(const char *table)
{
    if (!FData.ADOConnection1.Connected() || !HasJournal(FData.ADOConnection1.Driver()))
        return;
    try {
        const std::int64_t action = TUndoHistory(FData.ADOConnection1.Driver())
                                        .LastActionOf(QString::fromUtf8(table), TJournalKind::Delete);
        if (action == 0)
            return;
        if (FDeleteGesture.empty())
            QTimer::singleShot(0, this, [this] { joinDeletes(); });
        FDeleteGesture.push_back(action);
    } catch (const std::exception &) {
        // The delete went through; it stays an action of its own.
    }
}

void TUndoCommands::joinDeletes()
{
    std::vector<std::int64_t> gesture;
    gesture.swap(FDeleteGesture);
    if (gesture.size() < 2)
        return;
    try {
        if (FData.ADOConnection1.Connected())
            TUndoHistory(FData.ADOConnection1.Driver()).JoinActions(gesture);
    } catch (const std::exception &) {
        // Each delete stays an action of its own: still undoable one by one.
    }
    UpdateItems();
}

} // namespace kestrum
