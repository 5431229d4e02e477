#include "app/StatisticsText.h"

#include "core/NumberText.h"
#include "core/RegionalSettings.h"

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

QString SumToText(const Variant &value)
{
    switch (value.type()) {
    case VarType::Float32:
    case VarType::Float64:
        return FormatGeneral(value.toDouble());
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
