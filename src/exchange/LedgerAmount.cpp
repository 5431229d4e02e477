#include "exchange/LedgerAmount.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace kestrum::exchange {

namespace {

//! Past this, cents in a double are no longer exact enough to compare by.
constexpr double CentsLimit = 1e11;

} // namespace

void AppendCents(std::string &out, std::int64_t cents)
{
    if (cents < 0)
        out += '-';
    const std::uint64_t magnitude = cents < 0 ? 0 - std::uint64_t(cents) : std::uint64_t(cents);
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, magnitude / 100).ptr;
    out.append(text, end);
    out += '.';
    out += char('0' + magnitude % 100 / 10);
    out += char('0' + magnitude % 10);
}

bool WholeCents(double amount, std::int64_t &cents)
{
    if (!(std::fabs(amount) < CentsLimit))
        return false;
    cents = std::llround(amount * 100.0);
    // The double nearest to cents / 100 is what reading "x.yy" gives back.
    return double(cents) / 100.0 == amount;
}

bool AppendLedgerAmount(std::string &out, double amount)
{
    if (!std::isfinite(amount))
        return false;
    std::int64_t cents = 0;
    if (WholeCents(amount, cents)) {
        AppendCents(out, cents);
        return true;
    }
    // The fewest digits that read back to this double, never an exponent.
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, amount, std::chars_format::fixed);
    if (written.ec != std::errc())
        return false;
    out.append(text, written.ptr);
    return true;
}

bool ParseLedgerAmount(std::string_view text, double &amount)
{
    std::size_t at = text.starts_with('-') ? 1 : 0;
    const std::size_t wholeStart = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        ++at;
    if (at == wholeStart)
        return false;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fractionStart = ++at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
        if (at == fractionStart)
            return false;
    }
    if (at != text.size())
        return false;
    const auto read =
        std::from_chars(text.data(), text.data() + text.size(), amount, std::chars_format::fixed);
    return read.ec == std::errc() && read.ptr == text.data() + text.size() && std::isfinite(amount);
}

void AppendAmountKey(std::string &key, double amount)
{
    if (std::fabs(amount) < CentsLimit) {
        const double hundredths = amount * 100.0;
        const double cents = std::nearbyint(hundredths);
        // A few units in the last place: what sums of decimals leave behind.
        if (std::fabs(hundredths - cents) <= 4e-15 * std::max(1.0, std::fabs(hundredths))) {
            char text[24];
            key.append(text, std::to_chars(text, text + sizeof text, std::int64_t(cents)).ptr);
            return;
        }
    }
    key += '~';
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, amount);
    key.append(text, written.ec == std::errc() ? written.ptr : text);
}

namespace {

//! `text` without the zeros that end its decimals, nor a bare point.
std::string_view WithoutTrailingZeros(std::string_view text)
{
    if (text.find('.') == std::string_view::npos)
        return text;
    while (text.ends_with('0'))
        text.remove_suffix(1);
    if (text.ends_with('.'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool AppendDecimalAmount(std::string &out, std::string_view decimal)
{
    double amount = 0;
    if (!ParseLedgerAmount(decimal, amount))
        return false;
    // Written as a file writes the double when the double is this decimal,
    // so that a server's export reads as a file's; else every digit.
    std::string asFile;
    if (AppendLedgerAmount(asFile, amount) && WithoutTrailingZeros(asFile) == WithoutTrailingZeros(decimal)) {
        out += asFile;
        return true;
    }
    const std::string_view exact = WithoutTrailingZeros(decimal);
    out.append(exact);
    // "-0.0000" has no digits left that say it is below nothing.
    if (exact == "-0")
        out.erase(out.size() - 2, 1);
    return true;
}

double ServerAmount(double amount)
{
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, amount, std::chars_format::fixed);
    if (written.ec != std::errc())
        return amount;
    std::string digits(text, written.ptr);
    const std::size_t point = digits.find('.');
    if (point == std::string::npos || digits.size() - point - 1 <= std::size_t(ServerDecimals))
        return amount;
    // The server rounds the decimal it is given half away from zero.
    const bool up = digits[point + 1 + std::size_t(ServerDecimals)] >= '5';
    digits.resize(point + 1 + std::size_t(ServerDecimals));
    if (up) {
        std::size_t at = digits.size();
        for (;;) {
            if (at == 0 || digits[at - 1] == '-') {
                digits.insert(at, 1, '1');
                break;
            }
            --at;
            if (digits[at] == '.')
                continue;
            if (digits[at] != '9') {
                ++digits[at];
                break;
            }
            digits[at] = '0';
        }
    }
    double rounded = amount;
    std::from_chars(digits.data(), digits.data() + digits.size(), rounded, std::chars_format::fixed);
    return rounded;
}

} // namespace kestrum::exchange
