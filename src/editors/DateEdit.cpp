#include "editors/DateEdit.h"

#include "editors/DateEditFormatController.h"

#include <QEvent>

#include <cmath>

namespace kestrum {

TkvCustomDateEdit::TkvCustomDateEdit(std::unique_ptr<TkvCustomDateEditProperties> properties, bool isInplace,
                                     QWidget *parent)
    : TkvCustomPopupEdit(std::move(properties), isInplace, parent)
{
    PropertiesChanged();
}

bool TkvCustomDateEdit::AcceptsProperties(const TkvCustomEditProperties &properties) const
{
    return dynamic_cast<const TkvCustomDateEditProperties *>(&properties) != nullptr;
}

double TkvCustomDateEdit::Date() const
{
    const Variant &value = EditValue();
    if (value.isNull() || value.isEmpty())
        return NullDate;
    try {
        if (value.isString() && value.toString().trimmed().isEmpty())
            return NullDate;
        return value.toDate();
    } catch (const Exception &) {
        return NullDate;
    }
}

void TkvCustomDateEdit::SetDate(double value)
{
    if (value == Date())
        return;
    if (value == NullDate) {
        SetEditValue(Variant::null());
        FSavedTime = 0;
        return;
    }
    if (!Properties().SaveTime())
        value = std::trunc(value);
    FSavedTime = std::fabs(value - std::trunc(value));
    SetEditValue(Variant::fromDate(value));
}

void TkvCustomDateEdit::EditValueAssigned()
{
    // Reloading another record brings that record's time of day, so a day
    // typed later never picks up the time of a record edited before.
    const Variant &value = EditValue();
    double date = Date();
    bool isDate = value.isNumeric() || value.type() == VarType::Date;
    FSavedTime =
        isDate && date != NullDate && Properties().SaveTime() ? std::fabs(date - std::trunc(date)) : 0;
}

Variant TkvCustomDateEdit::AdjustedEditValue(const Variant &value) const
{
    if (Properties().SaveTime())
        return value;
    if (value.type() == VarType::Date)
        return Variant::fromDate(std::trunc(value.toDate()));
    if (value.isNumeric())
        return Variant(std::trunc(value.toDouble()));
    return value;
}

void TkvCustomDateEdit::TruncateToDay()
{
    double date = Date();
    FSavedTime = 0;
    if (date != NullDate && date != std::trunc(date))
        SetEditValue(Variant::fromDate(std::trunc(date)));
}

TkvPopupCalendar *TkvCustomDateEdit::Calendar()
{
    return static_cast<TkvPopupCalendar *>(PopupControl());
}

QWidget *TkvCustomDateEdit::CreatePopupControl()
{
    auto *calendar = new TkvPopupCalendar;
    calendar->OnCloseRequest = [this] { CloseUp(); };
    calendar->OnDateChosen = [this, calendar](double date) {
        // A day closes the calendar before it is taken; the today and clear
        // buttons act first, so the closing sees the value they set.
        bool byButton = calendar->ChoosingByButton();
        if (!byButton)
            CloseUp();
        DateChosen(date);
        if (byButton)
            CloseUp();
    };
    return calendar;
}

void TkvCustomDateEdit::InitPopup()
{
    TkvPopupCalendar *calendar = Calendar();
    calendar->setPalette(palette());
    calendar->setFont(font());
    TDateButtons buttons = Properties().DateButtons();
    calendar->SetButtons(buttons & btnToday, buttons & btnClear);
    // The editor's date as it stands, so its time of day goes back on the
    // chosen day.
    double date = Date();
    FDateAtPopup = date;
    calendar->EditorDate = date == NullDate ? NullDate : std::trunc(date);
    TkvCalendarModel &model = calendar->Model();
    double selection = date == NullDate ? ClockToday() : std::floor(date);
    model.SetSelectedDate(selection);
    model.SetFirstDate(selection);
    calendar->UpdateLayout();
}

void TkvCustomDateEdit::DateChosen(double date)
{
    const TkvCustomDateEditProperties &properties = Properties();
    if (date != NullDate && properties.SaveTime() && FDateAtPopup != NullDate) {
        double time = std::fabs(FDateAtPopup - std::trunc(FDateAtPopup));
        date = date < 0 ? date - time : date + time;
    }
    QString text =
        properties.EditValueToDisplayText(date == NullDate ? Variant::null() : Variant::fromDate(date), true);
    if (date == Date() && DisplayText() == text)
        return;
    if (!DataBinding().IsRecordEditing() && !RequestEditing())
        return;
    // The value reaches the field on Enter or on leaving the editor.
    WithClearingGuard([&] { SetEditValue(date == NullDate ? Variant::null() : Variant::fromDate(date)); });
    FSavedTime = date == NullDate ? 0 : std::fabs(date - std::trunc(date));
    SetHasPendingChange(true);
    SetChangedSinceEntry(true);
}

void TkvCustomDateEdit::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LocaleChange)
        TkvFormatController::Instance().Update();
    TkvCustomPopupEdit::changeEvent(event);
}

TkvDateEdit::TkvDateEdit(QWidget *parent, bool isInplace)
    : TkvCustomDateEdit(std::make_unique<TkvDateEditProperties>(), isInplace, parent)
{
}

TkvDBDateEdit::TkvDBDateEdit(QWidget *parent) : TkvDateEdit(parent)
{
    SetDataBinding(std::make_unique<TkvDBEditDataBinding>(*this));
    PropertiesChanged();
    RefreshDisplay();
}

} // namespace kestrum
