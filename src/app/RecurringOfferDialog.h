#pragma once
// The offer of recurring entries that fell due: "有 3 条定期收支到期", a
// list to tick which to post, amounts editable in place, and "入账" or
// "以后再说". What it shows and takes is TRecurringOfferList's.
#include "app/RecurringOfferList.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace kestrum {

class TRecurringOfferDialog : public QDialog {
    Q_OBJECT
public:
    //! list: not owned; it outlives the dialog.
    explicit TRecurringOfferDialog(TRecurringOfferList &list, QWidget *parent = nullptr);

    QLabel *TitleLabel;
    QLabel *ProblemLabel; //!< why an amount typed was not taken
    QTableWidget *ListView;
    QPushButton *PostButton;  //!< "入账"
    QPushButton *LaterButton; //!< "以后再说"

private:
    void itemChanged(QTableWidgetItem *item);
    void updateButtons();

    TRecurringOfferList &FList;
    bool FFilling = false;
};

} // namespace kestrum
