#pragma once
// Regional settings: the formats every conversion of text to numbers and
// dates follows. One current profile per process; tests pin the built-in
// simplified-Chinese profile, the program reads the system locale at start.
#include <QCollatorSortKey>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrum {

struct RegionalSettings {
    QString shortDateFormat = "yyyy-M-d"; //!< Delphi-style pattern letters
    QChar dateSeparator = '-';
    QString longTimeFormat = "H:mm:ss";
    QChar timeSeparator = ':';
    QString timeAMString;
    QString timePMString;
    QChar decimalSeparator = '.';
    QChar thousandSeparator = ',';
    QString currencySymbol = QString::fromUtf8("￥");
    int currencyFormat = 0;         //!< 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int negativeCurrencyFormat = 2; //!< 2 "$-1"
    int currencyDecimals = 2;
    int firstDayOfWeek = 1;     //!< 0 Sunday .. 6 Saturday
    QStringList longMonthNames; //!< 12 names, January first
    QStringList shortMonthNames;
    QStringList longDayNames; //!< 7 names, Sunday first
    QStringList shortDayNames;

    static RegionalSettings simplifiedChinese();
    static RegionalSettings fromSystemLocale(); //!< falls back to simplifiedChinese()

    QString upper(const QString &text) const;
    //! Locale collation (used by the "ANSI" string sort): <0, 0, >0.
    int collate(const QString &a, const QString &b, bool caseInsensitive) const;
    //! The text's key under the same collation: two keys compare as collate
    //! compares their texts, so a long sort makes each key once instead of
    //! collating at every comparison.
    QCollatorSortKey collationKey(const QString &text, bool caseInsensitive) const;
};

//! The process-wide settings.
const RegionalSettings &regionalSettings();
//! Replaces the settings and tells every listener.
void setRegionalSettings(const RegionalSettings &settings);

using RegionalSettingsListener = std::function<void()>;
int addRegionalSettingsListener(RegionalSettingsListener listener);
void removeRegionalSettingsListener(int id);

} // namespace kestrum
