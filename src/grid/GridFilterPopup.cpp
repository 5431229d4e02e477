#include "grid/GridFilterPopup.h"

#include "grid/GridFilterDropDown.h"
#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridSite.h"
#include "grid/GridTableView.h"
#include "ui/ErrorBox.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace kestrum {

TkvGridFilterPopup::TkvGridFilterPopup(TkvGridTableView &view, TkvGridFilterDropDown &dropDown, QWidget *site)
    : QWidget(site, Qt::Popup | Qt::FramelessWindowHint), FGridView(view), FDropDown(&dropDown),
      FScrollBar(new QScrollBar(Qt::Vertical, this))
{
    // A click on the filter button closes the popup and does not open it again.
    setAttribute(Qt::WA_NoMouseReplay);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(view.Font());
    FScrollBar->setFocusPolicy(Qt::NoFocus);
    connect(FScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (!FSyncing && FDropDown)
            FDropDown->SetTopIndex(value);
    });
}

template <class Step> void TkvGridFilterPopup::Guarded(Step step)
{
    try {
        step();
    } catch (const std::exception &error) {
        ShowException(parentWidget(), error);
    }
}

void TkvGridFilterPopup::Sync()
{
    if (!FDropDown)
        return;
    const int border = TkvGridFilterDropDown::BorderWidth;
    FSyncing = true;
    FScrollBar->setVisible(FDropDown->ScrollBarShown());
    if (FDropDown->ScrollBarShown()) {
        const QSize client = FDropDown->ClientSize();
        FScrollBar->setGeometry(border + client.width() - FDropDown->ScrollBarWidth(), border,
                                FDropDown->ScrollBarWidth(), client.height());
        FScrollBar->setRange(0, FDropDown->Count() - FDropDown->VisibleRowCount());
        FScrollBar->setPageStep(FDropDown->VisibleRowCount());
        FScrollBar->setValue(FDropDown->TopIndex());
    }
    FSyncing = false;
    update();
}

QPoint TkvGridFilterPopup::ClientPoint(const QPoint &widgetPoint) const
{
    const int border = TkvGridFilterDropDown::BorderWidth;
    return widgetPoint - QPoint(border, border);
}

void TkvGridFilterPopup::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView.LookAndFeelPainter();
    painter.fillRect(rect(), lookAndFeel.ContentColor());
    painter.setPen(lookAndFeel.BorderDarkColor());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!FDropDown || !FDropDown->IsOpen())
        return;
    const int border = TkvGridFilterDropDown::BorderWidth;
    painter.setFont(FGridView.Font());
    const int last = std::min(FDropDown->Count(), FDropDown->TopIndex() + FDropDown->VisibleRowCount());
    for (int index = FDropDown->TopIndex(); index < last; ++index) {
        const QRect row = FDropDown->RowBounds(index).translated(border, border);
        const bool selected = index == FDropDown->ItemIndex();
        if (selected)
            painter.fillRect(row, lookAndFeel.HighlightColor());
        painter.setPen(selected ? lookAndFeel.HighlightTextColor() : lookAndFeel.ContentTextColor());
        painter.drawText(row.adjusted(TkvGridFilterDropDown::TextIndent, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         FDropDown->DisplayText(index));
    }
}

void TkvGridFilterPopup::mouseMoveEvent(QMouseEvent *event)
{
    if (FDropDown)
        FDropDown->HotTrack(FDropDown->RowAt(ClientPoint(event->position().toPoint())));
}

void TkvGridFilterPopup::mouseReleaseEvent(QMouseEvent *event)
{
    if (!FDropDown || event->button() != Qt::LeftButton)
        return;
    // The release of the press that opened the popup falls on the filter button: no row.
    const int row = FDropDown->RowAt(ClientPoint(event->position().toPoint()));
    if (row >= 0)
        Guarded([&] { FDropDown->Apply(row); });
}

void TkvGridFilterPopup::keyPressEvent(QKeyEvent *event)
{
    const TkvGridKey key = TkvGridSite::TranslateKey(event->key(), event->modifiers());
    bool consumed = false;
    if (FDropDown)
        Guarded([&] { consumed = FDropDown->KeyDown(key); });
    if (!consumed)
        QWidget::keyPressEvent(event);
}

void TkvGridFilterPopup::wheelEvent(QWheelEvent *event)
{
    if (FDropDown)
        FDropDown->Scroll(event->angleDelta().y() / 120 * 3);
    event->accept();
}

void TkvGridFilterPopup::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Closed from outside (a click elsewhere): the logic closes too, without change.
    if (FDropDown && FDropDown->IsOpen())
        Guarded([&] { FDropDown->Close(); });
}

TkvGridFilterPopupWindow::TkvGridFilterPopupWindow(TkvGridTableView &view, TkvGridFilterDropDown &dropDown,
                                                   QWidget *site)
    : FSite(site), FPopup(new TkvGridFilterPopup(view, dropDown, site))
{
    dropDown.SetScrollBarWidth(FPopup->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

TkvGridFilterPopupWindow::~TkvGridFilterPopupWindow()
{
    if (FPopup) {
        FPopup->Detach();
        delete FPopup.data();
    }
}

void TkvGridFilterPopupWindow::Show(const QRect &viewBounds)
{
    if (!FPopup || !FSite)
        return;
    QRect global(FSite->mapToGlobal(viewBounds.topLeft()), viewBounds.size());
    // Kept on the screen.
    if (const QScreen *screen = FSite->screen()) {
        const QRect available = screen->availableGeometry();
        if (global.bottom() > available.bottom())
            global.moveTop(std::max(available.top(), available.bottom() + 1 - global.height()));
        global.moveLeft(std::clamp(global.left(), available.left(),
                                   std::max(available.left(), available.right() + 1 - global.width())));
    }
    FPopup->setGeometry(global);
    FPopup->Sync();
    FPopup->show();
    FPopup->setFocus(Qt::PopupFocusReason);
}

void TkvGridFilterPopupWindow::Hide()
{
    if (FPopup)
        FPopup->hide();
}

void TkvGridFilterPopupWindow::Refresh()
{
    if (FPopup)
        FPopup->Sync();
}

QRect TkvGridFilterPopupWindow::Bounds() const
{
    if (!FPopup || !FSite)
        return {};
    return QRect(FSite->mapFromGlobal(FPopup->geometry().topLeft()), FPopup->size());
}

} // namespace kestrum
