#include "editors/CurrencyEdit.h"

#include "core/RegionalSettings.h"
#include "editors/DateEditFormatController.h"

#include <algorithm>

namespace kestrum {

bool CurrencyEditAcceptsChar(const QString &text, int selStart, int selLength, QChar &ch,
                             const TkvCustomCurrencyEditProperties &properties)
{
    const RegionalSettings &settings = regionalSettings();
    const bool thousands = properties.UseThousandSeparator() && ch == settings.thousandSeparator;
    if (!thousands && (ch == u',' || ch == u'.'))
        ch = settings.decimalSeparator;
    if (ch.unicode() < 32)
        return true;
    const bool allowed = (ch >= u'0' && ch <= u'9') || ch == u'+' || ch == u'-' || ch == u'E' || ch == u'e' ||
                         ch == settings.decimalSeparator || thousands;
    if (!allowed)
        return false;
    selStart = std::clamp(selStart, 0, int(text.size()));
    selLength = std::clamp(selLength, 0, int(text.size()) - selStart);
    QString result = text;
    result.remove(selStart, selLength);
    if (ch == u'-' && result.isEmpty())
        return true;
    result.insert(selStart, ch);
    const qsizetype separatorPos = result.indexOf(settings.decimalSeparator);
    if (separatorPos >= 0) {
        const qsizetype exponentPos = result.indexOf(u'E', separatorPos, Qt::CaseInsensitive);
        const qsizetype end = exponentPos >= 0 ? exponentPos : result.size();
        if (end - separatorPos - 1 > properties.DecimalPlaces())
            return false;
    }
    double number = 0;
    return TkvCustomCurrencyEditProperties::ReadNumber(result, number);
}

TkvCustomCurrencyEdit::TkvCustomCurrencyEdit(std::unique_ptr<TkvCustomCurrencyEditProperties> properties,
                                             bool isInplace, QWidget *parent)
    : TkvCustomTextEdit(std::move(properties), isInplace, parent)
{
    // A new currency pattern shows at once where the editor shows the pattern.
    FFormatListener = TkvFormatController::Instance().AddListener([this] {
        if (!Focused())
            RefreshDisplay();
    });
    PropertiesChanged();
    RefreshDisplay();
}

TkvCustomCurrencyEdit::~TkvCustomCurrencyEdit()
{
    TkvFormatController::Instance().RemoveListener(FFormatListener);
}

bool TkvCustomCurrencyEdit::AcceptsProperties(const TkvCustomEditProperties &properties) const
{
    return dynamic_cast<const TkvCustomCurrencyEditProperties *>(&properties) != nullptr;
}

double TkvCustomCurrencyEdit::Value() const
{
    return TkvCustomCurrencyEditProperties::ValueOf(EditValue());
}

void TkvCustomCurrencyEdit::SetValue(double value)
{
    const TkvCustomCurrencyEditProperties &properties = Properties();
    if (properties.MinValue() != properties.MaxValue())
        value = std::clamp(value, std::min(properties.MinValue(), properties.MaxValue()),
                           std::max(properties.MinValue(), properties.MaxValue()));
    SetEditValue(Variant(value));
}

void TkvCustomCurrencyEdit::DoKeyPress(QChar &ch)
{
    if (ch.unicode() >= 32 && InnerControl() &&
        !CurrencyEditAcceptsChar(InnerControl()->Text(), InnerControl()->SelStart(),
                                 InnerControl()->SelLength(), ch, Properties())) {
        ch = QChar();
        Beep();
        return;
    }
    TkvCustomTextEdit::DoKeyPress(ch);
}

void TkvCustomCurrencyEdit::PasteText(const QString &text)
{
    if (!InnerControl() || text.isEmpty() || !MayModifyText())
        return;
    const RegionalSettings &settings = regionalSettings();
    // An amount copied from a display text carries the symbol and the
    // thousands separators of the pattern; the number is what is meant.
    QString amount = text.trimmed();
    if (!settings.currencySymbol.isEmpty())
        amount.remove(settings.currencySymbol);
    amount.remove(settings.thousandSeparator);
    amount = amount.trimmed();

    const QString before = InnerControl()->Text();
    const int selStart = InnerControl()->SelStart();
    const int selLength = InnerControl()->SelLength();
    const bool pending = HasPendingChange();
    const bool changed = ChangedSinceEntry();
    TkvCustomTextEdit::PasteText(amount);
    double number = 0;
    const QString after = InnerControl()->Text();
    if (after == before || TkvCustomCurrencyEditProperties::ReadNumber(after, number))
        return;
    SetInternalDisplayValue(before);
    InnerControl()->SetSelection(selStart, selLength);
    SetHasPendingChange(pending);
    SetChangedSinceEntry(changed);
    if (Properties().BeepOnError())
        Beep();
}

TkvCurrencyEdit::TkvCurrencyEdit(QWidget *parent, bool isInplace)
    : TkvCustomCurrencyEdit(std::make_unique<TkvCurrencyEditProperties>(), isInplace, parent)
{
}

} // namespace kestrum
