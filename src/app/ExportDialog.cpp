#include "app/ExportDialog.h"

#include "core/Utf8.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrum {

namespace {

//! A date field that takes a typed date: a digit typed where the cursor
//! stands in a part (year, month, day) starts that part afresh, as it does
//! after the part was selected, instead of being pushed in beside the digits
//! there ("2006" becoming "22006", which the field refuses).
class TTypedDateEdit : public QDateEdit {
public:
    TTypedDateEdit(const QDate &date, QWidget *parent) : QDateEdit(date, parent) {}

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const QString text = event->text();
        const bool digit = text.size() == 1 && text[0].isDigit();
        // A part typed in full moves the cursor on by itself; the separator
        // the user types after it must not move it on once more.
        if (!digit && FMovedOn && text.size() == 1 && QStringLiteral("-/. ").contains(text[0])) {
            FMovedOn = false;
            event->accept();
            return;
        }
        FMovedOn = false;
        if (!digit) {
            FTyped = NoSection;
            QDateEdit::keyPressEvent(event);
            return;
        }
        if (currentSection() != FTyped) {
            FTyped = currentSection();
            setSelectedSection(FTyped);
        }
        QDateEdit::keyPressEvent(event);
        if (currentSection() != FTyped) {
            FTyped = NoSection;
            FMovedOn = true;
        }
    }
    void focusInEvent(QFocusEvent *event) override
    {
        FTyped = NoSection;
        FMovedOn = false;
        QDateEdit::focusInEvent(event);
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        FTyped = NoSection;
        FMovedOn = false;
        QDateEdit::mousePressEvent(event);
    }

private:
    Section FTyped = NoSection; //!< the part being typed into
    bool FMovedOn = false;      //!< the last digit filled its part and the cursor moved on
};

} // namespace

TExportDialog::TExportDialog(const TExportRange &range, QWidget *parent) : QDialog(parent), FRange(range)
{
    setWindowTitle(utf8("导出"));

    AllButton = new QRadioButton(utf8("全部"), this);
    ThisMonthButton = new QRadioButton(utf8("本月"), this);
    MonthButton = new QRadioButton(utf8("月份:"), this);
    RangeButton = new QRadioButton(utf8("日期:"), this);
    auto *choices = new QButtonGroup(this);
    choices->addButton(AllButton, int(TExportChoice::All));
    choices->addButton(ThisMonthButton, int(TExportChoice::ThisMonth));
    choices->addButton(MonthButton, int(TExportChoice::Month));
    choices->addButton(RangeButton, int(TExportChoice::Range));

    YearSpin = new QSpinBox(this);
    YearSpin->setRange(TExportRange::FirstYear, TExportRange::LastYear);
    YearSpin->setValue(FRange.Year());
    MonthCombo = new QComboBox(this);
    for (int month = 1; month <= 12; ++month)
        MonthCombo->addItem(QString::number(month), month);
    MonthCombo->setCurrentIndex(FRange.Month() - 1);

    FromEdit = new TTypedDateEdit(FRange.RangeFrom(), this);
    ToEdit = new TTypedDateEdit(FRange.RangeTo(), this);
    // The calendar speaks the program's language whatever the machine's
    // locale is: 十一月, and the week from 一 to 日.
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    for (QDateEdit *edit : {FromEdit, ToEdit}) {
        edit->setLocale(chinese);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        auto *calendar = new QCalendarWidget(edit);
        calendar->setLocale(chinese);
        calendar->setFirstDayOfWeek(Qt::Monday);
        calendar->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
        calendar->setGridVisible(true);
        edit->setCalendarWidget(calendar);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 40);
    }

    FormatCombo = new QComboBox(this);
    FormatCombo->addItem(utf8("CSV（中文表头，本程序和电子表格）"), int(xfCsv));
    FormatCombo->addItem(utf8("CSV（英文表头 date,amount,category,memo，其他记账程序）"), int(xfCsvEnglish));
    FormatCombo->addItem(utf8("QIF（HomeBank、GnuCash、KMyMoney、Skrooge）"), int(xfQif));
    FormatCombo->addItem(utf8("Excel工作簿 xlsx（金额和日期可直接计算）"), int(xfXlsx));
    FormatCombo->setCurrentIndex(FormatCombo->findData(int(FRange.Format())));

    ProblemLabel = new QLabel(this);
    ProblemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    ExportButton = new QPushButton(utf8("导出"), this);
    ExportButton->setDefault(true);
    CancelButton = new QPushButton(utf8("取消"), this);

    auto *grid = new QGridLayout;
    grid->addWidget(AllButton, 0, 0, 1, 4);
    grid->addWidget(ThisMonthButton, 1, 0, 1, 4);
    grid->addWidget(MonthButton, 2, 0);
    grid->addWidget(YearSpin, 2, 1);
    grid->addWidget(new QLabel(utf8("年"), this), 2, 2);
    auto *monthRow = new QHBoxLayout;
    monthRow->addWidget(MonthCombo);
    monthRow->addWidget(new QLabel(utf8("月"), this));
    grid->addLayout(monthRow, 2, 3);
    grid->addWidget(RangeButton, 3, 0);
    grid->addWidget(FromEdit, 3, 1);
    grid->addWidget(new QLabel(utf8("至"), this), 3, 2);
    grid->addWidget(ToEdit, 3, 3);
    grid->addWidget(new QLabel(utf8("格式:"), this), 4, 0);
    grid->addWidget(FormatCombo, 4, 1, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ExportButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(ProblemLabel);
    layout->addLayout(buttons);

    connect(choices, &QButtonGroup::idClicked, this, [this](int id) {
        FRange.SetChoice(static_cast<TExportChoice>(id));
        sync();
    });
    connect(YearSpin, &QSpinBox::valueChanged, this, [this](int year) {
        FRange.SetYear(year);
        sync();
    });
    connect(MonthCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        FRange.SetMonth(index + 1);
        sync();
    });
    connect(FromEdit, &QDateEdit::dateChanged, this, [this](const QDate &date) {
        FRange.SetRangeFrom(date);
        sync();
    });
    connect(ToEdit, &QDateEdit::dateChanged, this, [this](const QDate &date) {
        FRange.SetRangeTo(date);
        sync();
    });
    connect(FormatCombo, &QComboBox::currentIndexChanged, this,
            [this] { FRange.SetFormat(static_cast<TExportFormat>(FormatCombo->currentData().toInt())); });
    connect(ExportButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    choices->button(int(FRange.Choice()))->setChecked(true);
    sync();
}

void TExportDialog::sync()
{
    YearSpin->setEnabled(FRange.MonthPickersEnabled());
    MonthCombo->setEnabled(FRange.MonthPickersEnabled());
    FromEdit->setEnabled(FRange.RangePickersEnabled());
    ToEdit->setEnabled(FRange.RangePickersEnabled());
    ProblemLabel->setText(FRange.Problem());
    ExportButton->setEnabled(FRange.CanExport());
}

} // namespace kestrum
