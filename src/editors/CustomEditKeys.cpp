// The keyboard half of the editor core: the key-down chain, the key-press
// filter, whole keystrokes, and the entry points an in-place host uses.
#include "editors/CustomEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>

#include <QMouseEvent>
#include <algorithm>
#include <iterator>

namespace kestrum {

namespace {

bool IsEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

//! The character a keystroke types: control characters for Ctrl+letter,
//! Enter, Tab, Backspace and Esc (Qt leaves their text empty or printable on
//! some platforms), else the first character of the event's text.
QChar CharOfKey(int key, Qt::KeyboardModifiers shift, const QString &text)
{
    bool ctrl = shift.testFlag(Qt::ControlModifier) && !shift.testFlag(Qt::AltModifier);
    if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z)
        return QChar(char16_t(key - Qt::Key_A + 1));
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QChar(u'\r');
    case Qt::Key_Tab:
        return QChar(u'\t');
    case Qt::Key_Backspace:
        return QChar(char16_t(8));
    case Qt::Key_Escape:
        return QChar(char16_t(27));
    default:
        break;
    }
    if (text.isEmpty() || ctrl)
        return QChar();
    return text.at(0);
}

bool MatchesStandardKey(QKeySequence::StandardKey standard, int key, Qt::KeyboardModifiers shift)
{
    QKeySequence pressed(QKeyCombination(shift & ~Qt::KeypadModifier, Qt::Key(key)));
    return QKeySequence::keyBindings(standard).contains(pressed);
}

bool IsPasteKey(int key, Qt::KeyboardModifiers shift)
{
    shift &= ~Qt::KeypadModifier;
    return (key == Qt::Key_V && shift == Qt::ControlModifier) ||
           (key == Qt::Key_Insert && shift == Qt::ShiftModifier) ||
           MatchesStandardKey(QKeySequence::Paste, key, shift);
}

bool IsCutKey(int key, Qt::KeyboardModifiers shift)
{
    shift &= ~Qt::KeypadModifier;
    return (key == Qt::Key_X && shift == Qt::ControlModifier) ||
           (key == Qt::Key_Delete && shift == Qt::ShiftModifier) ||
           MatchesStandardKey(QKeySequence::Cut, key, shift);
}

//! Shortcuts by which the native control changes its text on its own.
bool IsNativeEditKey(int key, Qt::KeyboardModifiers shift)
{
    static const QKeySequence::StandardKey edits[] = {
        QKeySequence::Undo,
        QKeySequence::Redo,
        QKeySequence::DeleteEndOfLine,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::DeleteCompleteLine,
    };
    return std::any_of(std::begin(edits), std::end(edits),
                       [&](QKeySequence::StandardKey edit) { return MatchesStandardKey(edit, key, shift); });
}

} // namespace

// ---- keys ----

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
    TShortCut shortCut = ShortCut(key, shift);
    TkvCustomEditProperties &properties = Properties();

    if (properties.ClearKey() != 0 && shortCut == properties.ClearKey()) {
        key = 0;
        WithClearingGuard([this] { SetEditValue(Variant::null()); });
        if (properties.ImmediatePost() && HasPendingChange() && CanStore() && ValidateEditText(true))
            StoreEditValue();
        return;
    }

    if (!properties.Buttons().empty() && shortCut == properties.ClickKey()) {
        key = 0;
        int index = properties.DefaultButtonIndex();
        if (index >= 0 && properties.OnButtonClick)
            properties.OnButtonClick(this, index);
        return;
    }

    // The clipboard goes through the editor's own paste and cut, never
    // straight into the native control.
    if (IsPasteKey(key, shift)) {
        key = 0;
        PasteFromClipboard();
        return;
    }
    if (IsCutKey(key, shift) && FInnerControl && FInnerControl->SelLength() > 0) {
        key = 0;
        CutToClipboard();
        return;
    }
    if (key != Qt::Key_Backspace && key != Qt::Key_Delete && IsNativeEditKey(key, shift) &&
        (!AllowsNativeEditing() || !MayModifyText())) {
        key = 0;
        return;
    }

    if (IsModifyingKey(key, shift) && !FDataBinding->IsRecordEditing() && !RequestEditing()) {
        if (OnHostKeyDown)
            OnHostKeyDown(this, key, shift);
        key = 0;
        return;
    }

    if (key == Qt::Key_Tab && !WantsTab() && Focused() &&
        !(shift & (Qt::ControlModifier | Qt::AltModifier))) {
        if (OnHostKeyDown)
            OnHostKeyDown(this, key, shift);
        if (key == 0)
            return;
        key = 0;
        if (!IsDropDownOpen())
            FocusNextControl(!shift.testFlag(Qt::ShiftModifier));
        return;
    }

    if (IsEnterKey(key) && properties.ValidateOnEnter()) {
        key = 0;
        BeginChangeEvents();
        try {
            if (ValidateEditText(true) && CanStore())
                StoreEditValue();
        } catch (...) {
            EndChangeEvents();
            throw;
        }
        EndChangeEvents();
        return;
    }

    if (key == Qt::Key_Escape && ChangedSinceEntry()) {
        key = 0;
        RevertToEntryValue();
        return;
    }

    if (IsNavigationKey(key) && !HandlesNavigationKey(key, shift)) {
        if (OnHostKeyDown)
            OnHostKeyDown(this, key, shift);
        key = 0;
    }
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
    char16_t code = ch.unicode();
    if (code >= 32 && !IsValidChar(ch)) {
        ch = QChar();
        return;
    }
    // Ctrl+V, Ctrl+X, Backspace and every printable character change the text.
    bool modifying = code == 22 || code == 24 || code == 8 || code >= 32;
    if (modifying && !FDataBinding->IsRecordEditing() && !RequestEditing())
        ch = QChar();
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
    if (key == Qt::Key_Backtab) {
        key = Qt::Key_Tab;
        shift |= Qt::ShiftModifier;
    }
    int remaining = key;
    KeyDown(remaining, shift);
    if (remaining == 0)
        return true;
    QChar ch = CharOfKey(key, shift, text);
    if (ch.isNull())
        return false;
    KeyPress(ch);
    if (ch.isNull())
        return true;
    if (ch.unicode() < 32)
        return false;
    bool applied = ApplyTypedChar(ch);
    // The rest of a composed text (an input method's phrase) is typed too.
    for (int i = 1; applied && i < text.size(); ++i) {
        QChar next = text.at(i);
        KeyPress(next);
        if (!next.isNull() && next.unicode() >= 32)
            ApplyTypedChar(next);
    }
    return applied;
}

void TkvCustomEdit::FocusNextControl(bool forward)
{
    // Leave first: a validation error raises here and keeps the focus.
    DoExit();
    if (Focused())
        return;
    QWidget *start = InnerWidget() ? InnerWidget() : this;
    QWidget *candidate = forward ? start->nextInFocusChain() : start->previousInFocusChain();
    while (candidate && candidate != start) {
        bool inside = candidate == this || isAncestorOf(candidate);
        if (!inside && candidate->isVisibleTo(window()) && candidate->isEnabled() &&
            (candidate->focusPolicy() & Qt::TabFocus) && !candidate->focusProxy()) {
            candidate->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
        candidate = forward ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
    }
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
    if (ch.isNull() || DeclinesActivationChar(ch))
        return;
    char16_t code = ch.unicode();
    if (code >= 32) {
        KeyPress(ch);
        if (!ch.isNull())
            ApplyTypedChar(ch);
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
    if (!InnerWidget())
        return;
    QKeyEvent press(QEvent::KeyPress, key, shift, QString(ch));
    QCoreApplication::sendEvent(InnerWidget(), &press);
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
