#pragma once
// The month calendar control: caption with arrows, weekday row, 42 days, and
// the today and clear buttons. Its logic is TkvCalendarModel; this class
// lays it out from the font, paints it and turns input into model calls.
#include "editors/CalendarModel.h"
#include "editors/CalendarMonthListBox.h"

#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>

class QPushButton;

namespace kestrum {

//! Sizes of the calendar computed from the font.
struct TkvCalendarLayout {
    int CellWidth = 0;
    int SideMargin = 0;
    int RowHeight = 0;
    int CaptionHeight = 0;
    int WeekdayRowHeight = 0;
    int ButtonStripHeight = 0;
    int ButtonWidth = 0;
    QSize Size;

    //! zeroWidth: width of "0"; textHeight: the font's text height; wgHeight:
    //! height of "Wg"; fontSize in points; buttonTextWidth: the wider of the
    //! two button captions; flat: the flat look adds nothing to the caption.
    static TkvCalendarLayout Compute(int zeroWidth, int textHeight, int wgHeight, int fontSize,
                                     int buttonTextWidth, bool flat, bool withButtons);
};

class TkvCustomCalendar : public QWidget {
public:
    explicit TkvCustomCalendar(QWidget *parent = nullptr);
    ~TkvCustomCalendar() override;

    TkvCalendarModel &Model() { return FModel; }
    const TkvCalendarLayout &Layout() const { return FLayout; }
    bool ShowTodayButton() const { return FShowToday; }
    bool ShowClearButton() const { return FShowClear; }
    void SetButtons(bool today, bool clear);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    //! Recomputes the layout from the current font.
    void UpdateLayout();

    //! A date was chosen (a day released, Enter, the today or clear button).
    std::function<void(double date)> OnDateChosen;
    //! The choice being reported comes from the today or clear button.
    bool ChoosingByButton() const { return FChoosingByButton; }

    //! Key handling as a plain call; true when used.
    virtual bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
    //! The day under a point, NullDate when none.
    double DayAt(QPoint point) const;
    QRect DayRect(int row, int column) const;
    QRect CaptionRect() const;
    QRect PreviousArrowRect() const;
    QRect NextArrowRect() const;
    QRect TodayButtonRect() const;
    QRect ClearButtonRect() const;
    //! Presses the today or clear button.
    void ChooseToday();
    void ChooseClear();
    bool MonthListOpen() const { return FMonthListBox->IsOpen(); }
    //! The month list, a window of its own over the caption.
    TMonthListBox *MonthListBox() const { return FMonthListBox; }

    QSize sizeHint() const override { return FLayout.Size; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    //! A popup calendar closes on any release inside it.
    virtual void ReleasedInside() {}
    virtual void DragLeftCalendar() {}
    void Choose(double date);

private:
    void OpenMonthList();
    void ChooseByButton(double date);

    TkvCalendarModel FModel;
    bool FChoosingByButton = false;
    TMonthListBox *FMonthListBox = nullptr;
    TkvCalendarLayout FLayout;
    bool FShowToday = true;
    bool FShowClear = true;
    bool FFlat = true;
    bool FDraggingDays = false;
    bool FDoubleClick = false;
    int FArrowDirection = 0;
    QTimer FArrowTimer;
};

//! The calendar under a date edit.
class TkvPopupCalendar : public TkvCustomCalendar {
public:
    explicit TkvPopupCalendar(QWidget *parent = nullptr);

    //! Closes the popup without choosing.
    std::function<void()> OnCloseRequest;
    //! The editor's date, put back as the selection when a drag leaves.
    double EditorDate = NullDate;

    bool HandleKey(int key, Qt::KeyboardModifiers modifiers) override;

protected:
    void ReleasedInside() override;
    void DragLeftCalendar() override;
};

} // namespace kestrum
