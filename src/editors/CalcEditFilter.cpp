#include "editors/CalcEditFilter.h"

#include "core/RegionalSettings.h"
#include "editors/CalculatorEngine.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

bool CalcEditAcceptsChar(const QString &text, int selStart, int selLength, QChar &ch, int precision)
{
    const RegionalSettings &settings = regionalSettings();
    if (ch == u',' || ch == u'.')
        ch = settings.decimalSeparator;
    if (ch.unicode() < 32)
        return true;
    bool allowed = (ch >= u'0' && ch <= u'9') || ch == u'+' || ch == u'-' || ch == u'E' || ch == u'e' ||
                   ch == settings.decimalSeparator;
    if (!allowed)
        return false;
    selStart = std::clamp(selStart, 0, int(text.size()));
    selLength = std::clamp(selLength, 0, int(text.size()) - selStart);
    QString remaining = text;
    remaining.remove(selStart, selLength);
    if (ch == u'-' && remaining.isEmpty())
        return true;
    QString result = remaining;
    result.insert(selStart, ch);

    qsizetype separatorPos = result.indexOf(settings.decimalSeparator);
    if (separatorPos >= 0) {
        qsizetype exponentPos = result.indexOf(u'E', separatorPos, Qt::CaseInsensitive);
        qsizetype end = exponentPos >= 0 ? exponentPos : result.size();
        if (end - separatorPos - 1 > precision)
            return false;
    }
    int digits = 0;
    for (QChar c : result)
        if (c >= u'0' && c <= u'9')
            ++digits;
    if (digits > precision)
        return false;

    QString plain = result;
    plain.remove(settings.thousandSeparator);
    long double value = 0;
    if (!ParseCalcNumber(plain, value))
        return false;
    long double magnitude = std::fabs(value);
    return magnitude == 0 || (magnitude >= 5.0e-324L && magnitude <= 1.7e308L);
}

} // namespace kestrum
