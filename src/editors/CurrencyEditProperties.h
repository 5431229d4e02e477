#pragma once
// Properties of the currency edit: a numeric text editor that holds a double,
// shows it through a number pattern while not focused and as a bare number
// while focused, and lets through only characters that can still form a
// number.
#include "editors/TextEditProperties.h"

namespace kestrum {

//! Which values of the currency properties were assigned (as opposed to
//! derived); the display format is the one that matters for storing.
struct TkvCurrencyEditPropertiesValues {
    bool DisplayFormat = false;
    bool MinValue = false;
    bool MaxValue = false;
};

class TkvCustomCurrencyEditProperties : public TkvCustomTextEditProperties {
public:
    TkvCustomCurrencyEditProperties();
    ~TkvCustomCurrencyEditProperties() override;

    const TkvCurrencyEditPropertiesValues &AssignedValues() const { return FAssignedValues; }

    int DecimalPlaces() const { return FDecimalPlaces; }
    void SetDecimalPlaces(int value);
    //! The assigned pattern; else the bound field's display format; else the
    //! locale's currency pattern (which follows a change of the settings).
    QString DisplayFormat() const;
    //! Marks the pattern assigned, also when it equals the current one.
    void SetDisplayFormat(const QString &value);
    //! Whether a layout stores the pattern (only when it was assigned).
    bool IsDisplayFormatStored() const { return FAssignedValues.DisplayFormat; }
    bool Nullable() const { return FNullable; }
    void SetNullable(bool value);
    const QString &NullString() const { return FNullString; }
    void SetNullString(const QString &value);
    bool UseThousandSeparator() const { return FUseThousandSeparator; }
    void SetUseThousandSeparator(bool value) { FUseThousandSeparator = value; }
    void SetMinValue(double value);
    void SetMaxValue(double value);

    //! Reads a typed text as a number: the locale's thousands separators
    //! removed, the rest a float with the locale's decimal separator, within
    //! the range of a double. False for anything else.
    static bool ReadNumber(const QString &text, double &value);
    //! The edit value's number: 0 for Null and for a string that reads as
    //! nothing; raises for a value that is no number at all.
    static double ValueOf(const Variant &value);

    void CheckDisplayValue(QString &displayValue, QString &errorText, TkvCustomEdit *edit,
                           bool &error) override;
    TkvBindingValueKind GetBindingValueKind(bool focused) const override;
    Variant DisplayToEditValue(const QString &displayValue, bool focused) const override;
    QString EditValueToDisplayText(const Variant &value, bool focused) const override;
    std::unique_ptr<TkvCustomEdit> CreateInplaceEditor() const override;

protected:
    bool IsRangeChecked() const override { return true; }

private:
    //! What an empty or null text stands for.
    Variant EmptyValue() const;

    TkvCurrencyEditPropertiesValues FAssignedValues;
    int FDecimalPlaces = 2;
    QString FDisplayFormat;
    bool FNullable = true;
    QString FNullString;
    bool FUseThousandSeparator = false;
    int FFormatListener = 0;
};

class TkvCurrencyEditProperties : public TkvCustomCurrencyEditProperties {};

} // namespace kestrum
