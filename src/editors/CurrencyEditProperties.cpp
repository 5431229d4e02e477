#include "editors/CurrencyEditProperties.h"

#include "core/RegionalSettings.h"
#include "data/NumberFormat.h"
#include "editors/CalculatorEngine.h"
#include "editors/CurrencyEdit.h"
#include "editors/DateEditFormatController.h"

#include <cmath>

namespace kestrum {

TkvCustomCurrencyEditProperties::TkvCustomCurrencyEditProperties()
{
    SetValidateOnEnter(true);
    // A new currency pattern of the settings shows in the editor at once.
    FFormatListener = TkvFormatController::Instance().AddListener([this] { Changed(); });
}

TkvCustomCurrencyEditProperties::~TkvCustomCurrencyEditProperties()
{
    TkvFormatController::Instance().RemoveListener(FFormatListener);
}

void TkvCustomCurrencyEditProperties::SetDecimalPlaces(int value)
{
    FDecimalPlaces = value < 0 ? 0 : value;
}

QString TkvCustomCurrencyEditProperties::DisplayFormat() const
{
    if (FAssignedValues.DisplayFormat)
        return FDisplayFormat;
    if (const IkvEditDefaultValuesProvider *provider = DefaultValuesProvider()) {
        QString fieldFormat = provider->DefaultDisplayFormat();
        if (!fieldFormat.isEmpty())
            return fieldFormat;
    }
    return TkvFormatController::Instance().CurrencyDisplayFormat();
}

void TkvCustomCurrencyEditProperties::SetDisplayFormat(const QString &value)
{
    FDisplayFormat = value;
    FAssignedValues.DisplayFormat = true;
    Changed();
}

void TkvCustomCurrencyEditProperties::SetNullable(bool value)
{
    FNullable = value;
    Changed();
}

void TkvCustomCurrencyEditProperties::SetNullString(const QString &value)
{
    FNullString = value;
    Changed();
}

void TkvCustomCurrencyEditProperties::SetMinValue(double value)
{
    TkvCustomTextEditProperties::SetMinValue(value);
    FAssignedValues.MinValue = true;
}

void TkvCustomCurrencyEditProperties::SetMaxValue(double value)
{
    TkvCustomTextEditProperties::SetMaxValue(value);
    FAssignedValues.MaxValue = true;
}

bool TkvCustomCurrencyEditProperties::ReadNumber(const QString &text, double &value)
{
    QString plain = text;
    plain.remove(regionalSettings().thousandSeparator);
    long double number = 0;
    if (!ParseCalcNumber(plain, number))
        return false;
    long double magnitude = std::fabs(number);
    if (magnitude != 0 && (magnitude < 5.0e-324L || magnitude > 1.7e308L))
        return false;
    value = double(number);
    return true;
}

double TkvCustomCurrencyEditProperties::ValueOf(const Variant &value)
{
    if (value.isNull() || value.isEmpty())
        return 0;
    if (value.isString()) {
        double number = 0;
        return ReadNumber(value.toString(), number) ? number : 0;
    }
    return value.toDouble();
}

Variant TkvCustomCurrencyEditProperties::EmptyValue() const
{
    return FNullable ? Variant::null() : Variant(Currency{0});
}

void TkvCustomCurrencyEditProperties::CheckDisplayValue(QString &displayValue, QString &errorText,
                                                        TkvCustomEdit *edit, bool &error)
{
    // Typing is filtered, but a lone "-" (or "1E") is a legal start that is
    // no number: it would store Null (or 0) over the amount without a word.
    double number = 0;
    error = !displayValue.isEmpty() && !(!FNullString.isEmpty() && displayValue == FNullString) &&
            !ReadNumber(displayValue, number);
    if (error)
        errorText = GetValidationErrorText(vekInvalidInput);
    TkvCustomTextEditProperties::CheckDisplayValue(displayValue, errorText, edit, error);
}

TkvBindingValueKind TkvCustomCurrencyEditProperties::GetBindingValueKind(bool) const
{
    // The edit value is the number itself, focused or not.
    return bvkValue;
}

Variant TkvCustomCurrencyEditProperties::DisplayToEditValue(const QString &displayValue, bool) const
{
    if (displayValue.isEmpty() || (!FNullString.isEmpty() && displayValue == FNullString))
        return EmptyValue();
    double number = 0;
    if (ReadNumber(displayValue, number))
        return Variant(number);
    return EmptyValue();
}

QString TkvCustomCurrencyEditProperties::EditValueToDisplayText(const Variant &value, bool focused) const
{
    bool empty = value.isNull() || value.isEmpty() || (value.isString() && value.toString().isEmpty());
    if (empty) {
        if (focused)
            return QString();
        return FNullable ? FNullString : QStringLiteral("0");
    }
    double number = 0;
    try {
        if (value.isString()) {
            // A string that reads as a number only through the variant run
            // time (with a currency symbol, say) is still that number.
            if (!ReadNumber(value.toString(), number))
                number = value.toDouble();
        } else {
            number = value.toDouble();
        }
    } catch (const Exception &) {
        return focused ? QString() : value.displayText();
    }
    if (!std::isfinite(number))
        return focused ? QString() : value.displayText();
    if (focused)
        return FormatGeneralFloat(number, 15);
    const QString pattern = DisplayFormat();
    return pattern.isEmpty() ? FormatGeneralFloat(number, 15) : FormatNumber(pattern, number);
}

std::unique_ptr<TkvCustomEdit> TkvCustomCurrencyEditProperties::CreateInplaceEditor() const
{
    return std::make_unique<TkvCurrencyEdit>(nullptr, true);
}

} // namespace kestrum
