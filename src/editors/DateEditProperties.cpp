#include "editors/DateEditProperties.h"

#include "editors/DateEdit.h"
#include "editors/DateEditFormatController.h"

#include <cmath>

namespace kestrum {

const char16_t *const kvInvalidDateText = u"错误的日期";

namespace {

//! Adds a time of day to a whole date (backwards for days before the epoch).
double WithTime(double date, double time)
{
    return date < 0 ? date - time : date + time;
}

double TimePart(double dateTime)
{
    return std::fabs(dateTime - std::trunc(dateTime));
}

} // namespace

TkvCustomDateEditProperties::TkvCustomDateEditProperties()
{
    SetCaseInsensitive(true);
    RebuildMask();
    FFormatListener = TkvFormatController::Instance().AddListener([this] { RebuildMask(); });
}

TkvCustomDateEditProperties::~TkvCustomDateEditProperties()
{
    TkvFormatController::Instance().RemoveListener(FFormatListener);
}

void TkvCustomDateEditProperties::RebuildMask()
{
    TkvFormatController &controller = TkvFormatController::Instance();
    switch (FInputKind) {
    case ikRegExpr:
        AssignMask(emkRegExprEx, controller.RegExprDateEditMask());
        break;
    case ikMask:
        AssignMask(emkStandard, controller.StandardDateEditMask());
        break;
    case ikStandard:
        AssignMask(emkStandard, QString());
        break;
    }
    Changed();
}

void TkvCustomDateEditProperties::SetInputKind(TkvInputKind value)
{
    if (FInputKind == value)
        return;
    FInputKind = value;
    RebuildMask();
}

void TkvCustomDateEditProperties::SetSaveTime(bool value)
{
    if (FSaveTime == value)
        return;
    FSaveTime = value;
    if (auto *edit = dynamic_cast<TkvCustomDateEdit *>(Owner()); edit && !value)
        edit->TruncateToDay();
    Changed();
}

void TkvCustomDateEditProperties::SetShowTime(bool value)
{
    FShowTime = value;
    Changed();
}

QString TkvCustomDateEditProperties::EmptyText() const
{
    return FormatMode() ? FormatMode()->EmptyText() : QString();
}

TkvBindingValueKind TkvCustomDateEditProperties::GetBindingValueKind(bool focused) const
{
    const IkvEditDefaultValuesProvider *provider = DefaultValuesProvider();
    if (!focused && provider && provider->IsDisplayFormatDefined())
        return bvkText;
    return bvkValue;
}

void TkvCustomDateEditProperties::CheckDisplayValue(QString &displayValue, QString &errorText,
                                                    TkvCustomEdit *edit, bool &error)
{
    const QString emptyText = EmptyText();
    double date = NullDate;
    if (displayValue != emptyText && !displayValue.trimmed().isEmpty()) {
        date = ParseDateText(displayValue);
        error = date == NullDate;
        if (!error)
            displayValue = FormatDateText(date, FInputKind);
    }
    if (error)
        errorText = QString::fromUtf16(kvInvalidDateText);
    if (OnValidate && edit) {
        OnValidate(edit, displayValue, errorText, error);
        if (!error && displayValue != emptyText && !displayValue.trimmed().isEmpty()) {
            date = ParseDateText(displayValue);
            error = date == NullDate;
        }
    } else if (error && FDateOnError != deNoChange) {
        date = FDateOnError == deToday ? ClockToday() : NullDate;
        displayValue = FormatDateText(date, FInputKind);
        error = false;
    }
    if (error)
        return;

    auto *dateEdit = dynamic_cast<TkvCustomDateEdit *>(edit);
    if (date == NullDate) {
        FCheckedText = displayValue;
        FCheckedValue = Variant::null();
        if (dateEdit)
            dateEdit->SetSavedTime(0);
        return;
    }
    if (!FSaveTime)
        date = std::trunc(date);
    if (FMinDate != FMaxDate && (date < FMinDate || date > FMaxDate)) {
        error = true;
        errorText = GetValidationErrorText(vekOutOfBounds);
        return;
    }
    // A date typed without a time keeps the time of day the value had.
    if (dateEdit && FSaveTime && TimePart(date) == 0 && dateEdit->SavedTime() > 0)
        date = WithTime(date, dateEdit->SavedTime());
    if (dateEdit)
        dateEdit->SetSavedTime(FSaveTime ? TimePart(date) : 0);
    displayValue = FormatDateText(FShowTime ? date : std::trunc(date), FInputKind);
    FCheckedText = displayValue;
    FCheckedValue = Variant::fromDate(date);
}

Variant TkvCustomDateEditProperties::DisplayToEditValue(const QString &displayValue, bool) const
{
    if (!FCheckedText.isNull() && displayValue == FCheckedText)
        return FCheckedValue;
    if (displayValue == EmptyText() || displayValue.trimmed().isEmpty())
        return Variant::null();
    double date = 0;
    if (TryTextToDateTime(displayValue, date))
        return Variant::fromDate(FSaveTime ? date : std::trunc(date));
    return FDateOnError == deToday ? Variant::fromDate(ClockToday()) : Variant::null();
}

QString TkvCustomDateEditProperties::EditValueToDisplayText(const Variant &value, bool focused) const
{
    if (value.isNull() || value.isEmpty())
        return focused ? EmptyText() : QString();
    if (value.isString() || !(value.isNumeric() || value.type() == VarType::Date))
        return value.displayText();
    double date = 0;
    try {
        date = value.toDate();
    } catch (const Exception &) {
        return value.displayText();
    }
    QString text = FormatDateText(FShowTime ? date : std::trunc(date), FInputKind);
    if (focused && FormatMode())
        return FormatMode()->FormatFocused(text);
    return text;
}

std::unique_ptr<TkvCustomEdit> TkvCustomDateEditProperties::CreateInplaceEditor() const
{
    return std::make_unique<TkvDateEdit>(nullptr, true);
}

} // namespace kestrum
