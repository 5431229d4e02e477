#include "grid/Grid.h"

#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridSite.h"
#include "grid/GridTableController.h"
#include "grid/GridTableViewInfo.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

namespace kestrum {

void TkvGridLevel::SetGridView(TkvCustomGridView *view)
{
    if (FGridView == view)
        return;
    if (view && view->FLevel && view->FLevel != this)
        view->FLevel->SetGridView(nullptr);
    if (FGridView)
        FGridView->FLevel = nullptr;
    FGridView = view;
    if (view)
        view->FLevel = this;
    if (FGrid)
        FGrid->ActiveViewChanged();
}

void TkvGridLevel::SetVisible(bool visible)
{
    if (FVisible == visible)
        return;
    FVisible = visible;
    if (FGrid)
        FGrid->ActiveViewChanged();
}

TkvGridLevel *TkvGridLevel::Add()
{
    FItems.push_back(std::make_unique<TkvGridLevel>(FGrid, this));
    return FItems.back().get();
}

TkvCustomGrid::TkvCustomGrid(QWidget *parent)
    : QWidget(parent), FChangeQueue([this](const TkvGridChange &change) { ExecuteChange(change); }),
      FRootLevel(std::make_unique<TkvGridLevel>(this, nullptr))
{
    setFocusPolicy(Qt::NoFocus);
    resize(250, 200);
    FSite = new TkvGridSite(this);
    FVScrollBar = new QScrollBar(Qt::Vertical, this);
    FHScrollBar = new QScrollBar(Qt::Horizontal, this);
    FVScrollBar->hide();
    FHScrollBar->hide();
    connect(FVScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (FUpdatingScrollBars)
            return;
        if (auto *view = dynamic_cast<TkvGridTableView *>(ActiveView()))
            view->Controller().Scroll(true, TkvGridScrollCode::Track, value);
    });
    connect(FHScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (FUpdatingScrollBars)
            return;
        if (auto *view = dynamic_cast<TkvGridTableView *>(ActiveView()))
            view->Controller().Scroll(false, TkvGridScrollCode::Track, value);
    });
    PlaceChildren();
}

TkvCustomGrid::~TkvCustomGrid()
{
    FDestroying = true;
    FSite->SetGridView(nullptr);
    // Views first: each unlinks itself from its level.
    FViews.clear();
    FRootLevel.reset();
}

TkvCustomGridView *TkvCustomGrid::ActiveView() const
{
    for (int i = 0; i < FRootLevel->Count(); ++i) {
        TkvGridLevel *level = FRootLevel->Items(i);
        if (level->Visible() && level->GridView())
            return level->GridView();
    }
    return nullptr;
}

void TkvCustomGrid::ActiveViewChanged()
{
    if (FDestroying)
        return;
    auto *view = dynamic_cast<TkvGridTableView *>(ActiveView());
    if (FSite->GridView() == view)
        return;
    FSite->SetGridView(view);
    if (view)
        view->OnScrollBarsChanged = [this] { UpdateScrollBars(); };
    PlaceChildren();
}

void TkvCustomGrid::ViewDestroying(TkvCustomGridView *view)
{
    FChangeQueue.RemoveView(view);
    if (FSite && FSite->GridView() == view)
        FSite->SetGridView(nullptr);
    if (view->Level())
        view->Level()->SetGridView(nullptr);
}

void TkvCustomGrid::ExecuteChange(const TkvGridChange &change)
{
    if (change.View) {
        change.View->ExecuteChange(change);
        return;
    }
    // A whole-grid change: every view recomputes.
    for (const auto &view : FViews) {
        TkvGridChange own = change;
        own.View = view.get();
        view->ExecuteChange(own);
    }
}

void TkvCustomGrid::SetBorderStyle(TkvGridBorderStyle style)
{
    if (FBorderStyle == style)
        return;
    FBorderStyle = style;
    PlaceChildren();
    update();
}

int TkvCustomGrid::BorderWidth() const
{
    switch (FBorderStyle) {
    // The flat look and feel draws no frame of its own: the default keeps the grid edge to edge.
    case cbsDefault:
    case cbsNone:
        return 0;
    case cbsThick:
    case cbs3D:
        return 2;
    default:
        return 1;
    }
}

void TkvCustomGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceChildren();
}

void TkvCustomGrid::PlaceChildren()
{
    // Placing the site lays its view out again, which may show or hide a
    // scroll bar and so ask for another placing from inside this one. The
    // inner request is only noted; this loop places again with the bars'
    // new visibility, so no stale size survives the outer placing.
    if (FPlacing) {
        FPlaceAgain = true;
        return;
    }
    FPlacing = true;
    // Two bars can change visibility at most twice each; more passes would
    // mean the layout flips a bar on and off, and then the last one stands.
    for (int pass = 0; pass < 5; ++pass) {
        FPlaceAgain = false;
        const int border = BorderWidth();
        const QRect client = rect().adjusted(border, border, -border, -border);
        // isHidden, not isVisible: before the grid is shown (or when it is
        // only rendered offscreen) a bar set visible must still get its place.
        const int vWidth = !FVScrollBar->isHidden() ? FVScrollBar->sizeHint().width() : 0;
        const int hHeight = !FHScrollBar->isHidden() ? FHScrollBar->sizeHint().height() : 0;
        FSite->setGeometry(client.left(), client.top(), std::max(0, client.width() - vWidth),
                           std::max(0, client.height() - hHeight));
        if (FPlaceAgain)
            continue;
        if (vWidth > 0)
            FVScrollBar->setGeometry(client.left() + client.width() - vWidth, client.top(), vWidth,
                                     std::max(0, client.height() - hHeight));
        if (hHeight > 0)
            FHScrollBar->setGeometry(client.left(), client.top() + client.height() - hHeight,
                                     std::max(0, client.width() - vWidth), hHeight);
        break;
    }
    FPlacing = false;
    update(CornerRect());
}

QRect TkvCustomGrid::CornerRect() const
{
    if (FVScrollBar->isHidden() || FHScrollBar->isHidden())
        return QRect();
    const int border = BorderWidth();
    return QRect(FSite->x() + FSite->width(), FSite->y() + FSite->height(),
                 width() - border - FSite->x() - FSite->width(),
                 height() - border - FSite->y() - FSite->height());
}

void TkvCustomGrid::paintEvent(QPaintEvent *)
{
    // Only the square between two shown scroll bars is the grid's own; the
    // site and the bars cover the rest.
    QPainter painter(this);
    const QRect corner = CornerRect();
    if (!corner.isEmpty())
        painter.fillRect(corner, palette().window());
    // The frame: one dark line, or a sunken pair of lines for the thick and 3D styles.
    const int border = BorderWidth();
    if (border == 0)
        return;
    const TkvGridLookAndFeelPainter &lookAndFeel = TkvGridLookAndFeelPainter::Default();
    const QRect outer = rect();
    painter.setBrush(Qt::NoBrush);
    if (border == 1) {
        painter.setPen(lookAndFeel.BorderDarkColor());
        painter.drawRect(outer.adjusted(0, 0, -1, -1));
        return;
    }
    painter.setPen(lookAndFeel.BorderDarkColor());
    painter.drawLine(outer.topLeft(), outer.topRight());
    painter.drawLine(outer.topLeft(), outer.bottomLeft());
    painter.setPen(lookAndFeel.BorderLightColor());
    painter.drawLine(outer.bottomLeft(), outer.bottomRight());
    painter.drawLine(outer.topRight(), outer.bottomRight());
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    painter.setPen(QColor(64, 64, 64));
    painter.drawLine(inner.topLeft(), inner.topRight());
    painter.drawLine(inner.topLeft(), inner.bottomLeft());
    painter.setPen(lookAndFeel.HeaderColor());
    painter.drawLine(inner.bottomLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomRight());
}

void TkvCustomGrid::UpdateScrollBars()
{
    auto *view = dynamic_cast<TkvGridTableView *>(ActiveView());
    if (!view || FDestroying || FUpdatingScrollBars)
        return;
    FUpdatingScrollBars = true;
    const TkvGridTableViewInfo &viewInfo = view->ViewInfo();
    const TkvGridScrollBars bars = view->OptionsView().ScrollBars();
    const int maxTop = viewInfo.MaxTopRowIndex();
    const bool vertical =
        (bars == TkvGridScrollBars::ssBoth || bars == TkvGridScrollBars::ssVertical) && maxTop > 0;
    FVScrollBar->setRange(0, maxTop);
    FVScrollBar->setPageStep(
        std::max(1, viewInfo.FullyVisibleRowCountFrom(view->Controller().TopRowIndex())));
    FVScrollBar->setValue(view->Controller().TopRowIndex());
    const int maxLeft = std::max(0, viewInfo.DataWidth() - viewInfo.RowsAreaBounds().width());
    const bool horizontal =
        (bars == TkvGridScrollBars::ssBoth || bars == TkvGridScrollBars::ssHorizontal) && maxLeft > 0;
    FHScrollBar->setRange(0, maxLeft);
    FHScrollBar->setPageStep(std::max(1, viewInfo.RowsAreaBounds().width()));
    FHScrollBar->setValue(view->Controller().LeftPos());
    const bool changed = FVScrollBar->isHidden() == vertical || FHScrollBar->isHidden() == horizontal;
    FVScrollBar->setVisible(vertical);
    FHScrollBar->setVisible(horizontal);
    FUpdatingScrollBars = false;
    if (changed)
        PlaceChildren();
}

} // namespace kestrum
