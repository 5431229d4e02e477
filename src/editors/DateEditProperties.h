#pragma once
// Properties of the date edit: the input kind that chooses the mask, the
// calendar's buttons, what an unparsable text becomes, and the date
// validation that replaces the text editors' chain.
#include "editors/DateParsing.h"
#include "editors/PopupEdit.h"

namespace kestrum {

enum TDateButton { btnToday = 1, btnClear = 2 };
using TDateButtons = int; //!< or-ed TDateButton values
enum TDateOnError { deNoChange, deToday, deNull };

extern const char16_t *const kvInvalidDateText; // "错误的日期"

class TkvCustomDateEditProperties : public TkvCustomPopupEditProperties {
public:
    TkvCustomDateEditProperties();
    ~TkvCustomDateEditProperties() override;

    TkvInputKind InputKind() const { return FInputKind; }
    void SetInputKind(TkvInputKind value);
    TDateButtons DateButtons() const { return FDateButtons; }
    void SetDateButtons(TDateButtons value) { FDateButtons = value; }
    TDateOnError DateOnError() const { return FDateOnError; }
    void SetDateOnError(TDateOnError value) { FDateOnError = value; }
    bool SaveTime() const { return FSaveTime; }
    void SetSaveTime(bool value);
    bool ShowTime() const { return FShowTime; }
    void SetShowTime(bool value);
    double MinDate() const { return FMinDate; }
    void SetMinDate(double value) { FMinDate = value; }
    double MaxDate() const { return FMaxDate; }
    void SetMaxDate(double value) { FMaxDate = value; }

    //! The text of an empty value while focused (the mask's empty text).
    QString EmptyText() const;
    //! Builds the mask from the format controller for the input kind.
    void RebuildMask();

    void CheckDisplayValue(QString &displayValue, QString &errorText, TkvCustomEdit *edit,
                           bool &error) override;
    TkvBindingValueKind GetBindingValueKind(bool focused) const override;
    Variant DisplayToEditValue(const QString &displayValue, bool focused) const override;
    QString EditValueToDisplayText(const Variant &value, bool focused) const override;
    std::unique_ptr<TkvCustomEdit> CreateInplaceEditor() const override;

private:
    TkvInputKind FInputKind = ikRegExpr;
    TDateButtons FDateButtons = btnToday | btnClear;
    TDateOnError FDateOnError = deNoChange;
    bool FSaveTime = true;
    bool FShowTime = true;
    double FMinDate = 0;
    double FMaxDate = 0;
    int FFormatListener = 0;
    //! The text validation produced and the date it stands for, so that
    //! reading the text back keeps a time of day the text does not show.
    mutable QString FCheckedText;
    mutable Variant FCheckedValue;
};

class TkvDateEditProperties : public TkvCustomDateEditProperties {};

} // namespace kestrum
