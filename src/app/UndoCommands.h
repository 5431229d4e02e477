#pragma once
// The menu's "撤销" and "重做": they take back or do again the newest action
// of the ledger file's journal, whoever did it and however long ago, and
// name it ("撤销 删除 工资 8600"). An entry being added or edited is settled
// first, as before any other reload; afterwards the pages follow the
// entries it wrote (or read their tables again when the journal cannot
// list them or they are very many) and the statistics hear that the ledger
// changed. A delete
// of several selected entries becomes one action. The undo or redo itself
// runs on a worker under a progress dialog that can cancel it.
#include "ledger/Trash.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace kestrum {

class TDbQuery;
class TLedgerData;

//! Makes a restore from the trash one action of the journal, named
//! "从回收站恢复 3 条纪录", instead of one action per entry that went back.
TTrashRestoreHook JournalRestoreHook();

class TUndoCommands : public QObject {
public:
    using TSettleStep = std::function<bool()>;

    //! Adds the two items to menu before `before`; settle steps run before
    //! an undo or redo, and the first that answers "stay" stops it.
    TUndoCommands(TLedgerData &data, QMenu *menu, QAction *before, QWidget *window,
                  std::vector<TSettleStep> settle);
    ~TUndoCommands() override;

    QAction *UndoAction() const { return FUndo; }
    QAction *RedoAction() const { return FRedo; }

    //! Reads what can be undone and redone now and shows it in the items.
    void UpdateItems();
    void Undo();
    void Redo();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void run(bool undo);
    void noteDelete(const char *table);
    void joinDeletes();

    TLedgerData &FData;
    QWidget *FWindow;
    std::vector<TSettleStep> FSettle;
    QAction *FUndo;
    QAction *FRedo;
    std::int64_t FUndoId = 0;
    std::int64_t FRedoId = 0;
    QString FUndoLabel, FRedoLabel, FPendingLabel;
    std::vector<std::int64_t> FDeleteGesture;
    int FListener = 0;
};

} // namespace kestrum
