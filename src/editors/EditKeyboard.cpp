#include "editors/EditKeyboard.h"

#include "editors/CustomEdit.h"
#include "editors/EditKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace kestrum {

void TkvEditKeyboard::KeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TShortCut shortCut = ShortCut(key, shift);
    TkvCustomEditProperties &properties = FEdit.Properties();

    if (properties.ClearKey() != 0 && shortCut == properties.ClearKey()) {
        key = 0;
        FEdit.WithClearingGuard([this] { FEdit.SetEditValue(Variant::null()); });
        if (properties.ImmediatePost() && FEdit.HasPendingChange() && FEdit.CanStore() &&
            FEdit.ValidateEditText(true))
            FEdit.StoreEditValue();
        return;
    }

    if (!properties.Buttons().empty() && shortCut == properties.ClickKey()) {
        key = 0;
        int index = properties.DefaultButtonIndex();
        if (index >= 0 && properties.OnButtonClick)
            properties.OnButtonClick(&FEdit, index);
        return;
    }

    // The clipboard goes through the editor's own paste and cut, never
    // straight into the native control.
    if (IsPasteKey(key, shift)) {
        key = 0;
        FEdit.PasteFromClipboard();
        return;
    }
    TkvEditInnerControl *inner = FEdit.InnerControl();
    if (IsCutKey(key, shift) && inner && inner->SelLength() > 0) {
        key = 0;
        FEdit.CutToClipboard();
        return;
    }
    if (key != Qt::Key_Backspace && key != Qt::Key_Delete && IsNativeEditKey(key, shift) &&
        (!FEdit.AllowsNativeEditing() || !FEdit.MayModifyText())) {
        key = 0;
        return;
    }

    if (FEdit.IsModifyingKey(key, shift) && !FEdit.DataBinding().IsRecordEditing() && !FEdit.RequestEditing()) {
        if (FEdit.OnHostKeyDown)
            FEdit.OnHostKeyDown(&FEdit, key, shift);
        key = 0;
        return;
    }

    if (key == Qt::Key_Tab && !FEdit.WantsTab() && FEdit.Focused() &&
        !(shift & (Qt::ControlModifier | Qt::AltModifier))) {
        if (FEdit.OnHostKeyDown)
            FEdit.OnHostKeyDown(&FEdit, key, shift);
        if (key == 0)
            return;
        key = 0;
        if (!FEdit.IsDropDownOpen())
            FEdit.FocusNextControl(!shift.testFlag(Qt::ShiftModifier));
        return;
    }

    if (IsEnterKey(key) && properties.ValidateOnEnter()) {
        key = 0;
        ValidateAndStore();
        return;
    }

    if (key == Qt::Key_Escape && FEdit.ChangedSinceEntry()) {
        key = 0;
        FEdit.RevertToEntryValue();
        return;
    }

    if (IsNavigationKey(key) && !FEdit.HandlesNavigationKey(key, shift)) {
        if (FEdit.OnHostKeyDown)
            FEdit.OnHostKeyDown(&FEdit, key, shift);
        key = 0;
    }
}

void TkvEditKeyboard::ValidateAndStore()
{
    FEdit.BeginChangeEvents();
    try {
        if (FEdit.ValidateEditText(true) && FEdit.CanStore())
            FEdit.StoreEditValue();
    } catch (...) {
        FEdit.EndChangeEvents();
        throw;
    }
    FEdit.EndChangeEvents();
}

void TkvEditKeyboard::KeyPress(QChar &ch)
{
    char16_t code = ch.unicode();
    if (code >= 32 && !FEdit.IsValidChar(ch)) {
        ch = QChar();
        return;
    }
    // Ctrl+V, Ctrl+X, Backspace and every printable character change the text.
    bool modifying = code == 22 || code == 24 || code == 8 || code >= 32;
    if (modifying && !FEdit.DataBinding().IsRecordEditing() && !FEdit.RequestEditing())
        ch = QChar();
}

bool TkvEditKeyboard::ProcessKey(int key, Qt::KeyboardModifiers shift, const QString &text)
{
    if (key == Qt::Key_Backtab) {
        key = Qt::Key_Tab;
        shift |= Qt::ShiftModifier;
    }
    int remaining = key;
    FEdit.KeyDown(remaining, shift);
    if (remaining == 0)
        return true;
    QChar ch = CharOfKey(key, shift, text);
    if (ch.isNull())
        return false;
    FEdit.KeyPress(ch);
    if (ch.isNull())
        return true;
    if (ch.unicode() < 32)
        return false;
    bool applied = FEdit.ApplyTypedChar(ch);
    // The rest of a composed text (an input method's phrase) is typed too.
    if (applied)
        TypeText(text.mid(1));
    return applied;
}

void TkvEditKeyboard::TypeText(const QString &text)
{
    for (QChar ch : text) {
        FEdit.KeyPress(ch);
        if (!ch.isNull() && ch.unicode() >= 32)
            FEdit.ApplyTypedChar(ch);
    }
}

void TkvEditKeyboard::FocusNextControl(bool forward)
{
    // Leave first: a validation error raises here and keeps the focus.
    FEdit.DoExit();
    if (FEdit.Focused())
        return;
    QWidget *start = FEdit.InnerWidget() ? FEdit.InnerWidget() : &FEdit;
    QWidget *candidate = forward ? start->nextInFocusChain() : start->previousInFocusChain();
    while (candidate && candidate != start) {
        bool inside = candidate == &FEdit || FEdit.isAncestorOf(candidate);
        if (!inside && candidate->isVisibleTo(FEdit.window()) && candidate->isEnabled() &&
            (candidate->focusPolicy() & Qt::TabFocus) && !candidate->focusProxy()) {
            candidate->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
        candidate = forward ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
    }
}

void TkvEditKeyboard::ReplayActivationChar(QChar ch)
{
    if (ch.isNull() || FEdit.DeclinesActivationChar(ch))
        return;
    char16_t code = ch.unicode();
    if (code >= 32) {
        FEdit.KeyPress(ch);
        if (!ch.isNull())
            FEdit.ApplyTypedChar(ch);
        return;
    }
    int key = 0;
    Qt::KeyboardModifiers shift = Qt::NoModifier;
    if (code == 8) {
        key = Qt::Key_Backspace;
    } else if (code == 22 || code == 24) {
        key = code == 22 ? Qt::Key_V : Qt::Key_X;
        shift = Qt::ControlModifier;
    } else if (code == 13) {
        key = Qt::Key_Return;
    } else {
        return;
    }
    if (!FEdit.InnerWidget())
        return;
    QKeyEvent press(QEvent::KeyPress, key, shift, QString(ch));
    QCoreApplication::sendEvent(FEdit.InnerWidget(), &press);
}

} // namespace kestrum
