#include "filterdialogs/FilterDialog.h"

#include "editors/CustomEdit.h"
#include "filterdialogs/FilterEditHelperRegistry.h"
#include "filterdialogs/FilterLink.h"
#include "ui/ErrorBox.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace kestrum {

namespace {

//! An etched line along the top of its bounds.
class TkvBevelTopLine : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(0, 0, width() - 1, 0);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, 1, width() - 1, 1);
    }
};

QLabel *AutoSizeLabel(QWidget *parent, int left, int top)
{
    auto *label = new QLabel(parent);
    label->move(left, top);
    return label;
}

void SetAutoSizeText(QLabel *label, const QString &text)
{
    label->setText(text);
    label->adjustSize();
}

} // namespace

TkvFilterDialog::TkvFilterDialog(TkvFilterCriteria &criteria, TkvFilterItemLink itemLink,
                                 const TkvCustomFilterEditHelper &helper,
                                 const TkvCustomEditProperties &properties, TkvValueTypeClass valueType,
                                 const QString &columnCaption, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FHelper(helper), FProperties(properties),
      FModel(criteria, itemLink, helper.SupportedOperators(properties, TkvFilterOperatorSet::fosDialog),
             valueType, columnCaption)
{
    setFont(DesignFont(MsSansSerifFamily(), 11));
    setWindowTitle(TkvFilterDialogModel::CaptionText());
    setFixedSize(414, 175);
    setSizeGripEnabled(false);
    CreateControls();

    FValueEditors[0] = std::make_unique<TkvFilterHelperValueEditor>(FHelper, *Edit1);
    FValueEditors[1] = std::make_unique<TkvFilterHelperValueEditor>(FHelper, *Edit2);
    FModel.SetValueEditors(FValueEditors[0].get(), FValueEditors[1].get());
    FModel.OnChanged = [this] { ShowModel(); };
    FModel.Load();
    ShowModel();
    cbOperator1->setFocus();
}

TkvFilterDialog::~TkvFilterDialog()
{
    FModel.OnChanged = nullptr;
    FModel.SetValueEditors(nullptr, nullptr);
}

void TkvFilterDialog::CreateControls()
{
    lblTitle = AutoSizeLabel(this, 8, 8);
    SetAutoSizeText(lblTitle, TkvFilterDialogModel::TitleText());

    bvlLine = new TkvBevelTopLine(this);
    bvlLine->setGeometry(8, 34, 396, 4);
    // The caption sits on the line with an opaque background, so the line
    // seems to start after it.
    lblColumnCaption = AutoSizeLabel(this, 8, 27);
    lblColumnCaption->setAutoFillBackground(true);
    SetAutoSizeText(lblColumnCaption, FModel.ColumnCaptionText());
    lblColumnCaption->raise();

    cbOperator1 = new QComboBox(this);
    cbOperator1->setGeometry(8, 46, 193, 21);
    lblEdit1PlaceHolder = new QLabel(this);
    lblEdit1PlaceHolder->setGeometry(208, 46, 193, 21);
    lblEdit1PlaceHolder->hide();

    rbAnd = new QRadioButton(TkvFilterDialogModel::AndText(), this);
    rbAnd->setGeometry(56, 74, 60, 17);
    rbAnd->setChecked(true);
    rbOr = new QRadioButton(TkvFilterDialogModel::OrText(), this);
    rbOr->setGeometry(120, 74, 65, 17);

    cbOperator2 = new QComboBox(this);
    cbOperator2->setGeometry(8, 96, 193, 21);
    lblEdit2PlaceHolder = new QLabel(this);
    lblEdit2PlaceHolder->setGeometry(208, 96, 193, 21);
    lblEdit2PlaceHolder->hide();

    cbOperator2->addItem(QString());
    for (TkvFilterDialogOperator op : FModel.Operators()) {
        cbOperator1->addItem(FilterDialogOperatorCaption(op), int(op));
        cbOperator2->addItem(FilterDialogOperatorCaption(op), int(op));
    }
    // The lists are short: every entry shows without scrolling.
    cbOperator1->setMaxVisibleItems(std::max(1, cbOperator1->count()));
    cbOperator2->setMaxVisibleItems(std::max(1, cbOperator2->count()));

    lblSingle = AutoSizeLabel(this, 8, 134);
    SetAutoSizeText(lblSingle, FModel.SingleCharHintText());
    lblSeries = AutoSizeLabel(this, 8, 153);
    SetAutoSizeText(lblSeries, FModel.SeriesHintText());

    btnOK = new QPushButton(TkvFilterDialogModel::OKText(), this);
    btnOK->setGeometry(248, 144, 75, 23);
    btnOK->setDefault(true);
    btnOK->setAutoDefault(false);
    btnCancel = new QPushButton(TkvFilterDialogModel::CancelText(), this);
    btnCancel->setGeometry(330, 144, 75, 23);
    btnCancel->setAutoDefault(false);

    Edit1 = CreateValueEdit(lblEdit1PlaceHolder);
    Edit2 = CreateValueEdit(lblEdit2PlaceHolder);

    QWidget *const order[] = {cbOperator1, Edit1, rbAnd, rbOr, cbOperator2, Edit2, btnOK, btnCancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(cbOperator1, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (!FShowingModel)
            FModel.SetOperatorIndex1(index);
    });
    connect(cbOperator2, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (!FShowingModel)
            FModel.SetOperatorIndex2(index - 1);
    });
    connect(rbOr, &QRadioButton::toggled, this, [this](bool checked) {
        if (!FShowingModel)
            FModel.SetOrChecked(checked);
    });
    connect(btnOK, &QPushButton::clicked, this, [this] { ExecuteOK(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TkvCustomEdit *TkvFilterDialog::CreateValueEdit(QLabel *placeHolder)
{
    TkvCustomEdit *edit = FHelper.CreateValueEdit(FProperties, this).release(); // the dialog owns it
    edit->setGeometry(placeHolder->geometry());
    edit->show();
    return edit;
}

void TkvFilterDialog::ShowModel()
{
    FShowingModel = true;
    cbOperator1->setCurrentIndex(FModel.OperatorIndex1());
    cbOperator2->setCurrentIndex(FModel.OperatorIndex2() + 1);
    (FModel.OrChecked() ? rbOr : rbAnd)->setChecked(true);
    const bool hints = FModel.HintsVisible();
    lblSingle->setVisible(hints);
    lblSeries->setVisible(hints);
    FShowingModel = false;
}

void TkvFilterDialog::CentreOnScreen()
{
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    move(available.center() - QPoint(width() / 2, height() / 2));
}

bool TkvFilterDialog::ExecuteOK()
{
    try {
        if (!FModel.PostPendingInput())
            return false;
        btnOK->setFocus();
        FModel.Apply();
    } catch (const std::exception &error) {
        ShowException(this, error);
        return false;
    }
    accept();
    return true;
}

QWidget *FilterDialogOwnerWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            return nullptr;
    return QApplication::activeWindow();
}

bool ShowCustomFilterDialog(TkvFilterCriteria &criteria, TkvFilterItemLink itemLink,
                            const TkvCustomEditProperties &properties, TkvValueTypeClass valueType,
                            const QString &columnCaption, QWidget *parent,
                            const std::function<void()> &applying)
{
    const TkvCustomFilterEditHelper *helper = FindFilterEditHelper(properties);
    // A column the criteria cannot name could take no condition.
    if (!helper || !criteria.ResolveItemLink(itemLink))
        return false;
    TkvFilterDialog dialog(criteria, itemLink, *helper, properties, valueType, columnCaption,
                           parent ? parent : FilterDialogOwnerWindow());
    dialog.Model().OnApplying = applying;
    dialog.CentreOnScreen();
    return dialog.exec() == QDialog::Accepted;
}

bool ShowCustomFilterDialog(TkvFilterLink &link, int itemIndex, QWidget *parent,
                            const std::function<void()> &applying)
{
    if (itemIndex < 0 || itemIndex >= link.ItemCount())
        return false;
    return ShowCustomFilterDialog(link.Criteria(), link.ItemLink(itemIndex), *link.ItemProperties(itemIndex),
                                  link.ItemValueTypeClass(itemIndex), link.ItemCaption(itemIndex), parent,
                                  applying);
}

} // namespace kestrum
