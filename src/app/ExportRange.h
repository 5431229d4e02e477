#pragma once
// What the export dialog asks: the whole ledger, this month, a month picked
// by year and month, or a range of dates. Plain logic, so that the dates a
// choice stands for and the enabling of the dialog's controls are tested
// without a display.
#include "exchange/ExportLayout.h"

#include <QDate>
#include <QString>

namespace kestrum {

enum class TExportChoice { All, ThisMonth, Month, Range };

class TExportRange {
public:
    //! today: the date "this month" means; shownYear/shownMonth: the month
    //! the entry pages show, the month pickers' start (today's month when
    //! the texts are no month).
    TExportRange(const QDate &today, const QString &shownYear, const QString &shownMonth);

    //! Opens on the days that hold entries, first to last (this year when
    //! there are none), as a range of dates; the month pickers stay where
    //! the constructor put them.
    void StartOnEntries(const QDate &first, const QDate &last);

    TExportChoice Choice() const { return FChoice; }
    void SetChoice(TExportChoice choice) { FChoice = choice; }

    int Year() const { return FYear; }
    int Month() const { return FMonth; }
    void SetYear(int year) { FYear = year; }
    void SetMonth(int month) { FMonth = month; }

    const QDate &RangeFrom() const { return FRangeFrom; }
    const QDate &RangeTo() const { return FRangeTo; }
    void SetRangeFrom(const QDate &from) { FRangeFrom = from; }
    void SetRangeTo(const QDate &to) { FRangeTo = to; }

    //! The first and the last day exported; invalid dates leave that end open.
    QDate From() const;
    QDate To() const;

    //! Why the choice cannot be exported ("" when it can).
    QString Problem() const;
    bool CanExport() const { return Problem().isEmpty(); }

    // Which pickers the dialog enables.
    bool MonthPickersEnabled() const { return FChoice == TExportChoice::Month; }
    bool RangePickersEnabled() const { return FChoice == TExportChoice::Range; }

    //! The layout written: the Chinese CSV, the English one, or QIF.
    TExportFormat Format() const { return FFormat; }
    void SetFormat(TExportFormat format) { FFormat = format; }

    //! The file name the save dialog proposes ("Kestrum-2024-03.csv", ".qif" for QIF).
    QString SuggestedFileName() const;
    //! The choice in words, for the closing message ("2024年3月").
    QString Description() const;

    static constexpr int FirstYear = 1900;
    static constexpr int LastYear = 9999;

private:
    QString suggestedCsvName() const;

    QDate FToday;
    TExportFormat FFormat = xfCsv;
    TExportChoice FChoice = TExportChoice::Month;
    int FYear;
    int FMonth;
    QDate FRangeFrom;
    QDate FRangeTo;
};

} // namespace kestrum
