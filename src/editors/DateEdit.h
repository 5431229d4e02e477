#pragma once
// The date edit: dates typed through the date mask or as words, or picked in
// the drop-down calendar; and its data-bound variant.
#include "editors/CalendarWidget.h"
#include "editors/DateEditProperties.h"
#include "editors/DbEditDataBinding.h"

namespace kestrum {

class TkvCustomDateEdit : public TkvCustomPopupEdit {
public:
    TkvCustomDateEdit(std::unique_ptr<TkvCustomDateEditProperties> properties, bool isInplace,
                      QWidget *parent);
    TkvCustomDateEditProperties &Properties() const
    {
        return static_cast<TkvCustomDateEditProperties &>(TkvCustomEdit::Properties());
    }

    //! NullDate for an empty value or one that is no date.
    double Date() const;
    //! Sets EditValue (Null for the null date) when the date differs.
    void SetDate(double value);
    //! The time of day kept for dates typed without one: the time of the
    //! value in the editor, refreshed whenever the value is replaced.
    double SavedTime() const { return FSavedTime; }
    void SetSavedTime(double value) { FSavedTime = value; }
    //! Drops the time of day of the value (SaveTime switched off).
    void TruncateToDay();
    TkvPopupCalendar *Calendar();
    //! What the editor does with a date chosen in the calendar.
    void DateChosen(double date);

protected:
    QWidget *CreatePopupControl() override;
    void InitPopup() override;
    bool AcceptsProperties(const TkvCustomEditProperties &properties) const override;
    void EditValueAssigned() override;
    Variant AdjustedEditValue(const Variant &value) const override;
    //! A LocaleChange (the platform's word that the regional settings
    //! changed) makes the format controller rebuild the date formats and
    //! masks, which every date editor then takes.
    void changeEvent(QEvent *event) override;

private:
    double FSavedTime = 0;
    double FDateAtPopup = NullDate;
};

class TkvDateEdit : public TkvCustomDateEdit {
public:
    explicit TkvDateEdit(QWidget *parent = nullptr, bool isInplace = false);
    TkvDateEditProperties &Properties() const
    {
        return static_cast<TkvDateEditProperties &>(TkvCustomEdit::Properties());
    }
};

class TkvDBDateEdit : public TkvDateEdit {
public:
    explicit TkvDBDateEdit(QWidget *parent = nullptr);
    TkvDBEditDataBinding &DataBinding() const
    {
        return static_cast<TkvDBEditDataBinding &>(TkvCustomEdit::DataBinding());
    }
};

} // namespace kestrum
