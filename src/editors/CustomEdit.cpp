#include "editors/CustomEdit.h"

#include "core/VariantCompare.h"
#include "ui/Beep.h"
#include "ui/ErrorBox.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>

namespace kestrum {

namespace {

std::function<void(const std::exception &)> &ExceptionHandlerSlot()
{
    static std::function<void(const std::exception &)> handler;
    return handler;
}

std::function<void()> &BeepHandlerSlot()
{
    static std::function<void()> handler;
    return handler;
}

} // namespace

TkvCustomEdit::TkvCustomEdit(std::unique_ptr<TkvCustomEditProperties> properties, bool isInplace,
                             QWidget *parent)
    : QWidget(parent), FOwnProperties(std::move(properties)), FIsInplace(isInplace)
{
    FActiveProperties = FOwnProperties.get();
    FActiveProperties->SetOwner(this);
    FDataBinding = std::make_unique<TkvEditDataBinding>(*this);
    if (isInplace)
        hide();
}

TkvCustomEdit::~TkvCustomEdit()
{
    // The inner widget dies with QWidget's destructor, after our members: stop
    // listening to it first so no event reaches a half-destroyed editor.
    if (FInnerControl) {
        FInnerControl->Widget()->removeEventFilter(this);
        FInnerControl->InputWidget()->removeEventFilter(this);
        QObject::disconnect(FInnerControl->Widget(), nullptr, this, nullptr);
    }
    if (FActiveProperties && FActiveProperties->Owner() == this)
        FActiveProperties->SetOwner(nullptr);
    if (FOwnProperties && FOwnProperties->Owner() == this)
        FOwnProperties->SetOwner(nullptr);
}

void TkvCustomEdit::SetDataBinding(std::unique_ptr<TkvEditDataBinding> binding)
{
    FDataBinding = std::move(binding);
}

void TkvCustomEdit::SetInnerControl(TkvEditInnerControl *inner)
{
    FInnerControl = inner;
    QWidget *widget = inner->Widget();
    widget->installEventFilter(this);
    if (inner->InputWidget() != widget)
        inner->InputWidget()->installEventFilter(this);
    setFocusProxy(widget);
    setFocusPolicy(widget->focusPolicy());
    PropertiesChanged();
    RefreshDisplay();
}

QWidget *TkvCustomEdit::InnerWidget() const
{
    return FInnerControl ? FInnerControl->Widget() : nullptr;
}

void TkvCustomEdit::SetLentProperties(TkvCustomEditProperties *properties)
{
    TkvCustomEditProperties *next = properties ? properties : FOwnProperties.get();
    if (next == FActiveProperties)
        return;
    if (!AcceptsProperties(*next))
        throw EkvEditRepositoryError();
    if (FActiveProperties->Owner() == this)
        FActiveProperties->SetOwner(nullptr);
    FActiveProperties = next;
    FActiveProperties->SetOwner(this);
    PropertiesChanged();
    RefreshDisplay();
}

bool TkvCustomEdit::AcceptsProperties(const TkvCustomEditProperties &) const
{
    return true;
}

QString TkvCustomEdit::DisplayText() const
{
    return FInnerControl ? FInnerControl->Text() : Properties().EditValueToDisplayText(FEditValue, FFocused);
}

void TkvCustomEdit::ClearChangeFlags()
{
    FHasPendingChange = false;
    FChangedSinceEntry = false;
}

// ---- value model ----

void TkvCustomEdit::SetEditValue(const Variant &value)
{
    if (FEditingRequestGuard)
        return;
    if (FClearingGuard && !RequestEditing())
        return;
    AssignEditValue(value);
}

void TkvCustomEdit::AssignEditValue(const Variant &value)
{
    Variant old = FEditValue;
    FEditValue = AdjustedEditValue(value);
    EditValueAssigned();
    RefreshDisplay();
    if (FClearingGuard) {
        FHasPendingChange = true;
        FChangedSinceEntry = true;
        FIsValidated = false;
    } else {
        ClearChangeFlags();
    }
    if (!Properties().CanCompareEditValue() || !ValuesEqualForEdit(old, FEditValue)) {
        DoEditValueChanged();
        if (!Properties().FiresChangeFromTextPath())
            DoChange();
    }
}

void TkvCustomEdit::InternalSetEditValue(const Variant &value)
{
    if (FEditingRequestGuard)
        return;
    FEditValue = AdjustedEditValue(value);
    EditValueAssigned();
}

QString TkvCustomEdit::DisplayTextForEditValue() const
{
    return Properties().EditValueToDisplayText(FEditValue, FFocused);
}

void TkvCustomEdit::RefreshDisplay()
{
    SetDisplayValue(DisplayTextForEditValue());
}

void TkvCustomEdit::SetDisplayValue(const QString &displayValue)
{
    FDataBinding->SetDisplayValue(displayValue);
}

void TkvCustomEdit::SetInternalDisplayValue(const QString &displayValue)
{
    if (!FInnerControl)
        return;
    if (FInnerControl->Text() != displayValue) {
        ++FDisplayUpdateLock;
        FInnerControl->SetText(displayValue);
        --FDisplayUpdateLock;
    }
    // A new text leaves the caret, and with it the scroll, at its end; in an
    // editor narrower than its text that cuts off the beginning. Unfocused,
    // the text shows from its start, unless it shows its selection.
    bool showsSelection = !FInnerControl->HideSelection() && FInnerControl->SelLength() > 0;
    if (!FFocused && !showsSelection && (FInnerControl->SelStart() != 0 || FInnerControl->SelLength() != 0))
        FInnerControl->SetSelection(0, 0);
}

void TkvCustomEdit::TakeValueFromDisplay()
{
    Variant old = FEditValue;
    FEditValue = AdjustedEditValue(Properties().DisplayToEditValue(DisplayText(), FFocused));
    EditValueAssigned();
    if (FClearingGuard) {
        FHasPendingChange = true;
        FChangedSinceEntry = true;
        FIsValidated = false;
    } else {
        ClearChangeFlags();
    }
    if (!Properties().CanCompareEditValue() || !ValuesEqualForEdit(old, FEditValue)) {
        DoEditValueChanged();
        if (!Properties().FiresChangeFromTextPath())
            DoChange();
    }
}

void TkvCustomEdit::ReshapeShownText(const QString &reshaped)
{
    if (!FInnerControl || reshaped == FInnerControl->Text())
        return;
    if (!Focused()) {
        RefreshDisplay();
    } else if (!IsReadOnly() && (DataBinding().IsRecordEditing() || RequestEditing())) {
        int start = FInnerControl->SelStart();
        int length = FInnerControl->SelLength();
        WithClearingGuard([&] { FInnerControl->SetText(reshaped); });
        FInnerControl->SetSelection(start, length);
    }
}

void TkvCustomEdit::InnerTextChanged()
{
    if (FDisplayUpdateLock > 0)
        return;
    if (FFocused || FClearingGuard) {
        FHasPendingChange = true;
        FChangedSinceEntry = true;
        FIsValidated = false;
    }
    DoChange();
}

void TkvCustomEdit::SelectAll()
{
    if (FInnerControl)
        FInnerControl->SelectAll();
}

// ---- change events ----

void TkvCustomEdit::BeginChangeEvents()
{
    if (FChangeEventsLock == 0) {
        FChangePending = false;
        FEditValueChangedPending = false;
    }
    ++FChangeEventsLock;
}

void TkvCustomEdit::EndChangeEvents(bool fireEvents)
{
    if (FChangeEventsLock == 0)
        return;
    if (--FChangeEventsLock > 0 || !fireEvents)
        return;
    bool change = FChangePending;
    bool valueChanged = FEditValueChangedPending;
    FChangePending = false;
    FEditValueChangedPending = false;
    if (change)
        DoChange();
    if (valueChanged)
        DoEditValueChanged();
}

void TkvCustomEdit::DoChange()
{
    if (FChangeEventsLock > 0) {
        FChangePending = true;
        return;
    }
    if (Properties().OnChange)
        Properties().OnChange(this);
}

void TkvCustomEdit::DoEditValueChanged()
{
    if (FChangeEventsLock > 0) {
        FEditValueChangedPending = true;
        return;
    }
    if (Properties().OnEditValueChanged)
        Properties().OnEditValueChanged(this);
}

void TkvCustomEdit::PushFlags()
{
    FFlagStack.emplace_back(FChangedSinceEntry, FHasPendingChange);
}

void TkvCustomEdit::PopFlags()
{
    if (FFlagStack.empty())
        return;
    FChangedSinceEntry = FFlagStack.back().first;
    FHasPendingChange = FFlagStack.back().second;
    FFlagStack.pop_back();
}

// ---- editing permission ----

bool TkvCustomEdit::IsReadOnly() const
{
    if (Properties().ReadOnlyAssigned())
        return Properties().ReadOnly();
    if (FIsInplace) {
        // The host hands the properties its field's defaults; without them an
        // in-place editor edits.
        const IkvEditDefaultValuesProvider *provider = Properties().HandedDefaultValuesProvider();
        return provider && provider->DefaultReadOnly();
    }
    return FDataBinding->DefaultValuesProvider().DefaultReadOnly();
}

bool TkvCustomEdit::CanChangeValue() const
{
    if (FIsInplace)
        return !IsReadOnly();
    if (Properties().ReadOnlyAssigned())
        return !Properties().ReadOnly();
    return FDataBinding->DefaultValuesProvider().CanSetEditMode() && FDataBinding->CanAutoEdit();
}

bool TkvCustomEdit::RequestEditing()
{
    if (RefusesEditing())
        return false;
    if (FDataBinding->IsRecordEditing())
        return true;
    bool saved = FEditingRequestGuard;
    FEditingRequestGuard = true;
    bool result = false;
    try {
        result = CanChangeValue();
        if (result && OnEditing) {
            bool canEdit = true;
            OnEditing(this, canEdit);
            result = canEdit;
        }
        if (result && !FIsInplace)
            result = FDataBinding->EnterEditing();
    } catch (...) {
        FEditingRequestGuard = saved;
        throw;
    }
    FEditingRequestGuard = saved;
    return result;
}

// ---- validation and storing ----

bool TkvCustomEdit::ValidateEditText(bool raiseOnError)
{
    if (!FHasPendingChange || FIsValidated)
        return true;
    QString displayValue = DisplayText();
    bool error = false;
    QString errorText;
    if (Properties().ValidatesDisplayValue())
        Properties().CheckDisplayValue(displayValue, errorText, this, error);
    if (!error) {
        FIsValidated = true;
        if (!FClearingGuard || RequestEditing()) {
            SetDisplayValue(displayValue);
            TakeValueFromDisplay();
        }
        if (!FIsInplace && !FFocused)
            FHasPendingChange = false;
        return true;
    }
    if (raiseOnError)
        ReportValidationError(errorText);
    return false;
}

void TkvCustomEdit::ReportValidationError(const QString &errorText)
{
    if (!FFocused && isVisible()) {
        FRefocusingForError = true;
        if (InnerWidget())
            InnerWidget()->setFocus();
        FRefocusingForError = false;
        SetFocusedState(true);
        SelectAll();
    }
    if (Properties().BeepOnError())
        Beep();
    if (!errorText.isEmpty())
        throw EkvEditValidationError(errorText.toStdString());
}

void TkvCustomEdit::StoreEditValue()
{
    FStoring = true;
    try {
        if (FIsInplace) {
            if (OnHostPostValue)
                OnHostPostValue(this);
            ClearChangeFlags();
        } else {
            FDataBinding->WriteToField(FEditValue);
        }
    } catch (...) {
        FStoring = false;
        if (!FIsInplace) {
            // The value is not in the field: keep it pending so leaving retries.
            FHasPendingChange = true;
            FChangedSinceEntry = true;
            ReportValidationError(QString());
        }
        throw;
    }
    FStoring = false;
}

void TkvCustomEdit::RevertToEntryValue()
{
    if (!FHasPendingChange || !Properties().CanRevertToEntryValue())
        return;
    BeginChangeEvents();
    try {
        FHasPendingChange = false;
        SetEditValue(FEntryValue);
        FChangedSinceEntry = true;
        SelectAll();
        if (Properties().ImmediatePost() && CanStore() && ValidateEditText(true))
            StoreEditValue();
    } catch (...) {
        EndChangeEvents();
        throw;
    }
    EndChangeEvents();
}

// ---- focus ----

void TkvCustomEdit::SetFocusedState(bool focused)
{
    if (FFocused == focused)
        return;
    FFocused = focused;
    PropertiesChanged(); // alignment may depend on the focused state
    if (OnFocusChanged)
        OnFocusChanged(this);
}

void TkvCustomEdit::DoEnter()
{
    if (FFocused || FRefocusingForError)
        return;
    PushFlags();
    SetFocusedState(true);
    FDataBinding->FocusReload();
    if (Properties().CanRevertToEntryValue())
        FEntryValue = FEditValue;
    RefreshDisplay();
    PopFlags();
    FChangedSinceEntry = false;
    if (Properties().AutoSelect() && !FIsInplace)
        SelectAll();
}

void TkvCustomEdit::DoExit()
{
    if (!FFocused || FRefocusingForError)
        return;
    PushFlags();
    try {
        if (FHasPendingChange) {
            BeginChangeEvents();
            bool valid = false;
            try {
                valid = ValidateEditText(true);
                if (valid && !FIsInplace && CanStore())
                    StoreEditValue();
            } catch (...) {
                EndChangeEvents();
                throw;
            }
            EndChangeEvents();
            if (!valid) {
                // Rejected without a message: the editor keeps the focus.
                PopFlags();
                return;
            }
        }
    } catch (...) {
        PopFlags();
        throw;
    }
    SetFocusedState(false);
    FDataBinding->FocusReload();
    RefreshDisplay();
    PopFlags();
    FHasPendingChange = false;
    if (OnExit)
        OnExit(this);
}

// ---- properties ----

void TkvCustomEdit::PropertiesChanged()
{
    if (!FInnerControl)
        return;
    TkvEditAlignment alignment = Properties().Alignment();
    if (FFocused && Properties().UseLeftAlignmentOnEditing())
        alignment.Horz = taLeftJustify;
    FInnerControl->SetAlignment(alignment);
    FInnerControl->SetReadOnly(IsReadOnly());
    update();
}

// ---- Qt edge ----

void TkvCustomEdit::SetExceptionHandler(std::function<void(const std::exception &)> handler)
{
    ExceptionHandlerSlot() = std::move(handler);
}

void TkvCustomEdit::Beep()
{
    if (BeepHandlerSlot())
        BeepHandlerSlot()();
    else
        MessageBeep();
}

void TkvCustomEdit::SetBeepHandler(std::function<void()> handler)
{
    BeepHandlerSlot() = std::move(handler);
}

void TkvCustomEdit::HandleException(const std::exception &error)
{
    if (ExceptionHandlerSlot()) {
        ExceptionHandlerSlot()(error);
        return;
    }
    ShowException(nullptr, error);
}

void TkvCustomEdit::RefocusInner()
{
    FRefocusingForError = true;
    FInnerControl->Widget()->setFocus();
    FRefocusingForError = false;
}

bool TkvCustomEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (!FInnerControl || (watched != FInnerControl->Widget() && watched != FInnerControl->InputWidget()))
        return QWidget::eventFilter(watched, event);
    if (HandleSideInput(watched, event))
        return true;
    if (watched != FInnerControl->Widget())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        try {
            return ProcessKey(keyEvent->key(), keyEvent->modifiers(), keyEvent->text());
        } catch (const std::exception &error) {
            HandleException(error);
            return true;
        }
    }
    case QEvent::FocusIn: {
        try {
            DoEnter();
        } catch (const std::exception &error) {
            HandleException(error);
        }
        break;
    }
    case QEvent::FocusOut: {
        auto reason = static_cast<QFocusEvent *>(event)->reason();
        // Another window or a popup taking the focus is no exit from the editor.
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            break;
        try {
            DoExit();
        } catch (const std::exception &error) {
            RefocusInner();
            HandleException(error);
            break;
        }
        // A text rejected without a message keeps the editor focused too.
        if (FFocused)
            RefocusInner();
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kestrum
