#pragma once
// Regional settings: the formats every conversion of text to numbers and
// dates follows. One current profile per process; tests pin the built-in
// simplified-Chinese profile, the program reads the system locale at start.
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <string>

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
    //! Appends the text's key under the same collation to keys and returns
    //! its length: two keys compare byte by byte (as unsigned) the way collate
    //! compares their texts, so a long sort makes each key once instead of
    //! collating at every comparison, and many keys share one buffer.
    std::size_t appendCollationKey(const QString &text, bool caseInsensitive, std::string &keys) const;
};

//! The process-wide settings.
const RegionalSettings &regionalSettings();
//! Replaces the settings and tells every listener.
void setRegionalSettings(const RegionalSettings &settings);

using RegionalSettingsListener = std::function<void()>;
int addRegionalSettingsListener(RegionalSettingsListener listener);
void removeRegionalSettingsListener(int id);

} // namespace kestrum
