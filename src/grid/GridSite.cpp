#include "grid/GridSite.h"

#include "editors/CustomEdit.h"
#include "grid/GridAccessible.h"
#include "grid/GridCellText.h"
#include "grid/GridCustomizationForm.h"
#include "grid/GridEditingController.h"
#include "grid/GridFilterDialogs.h"
#include "grid/GridFilterDropDown.h"
#include "grid/GridFilterPopup.h"
#include "grid/GridTableController.h"
#include "grid/GridTablePainter.h"
#include "grid/GridTableView.h"
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QToolTip>
#include <QWheelEvent>

namespace kestrum {

TkvGridSite::TkvGridSite(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // the sizing cursor shows over a sizing edge
    // An input method composes text for the focused cell (its editor opens on the first event).
    setAttribute(Qt::WA_InputMethodEnabled);
    InstallGridAccessibility();
    FDragScrollTimer.setInterval(TkvGridTableController::DragScrollInterval);
    connect(&FDragScrollTimer, &QTimer::timeout, this, [this] { DragScrollTick(); });
}

void TkvGridSite::SetGridView(TkvGridTableView *view)
{
    if (FGridView == view)
        return;
    if (FGridView) {
        FGridView->OnInvalidate = nullptr;
        FGridView->OnAccessChange = nullptr;
        FGridView->OnWaitCursor = nullptr;
        FGridView->Controller().SetWindowFactory(nullptr);
        FGridView->Controller().FilterDialogs().ShowColumnFilterDialog = nullptr;
        FGridView->Controller().FilterDialogs().ShowFilterBuilderDialog = nullptr;
        FGridView->Controller().EditingController().SetSite(nullptr);
    }
    FGridView = view;
    if (view) {
        view->Controller().EditingController().SetSite(this);
        view->OnWaitCursor = [](bool busy) {
            if (busy)
                QApplication::setOverrideCursor(Qt::WaitCursor);
            else
                QApplication::restoreOverrideCursor();
        };
        view->Controller().SetDragThreshold(QApplication::startDragDistance() / 2);
        view->Controller().SetDialogParent(this);
        view->Controller().FilterDialogs().ShowColumnFilterDialog = [this](TkvGridTableView &grid,
                                                                           TkvGridColumn &column) {
            return ShowGridColumnFilterDialog(grid, column, this);
        };
        view->Controller().FilterDialogs().ShowFilterBuilderDialog = [this](TkvGridTableView &grid) {
            return ShowGridFilterBuilderDialog(grid, this);
        };
        view->Controller().SetWindowFactory(
            [this, view](TkvGridWindowKind kind) -> std::unique_ptr<TkvGridWindow> {
                if (kind == TkvGridWindowKind::CustomizationForm)
                    return std::make_unique<TkvGridCustomizationWindow>(*view, this);
                TkvGridFilterDropDown *dropDown = view->Controller().FilterDropDown();
                if (!dropDown)
                    return nullptr;
                return std::make_unique<TkvGridFilterPopupWindow>(*view, *dropDown, this);
            });
        view->OnInvalidate = [this](const QRect &rect) {
            if (rect.isNull())
                update();
            else
                update(rect);
        };
        view->OnAccessChange = [this](TkvGridAccessChange change) { NotifyGridAccessibility(this, change); };
        view->SetBounds(rect());
        view->LayoutChanged();
    }
    update();
}

TkvGridShiftState TkvGridSite::TranslateModifiers(Qt::KeyboardModifiers modifiers)
{
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
            modifiers.testFlag(Qt::AltModifier)};
}

TkvGridKey TkvGridSite::TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return TkvGridKey::Enter;
    case Qt::Key_F2:
        return TkvGridKey::F2;
    case Qt::Key_Left:
        return TkvGridKey::Left;
    case Qt::Key_Right:
        return TkvGridKey::Right;
    case Qt::Key_Up:
        return TkvGridKey::Up;
    case Qt::Key_Down:
        return TkvGridKey::Down;
    case Qt::Key_PageUp:
        return TkvGridKey::PageUp;
    case Qt::Key_PageDown:
        return TkvGridKey::PageDown;
    case Qt::Key_Home:
        return TkvGridKey::Home;
    case Qt::Key_End:
        return TkvGridKey::End;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return TkvGridKey::Tab;
    case Qt::Key_Escape:
        return TkvGridKey::Escape;
    case Qt::Key_Insert:
        return TkvGridKey::Insert;
    case Qt::Key_Delete:
        return TkvGridKey::Delete;
    case Qt::Key_Space:
        return TkvGridKey::Space;
    case Qt::Key_Backspace:
        return TkvGridKey::Backspace;
    case Qt::Key_A:
        return TkvGridKey::A;
    case Qt::Key_Asterisk:
        return keypad ? TkvGridKey::NumMultiply : TkvGridKey::None;
    case Qt::Key_Plus:
        return keypad ? TkvGridKey::NumAdd : TkvGridKey::None;
    case Qt::Key_Minus:
        return keypad ? TkvGridKey::NumSubtract : TkvGridKey::None;
    default:
        return TkvGridKey::None;
    }
}

bool TkvGridSite::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip || !FGridView)
        return QWidget::event(event);
    // A cell that shows its text cut offers the whole text as its hint.
    auto *help = static_cast<QHelpEvent *>(event);
    const TkvGridCutText cut = CutCellTextAt(FGridView->ViewInfo(), help->pos());
    if (cut.Text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), cut.Text, this, cut.Bounds);
    }
    return true;
}

void TkvGridSite::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (!FGridView) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    // The site paints every pixel itself (opaque paint events): whatever lies
    // outside the view's laid-out bounds gets the view's background.
    const QRegion outside = QRegion(rect()).subtracted(FGridView->Bounds());
    for (const QRect &part : outside)
        painter.fillRect(part, FGridView->Styles().Params(TkvGridStyleSlot::Background).Color);
    FGridView->Painter().Paint(painter, event->rect());
}

void TkvGridSite::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Laying the view out may show or hide a scroll bar, which resizes this
    // site again from inside this event; while the site is being shown Qt
    // drops that nested resize, so follow the size here until it holds.
    for (int pass = 0; pass < 5 && FGridView && FGridView->Bounds() != rect(); ++pass)
        FGridView->SetBounds(rect());
}

template <class Step> bool TkvGridSite::Guarded(Step step)
{
    // A step that fails (a save refused while the focus moves to another row)
    // is reported here and abandoned: the controller's update lock and the
    // data controller's batch unwind, the record stays where it was, and the
    // error never leaves the event handler.
    try {
        step();
        return true;
    } catch (const std::exception &error) {
        ShowException(this, error);
        return false;
    }
}

void TkvGridSite::keyPressEvent(QKeyEvent *event)
{
    if (!FGridView) {
        QWidget::keyPressEvent(event);
        return;
    }
    TkvGridKey key = TranslateKey(event->key(), event->modifiers());
    const TkvGridShiftState shift = TranslateModifiers(event->modifiers());
    TkvGridTableController &controller = FGridView->Controller();
    bool consumed = false;
    if (!Guarded([&] {
            // The view's own handler sees the key first and may take it.
            if (key != TkvGridKey::None && FGridView->OnKeyDown) {
                FGridView->OnKeyDown(FGridView, key, shift);
                if (key == TkvGridKey::None)
                    consumed = true;
            }
            if (key != TkvGridKey::None)
                consumed = controller.KeyDown(key, shift);
            // The key's character, unless the key was used up: typing searches or reaches the row.
            const QString text = event->text();
            if (!consumed && !text.isEmpty() && !shift.Alt) {
                QChar character = text.front();
                if (FGridView->OnKeyPress)
                    FGridView->OnKeyPress(FGridView, character);
                if (!character.isNull())
                    consumed = controller.KeyPress(character);
            } else if (controller.SuppressNextCharacter() && key == TkvGridKey::Space) {
                // Here the space's character comes with its key, already used up: the flag
                // Ctrl+Space set must not eat the next character typed.
                controller.KeyPress(QChar(u' '));
            }
        }))
        consumed = true; // reported; the key goes no further
    if (!consumed)
        QWidget::keyPressEvent(event);
}

void TkvGridSite::inputMethodEvent(QInputMethodEvent *event)
{
    if (!FGridView || (event->commitString().isEmpty() && event->preeditString().isEmpty())) {
        event->ignore();
        return;
    }
    TkvGridTableController &controller = FGridView->Controller();
    TkvGridEditingController &editing = controller.EditingController();
    bool open = false;
    Guarded([&] {
        TkvUpdateLock lock(*FGridView);
        open = editing.FocusedRowKeyDown(TkvGridKey::F2, {});
    });
    TkvCustomEdit *edit = editing.Edit();
    if (!open || !edit || !edit->InnerWidget()) {
        event->ignore();
        return;
    }
    // The editor has the focus now: this and the rest of the composition go to it.
    QInputMethodEvent forwarded(event->preeditString(), event->attributes());
    forwarded.setCommitString(event->commitString(), event->replacementStart(), event->replacementLength());
    QCoreApplication::sendEvent(edit->InnerWidget(), &forwarded);
    event->accept();
}

void TkvGridSite::Press(QMouseEvent *event, bool doubleClick)
{
    if (!FGridView)
        return;
    // The site takes the keyboard focus before the controller sees the press.
    if (!doubleClick)
        setFocus(Qt::MouseFocusReason);
    // A cell editor that refused to be left (its text does not validate)
    // keeps the focus; the press goes no further.
    const TkvCustomEdit *edit = FGridView->Controller().EditingController().Edit();
    if (!doubleClick && edit && edit->Focused())
        return;
    const TkvGridMouseButton button = event->button() == Qt::RightButton    ? TkvGridMouseButton::Right
                                      : event->button() == Qt::MiddleButton ? TkvGridMouseButton::Middle
                                                                            : TkvGridMouseButton::Left;
    const QPoint point = event->position().toPoint();
    const TkvGridShiftState shift = TranslateModifiers(event->modifiers());
    Guarded([&] {
        if (FGridView->OnMouseDown)
            FGridView->OnMouseDown(FGridView, button, shift, point);
        if (doubleClick && FGridView->OnDblClick)
            FGridView->OnDblClick(FGridView);
        FGridView->Controller().MouseDown(button, point, shift, doubleClick);
    });
}

void TkvGridSite::mousePressEvent(QMouseEvent *event)
{
    Press(event, false);
}

void TkvGridSite::mouseDoubleClickEvent(QMouseEvent *event)
{
    Press(event, true);
}

void TkvGridSite::mouseReleaseEvent(QMouseEvent *event)
{
    if (!FGridView)
        return;
    const TkvGridMouseButton button = event->button() == Qt::RightButton    ? TkvGridMouseButton::Right
                                      : event->button() == Qt::MiddleButton ? TkvGridMouseButton::Middle
                                                                            : TkvGridMouseButton::Left;
    const QPoint point = event->position().toPoint();
    const TkvGridShiftState shift = TranslateModifiers(event->modifiers());
    Guarded([&] {
        if (FGridView->OnMouseUp)
            FGridView->OnMouseUp(FGridView, button, shift, point);
        FGridView->Controller().MouseUp(button, point, shift);
    });
}

void TkvGridSite::mouseMoveEvent(QMouseEvent *event)
{
    if (!FGridView)
        return;
    const QPoint point = event->position().toPoint();
    TkvGridTableController &controller = FGridView->Controller();
    if (controller.HeaderState() != TkvGridHeaderState::None)
        Guarded([&] { controller.MouseMove(point, TranslateModifiers(event->modifiers())); });
    if (controller.IsPullFocusing() && event->buttons().testFlag(Qt::LeftButton)) {
        Guarded([&] { controller.PullFocusingMove(point); });
        if (controller.PullScrollDirection() != 0 && !FDragScrollTimer.isActive())
            FDragScrollTimer.start();
    }
    UpdateCursor(point);
    if (controller.DragScrollDirection() != 0 && !FDragScrollTimer.isActive())
        FDragScrollTimer.start();
}

void TkvGridSite::UpdateCursor(const QPoint &point)
{
    const TkvGridTableController &controller = FGridView->Controller();
    bool sizing = controller.HeaderState() == TkvGridHeaderState::Sizing;
    if (!sizing && controller.HeaderState() == TkvGridHeaderState::None)
        sizing = FGridView->ViewInfo().HitTest(point).Kind == TkvGridHitKind::HeaderSizingEdge;
    if (sizing)
        setCursor(Qt::SplitHCursor);
    else
        unsetCursor();
}

void TkvGridSite::DragScrollTick()
{
    if (FGridView && FGridView->Controller().PullScrollDirection() != 0) {
        Guarded([&] { FGridView->Controller().PullScrollStep(); });
        return;
    }
    if (!FGridView || FGridView->Controller().DragScrollDirection() == 0) {
        FDragScrollTimer.stop();
        return;
    }
    Guarded([&] { FGridView->Controller().DragScrollStep(); });
}

void TkvGridSite::wheelEvent(QWheelEvent *event)
{
    if (!FGridView)
        return;
    // Touchpads send small deltas; the controller adds them up into whole notches.
    const TkvGridShiftState shift = TranslateModifiers(event->modifiers());
    Guarded([&] {
        FGridView->Controller().MouseWheelDelta(event->angleDelta(), event->position().toPoint(), shift,
                                                QApplication::wheelScrollLines());
    });
    event->accept();
}

void TkvGridSite::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (FGridView) {
        FGridView->SetFocused(true);
        // Coming into the grid shows the editor on the focused cell under AlwaysShowEditor.
        Guarded([&] { FGridView->Controller().EditingController().ShowEditorAlways(); });
        // A screen reader names the focused cell, not only the grid: after Qt has announced
        // the grid itself, so the cell is what is read last.
        QMetaObject::invokeMethod(
            this, [this] { NotifyGridAccessibility(this, TkvGridAccessChange::Focus); },
            Qt::QueuedConnection);
    }
}

void TkvGridSite::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    // The filter drop-down's popup takes the focus while it is open: that is no loss;
    // nor is the focus going into the cell editor, which stays within the grid.
    const QWidget *next = QApplication::focusWidget();
    if (FGridView && event->reason() != Qt::PopupFocusReason && !(next && isAncestorOf(next))) {
        FGridView->SetFocused(false);
        // Losing the focus loses the mouse: a header action in progress ends.
        FGridView->Controller().CancelHeaderAction();
        // A popup or another window taking the focus does not leave the grid.
        if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
            Guarded([&] { FGridView->Controller().FocusExit(); });
    }
}

} // namespace kestrum
