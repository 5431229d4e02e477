#include "app/RecurringEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrum {

TRecurringEditor::TRecurringEditor(const TRecurringSchedule &schedule, const QString &title, QWidget *parent)
    : QDialog(parent), FSchedule(schedule)
{
    setWindowTitle(title);
    auto *form = new QFormLayout;

    PageCombo = new QComboBox(this);
    PageCombo->addItems({QString::fromUtf8("支出"), QString::fromUtf8("收入")});
    PageCombo->setCurrentIndex(schedule.Page == TRecurringPage::Income ? 1 : 0);
    form->addRow(QString::fromUtf8("类型："), PageCombo);

    AmountEdit = new QLineEdit(this);
    if (schedule.AmountCents > 0)
        AmountEdit->setText(RecurringAmountText(schedule.AmountCents));
    form->addRow(QString::fromUtf8("金额："), AmountEdit);

    ItemEdit = new QLineEdit(schedule.Item, this);
    ItemEdit->setMaxLength(50); // the item columns hold 50 characters
    form->addRow(QString::fromUtf8("项目："), ItemEdit);

    RemarkEdit = new QLineEdit(schedule.Remark, this);
    form->addRow(QString::fromUtf8("备注："), RemarkEdit);

    FirstDateEdit =
        new QDateEdit(schedule.FirstDate.isValid() ? schedule.FirstDate : QDate::currentDate(), this);
    FirstDateEdit->setCalendarPopup(true);
    FirstDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    form->addRow(QString::fromUtf8("首次日期："), FirstDateEdit);

    auto *step = new QHBoxLayout;
    EverySpin = new QSpinBox(this);
    EverySpin->setRange(1, 999);
    EverySpin->setValue(std::max(1, schedule.Every));
    UnitCombo = new QComboBox(this);
    UnitCombo->addItems({QString::fromUtf8("天"), QString::fromUtf8("周"), QString::fromUtf8("个月"),
                         QString::fromUtf8("年")});
    UnitCombo->setCurrentIndex(static_cast<int>(schedule.Unit));
    step->addWidget(new QLabel(QString::fromUtf8("每"), this));
    step->addWidget(EverySpin);
    step->addWidget(UnitCombo);
    step->addStretch();
    form->addRow(QString::fromUtf8("周期："), step);

    auto *end = new QHBoxLayout;
    EndDateCheck = new QCheckBox(QString::fromUtf8("截止到"), this);
    EndDateCheck->setChecked(schedule.EndDate.isValid());
    EndDateEdit = new QDateEdit(
        schedule.EndDate.isValid() ? schedule.EndDate : FirstDateEdit->date().addYears(1), this);
    EndDateEdit->setCalendarPopup(true);
    EndDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    EndDateEdit->setEnabled(EndDateCheck->isChecked());
    connect(EndDateCheck, &QCheckBox::toggled, EndDateEdit, &QWidget::setEnabled);
    end->addWidget(EndDateCheck);
    end->addWidget(EndDateEdit);
    end->addStretch();
    form->addRow(QString::fromUtf8("结束："), end);

    EndCountSpin = new QSpinBox(this);
    EndCountSpin->setRange(0, 99999);
    EndCountSpin->setSpecialValueText(QString::fromUtf8("不限"));
    EndCountSpin->setValue(std::max(0, schedule.EndCount));
    form->addRow(QString::fromUtf8("共几次："), EndCountSpin);

    ProblemLabel = new QLabel(this);
    ProblemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    ProblemLabel->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ProblemLabel);
    layout->addWidget(buttons);
}

TRecurringSchedule TRecurringEditor::Schedule() const
{
    TRecurringSchedule schedule = FSchedule;
    schedule.Page = PageCombo->currentIndex() == 1 ? TRecurringPage::Income : TRecurringPage::Expense;
    schedule.AmountCents = ParseRecurringAmount(AmountEdit->text()).value_or(0);
    schedule.Item = ItemEdit->text().trimmed();
    schedule.Remark = RemarkEdit->text().trimmed();
    schedule.FirstDate = FirstDateEdit->date();
    schedule.Every = EverySpin->value();
    schedule.Unit = static_cast<TRecurringUnit>(UnitCombo->currentIndex());
    schedule.EndDate = EndDateCheck->isChecked() ? EndDateEdit->date() : QDate();
    schedule.EndCount = EndCountSpin->value();
    return schedule;
}

QString TRecurringEditor::Problem() const
{
    return Schedule().Problem();
}

void TRecurringEditor::accept()
{
    const QString problem = Problem();
    ProblemLabel->setText(problem);
    if (problem.isEmpty())
        QDialog::accept();
}

} // namespace kestrum
