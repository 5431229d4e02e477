#pragma once
// The "定期收支" dialog: the recurring entries with their next due date, and
// buttons to add, change, pause or resume, and delete one. What it lists and
// does is TRecurringList's; the dialog lays out and passes clicks on.
#include "app/RecurringList.h"

#include <QDialog>

#include <functional>
#include <optional>

class QPushButton;
class QTableWidget;

namespace kestrum {

class TRecurringDialog : public QDialog {
    Q_OBJECT
public:
    //! db: the ledger's open connection; not owned.
    TRecurringDialog(TDbDriver &db, std::function<QDate()> today, QWidget *parent = nullptr);

    TRecurringList &List() { return FList; }

    QTableWidget *ListView;
    QPushButton *AddButton;    //!< "添加..."
    QPushButton *ChangeButton; //!< "修改..."
    QPushButton *PauseButton;  //!< "暂停" or "继续"
    QPushButton *DeleteButton; //!< "删除"
    QPushButton *CloseButton;  //!< "关闭"

    void AddClick();
    void ChangeClick();
    void PauseClick();
    void DeleteClick();

    //! The schedule as the user edited it in the form; nothing when the user
    //! cancelled. Tests answer in the user's place.
    std::function<std::optional<TRecurringSchedule>(const TRecurringSchedule &, const QString &title)>
        EditSchedule;

    //! Whether anything was changed while the dialog was open.
    bool Changed() const { return FChanged; }

private:
    void fill(int currentRow);
    //! Each column as wide as its caption, its rows and its common texts.
    void fitColumns();
    int currentRow() const;
    void updateButtons();

    TRecurringList FList;
    bool FChanged = false;
};

} // namespace kestrum
