#include "editors/CalendarWidget.h"

#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "editors/DateParsing.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace kestrum {

namespace {

const QColor kvTodayFrame(128, 0, 0);

//! The one character a weekday column shows: the last of a CJK name (its
//! distinguishing character), the first of any other.
QString WeekdayLetter(const QString &name)
{
    if (name.isEmpty())
        return name;
    bool cjk = std::any_of(name.begin(), name.end(), [](QChar ch) { return ch.unicode() >= 0x2E80; });
    return cjk ? name.right(1) : name.left(1);
}

} // namespace

TkvCalendarLayout TkvCalendarLayout::Compute(int zeroWidth, int textHeight, int wgHeight, int fontSize,
                                             int buttonTextWidth, bool flat, bool withButtons)
{
    TkvCalendarLayout layout;
    layout.CellWidth = 3 * zeroWidth;
    layout.SideMargin = 2 * zeroWidth;
    layout.RowHeight = textHeight + 2;
    layout.CaptionHeight = textHeight + (flat ? 1 : 0) + 4;
    layout.WeekdayRowHeight = textHeight + 3;
    layout.ButtonStripHeight =
        withButtons ? int(std::lround(fontSize * 3.0 / 4 + wgHeight * 20.0 / 13 + fontSize / 2.0)) : 0;
    layout.ButtonWidth = buttonTextWidth + layout.CellWidth;
    int width = 2 * layout.SideMargin + 7 * layout.CellWidth;
    int height =
        layout.CaptionHeight + layout.WeekdayRowHeight + 2 + 6 * layout.RowHeight + layout.ButtonStripHeight;
    layout.Size = QSize(width, height);
    return layout;
}

TkvCustomCalendar::TkvCustomCalendar(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    FArrowTimer.setInterval(200);
    QObject::connect(&FArrowTimer, &QTimer::timeout, this, [this] {
        FArrowDirection < 0 ? FModel.ShowPreviousMonth() : FModel.ShowNextMonth();
        update();
    });
    FMonthListBox = new TMonthListBox(this);
    FMonthListBox->OnClosed = [this](bool chosen, int year, int month) {
        double first = 0;
        if (chosen && TryEncodeDate(year, month, 1, first))
            FModel.SetFirstDate(first);
        update();
    };
    UpdateLayout();
}

TkvCustomCalendar::~TkvCustomCalendar()
{
    // The list dies with the calendar's children, after the calendar's own parts.
    FMonthListBox->OnClosed = nullptr;
}

void TkvCustomCalendar::SetButtons(bool today, bool clear)
{
    FShowToday = today;
    FShowClear = clear;
    UpdateLayout();
}

void TkvCustomCalendar::SetFlat(bool value)
{
    FFlat = value;
    UpdateLayout();
}

void TkvCustomCalendar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateLayout();
}

void TkvCustomCalendar::UpdateLayout()
{
    QFontMetrics metrics(font());
    int buttonText = std::max(metrics.horizontalAdvance(QStringLiteral("今天")),
                              metrics.horizontalAdvance(QStringLiteral("清除")));
    int fontSize = font().pointSize() > 0 ? font().pointSize() : metrics.height() * 3 / 4;
    FLayout = TkvCalendarLayout::Compute(metrics.horizontalAdvance(u'0'), metrics.height(),
                                         metrics.boundingRect(QStringLiteral("Wg")).height(), fontSize,
                                         buttonText, FFlat, FShowToday || FShowClear);
    FModel.SetFirstWeekDay(regionalSettings().firstDayOfWeek);
    updateGeometry();
    resize(FLayout.Size);
    update();
}

QRect TkvCustomCalendar::CaptionRect() const
{
    return QRect(0, 0, FLayout.Size.width(), FLayout.CaptionHeight);
}

QRect TkvCustomCalendar::PreviousArrowRect() const
{
    return QRect(0, 0, FLayout.SideMargin + FLayout.CellWidth, FLayout.CaptionHeight);
}

QRect TkvCustomCalendar::NextArrowRect() const
{
    int width = FLayout.SideMargin + FLayout.CellWidth;
    return QRect(FLayout.Size.width() - width, 0, width, FLayout.CaptionHeight);
}

QRect TkvCustomCalendar::DayRect(int row, int column) const
{
    int top = FLayout.CaptionHeight + FLayout.WeekdayRowHeight + 2 + row * FLayout.RowHeight;
    return QRect(FLayout.SideMargin + column * FLayout.CellWidth, top, FLayout.CellWidth, FLayout.RowHeight);
}

double TkvCustomCalendar::DayAt(QPoint point) const
{
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 7; ++column)
            if (DayRect(row, column).contains(point))
                return FModel.DayAt(row, column);
    return NullDate;
}

QRect TkvCustomCalendar::TodayButtonRect() const
{
    if (!FShowToday)
        return QRect();
    int top = DayRect(5, 0).bottom() + 1 + 3;
    int count = FShowClear ? 2 : 1;
    int left = (FLayout.Size.width() - count * FLayout.ButtonWidth - (count - 1) * FLayout.CellWidth) / 2;
    return QRect(left, top, FLayout.ButtonWidth, FLayout.ButtonStripHeight - 6);
}

QRect TkvCustomCalendar::ClearButtonRect() const
{
    if (!FShowClear)
        return QRect();
    int top = DayRect(5, 0).bottom() + 1 + 3;
    int count = FShowToday ? 2 : 1;
    int left = (FLayout.Size.width() - count * FLayout.ButtonWidth - (count - 1) * FLayout.CellWidth) / 2;
    if (FShowToday)
        left += FLayout.ButtonWidth + FLayout.CellWidth;
    return QRect(left, top, FLayout.ButtonWidth, FLayout.ButtonStripHeight - 6);
}

void TkvCustomCalendar::OpenMonthList()
{
    // Seven months, each as high as the caption less 2, six cells wide.
    FMonthListBox->setFont(font());
    FMonthListBox->setPalette(palette());
    FMonthListBox->Popup(CaptionRect(), FLayout.CaptionHeight - 2, 6 * FLayout.CellWidth,
                         FModel.DisplayedYear(), FModel.DisplayedMonth());
}

void TkvCustomCalendar::Choose(double date)
{
    if (OnDateChosen)
        OnDateChosen(date);
}

void TkvCustomCalendar::ChooseByButton(double date)
{
    FChoosingByButton = true;
    try {
        Choose(date);
    } catch (...) {
        FChoosingByButton = false;
        throw;
    }
    FChoosingByButton = false;
}

void TkvCustomCalendar::ChooseToday()
{
    double today = ClockToday();
    FModel.SetSelectedDate(today);
    update();
    ChooseByButton(today);
}

void TkvCustomCalendar::ChooseClear()
{
    FModel.SetSelectedDate(NullDate);
    update();
    ChooseByButton(NullDate);
}

bool TkvCustomCalendar::HandleKey(int key, Qt::KeyboardModifiers modifiers)
{
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !MonthListOpen()) {
        Choose(FModel.SelectedDate());
        return true;
    }
    if (FModel.KeyDown(key, modifiers)) {
        update();
        return true;
    }
    return false;
}

void TkvCustomCalendar::keyPressEvent(QKeyEvent *event)
{
    if (!HandleKey(event->key(), event->modifiers()))
        QWidget::keyPressEvent(event);
}

void TkvCustomCalendar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QPoint point = event->position().toPoint();
    FDoubleClick = false;
    if (PreviousArrowRect().contains(point) || NextArrowRect().contains(point)) {
        FArrowDirection = PreviousArrowRect().contains(point) ? -1 : 1;
        FArrowDirection < 0 ? FModel.ShowPreviousMonth() : FModel.ShowNextMonth();
        FArrowTimer.start();
        update();
        return;
    }
    if (CaptionRect().contains(point)) {
        OpenMonthList();
        return;
    }
    double day = DayAt(point);
    if (day != NullDate) {
        FDraggingDays = true;
        FModel.SetSelectedDate(day);
        update();
    }
}

void TkvCustomCalendar::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
    FDoubleClick = true;
}

void TkvCustomCalendar::mouseMoveEvent(QMouseEvent *event)
{
    QPoint point = event->position().toPoint();
    if (MonthListOpen()) {
        // The button went down on the caption: while it is held the
        // calendar may still get the pointer, which belongs to the list.
        FMonthListBox->PointerAt(FMonthListBox->mapFromGlobal(event->globalPosition().toPoint()));
        return;
    }
    if (FArrowDirection != 0) {
        bool over = (FArrowDirection < 0 ? PreviousArrowRect() : NextArrowRect()).contains(point);
        if (over && !FArrowTimer.isActive())
            FArrowTimer.start();
        else if (!over)
            FArrowTimer.stop();
        return;
    }
    if (FDraggingDays && (event->buttons() & Qt::LeftButton)) {
        if (!rect().contains(point)) {
            DragLeftCalendar();
            update();
            return;
        }
        // Dragging moves the selection inside the visible grid only.
        double day = DayAt(point);
        if (day != NullDate && day >= FModel.FirstVisibleDate() && day <= FModel.LastVisibleDate()) {
            FModel.SetSelectedDate(day);
            update();
        }
    }
}

void TkvCustomCalendar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QPoint point = event->position().toPoint();
    if (MonthListOpen()) {
        FMonthListBox->PointerAt(FMonthListBox->mapFromGlobal(event->globalPosition().toPoint()));
        FMonthListBox->Release();
        return;
    }
    if (FArrowDirection != 0) {
        FArrowDirection = 0;
        FArrowTimer.stop();
        return;
    }
    bool wasDragging = FDraggingDays;
    FDraggingDays = false;
    if (TodayButtonRect().contains(point)) {
        ChooseToday();
        return;
    }
    if (ClearButtonRect().contains(point)) {
        ChooseClear();
        return;
    }
    double day = DayAt(point);
    if (wasDragging && day != NullDate && !FDoubleClick) {
        Choose(FModel.SelectedDate());
        return;
    }
    if (rect().contains(point))
        ReleasedInside();
}

void TkvCustomCalendar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const RegionalSettings &settings = regionalSettings();
    // Caption: arrows, long month name and year.
    painter.fillRect(CaptionRect(), palette().button());
    int month = FModel.DisplayedMonth();
    QString caption = (month - 1 < settings.longMonthNames.size() ? settings.longMonthNames[month - 1]
                                                                  : QString::number(month)) +
                      u' ' + QString::number(FModel.DisplayedYear());
    painter.setPen(palette().buttonText().color());
    painter.drawText(CaptionRect(), Qt::AlignCenter, caption);
    painter.drawText(PreviousArrowRect(), Qt::AlignCenter, QStringLiteral("◀"));
    painter.drawText(NextArrowRect(), Qt::AlignCenter, QStringLiteral("▶"));
    // Weekday row, from the first day of the week, and its double line.
    int weekdayTop = FLayout.CaptionHeight;
    for (int column = 0; column < 7; ++column) {
        int dayIndex = (FModel.FirstWeekDay() + column) % 7;
        QString name = dayIndex < settings.shortDayNames.size()
                           ? WeekdayLetter(settings.shortDayNames[dayIndex])
                           : QString();
        QRect cell(FLayout.SideMargin + column * FLayout.CellWidth, weekdayTop, FLayout.CellWidth - 2,
                   FLayout.WeekdayRowHeight);
        painter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, name);
    }
    int lineY = weekdayTop + FLayout.WeekdayRowHeight;
    painter.setPen(palette().dark().color());
    painter.drawLine(FLayout.SideMargin, lineY, width() - FLayout.SideMargin, lineY);
    painter.setPen(palette().light().color());
    painter.drawLine(FLayout.SideMargin, lineY + 1, width() - FLayout.SideMargin, lineY + 1);
    // The 42 days.
    double today = ClockToday();
    double selected = FModel.SelectedDate() == NullDate ? today : FModel.SelectedDate();
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 7; ++column) {
            double day = FModel.DayAt(row, column);
            QRect cell = DayRect(row, column);
            bool isSelected = day == selected;
            if (isSelected)
                painter.fillRect(cell, palette().highlight());
            QColor color = isSelected ? palette().highlightedText().color()
                           : FModel.IsInDisplayedMonth(day)
                               ? palette().text().color()
                               : palette().color(QPalette::Disabled, QPalette::Text);
            painter.setPen(color);
            DateTimeParts parts;
            if (TryDecodeDateTime(day, parts))
                painter.drawText(cell.adjusted(0, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter,
                                 QString::number(parts.day));
            if (day == today) {
                painter.setPen(kvTodayFrame);
                painter.drawRect(cell.adjusted(0, 0, -1, -1));
            }
        }
    }
    painter.setPen(palette().buttonText().color());
    if (FShowToday) {
        painter.drawRect(TodayButtonRect().adjusted(0, 0, -1, -1));
        painter.drawText(TodayButtonRect(), Qt::AlignCenter, QStringLiteral("今天"));
    }
    if (FShowClear) {
        painter.drawRect(ClearButtonRect().adjusted(0, 0, -1, -1));
        painter.drawText(ClearButtonRect(), Qt::AlignCenter, QStringLiteral("清除"));
    }
}

TkvPopupCalendar::TkvPopupCalendar(QWidget *parent) : TkvCustomCalendar(parent)
{
}

bool TkvPopupCalendar::HandleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    if (key == Qt::Key_Escape || (key == Qt::Key_F4 && !alt) ||
        (alt && (key == Qt::Key_Up || key == Qt::Key_Down))) {
        if (OnCloseRequest)
            OnCloseRequest();
        return true;
    }
    return TkvCustomCalendar::HandleKey(key, modifiers);
}

void TkvPopupCalendar::ReleasedInside()
{
    if (OnCloseRequest)
        OnCloseRequest();
}

void TkvPopupCalendar::DragLeftCalendar()
{
    Model().SetSelectedDate(EditorDate);
}

} // namespace kestrum
