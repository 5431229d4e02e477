#include "grid/GridEditingController.h"

#include "data/DataController.h"
#include "editors/CustomEdit.h"
#include "grid/GridColumn.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridSite.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPalette>

namespace kestrum {

namespace {

//! The edge an editor is moved to while its cell is out of view: it stays
//! open, out of sight.
constexpr int ParkedLeft = 30000;

TkvDataEditValueSource EditValueSource(TkvBindingValueKind kind)
{
    switch (kind) {
    case bvkText:
        return TkvDataEditValueSource::evsText;
    case bvkLookupKey:
        return TkvDataEditValueSource::evsKey;
    default:
        return TkvDataEditValueSource::evsValue;
    }
}

//! Keys the in-place editor leaves unhandled would travel on to its parent,
//! the grid site, and act on the grid (an Esc there cancels the record). An
//! editor's keys end at the editor, also the one that closed it: the barrier
//! stays while the editor belongs to the site, since the key that closes the
//! editor is still on its way up when the editor lets go of the grid.
class TKeyBarrier : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    }
};

Qt::KeyboardModifiers QtModifiers(TkvGridShiftState shift)
{
    Qt::KeyboardModifiers modifiers;
    if (shift.Shift)
        modifiers |= Qt::ShiftModifier;
    if (shift.Ctrl)
        modifiers |= Qt::ControlModifier;
    if (shift.Alt)
        modifiers |= Qt::AltModifier;
    return modifiers;
}

} // namespace

TkvGridEditingState EnterEditingStep(TkvGridEditingState outer, TkvGridEditingState step)
{
    switch (outer) {
    case TkvGridEditingState::Closing:
        return step == TkvGridEditingState::Posting ? TkvGridEditingState::PostingOnClose
                                                    : TkvGridEditingState::Closing;
    case TkvGridEditingState::PostingOnClose:
        return TkvGridEditingState::PostingOnClose;
    default:
        return step;
    }
}

TkvGridEditingController::TkvGridEditingController(TkvGridTableView *view)
    : FView(view), FActivation([this](TkvCustomGridTableItem *item) { ShowEditAndActivate(item); }),
      FKeyBarrier(std::make_unique<TKeyBarrier>())
{
    // Properties going away take their editor with them; one open on them
    // is closed first, without writing.
    FEditList.OnEditRemoving = [this](TkvCustomEdit *edit) {
        if (edit != FEdit)
            return;
        UnhookEdit();
        FEditingItem = nullptr;
        FEdit->hide();
        FEdit = nullptr;
        FEditProperties = nullptr;
    };
}

TkvGridEditingController::~TkvGridEditingController()
{
    if (FEdit) {
        UnhookEdit();
        FEdit = nullptr;
    }
}

void TkvGridEditingController::SetSite(QWidget *site)
{
    if (FSite == site)
        return;
    if (FEdit) {
        try {
            CloseCellEditor(false);
        } catch (const std::exception &) {
            // Closing without writing only gives the focus back.
        }
    }
    // The list owns its editors: none may stay a child of a site that goes.
    for (const QPointer<TkvCustomEdit> &edit : FSitedEdits)
        if (edit && edit->parentWidget() == FSite) {
            edit->removeEventFilter(FKeyBarrier.get());
            edit->setParent(nullptr);
        }
    FSitedEdits.clear();
    FSite = site;
}

TkvCustomDataController *TkvGridEditingController::DataController() const
{
    TkvGridDataControllerSource *source = FView->ControllerSource();
    return source ? &source->Controller() : nullptr;
}

bool TkvGridEditingController::IsClosing() const
{
    return FState == TkvGridEditingState::Closing || FState == TkvGridEditingState::PostingOnClose;
}

bool TkvGridEditingController::IsPosting() const
{
    return FState == TkvGridEditingState::Posting || FState == TkvGridEditingState::PostingOnClose;
}

bool TkvGridEditingController::GridHasFocus() const
{
    return FView->IsFocused() || (FEdit && FEdit->Focused());
}

bool TkvGridEditingController::SiteHasFocus() const
{
    return FView->IsFocused() && !(FEdit && FEdit->Focused());
}

// ---- opening ----

bool TkvGridEditingController::ShowCellEditor(TkvCustomGridTableItem *item, bool byMouse)
{
    if (FState == TkvGridEditingState::Loading || IsClosing() || !item)
        return false;
    if (item == FEditingItem && FEdit)
        return byMouse || (SiteHasFocus() && !FEdit->Focused());
    if (!SiteHasFocus())
        return false;
    SetEditingItem(item);
    return FEditingItem == item && FEdit;
}

bool TkvGridEditingController::ShowEditAndActivate(TkvCustomGridTableItem *item)
{
    if (!ShowCellEditor(item))
        return FEditingItem == item && FEdit;
    FEdit->ActivateInPlace();
    return true;
}

bool TkvGridEditingController::ShowEditByKey(TkvCustomGridTableItem *item, QChar ch)
{
    if (!ShowCellEditor(item))
        return false;
    FEdit->ActivateInPlaceByKey(ch);
    return true;
}

bool TkvGridEditingController::ShowEditByMouse(TkvCustomGridTableItem *item, TkvGridShiftState shift,
                                               const QPoint &point, bool leftButtonDown)
{
    if (!ShowCellEditor(item, true))
        return false;
    // A release alone would leave the caret where the editor put it; the
    // caret goes to the click point, as the press there would have put it.
    FEdit->ActivateInPlaceByMouse(QtModifiers(shift), point, true);
    if (!leftButtonDown && FEdit && FEdit->InnerWidget()) {
        QWidget *inner = FEdit->InnerWidget();
        const QPointF local = inner->mapFrom(FEdit, FEdit->mapFromParent(point));
        QMouseEvent release(QEvent::MouseButtonRelease, local, inner->mapToGlobal(local), Qt::LeftButton,
                            Qt::NoButton, QtModifiers(shift));
        QCoreApplication::sendEvent(inner, &release);
    }
    return true;
}

void TkvGridEditingController::SetEditingItem(TkvCustomGridTableItem *item)
{
    if (item == FEditingItem || FState == TkvGridEditingState::ChangingItem)
        return;
    if (item) {
        if (!item->CanEdit())
            return;
        bool allow = true;
        if (FView->OnEditing)
            FView->OnEditing(FView, item, allow);
        if (!allow)
            return;
        // Taking the cell focus closes an editor open on another column, accepting.
        FView->Controller().SetFocusedItem(item);
        if (FView->Controller().FocusedItem() != item)
            return;
    }
    TStep step(*this, TkvGridEditingState::ChangingItem);
    if (FEditingItem)
        CloseCellEditor(false);
    FEditingItem = item;
    if (item) {
        TkvCustomEditProperties *properties =
            item->GetPropertiesForRecord(FView->Controller().FocusedRecord());
        try {
            FEdit = &FEditList.GetEdit(*properties);
        } catch (...) {
            FEditingItem = nullptr;
            throw;
        }
        FEditProperties = properties;
        FView->RecordChanged(FView->Controller().FocusedRowIndex(), item->Index());
        PrepareEdit();
    }
}

void TkvGridEditingController::PrepareEdit()
{
    {
        TStep step(*this, TkvGridEditingState::Loading);
        FSavedOnChange = FEditProperties->OnChange;
        FSavedOnEditValueChanged = FEditProperties->OnEditValueChanged;
        TkvCustomGridTableItem *item = FEditingItem;
        FEditProperties->OnChange = [this, item](TkvCustomEdit *sender) {
            if (FSavedOnChange)
                FSavedOnChange(sender);
            if (FView->OnEditChanged && FState != TkvGridEditingState::Loading)
                FView->OnEditChanged(FView, item);
        };
        FEditProperties->OnEditValueChanged = [this, item](TkvCustomEdit *sender) {
            if (FSavedOnEditValueChanged)
                FSavedOnEditValueChanged(sender);
            if (FView->OnEditValueChanged && FState != TkvGridEditingState::Loading)
                FView->OnEditValueChanged(FView, item);
        };
        if (FSite && FEdit->parentWidget() != FSite) {
            FEdit->setParent(FSite);
            FEdit->installEventFilter(FKeyBarrier.get());
            FSitedEdits.emplace_back(FEdit);
        }
        // The field behind the column may have changed since the editor was
        // made (its maximum length, read-only state): the editor takes it now.
        FEdit->PropertiesChanged();
        // Screen readers name the cell editor after its column, as they name the cell.
        FEdit->setAccessibleName(FEditingItem->Caption());
        PlaceEdit();
        ReloadCellValue();
        HookEdit();
    }
    if (FView->OnInitEdit)
        FView->OnInitEdit(FView, FEditingItem, FEdit);
}

void TkvGridEditingController::HookEdit()
{
    FEdit->OnHostKeyDown = [this](TkvCustomEdit *, int &key, Qt::KeyboardModifiers shift) {
        EditHostKeyDown(key, shift);
    };
    FEdit->OnEditing = [this](TkvCustomEdit *, bool &canEdit) {
        if (canEdit)
            canEdit = InitiateEditing();
    };
    FEdit->OnHostPostValue = [this](TkvCustomEdit *) { PostCellValue(); };
    FEdit->OnExit = [this](TkvCustomEdit *) { EditExit(); };
    FEdit->OnKeyDown = [this](TkvCustomEdit *, int &key, Qt::KeyboardModifiers shift) {
        EditKeyDown(key, shift);
    };
}

void TkvGridEditingController::UnhookEdit()
{
    if (!FEdit)
        return;
    FEdit->OnHostKeyDown = nullptr;
    FEdit->OnEditing = nullptr;
    FEdit->OnHostPostValue = nullptr;
    FEdit->OnExit = nullptr;
    FEdit->OnKeyDown = nullptr;
    if (FEditProperties) {
        FEditProperties->OnChange = FSavedOnChange;
        FEditProperties->OnEditValueChanged = FSavedOnEditValueChanged;
    }
    FSavedOnChange = nullptr;
    FSavedOnEditValueChanged = nullptr;
}

// ---- placing ----

QRect TkvGridEditingController::CellEditBounds(bool &found) const
{
    found = false;
    const TkvGridTableViewInfo &viewInfo = FView->ViewInfo();
    if (!FEditingItem || !viewInfo.IsCalculated())
        return {};
    const TkvGridRowViewInfo *row = nullptr;
    if (FView->Controller().IsNewItemRowFocused()) {
        for (const TkvGridRowViewInfo &candidate : viewInfo.Rows())
            if (candidate.IsNewItemRow)
                row = &candidate;
    } else {
        row = viewInfo.FindRow(FView->Controller().FocusedRowIndex());
    }
    if (!row)
        return {};
    for (const TkvGridCellViewInfo &cell : viewInfo.Cells(*row)) {
        if (cell.Item != FEditingItem)
            continue;
        const QRect bounds = cell.ContentBounds();
        // A cell scrolled out of the rows area is out of view as well.
        if (bounds.isEmpty() || !bounds.intersects(viewInfo.RowsAreaBounds()))
            return {};
        found = true;
        return bounds;
    }
    return {};
}

void TkvGridEditingController::PlaceEdit()
{
    if (!FEdit || !FEditingItem)
        return;
    bool found = false;
    const QRect bounds = CellEditBounds(found);
    if (found) {
        // The editor takes the cell's font and colours, and covers the cell
        // completely: the cell's own text must not show through it.
        const TkvGridViewParams content = FView->Styles().Params(TkvGridStyleSlot::Content);
        if (FEdit->font() != content.Font)
            FEdit->setFont(content.Font);
        QPalette palette = FEdit->palette();
        const QColor color = content.Color.isValid() ? content.Color : palette.color(QPalette::Base);
        if (palette.color(QPalette::Window) != color || !FEdit->autoFillBackground()) {
            palette.setColor(QPalette::Window, color);
            palette.setColor(QPalette::Base, color);
            if (content.TextColor.isValid()) {
                palette.setColor(QPalette::Text, content.TextColor);
                palette.setColor(QPalette::WindowText, content.TextColor);
            }
            FEdit->setPalette(palette);
            FEdit->setAutoFillBackground(true);
        }
        FEdit->setGeometry(bounds);
        FEditBounds = bounds;
    } else {
        // Out of view, or not laid out yet: the editor stays open, out of sight.
        FEditBounds = QRect(QPoint(ParkedLeft, FEdit->y()), FEdit->size());
        FEdit->move(FEditBounds.topLeft());
    }
}

void TkvGridEditingController::UpdateEditorBounds()
{
    if (FEdit && FEditingItem && !IsClosing())
        PlaceEdit();
}

QRect TkvGridEditingController::EditorBounds() const
{
    return FEdit ? FEditBounds : QRect();
}

// ---- values ----

void TkvGridEditingController::ReloadCellValue()
{
    if (!FEdit || !FEditingItem)
        return;
    TkvCustomDataController *dataController = DataController();
    Variant value = Variant::null();
    if (dataController) {
        const TkvDataEditValueSource source = EditValueSource(FEditProperties->GetBindingValueKind(true));
        value = dataController->ReadEditValue(FEditingItem->Index(), source);
        FEditingRecordIndex = dataController->FocusedRecordIndex();
    }
    {
        TStep step(*this, TkvGridEditingState::Loading); // a reload is no change of the user's
        FEdit->AssignEditValue(value);
    }
    FEdit->SelectAll();
}

void TkvGridEditingController::RefreshEditor()
{
    if (!FEdit || !FEditingItem || IsClosing() || IsPosting() ||
        FState == TkvGridEditingState::StartingEdit || FState == TkvGridEditingState::Loading)
        return;
    ReloadCellValue();
}

void TkvGridEditingController::ShowEditorAlways()
{
    // Not in the middle of a step: above all not while a closing editor
    // gives the keyboard focus back to the grid site.
    if (!FView->OptionsBehavior().AlwaysShowEditor() ||
        (FState != TkvGridEditingState::Idle && FState != TkvGridEditingState::ForwardingEnter))
        return;
    TkvGridTableController &controller = FView->Controller();
    TkvCustomGridTableItem *item = controller.FocusedItem();
    TkvCustomGridRecord *record = controller.FocusedRecord();
    if (!item || !record || !record->HasCells()) {
        // A group row or no row: no cell to stand on. Its value was written
        // before the focus left its record.
        if (FEditingItem)
            CloseCellEditor(false);
        return;
    }
    if (FEditingItem == item && FEdit) {
        ReloadCellValue();
        return;
    }
    ShowEditAndActivate(item);
}

bool TkvGridEditingController::InitiateEditing()
{
    TkvCustomDataController *dataController = DataController();
    if (!FEditingItem || !dataController || !FEditingItem->CanEdit())
        return false;
    TStep step(*this, TkvGridEditingState::StartingEdit);
    TkvCustomDataField *field = dataController->GetItemField(FEditingItem->Index());
    bool result = dataController->EditOperations().Contains(deoEdit) &&
                  dataController->Provider().CanModifyField(field);
    if (result && !dataController->EditState().Contains(desEditing)) {
        dataController->Edit();
        result = dataController->EditState().Contains(desEditing);
    }
    return result;
}

bool TkvGridEditingController::PostCellValue()
{
    if (!FEditingItem || !FEdit || !FEdit->ChangedSinceEntry() || IsPosting())
        return true;
    TkvCustomDataController *dataController = DataController();
    // The value belongs to the record it was loaded from; once the focus has
    // left that record it is nobody's to write.
    if (!dataController || dataController->FocusedRecordIndex() != FEditingRecordIndex)
        return true;
    // Refused without a message: nothing is written, and whatever was to
    // follow the write (a move to another row) must not happen either.
    if (!FEdit->ValidateEditText(true))
        return false;
    FEdit->SetChangedSinceEntry(true);
    Variant value = FEdit->EditValue();
    if (value.isEmpty())
        value = Variant::null();
    const TkvDataEditValueSource source = EditValueSource(FEditProperties->GetBindingValueKind(true));
    {
        TStep step(*this, TkvGridEditingState::Posting);
        dataController->WriteEditValue(FEditingItem->Index(), value, source);
    }
    // The change is in the record now; the editor still differs from what it
    // showed when it opened, so its first Esc only closes it.
    FEdit->SetHasPendingChange(false);
    return true;
}

// ---- closing ----

void TkvGridEditingController::CloseCellEditor(bool accept)
{
    CancelDelayedActivation();
    if (IsClosing() || !FEditingItem)
        return;
    if (!FEdit) {
        FEditingItem = nullptr;
        return;
    }
    TStep step(*this, TkvGridEditingState::Closing);
    // The steps of one close tell of a change once.
    FEdit->BeginChangeEvents();
    try {
        if (accept) {
            // Validation takes the text into the value and clears the change
            // marks; the change still has to be written.
            const bool changed = FEdit->ChangedSinceEntry();
            if (!FEdit->DeactivateInPlace()) {
                step.Leave(); // rejected without a message: the editor stays
                FEdit->EndChangeEvents();
                return;
            }
            FEdit->SetChangedSinceEntry(changed);
            // Written here rather than from inside the record set's update,
            // where the record set keeps the change from its own links and the
            // row would go on showing the old value.
            if (!PostCellValue()) {
                step.Leave(); // rejected without a message: the editor stays
                FEdit->EndChangeEvents();
                return;
            }
            // Written: the record's own update below has nothing more to take.
            FEdit->SetChangedSinceEntry(false);
            TkvCustomDataController *dataController = DataController();
            if (dataController && dataController->EditState().Contains(desEditing))
                dataController->UpdateData();
        }
    } catch (...) {
        step.Leave();
        FEdit->EndChangeEvents();
        throw;
    }
    FEdit->EndChangeEvents();
    TkvCustomGridTableItem *item = FEditingItem;
    FEditingItem = nullptr;
    const int focusedRowIndex = FView->Controller().FocusedRowIndex();
    if (focusedRowIndex >= 0)
        FView->RecordChanged(focusedRowIndex, item->Index());
    TkvCustomEdit *edit = FEdit;
    UnhookEdit();
    if (edit->Focused() && GridHasFocus()) {
        edit->ClearChangeFlags();
        if (FSite)
            FSite->setFocus(Qt::OtherFocusReason);
        // Without window activation the focus events may not come.
        if (edit->Focused())
            edit->DoExit();
        FView->SetFocused(true);
    }
    edit->hide();
    FEdit = nullptr;
    FEditProperties = nullptr;
    FEditingRecordIndex = -1;
    FErrorOnExit = false;
}

bool TkvGridEditingController::AcceptOnExit() const
{
    if (!FView->OptionsData().CancelOnExit())
        return true;
    TkvCustomDataController *dataController = DataController();
    if (!dataController)
        return true;
    const TkvDataControllerEditState state = dataController->EditState();
    const bool untouchedNewRecord = state.Contains(desInserting) && !state.Contains(desModified);
    return !untouchedNewRecord || (FEdit && FEdit->ChangedSinceEntry());
}

void TkvGridEditingController::EditExit()
{
    if (IsClosing() || FState == TkvGridEditingState::Loading || !FEditingItem)
        return;
    if (FView->OptionsBehavior().AlwaysShowEditor() && !SiteHasFocus())
        return;
    TkvCustomEdit *edit = FEdit;
    try {
        CloseCellEditor(AcceptOnExit());
    } catch (...) {
        // The editor takes the focus back; the next press on a cell keeps the cell focus.
        FErrorOnExit = true;
        if (edit && edit->InnerWidget())
            edit->InnerWidget()->setFocus(Qt::OtherFocusReason);
        throw;
    }
    // The focus went past the grid: the grid shows itself unfocused.
    QWidget *now = QApplication::focusWidget();
    if (FSite && now && now != FSite && !FSite->isAncestorOf(now))
        FView->SetFocused(false);
}

// ---- keys ----

void TkvGridEditingController::EditKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TkvGridTableController &controller = FView->Controller();
    controller.MakeFocusedRowVisible();
    const bool ctrlOnly = (shift & ~Qt::KeypadModifier) == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        key = 0;
        CloseCellEditor(true);
        if (FEditingItem)
            return; // the close was refused
        if (FView->OptionsBehavior().GoToNextCellOnEnter()) {
            {
                TStep step(*this, TkvGridEditingState::ForwardingEnter);
                controller.KeyDown(TkvGridKey::Enter, TkvGridSite::TranslateModifiers(shift));
            }
            ShowEditAndActivate(controller.FocusedItem());
        } else if (FView->OptionsBehavior().AlwaysShowEditor()) {
            ShowEditAndActivate(controller.FocusedItem());
        }
        return;
    }
    case Qt::Key_Escape: {
        const bool changed = FEdit && FEdit->ChangedSinceEntry();
        CloseCellEditor(false);
        if (FView->OptionsBehavior().AlwaysShowEditor())
            ShowEditAndActivate(controller.FocusedItem());
        if (changed)
            key = 0;
        return;
    }
    case Qt::Key_Delete:
        if (ctrlOnly) {
            controller.KeyDown(TkvGridKey::Delete, TkvGridSite::TranslateModifiers(shift));
            key = 0;
        }
        return;
    default:
        return;
    }
}

void TkvGridEditingController::EditHostKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    const TkvGridKey gridKey = TkvGridSite::TranslateKey(key, shift);
    TkvGridTableController &controller = FView->Controller();
    if (gridKey == TkvGridKey::None || !controller.IsControllerKey(gridKey))
        return;
    if (controller.KeyDown(gridKey, TkvGridSite::TranslateModifiers(shift)))
        key = 0;
}

bool TkvGridEditingController::FocusedRowKeyDown(TkvGridKey key, TkvGridShiftState shift)
{
    if ((key != TkvGridKey::Enter && key != TkvGridKey::F2) || IsForwardingEnter())
        return false;
    if (shift.Ctrl || shift.Alt || (shift.Shift && key != TkvGridKey::Enter))
        return false;
    TkvGridTableController &controller = FView->Controller();
    TkvCustomGridRecord *record = controller.FocusedRecord();
    if (!record || !record->HasCells() || !controller.FocusedItem())
        return false;
    return ShowEditAndActivate(controller.FocusedItem());
}

bool TkvGridEditingController::FocusedRowKeyPress(QChar ch)
{
    const char16_t code = ch.unicode();
    if (code != 8 && code != 22 && code != 24 && code < 32)
        return false;
    TkvGridTableController &controller = FView->Controller();
    TkvCustomGridRecord *record = controller.FocusedRecord();
    if (!record || !record->HasCells() || !controller.FocusedItem())
        return false;
    ShowEditByKey(controller.FocusedItem(), ch);
    return true;
}

// ---- mouse ----

void TkvGridEditingController::CellMouseDown(TkvCustomGridTableItem *item, bool wasFocusedCell)
{
    FActivation.Press(item, wasFocusedCell);
}

void TkvGridEditingController::CellMouseUp(TkvCustomGridTableItem *item, const QPoint &point,
                                           TkvGridShiftState shift, bool doubleClick)
{
    const bool pressWasFocusedCell = FActivation.TakePressWasFocusedCell(item);
    if (shift.Shift || shift.Ctrl || !item || item != FView->Controller().FocusedItem())
        return;
    if (item == FEditingItem && FEdit)
        return;
    if (FView->OptionsBehavior().ImmediateEditor())
        ShowEditByMouse(item, shift, point, false);
    else if (pressWasFocusedCell && !doubleClick)
        StartDelayedActivation(item);
}

void TkvGridEditingController::ItemRemoving(TkvCustomGridTableItem *item)
{
    FActivation.ItemRemoving(item);
    if (item == FEditingItem)
        CloseCellEditor(false);
}

} // namespace kestrum
