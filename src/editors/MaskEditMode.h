#pragma once
// The interface a mask edit delegates its typing to: one mode per mask kind,
// each a plain object over a text and a selection, so that tests drive it
// without a widget. The editor copies the inner control's text and selection
// into a TkvMaskEditText, calls the mode and copies the result back.
#include "core/Errors.h"

#include <QString>

#include <memory>

namespace kestrum {

enum TkvEditMaskKind { emkStandard, emkRegExpr, emkRegExprEx };

//! The editor's text and selection (the caret is at SelStart + SelLength
//! after a forward selection; modes keep the caret at SelStart when they
//! select nothing).
struct TkvMaskEditText {
    QString Text;
    int SelStart = 0;
    int SelLength = 0;
    //! Whether the keystroke changed the text or was accepted; false when the
    //! mode refused it (the editor beeps with BeepOnError).
    bool Accepted = true;
};

//! A mask that does not compile ("Regular expression errors: ...").
class EkvMaskEditError : public Exception {
public:
    explicit EkvMaskEditError(const std::string &message) : Exception(message) {}
};

class TkvMaskEditCustomMode {
public:
    virtual ~TkvMaskEditCustomMode() = default;

    //! Raises EkvMaskEditError for a mask that cannot be used; the mode keeps
    //! its previous mask then.
    virtual void SetMask(const QString &mask) = 0;
    virtual void SetCaseInsensitive(bool) {}

    //! The text shown for an empty value while focused.
    virtual QString EmptyText() = 0;
    //! A value's text as the focused editor shows it.
    virtual QString FormatFocused(const QString &valueText) = 0;
    //! A value's text as the unfocused editor shows it.
    virtual QString FormatDisplay(const QString &valueText) = 0;
    //! The value's text from the edited text.
    virtual QString TextToValueText(const QString &text) = 0;
    virtual bool IsValid(const QString &text, bool ignoreMaskBlank) = 0;

    //! Typing; SelStart/SelLength give the caret and the selection to replace.
    virtual void PressChar(TkvMaskEditText &state, QChar ch) = 0;
    virtual void Backspace(TkvMaskEditText &state) = 0;
    virtual void Delete(TkvMaskEditText &state) = 0;
    virtual void Home(TkvMaskEditText &state, bool shift) = 0;
    virtual void End(TkvMaskEditText &state, bool shift) = 0;
    //! False when the caret is already at the first position (the key goes on
    //! to an in-place host).
    virtual bool Left(TkvMaskEditText &state, bool shift) = 0;
    virtual bool Right(TkvMaskEditText &state, bool shift) = 0;
    virtual void SelectAll(TkvMaskEditText &state) = 0;
    virtual void Paste(TkvMaskEditText &state, const QString &clipboard) = 0;
    //! Puts a text in from outside (a value was assigned).
    virtual void SetText(TkvMaskEditText &state, const QString &text) = 0;
    //! Re-synchronises after the platform moved the caret (a mouse click).
    virtual void SyncCaret(TkvMaskEditText &state) = 0;
};

//! A mode for the kind; the mask is set separately.
std::unique_ptr<TkvMaskEditCustomMode> CreateMaskEditMode(TkvEditMaskKind kind);

//! A mask that is empty or only white space counts as no mask.
bool IsMaskEmpty(const QString &mask);

} // namespace kestrum
