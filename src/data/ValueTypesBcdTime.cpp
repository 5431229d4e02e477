#include "data/ValueTypesBcdTime.h"

#include "core/Errors.h"
#include "data/ValueHolders.h"
#include "data/VariantBridge.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace kestrum {

using namespace detail;

// ---------------------------------------------------------------------------
// BCD

namespace {

int BcdDigit(const TkvBcd &bcd, int index)
{
    const std::uint8_t byte = bcd.Fraction[index / 2];
    return index % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

TkvBcd BcdFromDigits(bool negative, const std::string &digits, int places)
{
    TkvBcd bcd;
    const int count = std::min<int>(int(digits.size()), 64);
    bcd.Precision = std::uint8_t(count);
    for (int i = 0; i < count; ++i) {
        const int digit = digits[i] - '0';
        bcd.Fraction[i / 2] |= std::uint8_t(i % 2 == 0 ? digit << 4 : digit);
    }
    bcd.SignSpecialPlaces = std::uint8_t((negative ? 0x80 : 0) | (places & 0x3F));
    return bcd;
}

// Integer and fraction digits without leading or trailing zeros.
void BcdParts(const TkvBcd &bcd, std::string &integer, std::string &fraction)
{
    const int places = bcd.SignSpecialPlaces & 0x3F;
    const int precision = std::min<int>(bcd.Precision, 64);
    integer.clear();
    fraction.clear();
    for (int i = 0; i < precision; ++i) {
        const char digit = char('0' + BcdDigit(bcd, i));
        if (i < precision - places) {
            if (!integer.empty() || digit != '0')
                integer += digit;
        } else {
            fraction += digit;
        }
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
}

} // namespace

TkvBcd TkvBcd::FromDouble(double value)
{
    if (!std::isfinite(value))
        throw EVariantConversionError("Invalid BCD value");
    char text[64];
    // Fifteen significant digits: what a double reliably carries.
    auto result =
        std::to_chars(text, text + sizeof(text), std::fabs(value), std::chars_format::scientific, 14);
    const std::string scientific(text, result.ptr);
    const std::size_t e = scientific.find('e');
    std::string mantissa = scientific.substr(0, e);
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    const int exponent = std::stoi(scientific.substr(e + 1));
    // mantissa d0 d1 ... d14 means d0.d1...d14 × 10^exponent.
    std::string digits;
    int places = 0;
    if (exponent >= 0) {
        digits = mantissa;
        if (int(digits.size()) < exponent + 1)
            digits.append(std::size_t(exponent + 1 - int(digits.size())), '0');
        places = int(digits.size()) - (exponent + 1);
    } else {
        digits = std::string(std::size_t(-exponent), '0') + mantissa;
        places = int(digits.size()) - 1;
    }
    while (places > 0 && digits.back() == '0') {
        digits.pop_back();
        --places;
    }
    if (places > 63) {
        digits.resize(digits.size() - std::size_t(places - 63));
        places = 63;
    }
    return BcdFromDigits(value < 0, digits, places);
}

TkvBcd TkvBcd::FromCurrency(Currency value)
{
    const bool negative = value.scaled < 0;
    std::uint64_t magnitude =
        negative ? std::uint64_t(0) - std::uint64_t(value.scaled) : std::uint64_t(value.scaled);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), '0');
    return BcdFromDigits(negative, digits, 4);
}

double TkvBcd::ToDouble() const
{
    std::string integer, fraction;
    BcdParts(*this, integer, fraction);
    std::string text = (integer.empty() ? "0" : integer) + "." + (fraction.empty() ? "0" : fraction);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return (SignSpecialPlaces & 0x80) ? -value : value;
}

int TkvBcd::Compare(const TkvBcd &a, const TkvBcd &b)
{
    std::string integerA, fractionA, integerB, fractionB;
    BcdParts(a, integerA, fractionA);
    BcdParts(b, integerB, fractionB);
    const bool zeroA = integerA.empty() && fractionA.empty();
    const bool zeroB = integerB.empty() && fractionB.empty();
    const int signA = zeroA ? 0 : ((a.SignSpecialPlaces & 0x80) ? -1 : 1);
    const int signB = zeroB ? 0 : ((b.SignSpecialPlaces & 0x80) ? -1 : 1);
    if (signA != signB)
        return signA < signB ? -1 : 1;
    int magnitude = ThreeWay(integerA.size(), integerB.size());
    if (magnitude == 0)
        magnitude = integerA.compare(integerB);
    if (magnitude == 0)
        magnitude = fractionA.compare(fractionB);
    magnitude = magnitude < 0 ? -1 : (magnitude > 0 ? 1 : 0);
    return signA < 0 ? -magnitude : magnitude;
}

const TkvFMTBcdValueType *TkvFMTBcdValueType::Instance()
{
    static const TkvFMTBcdValueType instance;
    return &instance;
}

void TkvFMTBcdValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    const TkvBcd bcd = value.type() == VarType::Currency ? TkvBcd::FromCurrency(value.toCurrency())
                                                         : TkvBcd::FromDouble(value.toDouble());
    WriteRaw(place, bcd);
}

int TkvFMTBcdValueType::Compare(const void *valueA, const void *valueB) const
{
    return TkvBcd::Compare(ReadRaw<TkvBcd>(valueA), ReadRaw<TkvBcd>(valueB));
}

Variant TkvFMTBcdValueType::GetValueAt(const void *value) const
{
    return Variant(ReadRaw<TkvBcd>(value).ToDouble());
}

void TkvFMTBcdValueType::CheckConvert(const Variant &value) const
{
    (void)TkvBcd::FromDouble(value.toDouble());
}

// ---------------------------------------------------------------------------
// SQL time stamps

namespace {

// Days since 1970-01-01 for a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = std::int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

constexpr std::int64_t DelphiEpochOffset = 25569; // days from 1899-12-30 to 1970-01-01

} // namespace

TkvSQLTimeStamp TkvSQLTimeStamp::FromDateTime(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        throw EVariantConversionError("Invalid date-time value");
    // The whole part is the day; the fraction's magnitude is the time of day,
    // also for dates before 1899-12-30.
    const double whole = std::trunc(days);
    std::int64_t milliseconds = std::llround(std::fabs(days - whole) * 86400000.0);
    std::int64_t day = std::int64_t(whole);
    if (milliseconds >= 86400000) {
        milliseconds -= 86400000;
        day += days < 0 ? -1 : 1;
    }
    std::int64_t year;
    unsigned month, dayOfMonth;
    CivilFromDays(day - DelphiEpochOffset, year, month, dayOfMonth);
    TkvSQLTimeStamp stamp;
    stamp.Year = std::int16_t(year);
    stamp.Month = std::uint16_t(month);
    stamp.Day = std::uint16_t(dayOfMonth);
    stamp.Hour = std::uint16_t(milliseconds / 3600000);
    stamp.Minute = std::uint16_t(milliseconds / 60000 % 60);
    stamp.Second = std::uint16_t(milliseconds / 1000 % 60);
    stamp.Fractions = std::uint32_t(milliseconds % 1000);
    return stamp;
}

double TkvSQLTimeStamp::ToDateTime() const
{
    const std::int64_t day = DaysFromCivil(Year, Month, Day) + DelphiEpochOffset;
    const double time = (Hour * 3600000.0 + Minute * 60000.0 + Second * 1000.0 + Fractions) / 86400000.0;
    return day < 0 ? double(day) - time : double(day) + time;
}

int TkvSQLTimeStamp::Compare(const TkvSQLTimeStamp &a, const TkvSQLTimeStamp &b)
{
    if (int r = ThreeWay(a.Year, b.Year))
        return r;
    if (int r = ThreeWay(a.Month, b.Month))
        return r;
    if (int r = ThreeWay(a.Day, b.Day))
        return r;
    if (int r = ThreeWay(a.Hour, b.Hour))
        return r;
    if (int r = ThreeWay(a.Minute, b.Minute))
        return r;
    if (int r = ThreeWay(a.Second, b.Second))
        return r;
    return ThreeWay(a.Fractions, b.Fractions);
}

const TkvSQLTimeStampValueType *TkvSQLTimeStampValueType::Instance()
{
    static const TkvSQLTimeStampValueType instance;
    return &instance;
}

void TkvSQLTimeStampValueType::SetValue(std::byte *place, const Variant &value, TkvValueHeap &) const
{
    WriteRaw(place, TkvSQLTimeStamp::FromDateTime(value.toDate()));
}

int TkvSQLTimeStampValueType::Compare(const void *valueA, const void *valueB) const
{
    return TkvSQLTimeStamp::Compare(ReadRaw<TkvSQLTimeStamp>(valueA), ReadRaw<TkvSQLTimeStamp>(valueB));
}

Variant TkvSQLTimeStampValueType::GetValueAt(const void *value) const
{
    return Variant::fromDate(ReadRaw<TkvSQLTimeStamp>(value).ToDateTime());
}

void TkvSQLTimeStampValueType::CheckConvert(const Variant &value) const
{
    (void)TkvSQLTimeStamp::FromDateTime(value.toDate());
}

} // namespace kestrum
