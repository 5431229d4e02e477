#pragma once
// The multi-line text editor.
#include "editors/CustomEdit.h"
#include "editors/TextEditProperties.h"

#include <QStringList>

class QPlainTextEdit;

namespace kestrum {

class TkvCustomMemo : public TkvCustomEdit {
public:
    TkvCustomMemo(std::unique_ptr<TkvMemoProperties> properties, bool isInplace = false,
                  QWidget *parent = nullptr);

    TkvMemoProperties &Properties() const
    {
        return static_cast<TkvMemoProperties &>(TkvCustomEdit::Properties());
    }
    QPlainTextEdit *InnerMemo() const;

    //! The text split into lines.
    QStringList Lines() const;
    void SetLines(const QStringList &lines);
    QString Text() const { return DisplayText(); }
    void SetText(const QString &text) { SetEditValue(Variant(text)); }

    void PropertiesChanged() override;

protected:
    void DoKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    void DoKeyPress(QChar &ch) override;
    bool IsModifyingKey(int key, Qt::KeyboardModifiers shift) const override;
    bool HandlesNavigationKey(int key, Qt::KeyboardModifiers shift) const override;
    bool WantsTab() const override;
    bool ApplyTypedChar(QChar ch) override;
    QString FilterPastedText(const QString &text) const override;
    bool IsMultiLine() const override { return true; }
    bool DeclinesActivationChar(QChar ch) const override;
    bool AcceptsProperties(const TkvCustomEditProperties &properties) const override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool FPassingToNative = false;
    bool FEnterIsText = true; // whether the Enter being handled types a line break
    TkvEditCharCase FAppliedCharCase = ecNormal;
};

class TkvMemo : public TkvCustomMemo {
public:
    explicit TkvMemo(QWidget *parent = nullptr, bool isInplace = false);
};

} // namespace kestrum
