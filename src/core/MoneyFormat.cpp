#include "core/MoneyFormat.h"

#include "core/NumberText.h"
#include "core/RegionalSettings.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace kestrum {

namespace {

QString groupThousands(QString integral, QChar separator)
{
    for (qsizetype at = integral.size() - 3; at > 0; at -= 3)
        integral.insert(at, separator);
    return integral;
}

//! "1,234" and "50" become "1,234.50"; no separator without decimals.
QString joinDecimals(const QString &integral, const QString &fraction, const RegionalSettings &settings)
{
    const QString grouped = groupThousands(integral, settings.thousandSeparator);
    return fraction.isEmpty() ? grouped : grouped + settings.decimalSeparator + fraction;
}

//! Adds one to a string of decimal digits; "99" becomes "100".
void incrementDigits(std::string &digits)
{
    for (auto at = digits.rbegin(); at != digits.rend(); ++at) {
        if (*at != '9') {
            ++*at;
            return;
        }
        *at = '0';
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

QString quotedCurrencySymbol(const RegionalSettings &settings)
{
    QString quoted;
    for (QChar c : settings.currencySymbol) {
        if (c == u',' || c == u'.')
            quoted += u'\'' + QString(c) + u'\'';
        else
            quoted += c;
    }
    return quoted;
}

QString currencyPattern(const RegionalSettings &settings)
{
    const QString number = QStringLiteral(",0.") + QString(std::max(0, settings.currencyDecimals), u'0');
    const QString symbol = quotedCurrencySymbol(settings);
    switch (settings.currencyFormat) {
    case 1:
        return number + symbol;
    case 2:
        return symbol + u' ' + number;
    case 3:
        return number + u' ' + symbol;
    default:
        return symbol + number;
    }
}

QString currencyDisplayFormat(const RegionalSettings &settings)
{
    const QString pattern = currencyPattern(settings);
    return pattern + QStringLiteral(";-") + pattern;
}

QString placeCurrency(const QString &digits, bool negative, const RegionalSettings &settings)
{
    const QString &symbol = settings.currencySymbol;
    if (negative && settings.negativeCurrencyFormat == 2)
        return symbol + u'-' + digits;
    QString text;
    switch (settings.currencyFormat) {
    case 1:
        text = digits + symbol;
        break;
    case 2:
        text = symbol + u' ' + digits;
        break;
    case 3:
        text = digits + u' ' + symbol;
        break;
    default:
        text = symbol + digits;
        break;
    }
    return negative ? u'-' + text : text;
}

QString formatMoneyUnits(std::int64_t units, int decimals, const RegionalSettings &settings)
{
    decimals = std::max(0, decimals);
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    // The magnitude as unsigned: the most negative amount has no positive twin.
    const std::uint64_t magnitude =
        units < 0 ? std::uint64_t(0) - std::uint64_t(units) : std::uint64_t(units);
    const QString fraction = decimals > 0
                                 ? QStringLiteral("%1").arg(magnitude % scale, decimals, 10, QLatin1Char('0'))
                                 : QString();
    return placeCurrency(joinDecimals(QString::number(magnitude / scale), fraction, settings), units < 0,
                         settings);
}

QString formatMoney(double value, const RegionalSettings &settings)
{
    if (!std::isfinite(value))
        return FloatToText(value, settings);
    const int decimals = std::max(0, settings.currencyDecimals);
    // value = 0.d1d2d3... x 10^pointPos; split into integral and fraction digits.
    const DecimalDigits decimal = ShortestDigits(value);
    const int pointPos = decimal.pointPos;
    std::string integral, fraction;
    if (pointPos > 0) {
        integral = decimal.digits.substr(0, std::size_t(pointPos));
        integral.resize(std::size_t(pointPos), '0');
        if (decimal.digits.size() > std::size_t(pointPos))
            fraction = decimal.digits.substr(std::size_t(pointPos));
    } else {
        integral = "0";
        fraction = std::string(std::size_t(-pointPos), '0') + decimal.digits;
    }
    const bool roundUp = fraction.size() > std::size_t(decimals) && fraction[std::size_t(decimals)] >= '5';
    fraction.resize(std::size_t(decimals), '0');
    if (roundUp) {
        std::string all = integral + fraction;
        incrementDigits(all);
        integral = all.substr(0, all.size() - fraction.size());
        fraction = all.substr(all.size() - fraction.size());
    }
    const bool zero = integral.find_first_not_of('0') == std::string::npos &&
                      fraction.find_first_not_of('0') == std::string::npos;
    return placeCurrency(
        joinDecimals(QString::fromStdString(integral), QString::fromStdString(fraction), settings),
        decimal.negative && !zero, settings);
}

} // namespace kestrum
