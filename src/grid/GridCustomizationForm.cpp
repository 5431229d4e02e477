#include "grid/GridCustomizationForm.h"

#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridSite.h"
#include "grid/GridTableView.h"
#include "ui/ErrorBox.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kestrum {

QString CustomizationFormCaption()
{
    return QString::fromUtf8("Orvane 列表自定义选框");
}

QString CustomizationColumnsPageCaption()
{
    return QString::fromUtf8("列 (请拖拽使用)");
}

TkvGridCustomizationList::TkvGridCustomizationList(TkvGridTableView &view, QWidget *site, QWidget *parent)
    : QWidget(parent), FGridView(view), FSite(site)
{
}

int TkvGridCustomizationList::RowHeight() const
{
    const int header = FGridView.ViewInfo().HeaderHeight();
    return header > 0 ? header : fontMetrics().height() + 6;
}

TkvGridColumn *TkvGridCustomizationList::ColumnAt(const QPoint &point) const
{
    if (point.x() < 0 || point.x() >= width() || point.y() < 0)
        return nullptr;
    const std::vector<TkvGridColumn *> columns = FGridView.Controller().CustomizationColumns();
    const std::size_t row = std::size_t(point.y() / RowHeight());
    return row < columns.size() ? columns[row] : nullptr;
}

QPoint TkvGridCustomizationList::ViewPoint(const QPoint &listPoint) const
{
    return FSite ? FSite->mapFromGlobal(mapToGlobal(listPoint)) : listPoint;
}

void TkvGridCustomizationList::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView.LookAndFeelPainter();
    painter.fillRect(rect(), lookAndFeel.ContentColor());
    const TkvGridViewParams params = FGridView.Styles().Params(TkvGridStyleSlot::Header);
    const int height = RowHeight();
    int y = 0;
    for (TkvGridColumn *column : FGridView.Controller().CustomizationColumns()) {
        const QRect row(0, y, width(), height);
        lookAndFeel.DrawHeader(painter, row, params, false);
        painter.setFont(params.Font);
        painter.setPen(params.TextColor);
        painter.drawText(row.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         column->Caption());
        y += height;
    }
}

void TkvGridCustomizationList::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (TkvGridColumn *column = ColumnAt(event->position().toPoint()))
        FGridView.Controller().CustomizationMouseDown(column, ViewPoint(event->position().toPoint()));
}

void TkvGridCustomizationList::mouseMoveEvent(QMouseEvent *event)
{
    TkvGridTableController &controller = FGridView.Controller();
    if (controller.HeaderState() == TkvGridHeaderState::None)
        return;
    try {
        controller.MouseMove(ViewPoint(event->position().toPoint()),
                             TkvGridSite::TranslateModifiers(event->modifiers()));
    } catch (const std::exception &error) {
        ShowException(this, error);
    }
}

void TkvGridCustomizationList::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    try {
        FGridView.Controller().MouseUp(TkvGridMouseButton::Left, ViewPoint(event->position().toPoint()),
                                       TkvGridSite::TranslateModifiers(event->modifiers()));
    } catch (const std::exception &error) {
        ShowException(this, error);
    }
    update();
}

TkvGridCustomizationForm::TkvGridCustomizationForm(TkvGridTableView &view, QWidget *site)
    : QWidget(site, Qt::Tool), FGridView(view), FPages(new QTabWidget(this)),
      FList(new TkvGridCustomizationList(view, site, nullptr))
{
    setWindowTitle(CustomizationFormCaption());
    FPages->addTab(FList, CustomizationColumnsPageCaption());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(FPages);
}

void TkvGridCustomizationForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Closed by the user: the controller leaves its customization state.
    if (!FDetached && FGridView.Controller().IsCustomizing())
        FGridView.Controller().SetCustomizing(false);
}

TkvGridCustomizationWindow::TkvGridCustomizationWindow(TkvGridTableView &view, QWidget *site)
    : FSite(site), FForm(new TkvGridCustomizationForm(view, site))
{
}

TkvGridCustomizationWindow::~TkvGridCustomizationWindow()
{
    if (FForm) {
        FForm->Detach();
        delete FForm.data();
    }
}

void TkvGridCustomizationWindow::Show(const QRect &viewBounds)
{
    if (!FForm || !FSite)
        return;
    FForm->setGeometry(QRect(FSite->mapToGlobal(viewBounds.topLeft()), viewBounds.size()));
    FForm->show();
    FForm->List()->update();
}

void TkvGridCustomizationWindow::Hide()
{
    if (FForm)
        FForm->hide();
}

void TkvGridCustomizationWindow::Refresh()
{
    if (FForm)
        FForm->List()->update();
}

QRect TkvGridCustomizationWindow::Bounds() const
{
    if (!FForm || !FSite)
        return {};
    return QRect(FSite->mapFromGlobal(FForm->geometry().topLeft()), FForm->size());
}

} // namespace kestrum
