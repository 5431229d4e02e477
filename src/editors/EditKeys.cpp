#include "editors/EditKeys.h"

#include <QKeySequence>
#include <QList>

#include <algorithm>
#include <iterator>

namespace kestrum {

namespace {

bool MatchesStandardKey(QKeySequence::StandardKey standard, int key, Qt::KeyboardModifiers shift)
{
    QKeySequence pressed(QKeyCombination(shift & ~Qt::KeypadModifier, Qt::Key(key)));
    return QKeySequence::keyBindings(standard).contains(pressed);
}

} // namespace

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

} // namespace kestrum
