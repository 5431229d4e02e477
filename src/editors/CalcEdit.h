#pragma once
// The calculator edit: an amount editor whose drop-down calculator works on
// the editor's own text, and its data-bound variant.
#include "editors/CalculatorWidget.h"
#include "editors/DbEditDataBinding.h"
#include "editors/PopupEdit.h"

namespace kestrum {

class TkvCustomCalcEditProperties : public TkvCustomPopupEditProperties {
public:
    TkvCustomCalcEditProperties();
    ~TkvCustomCalcEditProperties() override;

    int Precision() const { return FPrecision; }
    //! Also limits the text to Precision + 2 characters.
    void SetPrecision(int value);
    bool QuickClose() const { return FQuickClose; }
    void SetQuickClose(bool value) { FQuickClose = value; }

    //! Refuses a text that is no number (the calculator's "错误", a lone "-")
    //! with the invalid-input text; OnValidate may still decide.
    void CheckDisplayValue(QString &displayValue, QString &errorText, TkvCustomEdit *edit,
                           bool &error) override;
    TkvBindingValueKind GetBindingValueKind(bool focused) const override;
    Variant DisplayToEditValue(const QString &displayValue, bool focused) const override;
    QString EditValueToDisplayText(const Variant &value, bool focused) const override;
    std::unique_ptr<TkvCustomEdit> CreateInplaceEditor() const override;

private:
    //! Empty (Null) or a number with the regional separators.
    static bool IsNumberText(const QString &displayValue);

    int FPrecision = 13;
    bool FQuickClose = false;
    int FFormatListener = 0;
};

class TkvCalcEditProperties : public TkvCustomCalcEditProperties {};

class TkvCustomCalcEdit : public TkvCustomPopupEdit {
public:
    TkvCustomCalcEdit(std::unique_ptr<TkvCustomCalcEditProperties> properties, bool isInplace,
                      QWidget *parent);
    TkvCustomCalcEditProperties &Properties() const
    {
        return static_cast<TkvCustomCalcEditProperties &>(TkvCustomEdit::Properties());
    }

    //! 0 for an empty value, else the number.
    double Value() const;
    void SetValue(double value);
    TkvPopupCalculator *Calculator();

protected:
    void DoKeyPress(QChar &ch) override;
    QWidget *CreatePopupControl() override;
    void InitPopup() override;
    //! The calculator's paste: the whole text becomes the pasted amount
    //! (without the currency symbol); a text that is no number is refused.
    void PasteText(const QString &text) override;
    bool AllowsNativeEditing() const override { return false; }
    bool AcceptsProperties(const TkvCustomEditProperties &properties) const override;
};

class TkvCalcEdit : public TkvCustomCalcEdit {
public:
    explicit TkvCalcEdit(QWidget *parent = nullptr, bool isInplace = false);
    TkvCalcEditProperties &Properties() const
    {
        return static_cast<TkvCalcEditProperties &>(TkvCustomEdit::Properties());
    }
};

class TkvDBCalcEdit : public TkvCalcEdit {
public:
    explicit TkvDBCalcEdit(QWidget *parent = nullptr);
    TkvDBEditDataBinding &DataBinding() const
    {
        return static_cast<TkvDBEditDataBinding &>(TkvCustomEdit::DataBinding());
    }
};

} // namespace kestrum
