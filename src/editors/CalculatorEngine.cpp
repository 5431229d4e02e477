#include "editors/CalculatorEngine.h"

#include "core/Errors.h"
#include "core/RegionalSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrum {

const char16_t *const kvCalcErrorText = u"错误";

QString FormatGeneralFloat(double value, int digits)
{
    if (value == 0 || !std::isfinite(value))
        return QStringLiteral("0");
    digits = std::clamp(digits, 1, 17);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value);
    std::string text(buffer);
    bool negative = text[0] == '-';
    if (negative)
        text.erase(0, 1);
    std::size_t ePos = text.find('e');
    int exponent = std::atoi(text.c_str() + ePos + 1);
    std::string mantissa;
    for (std::size_t i = 0; i < ePos; ++i)
        if (text[i] != '.')
            mantissa += text[i];
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
    const QChar separator = regionalSettings().decimalSeparator;
    QString result;
    if (exponent < digits && std::fabs(value) >= 0.00001) {
        int integerDigits = exponent + 1;
        if (integerDigits <= 0) {
            result = QStringLiteral("0") + separator + QString(-integerDigits, u'0') +
                     QString::fromStdString(mantissa);
        } else if (int(mantissa.size()) <= integerDigits) {
            result = QString::fromStdString(mantissa) + QString(integerDigits - int(mantissa.size()), u'0');
        } else {
            result = QString::fromStdString(mantissa.substr(0, std::size_t(integerDigits))) + separator +
                     QString::fromStdString(mantissa.substr(std::size_t(integerDigits)));
        }
    } else {
        result = QString(QChar(mantissa[0]));
        if (mantissa.size() > 1)
            result += separator + QString::fromStdString(mantissa.substr(1));
        result += QStringLiteral("E") + QString::number(exponent);
    }
    return negative ? QStringLiteral("-") + result : result;
}

bool ParseCalcNumber(const QString &text, long double &value)
{
    const QChar separator = regionalSettings().decimalSeparator;
    QString trimmed = text.trimmed();
    std::string ascii;
    qsizetype i = 0;
    auto digitsAt = [&](qsizetype &pos) {
        qsizetype start = pos;
        while (pos < trimmed.size() && trimmed[pos] >= u'0' && trimmed[pos] <= u'9')
            ascii += char(trimmed[pos++].unicode());
        return pos - start;
    };
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-'))
        ascii += char(trimmed[i++].unicode());
    qsizetype integerDigits = digitsAt(i);
    qsizetype fractionDigits = 0;
    if (i < trimmed.size() && trimmed[i] == separator) {
        ascii += '.';
        ++i;
        fractionDigits = digitsAt(i);
    }
    if (integerDigits + fractionDigits == 0)
        return false;
    if (i < trimmed.size() && (trimmed[i] == u'E' || trimmed[i] == u'e')) {
        ascii += 'e';
        ++i;
        if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-'))
            ascii += char(trimmed[i++].unicode());
        if (digitsAt(i) == 0)
            return false;
    }
    if (i != trimmed.size())
        return false;
    char *end = nullptr;
    value = std::strtold(ascii.c_str(), &end);
    return end && *end == 0;
}

TkvCalculatorEngine::TkvCalculatorEngine() = default;

QString TkvCalculatorEngine::Display() const
{
    return GetDisplay ? GetDisplay() : FOwnDisplay;
}

void TkvCalculatorEngine::WriteDisplay(const QString &text)
{
    if (Display() == text)
        return;
    if (SetDisplay)
        SetDisplay(text);
    else
        FOwnDisplay = text;
}

double TkvCalculatorEngine::DisplayNumber() const
{
    if (FState == csError)
        return 0;
    QString text = Display().trimmed();
    if (text.isEmpty())
        return 0;
    long double value = 0;
    if (!ParseCalcNumber(text, value) || !std::isfinite(double(value)))
        throw EVariantConversionError(
            QStringLiteral("'%1' is not a valid floating point value").arg(text).toStdString());
    return double(value);
}

void TkvCalculatorEngine::SetDisplayNumber(double value)
{
    WriteDisplay(FormatGeneralFloat(value, std::max(2, FPrecision)));
}

bool TkvCalculatorEngine::IsButtonDisabled(TkvCalcButton button) const
{
    return (button == cbMC || button == cbMR) && FMemoryButtonsDisabled;
}

void TkvCalculatorEngine::Reset()
{
    FState = csFirst;
    FPendingOperator = cbEqual;
    FOperand = 0;
    FMemory = 0;
    UpdateMemoryButtons();
}

void TkvCalculatorEngine::UpdateMemoryButtons()
{
    FMemoryButtonsDisabled = FMemory == 0;
}

void TkvCalculatorEngine::Beep()
{
    if (FBeepOnError && OnBeep)
        OnBeep();
}

void TkvCalculatorEngine::Error()
{
    FState = csError;
    WriteDisplay(QString::fromUtf16(kvCalcErrorText));
    Beep();
}

void TkvCalculatorEngine::BeginNumber()
{
    if (FState != csFirst)
        return;
    FState = csValid;
    WriteDisplay(QStringLiteral("0"));
}

void TkvCalculatorEngine::Operator(TkvCalcButton button)
{
    if (FState == csValid) {
        FState = csFirst;
        double value = DisplayNumber();
        if (button == cbPercent) {
            if (FPendingOperator == cbDiv || FPendingOperator == cbMul)
                value = value / 100;
            else if (FPendingOperator == cbSub || FPendingOperator == cbAdd)
                value = FOperand * value / 100;
        }
        double result = value;
        switch (FPendingOperator) {
        case cbDiv:
            if (value == 0) {
                Error();
                return;
            }
            result = FOperand / value;
            break;
        case cbMul:
            result = FOperand * value;
            break;
        case cbSub:
            result = FOperand - value;
            break;
        case cbAdd:
            result = FOperand + value;
            break;
        default:
            break;
        }
        // An overflow is an error, never "inf" on the display.
        if (!std::isfinite(result)) {
            Error();
            return;
        }
        SetDisplayNumber(result);
    }
    FPendingOperator = button;
    FOperand = DisplayNumber();
}

void TkvCalculatorEngine::PerformKey(TkvCalcButton button)
{
    if (button == cbNone)
        return;
    if (FState == csError && button != cbCancelEntry && button != cbClear) {
        Error();
        return;
    }
    const QChar separator = regionalSettings().decimalSeparator;
    switch (button) {
    case cbDecimal:
        BeginNumber();
        if (!Display().contains(separator))
            WriteDisplay(Display() + separator);
        break;
    case cbNum0:
    case cbNum1:
    case cbNum2:
    case cbNum3:
    case cbNum4:
    case cbNum5:
    case cbNum6:
    case cbNum7:
    case cbNum8:
    case cbNum9: {
        BeginNumber();
        QString text = Display();
        if (text == QStringLiteral("0"))
            text.clear();
        // A leading "-" does not count against the digits.
        int limit = std::max(2, FPrecision) + int(text.indexOf(u'-') + 1);
        if (text.size() < limit)
            WriteDisplay(text + QChar(u'0' + (button - cbNum0)));
        else
            Beep();
        break;
    }
    case cbBack: {
        BeginNumber();
        QString text = Display();
        if (text.size() == 1 || (text.size() == 2 && text[0] == u'-'))
            WriteDisplay(QStringLiteral("0"));
        else
            WriteDisplay(text.left(text.size() - 1));
        break;
    }
    case cbSign: {
        double value = DisplayNumber();
        SetDisplayNumber(value == 0 ? 0.0 : -value);
        break;
    }
    case cbSqrt:
    case cbRev: {
        bool twoOperands = FPendingOperator == cbDiv || FPendingOperator == cbMul ||
                           FPendingOperator == cbSub || FPendingOperator == cbAdd;
        FState = twoOperands ? csValid : csFirst;
        double value = DisplayNumber();
        if (button == cbSqrt) {
            if (value < 0)
                Error();
            else
                SetDisplayNumber(std::sqrt(value));
        } else {
            if (value == 0 || !std::isfinite(1 / value))
                Error();
            else
                SetDisplayNumber(1 / value);
        }
        break;
    }
    case cbDiv:
    case cbMul:
    case cbSub:
    case cbAdd:
    case cbPercent:
    case cbEqual:
        Operator(button);
        break;
    case cbMS:
        FState = csFirst;
        FMemory = DisplayNumber();
        UpdateMemoryButtons();
        break;
    case cbMP:
        FState = csFirst;
        FMemory += DisplayNumber();
        if (!std::isfinite(FMemory))
            FMemory = 0;
        UpdateMemoryButtons();
        break;
    case cbMR:
        FState = csFirst;
        BeginNumber();
        SetDisplayNumber(FMemory);
        UpdateMemoryButtons();
        break;
    case cbMC:
        FMemory = 0;
        UpdateMemoryButtons();
        break;
    case cbCancelEntry:
    case cbClear:
        FState = csFirst;
        WriteDisplay(QStringLiteral("0"));
        FPendingOperator = cbEqual;
        break;
    case cbNone:
        break;
    }
}

bool TkvCalculatorEngine::Paste(const QString &text)
{
    QString cleaned = text;
    cleaned.remove(regionalSettings().currencySymbol);
    long double value = 0;
    if (ParseCalcNumber(cleaned.trimmed(), value) && std::isfinite(double(value))) {
        SetDisplayNumber(double(value));
        FState = csValid;
        return true;
    }
    WriteDisplay(QStringLiteral("0"));
    return false;
}

TkvCalcButton TkvCalculatorEngine::ButtonForChar(QChar ch)
{
    if (ch >= u'0' && ch <= u'9')
        return TkvCalcButton(cbNum0 + (ch.unicode() - u'0'));
    if (ch == regionalSettings().decimalSeparator)
        return cbDecimal;
    switch (ch.unicode()) {
    case u'+':
        return cbAdd;
    case u'-':
        return cbSub;
    case u'*':
        return cbMul;
    case u'/':
        return cbDiv;
    case u'%':
        return cbPercent;
    case u'=':
        return cbEqual;
    case u'@':
        return cbSqrt;
    case 8:
        return cbBack;
    default:
        return cbNone;
    }
}

TkvCalcButton TkvCalculatorEngine::ButtonForKey(int key, Qt::KeyboardModifiers modifiers)
{
    bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return cbEqual;
    case Qt::Key_Escape:
        return cbClear;
    case Qt::Key_Delete:
        return cbCancelEntry;
    case Qt::Key_Backspace:
        return cbBack;
    case Qt::Key_F9:
        return cbSign;
    case Qt::Key_C:
        return ctrl ? cbNone : cbClear;
    case Qt::Key_R:
        return ctrl ? cbMR : cbRev;
    case Qt::Key_L:
        return ctrl ? cbMC : cbNone;
    case Qt::Key_M:
        return ctrl ? cbMS : cbNone;
    case Qt::Key_P:
        return ctrl ? cbMP : cbNone;
    default:
        return cbNone;
    }
}

} // namespace kestrum
