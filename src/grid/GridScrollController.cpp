#include "grid/GridScrollController.h"

#include "grid/GridEditingController.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

#include <algorithm>

namespace kestrum {

namespace {

constexpr int HorizontalScrollStep = 10;

} // namespace

void TkvGridScrollController::SetTopRowIndex(int rowIndex)
{
    TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    const int rowCount = FGridView.DataController().RowCount();
    if (rowCount == 0)
        rowIndex = 0;
    else if (viewInfo.IsCalculated())
        rowIndex = std::clamp(rowIndex, 0, viewInfo.MaxTopRowIndex());
    else
        rowIndex = std::clamp(rowIndex, 0, rowCount - 1);
    if (rowIndex == FTopRowIndex)
        return;
    FTopRowIndex = rowIndex;
    // Scrolling keeps the parts: only the rows are laid out again.
    if (viewInfo.IsCalculated() && !viewInfo.IsCalculating()) {
        viewInfo.CalculateRows();
        FGridView.Invalidate(viewInfo.RowsAreaBounds());
        FEditingController.UpdateEditorBounds();
    }
    if (FGridView.OnScrollBarsChanged)
        FGridView.OnScrollBarsChanged();
    if (FGridView.OnTopRecordIndexChanged)
        FGridView.OnTopRecordIndexChanged(&FGridView);
}

void TkvGridScrollController::CheckTopRowIndex()
{
    const int before = FTopRowIndex;
    FTopRowIndex = std::clamp(FTopRowIndex, 0, std::max(0, FGridView.ViewInfo().MaxTopRowIndex()));
    if (before != FTopRowIndex && FGridView.ViewInfo().IsCalculated())
        FGridView.ViewInfo().CalculateRows();
}

void TkvGridScrollController::SetLeftPos(int leftPos)
{
    TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    const int maxLeft =
        viewInfo.IsCalculated() ? std::max(0, viewInfo.DataWidth() - viewInfo.RowsAreaBounds().width()) : 0;
    leftPos = std::clamp(leftPos, 0, maxLeft);
    if (leftPos == FLeftPos)
        return;
    FLeftPos = leftPos;
    FGridView.LayoutChanged();
}

void TkvGridScrollController::MakeRowVisible(int rowIndex)
{
    TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    if (rowIndex < 0 || !viewInfo.IsCalculated())
        return;
    if (rowIndex < FTopRowIndex) {
        SetTopRowIndex(rowIndex);
        return;
    }
    // Scroll only when the row does not fit completely below the current top row.
    if (rowIndex >= FTopRowIndex + viewInfo.FullyVisibleRowCountFrom(FTopRowIndex))
        SetTopRowIndex(viewInfo.TopRowIndexForBottomRow(rowIndex));
}

void TkvGridScrollController::ScrollHorizontally(int delta)
{
    SetLeftPos(FLeftPos + delta);
}

void TkvGridScrollController::MouseWheel(int steps, int linesPerStep)
{
    if (steps == 0)
        return;
    SetTopRowIndex(FTopRowIndex - steps * linesPerStep);
}

bool TkvGridScrollController::VerticalScrollBarShown() const
{
    const TkvGridScrollBars bars = FGridView.OptionsView().ScrollBars();
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    return (bars == TkvGridScrollBars::ssBoth || bars == TkvGridScrollBars::ssVertical) &&
           viewInfo.IsCalculated() && viewInfo.MaxTopRowIndex() > 0;
}

bool TkvGridScrollController::HorizontalScrollBarShown() const
{
    const TkvGridScrollBars bars = FGridView.OptionsView().ScrollBars();
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    return (bars == TkvGridScrollBars::ssBoth || bars == TkvGridScrollBars::ssHorizontal) &&
           viewInfo.IsCalculated() && viewInfo.DataWidth() > viewInfo.RowsAreaBounds().width();
}

namespace {

constexpr int WheelNotch = 120;

//! Adds a delta to the rest kept from earlier messages and returns the whole notches in it;
//! turning the wheel the other way drops what was kept.
int TakeWheelNotches(int &rest, int delta)
{
    if ((rest > 0 && delta < 0) || (rest < 0 && delta > 0))
        rest = 0;
    rest += delta;
    const int notches = rest / WheelNotch;
    rest -= notches * WheelNotch;
    return notches;
}

} // namespace

bool TkvGridScrollController::MouseWheelDelta(const QPoint &angleDelta, const QPoint &point,
                                              TkvGridShiftState shift, int linesPerStep)
{
    if (angleDelta.isNull())
        return false;
    if (FGridView.OnMouseWheel &&
        FGridView.OnMouseWheel(&FGridView, shift, angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x(),
                               point))
        return true;
    linesPerStep = std::max(1, linesPerStep);
    TkvUpdateLock lock(FGridView);
    const int top = FTopRowIndex;
    const int left = FLeftPos;
    // The vertical wheel turns the horizontal scroll bar when only that one is shown.
    const bool verticalScrollsHorizontally = !VerticalScrollBarShown() && HorizontalScrollBarShown();
    if (const int notches = TakeWheelNotches(FWheelRestY, angleDelta.y()); notches != 0) {
        if (verticalScrollsHorizontally)
            ScrollHorizontally(-notches * linesPerStep * HorizontalScrollStep);
        else
            MouseWheel(notches, linesPerStep);
    }
    // Positive is to the left, as positive is up.
    if (const int notches = TakeWheelNotches(FWheelRestX, angleDelta.x()); notches != 0)
        ScrollHorizontally(-notches * linesPerStep * HorizontalScrollStep);
    return top != FTopRowIndex || left != FLeftPos;
}

void TkvGridScrollController::Scroll(bool vertical, TkvGridScrollCode code, int position)
{
    TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    if (!vertical) {
        const int page = viewInfo.RowsAreaBounds().width();
        switch (code) {
        case TkvGridScrollCode::LineUp:
            ScrollHorizontally(-HorizontalScrollStep);
            break;
        case TkvGridScrollCode::LineDown:
            ScrollHorizontally(HorizontalScrollStep);
            break;
        case TkvGridScrollCode::PageUp:
            ScrollHorizontally(-page);
            break;
        case TkvGridScrollCode::PageDown:
            ScrollHorizontally(page);
            break;
        case TkvGridScrollCode::Track:
            SetLeftPos(position);
            break;
        case TkvGridScrollCode::Top:
            SetLeftPos(0);
            break;
        case TkvGridScrollCode::Bottom:
            SetLeftPos(viewInfo.DataWidth());
            break;
        }
        return;
    }
    switch (code) {
    case TkvGridScrollCode::LineUp:
        SetTopRowIndex(FTopRowIndex - 1);
        break;
    case TkvGridScrollCode::LineDown:
        SetTopRowIndex(FTopRowIndex + 1);
        break;
    case TkvGridScrollCode::PageUp: {
        const int newTop = viewInfo.TopRowIndexForBottomRow(FTopRowIndex);
        SetTopRowIndex(newTop == FTopRowIndex ? FTopRowIndex - 1 : newTop);
        break;
    }
    case TkvGridScrollCode::PageDown: {
        const int fit = viewInfo.FullyVisibleRowCountFrom(FTopRowIndex);
        SetTopRowIndex(fit <= 1 ? FTopRowIndex + 1 : FTopRowIndex + fit - 1);
        break;
    }
    case TkvGridScrollCode::Track:
        SetTopRowIndex(position);
        break;
    case TkvGridScrollCode::Top:
        SetTopRowIndex(0);
        break;
    case TkvGridScrollCode::Bottom:
        SetTopRowIndex(viewInfo.MaxTopRowIndex());
        break;
    }
}

} // namespace kestrum
