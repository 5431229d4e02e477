#pragma once
// The keyboard contract of the editor core: the clear key, the button click
// key, the clipboard keys, the keys that ask for editing permission, Tab,
// Enter and Esc, and the typing of a keystroke's characters. The editor kinds
// override TkvCustomEdit's DoKeyDown and DoKeyPress and call down into this.
#include <QChar>
#include <QString>
#include <Qt>

namespace kestrum {

class TkvCustomEdit;

class TkvEditKeyboard {
public:
    explicit TkvEditKeyboard(TkvCustomEdit &edit) : FEdit(edit) {}

    //! The editor core's own step of the key-down chain; key becomes 0 when
    //! consumed.
    void KeyDown(int &key, Qt::KeyboardModifiers shift);
    //! The character filter and the permission request of typing; ch becomes
    //! null when dropped.
    void KeyPress(QChar &ch);
    //! A whole keystroke: key-down, key-press and typing. True when consumed.
    bool ProcessKey(int key, Qt::KeyboardModifiers shift, const QString &text);
    //! Types text character by character, as keys would.
    void TypeText(const QString &text);
    //! Leaves the editor and moves the focus along the form's tab chain.
    void FocusNextControl(bool forward);
    //! Hands the character that activated an in-place editor on as typing or
    //! as its key.
    void ReplayActivationChar(QChar ch);

private:
    //! Enter with validation on: validate and store, the notices batched.
    void ValidateAndStore();

    TkvCustomEdit &FEdit;
};

} // namespace kestrum
