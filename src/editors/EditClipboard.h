#pragma once
// The clipboard operations of an editor: paste, cut, copy and deleting the
// selection. Each change asks the editor's permission first and goes into the
// inner control as a user change, so the editor's filter, mask and change
// flags see pasted text exactly as they see typing.
#include <QString>

#include <functional>

namespace kestrum {

class TkvCustomEdit;

//! What of a pasted text may be typed: a single-line editor takes the first
//! line only, a multi-line one keeps its line breaks (CR LF becomes one LF);
//! control characters are dropped (a tab is kept where it is text), and so is
//! every character isValidChar refuses.
QString FilterTypableText(const QString &text, bool multiLine, const std::function<bool(QChar)> &isValidChar);

class TkvEditClipboard {
public:
    explicit TkvEditClipboard(TkvCustomEdit &edit) : FEdit(edit) {}

    //! Inserts the filtered text at the caret; a text of which nothing may be
    //! typed beeps with BeepOnError.
    void PasteText(const QString &text);
    //! Deletes the selected text (permission already given).
    void DeleteSelection();
    void Paste();
    //! Nothing when the editor may not change or shows a password.
    void Cut();
    //! Nothing from a password.
    void Copy();
    //! Deletes the selection once the editor may change.
    void Clear();

private:
    TkvCustomEdit &FEdit;
};

} // namespace kestrum
