#pragma once
// Properties of the text-based editors (text edit, memo, and the mask,
// calculator and date edits built on them): the edit value is the text itself
// unless a descendant converts it.
#include "editors/EditProperties.h"

#include <QStringList>

namespace kestrum {

enum TkvEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TkvEditEchoMode { eemNormal, eemPassword };

using TkvNewLookupDisplayTextEvent = std::function<void(TkvCustomEdit *sender, const QString &text)>;

class TkvCustomTextEditProperties : public TkvCustomEditProperties {
public:
    TkvEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TkvEditCharCase value);
    TkvEditEchoMode EchoMode() const { return FEchoMode; }
    void SetEchoMode(TkvEditEchoMode value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    //! The assigned limit; EffectiveMaxLength gives the one in force.
    int MaxLength() const { return FMaxLength; }
    bool MaxLengthAssigned() const { return FMaxLengthAssigned; }
    //! Negative values become 0 (no limit).
    void SetMaxLength(int value);
    void ResetMaxLength();
    //! The assigned value, else what the owner's bound field gives (a string
    //! field's size), else 0 for no limit.
    int EffectiveMaxLength() const;
    bool OEMConvert() const { return FOEMConvert; }
    void SetOEMConvert(bool value);
    const QStringList &LookupItems() const { return FLookupItems; }
    void SetLookupItems(const QStringList &value) { FLookupItems = value; }
    bool LookupItemsSorted() const { return FLookupItemsSorted; }
    void SetLookupItemsSorted(bool value) { FLookupItemsSorted = value; }
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }

    TkvNewLookupDisplayTextEvent OnNewLookupDisplayText;

    //! Applies CharCase to a text.
    QString ApplyCharCase(const QString &text) const;

    bool ValidatesDisplayValue() const override { return true; }
    bool CanRevertToEntryValue() const override { return true; }
    void CheckDisplayValue(QString &displayValue, QString &errorText, TkvCustomEdit *edit,
                           bool &error) override;
    TkvBindingValueKind GetBindingValueKind(bool focused) const override;
    Variant DisplayToEditValue(const QString &displayValue, bool focused) const override;
    QString EditValueToDisplayText(const Variant &value, bool focused) const override;

protected:
    //! Whether MinValue and MaxValue are checked (when they differ).
    virtual bool IsRangeChecked() const { return false; }

private:
    TkvEditCharCase FCharCase = ecNormal;
    TkvEditEchoMode FEchoMode = eemNormal;
    bool FHideSelection = true;
    int FMaxLength = 0;
    bool FMaxLengthAssigned = false;
    bool FOEMConvert = false;
    QStringList FLookupItems;
    bool FLookupItemsSorted = false;
    double FMinValue = 0;
    double FMaxValue = 0;
};

class TkvTextEditProperties : public TkvCustomTextEditProperties {
public:
    std::unique_ptr<TkvCustomEdit> CreateInplaceEditor() const override;
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TkvMemoProperties : public TkvCustomTextEditProperties {
public:
    TkvMemoProperties();

    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);

    std::unique_ptr<TkvCustomEdit> CreateInplaceEditor() const override;

private:
    TScrollStyle FScrollBars = TScrollStyle::ssNone;
    bool FWantReturns = true;
    bool FWantTabs = false;
    bool FWordWrap = true;
};

} // namespace kestrum
