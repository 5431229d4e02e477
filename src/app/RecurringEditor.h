#pragma once
// The form for one recurring entry ("添加定期收支" / "修改定期收支"): page,
// amount, item, remark, first date, the step (every N days, weeks, months or
// years) and an optional end by date or by count. "确定" is refused, with
// the reason shown in the form, while the schedule is not valid.
#include "ledger/RecurringSchedule.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace kestrum {

class TRecurringEditor : public QDialog {
    Q_OBJECT
public:
    TRecurringEditor(const TRecurringSchedule &schedule, const QString &title, QWidget *parent = nullptr);

    //! The schedule as the form shows it; the amount is 0 while it is no amount.
    TRecurringSchedule Schedule() const;
    //! Why the form cannot be taken; empty when it can.
    QString Problem() const;

    QComboBox *PageCombo;
    QLineEdit *AmountEdit;
    QLineEdit *ItemEdit;
    QLineEdit *RemarkEdit;
    QDateEdit *FirstDateEdit;
    QSpinBox *EverySpin;
    QComboBox *UnitCombo;
    QCheckBox *EndDateCheck;
    QDateEdit *EndDateEdit;
    QSpinBox *EndCountSpin; //!< 0: no limit
    QLabel *ProblemLabel;

    void accept() override;

private:
    TRecurringSchedule FSchedule; //!< the id and the paused flag pass through
};

} // namespace kestrum
