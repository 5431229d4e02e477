#include "editors/CalcEdit.h"

#include "core/RegionalSettings.h"
#include "editors/CalcEditFilter.h"
#include "editors/DateEditFormatController.h"

#include <QFontMetrics>
#include <QLineEdit>

#include <cmath>

namespace kestrum {

TkvCustomCalcEditProperties::TkvCustomCalcEditProperties()
{
    SetBeepOnError(true);
    SetMaxLength(FPrecision + 2);
    // A change of the number settings shows in the editor at once.
    FFormatListener = TkvFormatController::Instance().AddListener([this] { Changed(); });
}

TkvCustomCalcEditProperties::~TkvCustomCalcEditProperties()
{
    TkvFormatController::Instance().RemoveListener(FFormatListener);
}

void TkvCustomCalcEditProperties::SetPrecision(int value)
{
    value = std::clamp(value, 0, 255);
    if (value == FPrecision)
        return;
    FPrecision = value;
    SetMaxLength(value + 2);
    Changed();
}

void TkvCustomCalcEditProperties::CheckDisplayValue(QString &displayValue, QString &errorText,
                                                    TkvCustomEdit *edit, bool &error)
{
    // Typing is filtered, but the calculator writes "错误" and a lone "-" is
    // a legal start: a text that is no number must not reach the field,
    // which it would empty.
    error = !IsNumberText(displayValue);
    if (error)
        errorText = GetValidationErrorText(vekInvalidInput);
    TkvCustomMaskEditProperties::CheckDisplayValue(displayValue, errorText, edit, error);
}

bool TkvCustomCalcEditProperties::IsNumberText(const QString &displayValue)
{
    QString text = displayValue.trimmed();
    if (text.isEmpty())
        return true; // Null
    text.remove(regionalSettings().thousandSeparator);
    long double value = 0;
    return ParseCalcNumber(text, value) && std::isfinite(double(value));
}

TkvBindingValueKind TkvCustomCalcEditProperties::GetBindingValueKind(bool focused) const
{
    return focused ? bvkValue : bvkText;
}

Variant TkvCustomCalcEditProperties::DisplayToEditValue(const QString &displayValue, bool) const
{
    QString text = displayValue.trimmed();
    if (text.isEmpty())
        return Variant::null();
    text.remove(regionalSettings().thousandSeparator);
    long double value = 0;
    if (!ParseCalcNumber(text, value) || !std::isfinite(double(value)))
        return Variant(); // unassigned; validation keeps such a text from being stored
    return Variant(double(value));
}

QString TkvCustomCalcEditProperties::EditValueToDisplayText(const Variant &value, bool focused) const
{
    if (value.isNull() || value.isEmpty())
        return QString();
    if (value.isString()) {
        QString text = value.toString();
        if (text.isEmpty() || !focused)
            return text;
        long double number = 0;
        return ParseCalcNumber(text, number) ? FormatGeneralFloat(double(number), 15) : text;
    }
    try {
        return FormatGeneralFloat(value.toDouble(), 15);
    } catch (const Exception &) {
        return QString();
    }
}

std::unique_ptr<TkvCustomEdit> TkvCustomCalcEditProperties::CreateInplaceEditor() const
{
    return std::make_unique<TkvCalcEdit>(nullptr, true);
}

TkvCustomCalcEdit::TkvCustomCalcEdit(std::unique_ptr<TkvCustomCalcEditProperties> properties, bool isInplace,
                                     QWidget *parent)
    : TkvCustomPopupEdit(std::move(properties), isInplace, parent)
{
    PropertiesChanged();
}

bool TkvCustomCalcEdit::AcceptsProperties(const TkvCustomEditProperties &properties) const
{
    return dynamic_cast<const TkvCustomCalcEditProperties *>(&properties) != nullptr;
}

double TkvCustomCalcEdit::Value() const
{
    const Variant &value = EditValue();
    if (value.isNull() || value.isEmpty())
        return 0;
    if (value.isString() && value.toString().trimmed().isEmpty())
        return 0;
    // A text that is no number (the calculator's error text) raises the
    // conversion error: 0 would pass for a real amount.
    return value.toDouble();
}

void TkvCustomCalcEdit::SetValue(double value)
{
    SetEditValue(Variant(value));
}

void TkvCustomCalcEdit::DoKeyPress(QChar &ch)
{
    if (ch.unicode() >= 32 && InnerControl()) {
        if (!CalcEditAcceptsChar(InnerControl()->Text(), InnerControl()->SelStart(),
                                 InnerControl()->SelLength(), ch, Properties().Precision())) {
            ch = QChar();
            if (Properties().BeepOnError())
                Beep();
            return;
        }
    }
    TkvCustomPopupEdit::DoKeyPress(ch);
}

void TkvCustomCalcEdit::PasteText(const QString &text)
{
    if (text.isEmpty() || !MayModifyText())
        return;
    TkvCalculatorEngine engine;
    engine.SetPrecision(Properties().Precision());
    if (!engine.Paste(text)) {
        if (Properties().BeepOnError())
            Beep();
        return;
    }
    SetTextFromPopup(engine.Display());
}

TkvPopupCalculator *TkvCustomCalcEdit::Calculator()
{
    return static_cast<TkvPopupCalculator *>(PopupControl());
}

QWidget *TkvCustomCalcEdit::CreatePopupControl()
{
    auto *calculator = new TkvPopupCalculator;
    TkvCalculatorEngine &engine = calculator->Engine();
    engine.GetDisplay = [this] { return DisplayText(); };
    engine.SetDisplay = [this](const QString &text) { SetTextFromPopup(text); };
    engine.OnBeep = [] { Beep(); };
    calculator->OnCloseRequest = [this] { CloseUp(); };
    return calculator;
}

void TkvCustomCalcEdit::InitPopup()
{
    if (DisplayText() == QString::fromUtf16(kvCalcErrorText))
        SetEditValue(Variant(0.0));
    if (Properties().AutoSelect())
        SelectAll();
    else if (InnerControl())
        InnerControl()->SetSelection(int(DisplayText().size()), 0);
    TkvPopupCalculator *calculator = Calculator();
    calculator->setFont(font());
    calculator->SetQuickClose(Properties().QuickClose());
    calculator->Engine().SetPrecision(Properties().Precision());
    calculator->Engine().SetBeepOnError(Properties().BeepOnError());
    // Keys twice as high as the editor's text; rebuilding also starts the
    // arithmetic afresh with an empty memory.
    calculator->BuildLayout(2 * QFontMetrics(font()).height());
    calculator->resize(calculator->sizeHint());
}

TkvCalcEdit::TkvCalcEdit(QWidget *parent, bool isInplace)
    : TkvCustomCalcEdit(std::make_unique<TkvCalcEditProperties>(), isInplace, parent)
{
}

TkvDBCalcEdit::TkvDBCalcEdit(QWidget *parent) : TkvCalcEdit(parent)
{
    SetDataBinding(std::make_unique<TkvDBEditDataBinding>(*this));
    PropertiesChanged();
    RefreshDisplay();
}

} // namespace kestrum
