#pragma once
// The single-line text editor: its edit value is the text itself. The mask,
// calculator and date edits are built on TkvCustomTextEdit.
#include "editors/CustomEdit.h"
#include "editors/TextEditProperties.h"

class QLineEdit;

namespace kestrum {

class TkvCustomTextEdit : public TkvCustomEdit {
public:
    TkvCustomTextEdit(std::unique_ptr<TkvCustomTextEditProperties> properties, bool isInplace = false,
                      QWidget *parent = nullptr);

    TkvCustomTextEditProperties &Properties() const
    {
        return static_cast<TkvCustomTextEditProperties &>(TkvCustomEdit::Properties());
    }
    //! The native single-line control.
    QLineEdit *InnerEdit() const;

    QString Text() const { return DisplayText(); }
    //! Sets the text as a value (unbound use and tests).
    void SetText(const QString &text) { SetEditValue(Variant(text)); }

    void PropertiesChanged() override;

protected:
    void DoKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    void DoKeyPress(QChar &ch) override;
    bool HandlesNavigationKey(int key, Qt::KeyboardModifiers shift) const override;
    bool ApplyTypedChar(QChar ch) override;
    QString FilterPastedText(const QString &text) const override;
    bool AcceptsProperties(const TkvCustomEditProperties &properties) const override;
    //! A drop-down editor sets this when an Enter closed its popup, so the
    //! carriage return of that Enter is dropped.
    void SetEnterClosedPopup(bool value) { FEnterClosedPopup = value; }

private:
    //! Converts the shown text when CharCase is switched.
    void ApplyNewCharCase();

    bool FEnterClosedPopup = false;
    TkvEditCharCase FAppliedCharCase = ecNormal;
};

class TkvTextEdit : public TkvCustomTextEdit {
public:
    explicit TkvTextEdit(QWidget *parent = nullptr, bool isInplace = false);
    TkvTextEdit(std::unique_ptr<TkvTextEditProperties> properties, bool isInplace, QWidget *parent);
};

} // namespace kestrum
