#pragma once
// Properties of the mask edit and of every editor built on it (calculator
// edit, date edit): the mask kind and text, and the conversions through the
// mask.
#include "editors/MaskEditMode.h"
#include "editors/TextEditProperties.h"

namespace kestrum {

using TkvEditMask = QString;

extern const char *const kvMaskInvalidText; //!< "The edit value is invalid"

class TkvCustomMaskEditProperties : public TkvCustomTextEditProperties {
public:
    TkvCustomMaskEditProperties();

    TkvEditMaskKind MaskKind() const { return FMaskKind; }
    //! Rebuilds the mode; a mask that does not compile for the new kind
    //! raises and leaves the kind unchanged.
    void SetMaskKind(TkvEditMaskKind value);
    const TkvEditMask &EditMask() const { return FEditMask; }
    //! Raises EkvMaskEditError for a mask that does not compile; the old mask
    //! stays then.
    void SetEditMask(const TkvEditMask &value);
    bool CaseInsensitive() const { return FCaseInsensitive; }
    void SetCaseInsensitive(bool value);
    bool IgnoreMaskBlank() const { return FIgnoreMaskBlank; }
    void SetIgnoreMaskBlank(bool value) { FIgnoreMaskBlank = value; }
    bool HasMask() const { return !IsMaskEmpty(FEditMask); }

    //! A new mode for the current kind and mask (the editor keeps its own).
    std::unique_ptr<TkvMaskEditCustomMode> CreateMode() const;
    //! The shared mode used for formatting values; null without a mask.
    TkvMaskEditCustomMode *FormatMode() const { return FFormatMode.get(); }
    //! Whether the unfocused standard-mask editor shows the masked form.
    virtual bool ShowsMaskedTextUnfocused() const { return false; }

    void CheckDisplayValue(QString &displayValue, QString &errorText, TkvCustomEdit *edit,
                           bool &error) override;
    Variant DisplayToEditValue(const QString &displayValue, bool focused) const override;
    QString EditValueToDisplayText(const Variant &value, bool focused) const override;
    std::unique_ptr<TkvCustomEdit> CreateInplaceEditor() const override;

protected:
    //! Sets kind and mask together (descendants that build their own mask).
    void AssignMask(TkvEditMaskKind kind, const TkvEditMask &mask);

private:
    TkvEditMaskKind FMaskKind = emkStandard;
    TkvEditMask FEditMask;
    bool FCaseInsensitive = true;
    bool FIgnoreMaskBlank = false;
    mutable std::unique_ptr<TkvMaskEditCustomMode> FFormatMode;
};

class TkvMaskEditProperties : public TkvCustomMaskEditProperties {};

} // namespace kestrum
