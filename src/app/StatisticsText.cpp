#include "app/StatisticsText.h"

#include "core/MoneyFormat.h"
#include "core/NumberText.h"
#include "core/RegionalSettings.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

//! Digits after the decimal separator of a label's text; -1 for a text in
//! exponent form, whose decimals do not say its precision.
int DecimalsOf(const QString &text)
{
    if (text.contains(QLatin1Char('E'), Qt::CaseInsensitive))
        return -1;
    const qsizetype separator = text.indexOf(regionalSettings().decimalSeparator);
    return separator < 0 ? 0 : int(text.size() - separator - 1);
}

} // namespace

QString SurplusText(const QString &incomeText, const QString &expenseText)
{
    const double income = LabelTextToFloat(incomeText);
    const double expense = LabelTextToFloat(expenseText);
    const int incomeDecimals = DecimalsOf(incomeText), expenseDecimals = DecimalsOf(expenseText);
    double surplus = income - expense;
    if (incomeDecimals >= 0 && expenseDecimals >= 0)
        surplus = RoundToDecimals(surplus, std::max(incomeDecimals, expenseDecimals));
    return FormatGeneral(surplus);
}

namespace {

//! The decimals an amount is stored with: the currency type's four.
const int AmountDecimals = 4;

std::int64_t PowerOfTen(int exponent)
{
    std::int64_t power = 1;
    for (int i = 0; i < exponent; ++i)
        power *= 10;
    return power;
}

int CurrencyDecimals()
{
    // More than four would leave no room for the amounts of a real ledger.
    return std::clamp(regionalSettings().currencyDecimals, 0, 4);
}

[[noreturn]] void RaiseTooLarge(const Variant &value)
{
    throw EConvertError("'" + value.toString().toStdString() + "' is too large for an amount");
}

} // namespace

TCents SumToCents(const Variant &value)
{
    const int decimals = CurrencyDecimals();
    const std::int64_t scale = PowerOfTen(decimals);
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
        return 0;
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
    case VarType::UInt8:
    case VarType::UInt16:
    case VarType::UInt32: {
        TCents cents = 0;
        if (__builtin_mul_overflow(value.toInt64(), scale, &cents))
            RaiseTooLarge(value);
        return cents;
    }
    case VarType::Currency: {
        // Four decimals down to the currency's, half away from zero.
        const std::int64_t scaled = value.toCurrency().scaled;
        const std::int64_t divisor = PowerOfTen(4 - decimals);
        const std::int64_t half = divisor / 2;
        return divisor == 1 ? scaled : (scaled >= 0 ? (scaled + half) / divisor : (scaled - half) / divisor);
    }
    default: {
        double number = 0;
        if (value.type() == VarType::Float32 || value.type() == VarType::Float64)
            number = value.toDouble();
        else if (!TryTextToFloat(value.toString(), number, regionalSettings()))
            throw EConvertError("'" + value.toString().toStdString() +
                                "' is not a valid floating point value");
        // First to the four decimals an amount holds (the double's binary
        // noise goes: 1.005 is 10050 units, not 100.4999... cents), then half
        // away from zero to the currency's, as the grid's footer rounds it.
        const double units = std::round(number * 10000.0);
        if (!std::isfinite(units) || std::fabs(units) >= 9.2e18)
            RaiseTooLarge(value);
        const std::int64_t divisor = PowerOfTen(4 - decimals);
        const std::int64_t half = divisor / 2;
        const std::int64_t scaledUnits = std::int64_t(units);
        return divisor == 1
                   ? scaledUnits
                   : (scaledUnits >= 0 ? (scaledUnits + half) / divisor : (scaledUnits - half) / divisor);
    }
    }
}

double CentsToDouble(TCents amount)
{
    return double(amount) / double(PowerOfTen(CurrencyDecimals()));
}

QString CentsToText(TCents amount)
{
    return FormatGeneral(CentsToDouble(amount));
}

QString CentsToCurrencyText(TCents amount)
{
    return formatMoneyUnits(amount, CurrencyDecimals(), regionalSettings());
}

QString SumToText(const Variant &value)
{
    switch (value.type()) {
    case VarType::Float32:
    case VarType::Float64:
        // Every decimal an amount may hold (four) stays: a sub-cent total
        // reads as it is (10.125), the same figure the grid's footer formats.
        // Only the binary noise of a sum past those decimals goes.
        return FormatGeneral(RoundToDecimals(value.toDouble(), AmountDecimals));
    case VarType::Currency:
        return CurrencyToText(value.toCurrency());
    default:
        return value.toString();
    }
}

double LabelTextToFloat(const QString &text)
{
    double value = 0;
    if (!TryTextToFloat(text, value, regionalSettings()))
        throw EConvertError("'" + text.toStdString() + "' is not a valid floating point value");
    return value;
}

} // namespace kestrum
