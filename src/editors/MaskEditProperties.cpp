#include "editors/MaskEditProperties.h"

#include "editors/MaskEdit.h"

namespace kestrum {

const char *const kvMaskInvalidText = "The edit value is invalid";

TkvCustomMaskEditProperties::TkvCustomMaskEditProperties()
{
    SetValidateOnEnter(true);
}

std::unique_ptr<TkvMaskEditCustomMode> TkvCustomMaskEditProperties::CreateMode() const
{
    if (!HasMask())
        return nullptr;
    auto mode = CreateMaskEditMode(FMaskKind);
    mode->SetCaseInsensitive(FCaseInsensitive);
    mode->SetMask(FEditMask);
    return mode;
}

void TkvCustomMaskEditProperties::AssignMask(TkvEditMaskKind kind, const TkvEditMask &mask)
{
    std::unique_ptr<TkvMaskEditCustomMode> mode;
    if (!IsMaskEmpty(mask)) {
        mode = CreateMaskEditMode(kind);
        mode->SetCaseInsensitive(FCaseInsensitive);
        mode->SetMask(mask); // raises before anything changes
    }
    if (kind == FMaskKind && mask == FEditMask)
        return;
    FMaskKind = kind;
    FEditMask = mask;
    FFormatMode = std::move(mode);
    Changed();
}

void TkvCustomMaskEditProperties::SetMaskKind(TkvEditMaskKind value)
{
    AssignMask(value, FEditMask);
}

void TkvCustomMaskEditProperties::SetEditMask(const TkvEditMask &value)
{
    AssignMask(FMaskKind, value);
}

void TkvCustomMaskEditProperties::SetCaseInsensitive(bool value)
{
    if (FCaseInsensitive == value)
        return;
    FCaseInsensitive = value;
    if (FFormatMode)
        FFormatMode->SetCaseInsensitive(value);
    Changed();
}

void TkvCustomMaskEditProperties::CheckDisplayValue(QString &displayValue, QString &errorText,
                                                    TkvCustomEdit *edit, bool &error)
{
    if (!error && FFormatMode && !FFormatMode->IsValid(displayValue, FIgnoreMaskBlank)) {
        error = true;
        errorText = QString::fromUtf8(kvMaskInvalidText);
    }
    TkvCustomTextEditProperties::CheckDisplayValue(displayValue, errorText, edit, error);
}

Variant TkvCustomMaskEditProperties::DisplayToEditValue(const QString &displayValue, bool focused) const
{
    if (FFormatMode && FMaskKind == emkStandard) {
        QString value = FFormatMode->TextToValueText(displayValue);
        // The items' case control applies only when the editor does not fold
        // the case itself.
        return Variant(CharCase() == ecNormal ? value : ApplyCharCase(value));
    }
    if (FFormatMode)
        return Variant(displayValue);
    return TkvCustomTextEditProperties::DisplayToEditValue(displayValue, focused);
}

QString TkvCustomMaskEditProperties::EditValueToDisplayText(const Variant &value, bool focused) const
{
    QString text = TkvCustomTextEditProperties::EditValueToDisplayText(value, focused);
    if (!FFormatMode)
        return text;
    if (value.isNull() || value.isEmpty())
        return focused ? FFormatMode->EmptyText() : QString();
    if (focused)
        return FFormatMode->FormatFocused(text);
    if (FMaskKind == emkStandard && ShowsMaskedTextUnfocused())
        return FFormatMode->FormatFocused(text);
    return FFormatMode->FormatDisplay(text);
}

std::unique_ptr<TkvCustomEdit> TkvCustomMaskEditProperties::CreateInplaceEditor() const
{
    return std::make_unique<TkvMaskEdit>(nullptr, true);
}

} // namespace kestrum
