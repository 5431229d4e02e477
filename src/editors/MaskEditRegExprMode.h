#pragma once
// The two regular-expression modes of the mask edit. The text before the
// caret (the head) is always accepted by the automaton; a typed character is
// inserted only when accepted; in the extended mode the literals that are the
// only way on are typed automatically and go again with the character that
// brought them; a text after the caret that no longer fits is dropped.
#include "editors/MaskEditMode.h"
#include "editors/RegExpr.h"

#include <vector>

namespace kestrum {

class TkvMaskEditRegExprMode : public TkvMaskEditCustomMode {
public:
    TkvMaskEditRegExprMode();

    void SetMask(const QString &mask) override;
    void SetCaseInsensitive(bool value) override;
    QString EmptyText() override;
    QString FormatFocused(const QString &valueText) override;
    QString FormatDisplay(const QString &valueText) override;
    QString TextToValueText(const QString &text) override { return text; }
    bool IsValid(const QString &text, bool ignoreMaskBlank) override;

    void PressChar(TkvMaskEditText &state, QChar ch) override;
    void Backspace(TkvMaskEditText &state) override;
    void Delete(TkvMaskEditText &state) override;
    void Home(TkvMaskEditText &state, bool shift) override;
    void End(TkvMaskEditText &state, bool shift) override;
    bool Left(TkvMaskEditText &state, bool shift) override;
    bool Right(TkvMaskEditText &state, bool shift) override;
    void SelectAll(TkvMaskEditText &state) override;
    void Paste(TkvMaskEditText &state, const QString &clipboard) override;
    void SetText(TkvMaskEditText &state, const QString &text) override;
    void SyncCaret(TkvMaskEditText &state) override;

    TkvRegExpr &RegExpr() { return FRegExpr; }

protected:
    explicit TkvMaskEditRegExprMode(bool completion);
    bool Completion() const { return FCompletion; }

private:
    //! Feeds text from the start without completion; the length accepted.
    int FeedHead(const QString &text, int length);
    //! Feeds chars from the current state, taking forced literals between
    //! them (extended mode) whether or not chars repeats them. Appends what
    //! was accepted to out; lead counts the forced literals before the first
    //! fed character. False when a character did not fit.
    bool FeedRest(const QString &chars, QString &out, int *lead = nullptr, bool completeAtEnd = true);
    //! For each position, whether the character there is a completed literal.
    std::vector<bool> CompletedFlags(const QString &text);
    //! Rebuilds state from head (kept) and tail (fed, dropped when it does
    //! not fit); the caret goes after head and the literals completed at it.
    void Rebuild(TkvMaskEditText &state, const QString &head, const QString &tail);
    void RemoveSelection(TkvMaskEditText &state);

    TkvRegExpr FRegExpr;
    bool FCompletion;
    bool FCaseInsensitive = true;
};

class TkvMaskEditRegExprExMode : public TkvMaskEditRegExprMode {
public:
    TkvMaskEditRegExprExMode() : TkvMaskEditRegExprMode(true) {}
};

} // namespace kestrum
