#pragma once
// The pocket calculator's arithmetic: a state machine over a display text.
// The calculator has no display of its own; the display is reached through
// two callbacks (the drop-down calculator uses its editor's text), and the
// engine keeps a text of its own when none are set.
#include <QString>
#include <qnamespace.h>

#include <functional>

namespace kestrum {

//! Keys in the calculator's table order; cbNone stands for no key.
enum TkvCalcButton {
    cbBack,
    cbCancelEntry,
    cbClear,
    cbMC,
    cbMR,
    cbMS,
    cbMP,
    cbNum0,
    cbNum1,
    cbNum2,
    cbNum3,
    cbNum4,
    cbNum5,
    cbNum6,
    cbNum7,
    cbNum8,
    cbNum9,
    cbSign,
    cbDecimal,
    cbDiv,
    cbMul,
    cbSub,
    cbAdd,
    cbSqrt,
    cbPercent,
    cbRev,
    cbEqual,
    cbNone,
};
inline constexpr int kvCalcButtonCount = 27;

//! entering-new, entering-number, error.
enum TkvCalcState { csFirst, csValid, csError };

//! The text the calculator shows in its error state.
extern const char16_t *const kvCalcErrorText; // "错误"

class TkvCalculatorEngine {
public:
    TkvCalculatorEngine();

    std::function<QString()> GetDisplay;
    std::function<void(const QString &)> SetDisplay;
    std::function<void()> OnBeep;

    int Precision() const { return FPrecision; }
    void SetPrecision(int value) { FPrecision = value; }
    bool BeepOnError() const { return FBeepOnError; }
    void SetBeepOnError(bool value) { FBeepOnError = value; }

    TkvCalcState State() const { return FState; }
    TkvCalcButton PendingOperator() const { return FPendingOperator; }
    double Memory() const { return FMemory; }
    bool IsButtonDisabled(TkvCalcButton button) const;

    //! Back to the start: entering-new, pending "=", memory 0.
    void Reset();
    void PerformKey(TkvCalcButton button);

    QString Display() const;
    //! The display as a number: 0 in the error state; raises the conversion
    //! error for a text that is not a number.
    double DisplayNumber() const;
    void SetDisplayNumber(double value);
    //! Clipboard text: currency symbols removed, then read as a number.
    //! False (and the display 0) when the text is no number.
    bool Paste(const QString &text);

    //! The key a typed character presses, cbNone when none.
    static TkvCalcButton ButtonForChar(QChar ch);
    //! The key a key-down presses (Enter, Esc, Delete, C, R, F9, Ctrl+L/R/M/P).
    static TkvCalcButton ButtonForKey(int key, Qt::KeyboardModifiers modifiers);

private:
    void WriteDisplay(const QString &text);
    void BeginNumber();
    void Error();
    void Beep();
    void Operator(TkvCalcButton button);
    void UpdateMemoryButtons();

    TkvCalcState FState = csFirst;
    TkvCalcButton FPendingOperator = cbEqual;
    double FOperand = 0;
    double FMemory = 0;
    int FPrecision = 13;
    bool FBeepOnError = true;
    bool FMemoryButtonsDisabled = true;
    QString FOwnDisplay = QStringLiteral("0");
};

//! The general floating format with digits significant digits: fixed when the
//! integer part has at most that many digits and the magnitude is at least
//! 0.00001, scientific otherwise; no trailing zeros ("15", "0.5", "1E20").
QString FormatGeneralFloat(double value, int digits);
//! Reads a number written with the system's decimal separator, with an
//! optional sign and exponent ("1." and ".5" read; "." and "1E" do not).
bool ParseCalcNumber(const QString &text, long double &value);

} // namespace kestrum
