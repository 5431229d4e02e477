#include "app/StatisticsText.h"

#include "core/NumberText.h"
#include "core/RegionalSettings.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

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

QString SumToText(const Variant &value)
{
    switch (value.type()) {
    case VarType::Float32:
    case VarType::Float64:
        return FormatGeneral(RoundToDecimals(value.toDouble(), regionalSettings().currencyDecimals));
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
