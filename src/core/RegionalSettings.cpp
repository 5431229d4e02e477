#include "core/RegionalSettings.h"

#include <QCollator>
#include <QLocale>

#include <unicode/ucol.h>

#include <map>
#include <vector>

namespace kestrum {

namespace {

QStringList fromUtf8List(std::initializer_list<const char *> items)
{
    QStringList result;
    for (const char *item : items)
        result << QString::fromUtf8(item);
    return result;
}

// Translates a Qt date/time pattern into the pattern letters the formatter
// understands; the two agree except for the AM/PM marker.
QString fromQtPattern(const QString &pattern)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        QChar c = pattern[i];
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && (c == 'A' || c == 'a')) {
            if (i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p'))
                ++i;
            result += "AMPM";
        } else if (!quoted && c == 't') {
            continue; // time zone: not part of a typed time
        } else {
            result += c;
        }
    }
    return result.trimmed();
}

QChar firstSeparator(const QString &pattern, QChar fallback)
{
    bool quoted = false;
    for (QChar c : pattern) {
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !c.isLetter() && !c.isSpace())
            return c;
    }
    return fallback;
}

struct Listeners {
    std::map<int, RegionalSettingsListener> byId;
    int nextId = 1;
};

Listeners &listeners()
{
    static Listeners instance;
    return instance;
}

RegionalSettings &current()
{
    static RegionalSettings instance = RegionalSettings::simplifiedChinese();
    return instance;
}

QCollator &chineseCollator(Qt::CaseSensitivity sensitivity)
{
    static QCollator sensitive = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    static QCollator insensitive = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return sensitivity == Qt::CaseSensitive ? sensitive : insensitive;
}

//! The collation of chineseCollator, for its keys: set up as QCollator sets
//! up its collator, which the tests hold the keys' order against.
const UCollator *chineseIcuCollator(bool caseInsensitive)
{
    struct Collator {
        UCollator *Handle = nullptr;
        explicit Collator(bool insensitive)
        {
            UErrorCode status = U_ZERO_ERROR;
            const QByteArray name =
                QLocale(QLocale::Chinese, QLocale::China).bcp47Name().replace('-', '_').toLatin1();
            Handle = ucol_open(name.constData(), &status);
            ucol_setAttribute(Handle, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
            ucol_setAttribute(Handle, UCOL_STRENGTH, insensitive ? UCOL_SECONDARY : UCOL_DEFAULT_STRENGTH,
                              &status);
            ucol_setAttribute(Handle, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
            ucol_setAttribute(Handle, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        }
        ~Collator() { ucol_close(Handle); }
    };
    static const Collator sensitive(false);
    static const Collator insensitive(true);
    return caseInsensitive ? insensitive.Handle : sensitive.Handle;
}

} // namespace

RegionalSettings RegionalSettings::simplifiedChinese()
{
    RegionalSettings s;
    s.shortDateFormat = "yyyy-M-d";
    s.dateSeparator = '-';
    s.longTimeFormat = "H:mm:ss";
    s.timeSeparator = ':';
    s.timeAMString = QString::fromUtf8("上午");
    s.timePMString = QString::fromUtf8("下午");
    s.decimalSeparator = '.';
    s.thousandSeparator = ',';
    s.currencySymbol = QString::fromUtf8("￥");
    s.currencyFormat = 0;
    s.negativeCurrencyFormat = 2;
    s.currencyDecimals = 2;
    s.firstDayOfWeek = 1;
    s.longMonthNames = fromUtf8List(
        {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "十二月"});
    s.shortMonthNames = s.longMonthNames;
    s.longDayNames = fromUtf8List({"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"});
    s.shortDayNames = fromUtf8List({"日", "一", "二", "三", "四", "五", "六"});
    return s;
}

RegionalSettings RegionalSettings::fromSystemLocale()
{
    QLocale locale = QLocale::system();
    // The C locale carries no regional choices of the user; the ledger is
    // made for a Chinese desktop, so that is the profile to fall back to.
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return simplifiedChinese();
    RegionalSettings s = simplifiedChinese();
    QString datePattern = fromQtPattern(locale.dateFormat(QLocale::ShortFormat));
    // A pattern without all three numeric parts cannot be typed back in.
    if (!datePattern.contains('y') || !datePattern.contains('M') || !datePattern.contains('d') ||
        datePattern.contains("MMM"))
        return s;
    s.shortDateFormat = datePattern;
    s.dateSeparator = firstSeparator(datePattern, '-');
    s.longTimeFormat = fromQtPattern(locale.timeFormat(QLocale::ShortFormat));
    if (!s.longTimeFormat.contains("ss"))
        s.longTimeFormat = fromQtPattern(locale.timeFormat(QLocale::LongFormat)).section(' ', 0, 0);
    s.timeSeparator = firstSeparator(s.longTimeFormat, ':');
    s.timeAMString = locale.amText();
    s.timePMString = locale.pmText();
    QString decimal = locale.decimalPoint();
    QString group = locale.groupSeparator();
    if (decimal.size() == 1)
        s.decimalSeparator = decimal[0];
    if (group.size() == 1)
        s.thousandSeparator = group[0];
    s.currencySymbol = locale.currencySymbol();
    QString sample = locale.toCurrencyString(1.0);
    int symbolAt = sample.indexOf(s.currencySymbol);
    bool symbolFirst = symbolAt == 0;
    bool spaced = sample.contains(' ') || sample.contains(QChar(0xA0));
    s.currencyFormat = (symbolFirst ? 0 : 1) + (spaced ? 2 : 0);
    s.firstDayOfWeek = static_cast<int>(locale.firstDayOfWeek()) % 7;
    s.longMonthNames.clear();
    s.shortMonthNames.clear();
    for (int month = 1; month <= 12; ++month) {
        s.longMonthNames << locale.monthName(month, QLocale::LongFormat);
        s.shortMonthNames << locale.monthName(month, QLocale::ShortFormat);
    }
    s.longDayNames.clear();
    s.shortDayNames.clear();
    for (int day = 0; day < 7; ++day) {
        int qtDay = day == 0 ? 7 : day; // Qt counts Monday = 1 .. Sunday = 7
        s.longDayNames << locale.dayName(qtDay, QLocale::LongFormat);
        s.shortDayNames << locale.dayName(qtDay, QLocale::ShortFormat);
    }
    return s;
}

QString RegionalSettings::upper(const QString &text) const
{
    return text.toUpper();
}

int RegionalSettings::collate(const QString &a, const QString &b, bool caseInsensitive) const
{
    int result = chineseCollator(caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive).compare(a, b);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

std::size_t RegionalSettings::appendCollationKey(const QString &text, bool caseInsensitive,
                                                 std::string &keys) const
{
    // The collator compares an empty text below every other one, even one of
    // characters the collation ignores: a leading byte keeps that apart.
    const std::size_t start = keys.size();
    keys.push_back(text.isEmpty() ? '\1' : '\2');
    if (!text.isEmpty()) {
        const UCollator *collator = chineseIcuCollator(caseInsensitive);
        const auto *units = reinterpret_cast<const UChar *>(text.utf16());
        std::size_t room = std::size_t(text.size()) * 4 + 16;
        for (;;) {
            keys.resize(start + 1 + room);
            // The key ends with a zero byte, which is not part of it.
            const int32_t length =
                ucol_getSortKey(collator, units, int32_t(text.size()),
                                reinterpret_cast<uint8_t *>(keys.data() + start + 1), int32_t(room));
            if (std::size_t(length) <= room) {
                keys.resize(start + 1 + std::size_t(length > 0 ? length - 1 : 0));
                break;
            }
            room = std::size_t(length);
        }
    }
    return keys.size() - start;
}

const RegionalSettings &regionalSettings()
{
    return current();
}

void setRegionalSettings(const RegionalSettings &settings)
{
    current() = settings;
    // A listener may remove itself (or others) while being told.
    std::vector<int> ids;
    for (const auto &entry : listeners().byId)
        ids.push_back(entry.first);
    for (int id : ids) {
        auto it = listeners().byId.find(id);
        if (it != listeners().byId.end()) {
            RegionalSettingsListener listener = it->second;
            listener();
        }
    }
}

int addRegionalSettingsListener(RegionalSettingsListener listener)
{
    int id = listeners().nextId++;
    listeners().byId.emplace(id, std::move(listener));
    return id;
}

void removeRegionalSettingsListener(int id)
{
    listeners().byId.erase(id);
}

} // namespace kestrum
