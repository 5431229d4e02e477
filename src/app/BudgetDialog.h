#pragma once
// The "预算" dialog: a month's items with their budget, what was spent and
// what is left; a budget is typed in place with the calculator edit. The
// month's total budget sits under the list, with copying last month's
// budgets and clearing the month beside it. What it shows and does is
// TBudgetDialogModel's; every change is one undoable action of the ledger.
#include "app/BudgetDialogModel.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace kestrum {

class TForm1;
class TkvCalcEdit;

class TBudgetDialog : public QDialog {
    Q_OBJECT
public:
    //! db: the ledger's open connection; not owned.
    TBudgetDialog(TDbDriver &db, const TBudgetMonth &month, QWidget *parent = nullptr);
    ~TBudgetDialog() override;

    TBudgetDialogModel &Model() { return FModel; }

    enum Column { ItemColumn, BudgetColumn, ActualColumn, LeftColumn, ColumnCount };

    QDateEdit *MonthEdit;     //!< the month shown
    QComboBox *KindCombo;     //!< "支出预算" or "收入目标"
    QTableView *ListView;     //!< the items; the budget column is edited in place
    QLabel *TotalLabel;       //!< "本月总预算:"
    TkvCalcEdit *TotalEdit;   //!< the month's total budget (expense only)
    QPushButton *TotalButton; //!< "设定"
    QLabel *SummaryLabel;     //!< budget, spent and what is left of the month
    QLineEdit *NewItemEdit;   //!< an item the ledger has no entry of yet
    TkvCalcEdit *NewItemAmountEdit;
    QPushButton *NewItemButton; //!< "添加"
    QPushButton *CopyButton;    //!< "复制上月预算"
    QPushButton *ClearButton;   //!< "清除本月预算"
    QPushButton *CloseButton;   //!< "关闭"

    //! The budget column's text of a row typed by the user: stored at once.
    //! A text that is no amount is refused in a message box.
    bool SetBudgetText(int row, const QString &text);
    void TotalClick();
    //! The budget of the item typed in NewItemEdit.
    void NewItemClick();
    void CopyClick();
    void ClearClick();

private:
    //! Runs a change; a refusal or failure is shown and changes nothing.
    bool guarded(const std::function<void()> &change);
    //! The list, the total and the summary follow the model.
    void refresh();

    TBudgetDialogModel FModel;
    class TTableModel;
    TTableModel *FTable;
    class TAmountDelegate;
};

//! Opens the budgets of the window's ledger as a modal dialog on the current
//! month; the window's views hear of every change.
void ShowBudgetDialog(TForm1 &window);

} // namespace kestrum
