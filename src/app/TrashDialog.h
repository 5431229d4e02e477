#pragma once
// The "回收站" dialog: the deleted entries, newest deletion first, with
// buttons to restore the selected ones or all of them, to empty the trash
// (after a question) and to close. What it shows and does is TTrashList's;
// the dialog lays out, paints and passes clicks on.
#include "app/TrashList.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace kestrum {

class TForm1;

class TTrashDialog : public QDialog {
    Q_OBJECT
public:
    //! db: the ledger's open connection; not owned.
    explicit TTrashDialog(TDbDriver &db, QWidget *parent = nullptr);
    ~TTrashDialog() override;

    TTrashList &List() { return FList; }

    QTableView *ListView;
    //! "回收站是空的。", shown in the list's place when nothing is in the
    //! trash: an empty grid looked like a list that failed to load.
    QLabel *EmptyNotice;
    QPushButton *RestoreButton;    //!< "还原"
    QPushButton *RestoreAllButton; //!< "全部还原"
    QPushButton *EmptyButton;      //!< "清空回收站"
    QPushButton *CloseButton;      //!< "关闭"

    void RestoreClick();
    void RestoreAllClick();
    void EmptyClick();

private:
    void restore(std::optional<TTrashRestoreResult> (TTrashList::*action)());
    //! The list was read again: the view shows it afresh, nothing selected.
    void listReloaded();
    void selectionChanged();
    void updateButtons();

    TTrashList FList;
    class TModel;
    TModel *FModel;
    QStackedWidget *FListOrNotice;
};

//! Ties a trash dialog to the window: a restore first settles an entry being
//! edited on either page, and afterwards the pages that got entries back
//! reload and the statistics hear of the change.
void ConnectTrashDialog(TForm1 &window, TTrashDialog &dialog);

//! Opens the trash of the window's ledger as a modal dialog, connected as
//! ConnectTrashDialog does.
void ShowTrashDialog(TForm1 &window);

} // namespace kestrum
