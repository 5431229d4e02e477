#pragma once
// What a keystroke means to an editor, decided from the key alone: plain
// functions the keyboard handling asks and tests call without a widget.
#include <QChar>
#include <QString>
#include <Qt>

namespace kestrum {

bool IsEnterKey(int key);
//! Page, Home, End and the arrows: keys a host (a grid) may take over.
bool IsNavigationKey(int key);
//! The character a keystroke types: control characters for Ctrl+letter,
//! Enter, Tab, Backspace and Esc (Qt leaves their text empty or printable on
//! some platforms), else the first character of the event's text.
QChar CharOfKey(int key, Qt::KeyboardModifiers shift, const QString &text);
//! Ctrl+V, Shift+Insert and the platform's paste key.
bool IsPasteKey(int key, Qt::KeyboardModifiers shift);
//! Ctrl+X, Shift+Delete and the platform's cut key.
bool IsCutKey(int key, Qt::KeyboardModifiers shift);
//! Shortcuts by which the native control changes its text on its own (undo,
//! redo, deleting words and lines).
bool IsNativeEditKey(int key, Qt::KeyboardModifiers shift);

} // namespace kestrum
