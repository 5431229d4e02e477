#include "editors/CalendarModel.h"

#include "core/DateTime.h"
#include "editors/DateEditFormatController.h"
#include "editors/DateParsing.h"

#include <algorithm>

namespace kestrum {

namespace {

double FirstOfMonth(double date)
{
    DateTimeParts parts = DecodeDateTime(date);
    return EncodeDate(parts.year, parts.month, 1);
}

double AddMonths(double date, int months)
{
    DateTimeParts parts = DecodeDateTime(date);
    int index = parts.year * 12 + (parts.month - 1) + months;
    int year = index / 12, month = index % 12 + 1;
    if (year < 1 || year > 9999)
        return date;
    return EncodeDate(year, month, std::min(parts.day, DaysInMonth(year, month)));
}

bool InRange(double date)
{
    DateTimeParts parts;
    return TryDecodeDateTime(date, parts);
}

} // namespace

TkvCalendarModel::TkvCalendarModel()
{
    FFirstWeekDay = TkvFormatController::Instance().FirstWeekDay();
    FSelectedDate = ClockToday();
    FFirstDate = FirstOfMonth(FSelectedDate);
}

int TkvCalendarModel::DisplayedYear() const
{
    return DecodeDateTime(FFirstDate).year;
}

int TkvCalendarModel::DisplayedMonth() const
{
    return DecodeDateTime(FFirstDate).month;
}

void TkvCalendarModel::SetFirstDate(double date)
{
    if (InRange(date))
        FFirstDate = FirstOfMonth(date);
}

void TkvCalendarModel::ShowPreviousMonth()
{
    SetFirstDate(AddMonths(FFirstDate, -1));
}

void TkvCalendarModel::ShowNextMonth()
{
    SetFirstDate(AddMonths(FFirstDate, 1));
}

int TkvCalendarModel::ColumnOf(double date) const
{
    return (DayOfWeek(date) - 1 - FFirstWeekDay + 7) % 7;
}

double TkvCalendarModel::FirstVisibleDate() const
{
    int offset = ColumnOf(FFirstDate);
    return FFirstDate - (offset == 0 ? 7 : offset);
}

bool TkvCalendarModel::IsInDisplayedMonth(double date) const
{
    DateTimeParts parts;
    return TryDecodeDateTime(date, parts) && parts.year == DisplayedYear() && parts.month == DisplayedMonth();
}

bool TkvCalendarModel::SetSelectedDate(double date)
{
    if (date != NullDate)
        date = DateOf(date);
    if (date == FSelectedDate)
        return false;
    if (date != NullDate && !InRange(date))
        return false;
    FSelectedDate = date;
    if (date == NullDate)
        return true;
    if (date < FirstVisibleDate())
        SetFirstDate(AddMonths(FirstOfMonth(date), -1));
    if (date > LastVisibleDate())
        SetFirstDate(date);
    return true;
}

double TkvCalendarModel::MoveBase() const
{
    return FSelectedDate == NullDate ? ClockToday() : FSelectedDate;
}

bool TkvCalendarModel::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const double base = MoveBase();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    double target = base;
    switch (key) {
    case Qt::Key_Left:
        target = base - 1;
        break;
    case Qt::Key_Right:
        target = base + 1;
        break;
    case Qt::Key_Up:
        if (alt)
            return false;
        target = base - 7;
        break;
    case Qt::Key_Down:
        if (alt)
            return false;
        target = base + 7;
        break;
    case Qt::Key_PageUp:
        target = AddMonths(base, -1);
        break;
    case Qt::Key_PageDown:
        target = AddMonths(base, 1);
        break;
    case Qt::Key_Home:
        if (ctrl)
            target = FirstOfMonth(base);
        else
            target = base - ColumnOf(base);
        break;
    case Qt::Key_End:
        if (ctrl) {
            DateTimeParts parts = DecodeDateTime(base);
            target = EncodeDate(parts.year, parts.month, DaysInMonth(parts.year, parts.month));
        } else {
            target = base - ColumnOf(base) + 6;
        }
        break;
    default:
        return false;
    }
    SetSelectedDate(target);
    return true;
}

} // namespace kestrum
