#pragma once
// The standard-mask mode of the mask edit: the edited text always has one
// character per mask position; the caret sits on a position and is shown as
// a one-character selection.
#include "editors/MaskEditMode.h"
#include "db/StandardMask.h"

namespace kestrum {

class TkvMaskEditStandardMode : public TkvMaskEditCustomMode {
public:
    void SetMask(const QString &mask) override { FMask.SetMask(mask); }
    QString EmptyText() override { return FMask.MaskedEmptyText(); }
    QString FormatFocused(const QString &valueText) override { return FMask.Apply(valueText); }
    QString FormatDisplay(const QString &valueText) override { return valueText; }
    QString TextToValueText(const QString &text) override { return FMask.TextForValue(FMask.Apply(text)); }
    bool IsValid(const QString &text, bool ignoreMaskBlank) override
    {
        return FMask.IsValid(text, ignoreMaskBlank);
    }

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

    const TkvStandardMask &Mask() const { return FMask; }

private:
    //! The first non-literal position at or after position (Count() if none).
    int SkipLiteralsForward(int position) const;
    //! Puts the caret on position as a one-character selection.
    void PlaceCaret(TkvMaskEditText &state, int position) const;
    //! Makes sure the text has one character per position.
    void Normalize(TkvMaskEditText &state) const;
    void BlankRange(TkvMaskEditText &state, int from, int to) const;

    TkvStandardMask FMask;
};

} // namespace kestrum
