#include "editors/CustomEdit.h"

#include "core/VariantCompare.h"
#include "editors/EditAccessible.h"

#include <QKeyEvent>
#include <QMenu>

namespace kestrum {

TkvCustomEdit::TkvCustomEdit(std::unique_ptr<TkvCustomEditProperties> properties, bool isInplace,
                             QWidget *parent)
    : QWidget(parent), FOwnProperties(std::move(properties)), FIsInplace(isInplace)
{
    InstallEditAccessibility();
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
    return FPermission.IsReadOnly();
}

bool TkvCustomEdit::CanChangeValue() const
{
    return FPermission.CanChangeValue();
}

bool TkvCustomEdit::RequestEditing()
{
    return FPermission.RequestEditing();
}

bool TkvCustomEdit::MayModifyText()
{
    return FPermission.MayModifyText();
}

// ---- validation and storing ----

bool TkvCustomEdit::ValidateEditText(bool raiseOnError)
{
    return FValidation.Validate(raiseOnError);
}

void TkvCustomEdit::ReportValidationError(const QString &errorText)
{
    FValidation.Refuse(errorText);
}

void TkvCustomEdit::StoreEditValue()
{
    FValidation.Store();
}

void TkvCustomEdit::RevertToEntryValue()
{
    FValidation.RevertToEntryValue();
}

bool TkvCustomEdit::CanStore() const
{
    return FValidation.CanStore();
}

// ---- focus ----

void TkvCustomEdit::DoEnter()
{
    FFocus.Enter();
}

void TkvCustomEdit::DoExit()
{
    FFocus.Exit();
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
    SetEditExceptionHandler(std::move(handler));
}

void TkvCustomEdit::HandleException(const std::exception &error)
{
    HandleEditException(error);
}

void TkvCustomEdit::Beep()
{
    EditBeep();
}

void TkvCustomEdit::SetBeepHandler(std::function<void()> handler)
{
    SetEditBeepHandler(std::move(handler));
}

bool TkvCustomEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (!FInnerControl || (watched != FInnerControl->Widget() && watched != FInnerControl->InputWidget()))
        return QWidget::eventFilter(watched, event);
    if (FSideInput.HandleEvent(watched, event))
        return true;
    if (watched != FInnerControl->Widget())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        try {
            return ProcessKey(keyEvent->key(), keyEvent->modifiers(), keyEvent->text());
        } catch (const std::exception &error) {
            HandleException(error);
            return true;
        }
    }
    FFocus.HandleEvent(event);
    return QWidget::eventFilter(watched, event);
}

// ---- clipboard ----

QString TkvCustomEdit::FilterPastedText(const QString &text) const
{
    return FilterTypableText(text, IsMultiLine(), [this](QChar ch) { return IsValidChar(ch); });
}

void TkvCustomEdit::PasteText(const QString &text)
{
    FClipboard.PasteText(text);
}

void TkvCustomEdit::DeleteSelection()
{
    FClipboard.DeleteSelection();
}

void TkvCustomEdit::PasteFromClipboard()
{
    FClipboard.Paste();
}

void TkvCustomEdit::CopyToClipboard()
{
    FClipboard.Copy();
}

void TkvCustomEdit::CutToClipboard()
{
    FClipboard.Cut();
}

void TkvCustomEdit::ClearSelection()
{
    FClipboard.Clear();
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
    FFocus.ActivateInPlace();
}

void TkvCustomEdit::ActivateInPlaceByKey(QChar ch)
{
    FFocus.ActivateInPlaceByKey(ch);
}

void TkvCustomEdit::ActivateInPlaceByMouse(Qt::KeyboardModifiers shift, const QPoint &point,
                                           bool leftButtonDown)
{
    FFocus.ActivateInPlaceByMouse(shift, point, leftButtonDown);
}

bool TkvCustomEdit::DeactivateInPlace()
{
    return FFocus.DeactivateInPlace();
}

} // namespace kestrum
