#include "editors/CustomEdit.h"

#include "core/VariantCompare.h"
#include "ui/Beep.h"
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

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
    return FInnerControl ? FInnerControl->Text() : Properties().EditValueToDisplayText(FEditValue, Focused());
}

void TkvCustomEdit::ClearChangeFlags()
{
    FChanges.Clear();
}

// ---- value model ----

void TkvCustomEdit::SetEditValue(const Variant &value)
{
    if (IsEditingRequest(FInputState))
        return;
    if (IsUserChange(FInputState) && !RequestEditing())
        return;
    AssignEditValue(value);
}

void TkvCustomEdit::AssignEditValue(const Variant &value)
{
    Variant old = FEditValue;
    FEditValue = AdjustedEditValue(value);
    EditValueAssigned();
    RefreshDisplay();
    EditValueReplaced(old);
}

void TkvCustomEdit::EditValueReplaced(const Variant &old)
{
    if (IsUserChange(FInputState))
        FChanges.MarkUserChange();
    else
        FChanges.Clear();
    if (!Properties().CanCompareEditValue() || !ValuesEqualForEdit(old, FEditValue)) {
        DoEditValueChanged();
        if (!Properties().FiresChangeFromTextPath())
            DoChange();
    }
}

void TkvCustomEdit::InternalSetEditValue(const Variant &value)
{
    if (IsEditingRequest(FInputState))
        return;
    FEditValue = AdjustedEditValue(value);
    EditValueAssigned();
}

QString TkvCustomEdit::DisplayTextForEditValue() const
{
    return Properties().EditValueToDisplayText(FEditValue, Focused());
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
    if (!Focused() && !showsSelection && (FInnerControl->SelStart() != 0 || FInnerControl->SelLength() != 0))
        FInnerControl->SetSelection(0, 0);
}

void TkvCustomEdit::TakeValueFromDisplay()
{
    Variant old = FEditValue;
    FEditValue = AdjustedEditValue(Properties().DisplayToEditValue(DisplayText(), Focused()));
    EditValueAssigned();
    EditValueReplaced(old);
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
    if (Focused() || IsUserChange(FInputState))
        FChanges.MarkUserChange();
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
    FNotices.Begin();
}

void TkvCustomEdit::EndChangeEvents(bool fireEvents)
{
    const unsigned due = FNotices.End(fireEvents);
    if (TkvEditChangeNotices::Contains(due, TkvEditNotice::Change))
        DoChange();
    if (TkvEditChangeNotices::Contains(due, TkvEditNotice::EditValueChanged))
        DoEditValueChanged();
}

void TkvCustomEdit::DoChange()
{
    if (FNotices.Hold(TkvEditNotice::Change))
        return;
    if (Properties().OnChange)
        Properties().OnChange(this);
}

void TkvCustomEdit::DoEditValueChanged()
{
    if (FNotices.Hold(TkvEditNotice::EditValueChanged))
        return;
    if (Properties().OnEditValueChanged)
        Properties().OnEditValueChanged(this);
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
    bool result = false;
    WithInputActivity(TkvEditInputActivity::EditingRequest, [&] {
        result = CanChangeValue();
        if (result && OnEditing) {
            bool canEdit = true;
            OnEditing(this, canEdit);
            result = canEdit;
        }
        if (result && !FIsInplace)
            result = FDataBinding->EnterEditing();
    });
    return result;
}

// ---- validation and storing ----

bool TkvCustomEdit::ValidateEditText(bool raiseOnError)
{
    if (!FChanges.HasPendingChange() || FChanges.IsValidated())
        return true;
    QString displayValue = DisplayText();
    bool error = false;
    QString errorText;
    if (Properties().ValidatesDisplayValue())
        Properties().CheckDisplayValue(displayValue, errorText, this, error);
    if (!error) {
        FChanges.SetValidated(true);
        if (!IsUserChange(FInputState) || RequestEditing()) {
            SetDisplayValue(displayValue);
            TakeValueFromDisplay();
        }
        if (!FIsInplace && !Focused())
            FChanges.SetHasPendingChange(false);
        return true;
    }
    if (raiseOnError)
        ReportValidationError(errorText);
    return false;
}

void TkvCustomEdit::ReportValidationError(const QString &errorText)
{
    if (!Focused() && isVisible()) {
        PullFocus();
        ChangeFocusState(TkvEditFocusEvent::Enter);
        SelectAll();
    }
    if (Properties().BeepOnError())
        Beep();
    if (!errorText.isEmpty())
        throw EkvEditValidationError(errorText.toStdString());
}

void TkvCustomEdit::StoreEditValue()
{
    try {
        if (FIsInplace) {
            if (OnHostPostValue)
                OnHostPostValue(this);
            ClearChangeFlags();
        } else {
            FDataBinding->WriteToField(FEditValue);
        }
    } catch (...) {
        if (!FIsInplace) {
            // The value is not in the field: keep it pending so leaving retries.
            FChanges.SetHasPendingChange(true);
            FChanges.SetChangedSinceEntry(true);
            ReportValidationError(QString());
        }
        throw;
    }
}

void TkvCustomEdit::RevertToEntryValue()
{
    if (!FChanges.HasPendingChange() || !Properties().CanRevertToEntryValue())
        return;
    BeginChangeEvents();
    try {
        FChanges.SetHasPendingChange(false);
        SetEditValue(FEntryValue);
        FChanges.SetChangedSinceEntry(true);
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

void TkvCustomEdit::ChangeFocusState(TkvEditFocusEvent event)
{
    const bool wasFocused = Focused();
    FFocusState = NextFocusState(FFocusState, event);
    if (Focused() == wasFocused)
        return;
    PropertiesChanged(); // alignment may depend on the focused state
    if (OnFocusChanged)
        OnFocusChanged(this);
}

void TkvCustomEdit::DoEnter()
{
    if (FFocusState != TkvEditFocusState::Unfocused)
        return;
    FChanges.Save();
    ChangeFocusState(TkvEditFocusEvent::Enter);
    FDataBinding->FocusReload();
    if (Properties().CanRevertToEntryValue())
        FEntryValue = FEditValue;
    RefreshDisplay();
    FChanges.Restore();
    FChanges.SetChangedSinceEntry(false);
    if (Properties().AutoSelect() && !FIsInplace)
        SelectAll();
}

void TkvCustomEdit::DoExit()
{
    if (FFocusState != TkvEditFocusState::Focused)
        return;
    FChanges.Save();
    try {
        if (FChanges.HasPendingChange()) {
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
                FChanges.Restore();
                return;
            }
        }
    } catch (...) {
        FChanges.Restore();
        throw;
    }
    ChangeFocusState(TkvEditFocusEvent::Exit);
    FDataBinding->FocusReload();
    RefreshDisplay();
    FChanges.Restore();
    FChanges.SetHasPendingChange(false);
    if (OnExit)
        OnExit(this);
}

// ---- properties ----

void TkvCustomEdit::PropertiesChanged()
{
    if (!FInnerControl)
        return;
    TkvEditAlignment alignment = Properties().Alignment();
    if (Focused() && Properties().UseLeftAlignmentOnEditing())
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

void TkvCustomEdit::PullFocus()
{
    ChangeFocusState(TkvEditFocusEvent::Refocus);
    if (InnerWidget())
        InnerWidget()->setFocus();
    ChangeFocusState(TkvEditFocusEvent::RefocusDone);
}

bool TkvCustomEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (!FInnerControl || (watched != FInnerControl->Widget() && watched != FInnerControl->InputWidget()))
        return QWidget::eventFilter(watched, event);
    if (FSideInput.HandleEvent(watched, event))
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
            PullFocus();
            HandleException(error);
            break;
        }
        // A text rejected without a message keeps the editor focused too.
        if (Focused())
            PullFocus();
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- clipboard ----

bool TkvCustomEdit::MayModifyText()
{
    if (IsReadOnly())
        return false;
    return FDataBinding->IsRecordEditing() || RequestEditing();
}

QString TkvCustomEdit::FilterPastedText(const QString &text) const
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar ch = text[i];
        if (ch == u'\r' || ch == u'\n') {
            // A single-line editor takes the first line only.
            if (!IsMultiLine())
                break;
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                continue;
            result += u'\n';
            continue;
        }
        if (ch == u'\t' ? !IsMultiLine() : ch.unicode() < 32)
            continue;
        if (!IsValidChar(ch))
            continue;
        result += ch;
    }
    return result;
}

void TkvCustomEdit::PasteText(const QString &text)
{
    if (!FInnerControl || text.isEmpty() || !MayModifyText())
        return;
    QString filtered = FilterPastedText(text);
    if (filtered.isEmpty()) {
        if (Properties().BeepOnError())
            Beep();
        return;
    }
    WithClearingGuard([&] { FInnerControl->InsertText(filtered); });
}

void TkvCustomEdit::DeleteSelection()
{
    if (FInnerControl && FInnerControl->SelLength() > 0)
        WithClearingGuard([&] { FInnerControl->InsertText(QString()); });
}

void TkvCustomEdit::PasteFromClipboard()
{
    PasteText(ClipboardText());
}

void TkvCustomEdit::CopyToClipboard()
{
    if (!FInnerControl || FInnerControl->SelLength() <= 0 || FInnerControl->IsPassword())
        return;
    QApplication::clipboard()->setText(
        FInnerControl->Text().mid(FInnerControl->SelStart(), FInnerControl->SelLength()));
}

void TkvCustomEdit::CutToClipboard()
{
    if (!FInnerControl || FInnerControl->SelLength() <= 0 || FInnerControl->IsPassword() || !MayModifyText())
        return;
    CopyToClipboard();
    DeleteSelection();
}

void TkvCustomEdit::ClearSelection()
{
    if (!FInnerControl || FInnerControl->SelLength() <= 0 || !MayModifyText())
        return;
    DeleteSelection();
}

QMenu *TkvCustomEdit::CreateContextMenu()
{
    return FSideInput.CreateContextMenu();
}

void TkvCustomEdit::ShowContextMenu(const QPoint &globalPos)
{
    std::unique_ptr<QMenu> menu(CreateContextMenu());
    menu->exec(globalPos);
}

void TkvCustomEdit::KeyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
    if (key != 0)
        DoKeyDown(key, shift);
}

bool TkvCustomEdit::IsModifyingKey(int key, Qt::KeyboardModifiers) const
{
    return key == Qt::Key_Delete || key == Qt::Key_Backspace;
}

bool TkvCustomEdit::HandlesNavigationKey(int, Qt::KeyboardModifiers) const
{
    return false;
}

bool TkvCustomEdit::CanStore() const
{
    return Properties().ValidatesDisplayValue();
}

void TkvCustomEdit::DoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    FKeyboard.KeyDown(key, shift);
}

void TkvCustomEdit::KeyPress(QChar &ch)
{
    DoKeyPress(ch);
}

bool TkvCustomEdit::IsValidChar(QChar) const
{
    return true;
}

void TkvCustomEdit::DoKeyPress(QChar &ch)
{
    FKeyboard.KeyPress(ch);
}

bool TkvCustomEdit::ApplyTypedChar(QChar ch)
{
    if (!FInnerControl)
        return false;
    WithClearingGuard([&] { FInnerControl->InsertText(QString(ch)); });
    return true;
}

bool TkvCustomEdit::DeclinesActivationChar(QChar) const
{
    return false;
}

bool TkvCustomEdit::ProcessKey(int key, Qt::KeyboardModifiers shift, const QString &text)
{
    return FKeyboard.ProcessKey(key, shift, text);
}

void TkvCustomEdit::FocusNextControl(bool forward)
{
    FKeyboard.FocusNextControl(forward);
}

// ---- in place ----

void TkvCustomEdit::ActivateInPlace()
{
    show();
    if (InnerWidget())
        InnerWidget()->setFocus();
    DoEnter();
    RefreshDisplay();
    if (Properties().AutoSelect())
        SelectAll();
    ClearChangeFlags();
}

void TkvCustomEdit::ActivateInPlaceByKey(QChar ch)
{
    ActivateInPlace();
    FKeyboard.ReplayActivationChar(ch);
}

void TkvCustomEdit::ActivateInPlaceByMouse(Qt::KeyboardModifiers shift, const QPoint &point,
                                           bool leftButtonDown)
{
    ActivateInPlace();
    QWidget *inner = InnerWidget();
    if (!inner)
        return;
    QPointF local = inner->mapFrom(this, mapFromParent(point));
    QMouseEvent event(leftButtonDown ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, local,
                      inner->mapToGlobal(local), Qt::LeftButton,
                      leftButtonDown ? Qt::LeftButton : Qt::NoButton, shift);
    QCoreApplication::sendEvent(inner, &event);
}

bool TkvCustomEdit::DeactivateInPlace()
{
    bool valid = ValidateEditText(true);
    if (valid)
        RefreshDisplay();
    return valid;
}

} // namespace kestrum
