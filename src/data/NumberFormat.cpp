#include "data/NumberFormat.h"

#include "core/MoneyFormat.h"
#include "core/RegionalSettings.h"
#include "db/NumberPattern.h"

namespace kestrum {

// Summary texts and field formats read patterns the same way; the one
// implementation lives with the fields.
QString FormatNumber(const QString &pattern, double value)
{
    return FormatNumberPattern(pattern, value);
}

QString CurrencyPattern()
{
    return currencyPattern(regionalSettings());
}

QString GetDefaultFormat(VarType valueType, TkvSummaryKind kind, bool footer)
{
    if (kind == skNone)
        return QString();
    if (kind == skCount)
        return footer ? "0" : "COUNT=0";
    QString prefix;
    switch (kind) {
    case skSum:
        prefix = footer ? "" : "SUM=";
        break;
    case skMin:
        prefix = "MIN=";
        break;
    case skMax:
        prefix = "MAX=";
        break;
    default:
        prefix = "AVG=";
        break;
    }
    if (valueType == VarType::Date)
        return prefix; // the date text follows the prefix
    QString number = valueType == VarType::Currency ? CurrencyPattern() : QString("0.00");
    return prefix + number + ";" + prefix + "-" + number;
}

} // namespace kestrum
