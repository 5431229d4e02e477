#pragma once
// The currency edit: a text editor for amounts that keeps its text a number
// while the user types or pastes.
#include "editors/CurrencyEditProperties.h"
#include "editors/TextEdit.h"

namespace kestrum {

//! Whether ch may be typed into text with the selection (selStart,
//! selLength) replaced by it. A "," or "." comes back as the locale's decimal
//! separator in ch (unless it is the thousands separator and that may be
//! typed). Characters below 32 always pass.
bool CurrencyEditAcceptsChar(const QString &text, int selStart, int selLength, QChar &ch,
                             const TkvCustomCurrencyEditProperties &properties);

class TkvCustomCurrencyEdit : public TkvCustomTextEdit {
public:
    TkvCustomCurrencyEdit(std::unique_ptr<TkvCustomCurrencyEditProperties> properties, bool isInplace,
                          QWidget *parent);
    ~TkvCustomCurrencyEdit() override;

    TkvCustomCurrencyEditProperties &Properties() const
    {
        return static_cast<TkvCustomCurrencyEditProperties &>(TkvCustomEdit::Properties());
    }

    //! 0 for Null and for a string that reads as no amount, else the number.
    double Value() const;
    //! Clamped into MinValue..MaxValue when they differ.
    void SetValue(double value);

protected:
    void DoKeyPress(QChar &ch) override;
    //! The text pasted as the text editor pastes it; when the result is no
    //! number the text before the paste comes back. A currency symbol and
    //! thousands separators in the pasted text (an amount copied from a
    //! display text) are dropped first.
    void PasteText(const QString &text) override;
    bool AcceptsProperties(const TkvCustomEditProperties &properties) const override;

private:
    int FFormatListener = 0;
};

class TkvCurrencyEdit : public TkvCustomCurrencyEdit {
public:
    explicit TkvCurrencyEdit(QWidget *parent = nullptr, bool isInplace = false);
    TkvCurrencyEditProperties &Properties() const
    {
        return static_cast<TkvCurrencyEditProperties &>(TkvCustomEdit::Properties());
    }
};

} // namespace kestrum
