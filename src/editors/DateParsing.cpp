#include "editors/DateParsing.h"

#include "core/RegionalSettings.h"
#include "editors/DateEditFormatController.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

TkvDateClock &Clock()
{
    static TkvDateClock clock;
    return clock;
}

enum DateWord {
    dwToday,
    dwYesterday,
    dwTomorrow,
    dwSunday,
    dwSaturday = dwSunday + 6,
    dwFirst,
    dwSeventh = dwFirst + 6,
    dwBom,
    dwEom,
    dwNow,
};

//! Replaces month names by their numbers so that a date typed with a name
//! (which the date mask allows) converts.
QString MonthNamesToNumbers(const QString &text)
{
    const RegionalSettings &settings = regionalSettings();
    QList<QPair<QString, int>> names;
    for (int month = 0; month < 12; ++month) {
        if (month < settings.longMonthNames.size())
            names.append({settings.longMonthNames[month], month + 1});
        if (month < settings.shortMonthNames.size())
            names.append({settings.shortMonthNames[month], month + 1});
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    QString result = text;
    for (const auto &[name, month] : names)
        if (!name.isEmpty() && result.contains(name, Qt::CaseInsensitive))
            return result.replace(name, QString::number(month), Qt::CaseInsensitive);
    return result;
}

} // namespace

void SetDateClock(TkvDateClock clock)
{
    Clock() = std::move(clock);
}

double ClockNow()
{
    return Clock() ? Clock()() : Now();
}

double ClockToday()
{
    return DateOf(ClockNow());
}

QStringList DateWords()
{
    return {QStringLiteral("今天"),   QStringLiteral("昨天"),   QStringLiteral("明天"),
            QStringLiteral("星期日"), QStringLiteral("星期一"), QStringLiteral("星期二"),
            QStringLiteral("星期三"), QStringLiteral("星期四"), QStringLiteral("星期五"),
            QStringLiteral("星期六"), QStringLiteral("第一"),   QStringLiteral("第二"),
            QStringLiteral("第三"),   QStringLiteral("第四"),   QStringLiteral("第五"),
            QStringLiteral("第六"),   QStringLiteral("第七"),   QStringLiteral("bom"),
            QStringLiteral("eom"),    QStringLiteral("now")};
}

bool ParseDateWord(const QString &text, double &date)
{
    const QString trimmed = text.trimmed();
    const QStringList words = DateWords();
    std::vector<int> order(std::size_t(words.size()));
    for (int i = 0; i < words.size(); ++i)
        order[std::size_t(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (words[a].size() != words[b].size())
            return words[a].size() > words[b].size();
        return words[a] > words[b];
    });
    int word = -1;
    for (int index : order) {
        if (trimmed.startsWith(words[index], Qt::CaseInsensitive)) {
            word = index;
            break;
        }
    }
    if (word < 0)
        return false;

    const double now = ClockNow();
    const double today = DateOf(now);
    const int weekday = DayOfWeek(today); // 1 Sunday .. 7 Saturday
    if (word == dwToday)
        date = today;
    else if (word == dwYesterday)
        date = today - 1;
    else if (word == dwTomorrow)
        date = today + 1;
    else if (word >= dwSunday && word <= dwSaturday)
        date = today + (word - dwSunday + 1 - weekday + 7) % 7;
    else if (word >= dwFirst && word <= dwSeventh)
        date = today - (weekday - 1) + (word - dwFirst);
    else if (word == dwBom || word == dwEom) {
        DateTimeParts parts = DecodeDateTime(today);
        date = EncodeDate(parts.year, parts.month, word == dwBom ? 1 : DaysInMonth(parts.year, parts.month));
    } else
        date = now;

    const QString rest = trimmed.mid(words[word].size()).trimmed();
    if (rest.size() > 1 && (rest[0] == u'+' || rest[0] == u'-')) {
        bool ok = false;
        int days = rest.mid(1).trimmed().toInt(&ok);
        // A number that would leave the calendar is ignored like any other
        // unreadable rest.
        if (ok) {
            double moved = rest[0] == u'+' ? date + days : date - days;
            DateTimeParts parts;
            if (TryDecodeDateTime(moved, parts))
                date = moved;
        }
    }
    return true;
}

double ParseDateText(const QString &text)
{
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return NullDate;
    if (regionalSettings().dateSeparator == u'.') {
        for (int replaced = 0; replaced < 2; ++replaced) {
            qsizetype dot = trimmed.indexOf(u'.');
            if (dot < 0)
                break;
            trimmed[dot] = u' ';
        }
    }
    double date = 0;
    if (ParseDateWord(trimmed, date))
        return date;
    if (TryTextToDateTime(trimmed, date) || TryTextToDateTime(MonthNamesToNumbers(trimmed), date))
        return date;
    return NullDate;
}

QString FormatDateText(double date, TkvInputKind inputKind)
{
    DateTimeParts parts;
    if (date == NullDate || !TryDecodeDateTime(date, parts))
        return QString();
    if (inputKind == ikMask)
        return FormatDateTime(TkvFormatController::Instance().MaskEditDateFormat(), date);
    return DateTimeToText(date);
}

} // namespace kestrum
