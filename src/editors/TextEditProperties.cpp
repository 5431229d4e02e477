#include "editors/TextEditProperties.h"

#include "editors/CustomEdit.h"
#include "editors/Memo.h"
#include "editors/TextEdit.h"

namespace kestrum {

void TkvCustomTextEditProperties::SetCharCase(TkvEditCharCase value)
{
    FCharCase = value;
    Changed();
}

void TkvCustomTextEditProperties::SetEchoMode(TkvEditEchoMode value)
{
    FEchoMode = value;
    Changed();
}

void TkvCustomTextEditProperties::SetHideSelection(bool value)
{
    FHideSelection = value;
    Changed();
}

void TkvCustomTextEditProperties::SetOEMConvert(bool value)
{
    FOEMConvert = value;
    Changed();
}

void TkvCustomTextEditProperties::SetMaxLength(int value)
{
    FMaxLength = value < 0 ? 0 : value;
    FMaxLengthAssigned = true;
    Changed();
}

void TkvCustomTextEditProperties::ResetMaxLength()
{
    FMaxLength = 0;
    FMaxLengthAssigned = false;
    Changed();
}

int TkvCustomTextEditProperties::EffectiveMaxLength() const
{
    if (FMaxLengthAssigned)
        return FMaxLength;
    const IkvEditDefaultValuesProvider *provider = DefaultValuesProvider();
    return provider ? provider->DefaultMaxLength() : 0;
}

QString TkvCustomTextEditProperties::ApplyCharCase(const QString &text) const
{
    switch (FCharCase) {
    case ecUpperCase:
        return text.toUpper();
    case ecLowerCase:
        return text.toLower();
    default:
        return text;
    }
}

void TkvCustomTextEditProperties::CheckDisplayValue(QString &displayValue, QString &errorText,
                                                    TkvCustomEdit *edit, bool &error)
{
    if (!error && IsRangeChecked() && FMaxValue != FMinValue) {
        try {
            Variant value = DisplayToEditValue(displayValue, true);
            if (value.isNumeric() || value.type() == VarType::Date) {
                double number = value.type() == VarType::Date ? value.toDate() : value.toDouble();
                if (number < FMinValue || number > FMaxValue) {
                    error = true;
                    errorText = GetValidationErrorText(vekOutOfBounds);
                }
            }
        } catch (const Exception &) {
            // A text that is no value at all is the next level's concern.
        }
    }
    TkvCustomEditProperties::CheckDisplayValue(displayValue, errorText, edit, error);
}

TkvBindingValueKind TkvCustomTextEditProperties::GetBindingValueKind(bool) const
{
    return bvkText;
}

Variant TkvCustomTextEditProperties::DisplayToEditValue(const QString &displayValue, bool) const
{
    return Variant(ApplyCharCase(displayValue));
}

QString TkvCustomTextEditProperties::EditValueToDisplayText(const Variant &value, bool) const
{
    try {
        return ApplyCharCase(value.displayText());
    } catch (const Exception &) {
        return QString();
    }
}

std::unique_ptr<TkvCustomEdit> TkvTextEditProperties::CreateInplaceEditor() const
{
    return std::make_unique<TkvTextEdit>(nullptr, true);
}

TkvMemoProperties::TkvMemoProperties()
{
    SetAutoSelect(false);
    SetAlignment({taLeftJustify, taTopJustify});
}

void TkvMemoProperties::SetScrollBars(TScrollStyle value)
{
    FScrollBars = value;
    Changed();
}

void TkvMemoProperties::SetWordWrap(bool value)
{
    FWordWrap = value;
    Changed();
}

std::unique_ptr<TkvCustomEdit> TkvMemoProperties::CreateInplaceEditor() const
{
    return std::make_unique<TkvMemo>(nullptr, true);
}

} // namespace kestrum
