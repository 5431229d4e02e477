#include "core/NumberText.h"

#include "core/RegionalSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kestrum {

namespace {

template <typename T> DecimalDigits digitsOf(T value, int significantDigits)
{
    DecimalDigits result;
    result.negative = std::signbit(value);
    if (value == 0)
        return result;
    char buffer[64];
    // Without a precision to_chars gives the shortest form that reads back.
    auto [end, ec] =
        significantDigits > 0
            ? std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific,
                            significantDigits - 1)
            : std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    (void)ec;
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    std::size_t ePos = text.find('e');
    for (char c : text.substr(0, ePos))
        if (c != '.')
            result.digits.push_back(c);
    int exponent = 0;
    std::string_view expText = text.substr(ePos + 1);
    if (!expText.empty() && expText[0] == '+')
        expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    while (result.digits.size() > 1 && result.digits.back() == '0')
        result.digits.pop_back();
    result.pointPos = exponent + 1;
    return result;
}

template <typename T> DecimalDigits shortestDigitsOf(T value)
{
    return digitsOf(value, 0);
}

QString generalText(const DecimalDigits &d, QChar decimalSeparator)
{
    if (d.digits.empty())
        return "0";
    QString out;
    if (d.negative)
        out += '-';
    const int count = static_cast<int>(d.digits.size());
    // Scientific form only where fixed form would need more than fifteen
    // integer digits or more than four leading zeros.
    if (d.pointPos > 15 || d.pointPos < -3) {
        out += QChar(d.digits[0]);
        if (count > 1) {
            out += decimalSeparator;
            out += QString::fromLatin1(d.digits.data() + 1, count - 1);
        }
        out += 'E';
        out += QString::number(d.pointPos - 1);
        return out;
    }
    if (d.pointPos <= 0) {
        out += '0';
        out += decimalSeparator;
        out += QString(-d.pointPos, '0');
        out += QString::fromLatin1(d.digits.data(), count);
        return out;
    }
    if (count <= d.pointPos) {
        out += QString::fromLatin1(d.digits.data(), count);
        out += QString(d.pointPos - count, '0');
        return out;
    }
    out += QString::fromLatin1(d.digits.data(), d.pointPos);
    out += decimalSeparator;
    out += QString::fromLatin1(d.digits.data() + d.pointPos, count - d.pointPos);
    return out;
}

template <typename T> QString specialText(T value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

} // namespace

DecimalDigits ShortestDigits(double value)
{
    return shortestDigitsOf(value);
}

QString FloatToText(double value, const RegionalSettings &settings)
{
    if (!std::isfinite(value))
        return specialText(value);
    return generalText(shortestDigitsOf(value), settings.decimalSeparator);
}

QString FloatToText(double value)
{
    return FloatToText(value, regionalSettings());
}

QString FloatToText(double value, int significantDigits)
{
    if (!std::isfinite(value))
        return specialText(value);
    return generalText(digitsOf(value, std::clamp(significantDigits, 1, 17)),
                       regionalSettings().decimalSeparator);
}

QString Float32ToText(float value)
{
    if (!std::isfinite(value))
        return specialText(value);
    return generalText(shortestDigitsOf(value), regionalSettings().decimalSeparator);
}

QString CurrencyToText(Currency value)
{
    const bool negative = value.scaled < 0;
    // Magnitude in unsigned arithmetic so the most negative value has one.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value.scaled) : static_cast<std::uint64_t>(value.scaled);
    QString out = negative ? "-" : "";
    out += QString::number(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        QString digits = QString::number(fraction).rightJustified(4, '0');
        while (digits.endsWith('0'))
            digits.chop(1);
        out += regionalSettings().decimalSeparator;
        out += digits;
    }
    return out;
}

bool DecimalToCurrency(const DecimalDigits &decimal, std::int64_t &scaled)
{
    // The integer to build is digits × 10^(pointPos + 4 - digitCount).
    const int count = static_cast<int>(decimal.digits.size());
    const int kept = decimal.pointPos + 4; // digits left of the rounding point
    std::uint64_t magnitude = 0;
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (decimal.negative ? 1 : 0);
    for (int i = 0; i < kept; ++i) {
        int digit = i < count ? decimal.digits[static_cast<std::size_t>(i)] - '0' : 0;
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / 10)
            return false;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit);
    }
    if (kept >= 0 && kept < count && decimal.digits[static_cast<std::size_t>(kept)] >= '5') {
        if (magnitude == limit)
            return false;
        ++magnitude;
    }
    scaled =
        decimal.negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

namespace {

// Reduces what a user typed to the plain ASCII form from_chars reads, or ""
// when it is no number.
std::string normalizeNumber(const QString &text, const RegionalSettings &settings)
{
    QString s = text.trimmed();
    std::string out;
    bool negative = false;
    auto takeSign = [&] {
        if (s.startsWith('-') || s.startsWith('+')) {
            negative = s.startsWith('-');
            s = s.mid(1).trimmed();
            return true;
        }
        return false;
    };
    auto takeSymbol = [&] {
        const QString &symbol = settings.currencySymbol;
        if (!symbol.isEmpty() && s.startsWith(symbol)) {
            s = s.mid(symbol.size()).trimmed();
            return true;
        }
        if (!symbol.isEmpty() && s.endsWith(symbol)) {
            s.chop(symbol.size());
            s = s.trimmed();
            return true;
        }
        return false;
    };
    bool signed_ = takeSign();
    takeSymbol();
    if (!signed_)
        takeSign();
    if (negative)
        out.push_back('-');
    qsizetype i = 0;
    bool anyDigit = false;
    // Integer part, thousand separators allowed between digits.
    while (i < s.size()) {
        QChar c = s[i];
        if (c >= '0' && c <= '9') {
            out.push_back(static_cast<char>(c.unicode()));
            anyDigit = true;
        } else if (c == settings.thousandSeparator && anyDigit && c != settings.decimalSeparator) {
            // skip
        } else {
            break;
        }
        ++i;
    }
    if (i < s.size() && s[i] == settings.decimalSeparator) {
        out.push_back('.');
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            out.push_back(static_cast<char>(s[i].unicode()));
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit)
        return {};
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        out.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            out.push_back(static_cast<char>(s[i++].unicode()));
        bool expDigit = false;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            out.push_back(static_cast<char>(s[i++].unicode()));
            expDigit = true;
        }
        if (!expDigit)
            return {};
    }
    if (i != s.size())
        return {};
    return out;
}

} // namespace

bool TryTextToFloat(const QString &text, double &value, const RegionalSettings &settings)
{
    std::string plain = normalizeNumber(text, settings);
    if (plain.empty())
        return false;
    double parsed = 0;
    auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), parsed);
    if (ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is no number we can hold.
        std::size_t ePos = plain.find('e');
        if (ePos != std::string::npos && plain[ePos + 1] == '-') {
            value = plain[0] == '-' ? -0.0 : 0.0;
            return true;
        }
        return false;
    }
    if (ec != std::errc() || end != plain.data() + plain.size())
        return false;
    value = parsed;
    return true;
}

bool TryTextToFloat(const QString &text, double &value)
{
    return TryTextToFloat(text, value, regionalSettings());
}

bool TryTextToInt64(const QString &text, std::int64_t &value)
{
    QByteArray s = text.trimmed().toLatin1();
    const char *begin = s.constData();
    const char *end = begin + s.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end)
        return false;
    std::int64_t parsed = 0;
    auto [stop, ec] = std::from_chars(begin, end, parsed);
    if (ec != std::errc() || stop != end)
        return false;
    value = parsed;
    return true;
}

bool TryTextToCurrency(const QString &text, Currency &value)
{
    std::string plain = normalizeNumber(text, regionalSettings());
    if (plain.empty())
        return false;
    // Decimal digits straight from the text: no detour through binary.
    DecimalDigits decimal;
    std::size_t i = 0;
    if (plain[i] == '-') {
        decimal.negative = true;
        ++i;
    }
    int exponent = 0;
    int pointPos = 0;
    bool seenPoint = false;
    for (; i < plain.size() && plain[i] != 'e'; ++i) {
        char c = plain[i];
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        if (decimal.digits.empty() && c == '0') {
            if (seenPoint)
                --pointPos;
            continue;
        }
        decimal.digits.push_back(c);
        if (!seenPoint)
            ++pointPos;
    }
    if (i < plain.size()) {
        auto [stop, ec] = std::from_chars(plain.data() + i + 1 + (plain[i + 1] == '+' ? 1 : 0),
                                          plain.data() + plain.size(), exponent);
        if (ec != std::errc() || exponent > 400 || exponent < -400)
            return false;
        (void)stop;
    }
    if (decimal.digits.empty()) {
        value = Currency{0};
        return true;
    }
    decimal.pointPos = pointPos + exponent;
    if (decimal.pointPos < -10) {
        value = Currency{0};
        return true;
    }
    std::int64_t scaled = 0;
    if (decimal.pointPos > 30 || !DecimalToCurrency(decimal, scaled))
        return false;
    value = Currency{scaled};
    return true;
}

QString FormatGeneral(double value)
{
    if (!std::isfinite(value))
        return FloatToText(value);
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    QString text = QString::number(value, 'g', 15);
    const qsizetype exponentAt = text.indexOf(QLatin1Char('e'));
    if (exponentAt >= 0) {
        const int exponent = text.mid(exponentAt + 1).toInt();
        text = text.left(exponentAt) + QLatin1Char('E') + QString::number(exponent);
    }
    const QChar separator = regionalSettings().decimalSeparator;
    if (separator != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), separator);
    return text;
}

double RoundToDecimals(double value, int decimals)
{
    if (!std::isfinite(value) || decimals < 0)
        return value;
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0) // 2^52: no fraction left
        return value;
    // An integer numerator over a power of ten: the division rounds once,
    // to the double nearest the decimal.
    return std::round(scaled) / scale;
}

} // namespace kestrum
