#include "editors/TextEdit.h"

#include "editors/InnerControls.h"

#include <QHBoxLayout>

namespace kestrum {

TkvCustomTextEdit::TkvCustomTextEdit(std::unique_ptr<TkvCustomTextEditProperties> properties, bool isInplace,
                                     QWidget *parent)
    : TkvCustomEdit(std::move(properties), isInplace, parent)
{
    auto *inner = new TkvInnerLineEdit(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(inner);
    QObject::connect(inner, &QLineEdit::textChanged, this, [this] { InnerTextChanged(); });
    SetInnerControl(inner);
    resize(121, 21);
}

QLineEdit *TkvCustomTextEdit::InnerEdit() const
{
    return static_cast<TkvInnerLineEdit *>(InnerControl());
}

bool TkvCustomTextEdit::AcceptsProperties(const TkvCustomEditProperties &properties) const
{
    return dynamic_cast<const TkvCustomTextEditProperties *>(&properties) != nullptr;
}

void TkvCustomTextEdit::PropertiesChanged()
{
    TkvCustomEdit::PropertiesChanged();
    if (!InnerControl())
        return;
    const TkvCustomTextEditProperties &properties = Properties();
    InnerControl()->SetMaxLength(properties.EffectiveMaxLength());
    InnerControl()->SetPassword(properties.EchoMode() == eemPassword);
    InnerControl()->SetHideSelection(properties.HideSelection());
    InnerControl()->SetOEMConvert(properties.OEMConvert());
    ApplyNewCharCase();
}

void TkvCustomTextEdit::ApplyNewCharCase()
{
    const TkvCustomTextEditProperties &properties = Properties();
    if (properties.CharCase() == FAppliedCharCase)
        return;
    FAppliedCharCase = properties.CharCase();
    // As a native edit given the case style: the text already there follows it.
    if (properties.CharCase() != ecNormal)
        ReshapeShownText(properties.ApplyCharCase(InnerControl()->Text()));
}

bool TkvCustomTextEdit::HandlesNavigationKey(int key, Qt::KeyboardModifiers) const
{
    return key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Left || key == Qt::Key_Right;
}

void TkvCustomTextEdit::DoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TkvCustomEdit::DoKeyDown(key, shift);
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && !shift.testFlag(Qt::ShiftModifier) &&
        InnerControl() && InnerControl()->SelLength() > 0) {
        // A selection collapses to the side the arrow points at before the caret moves on.
        int start = InnerControl()->SelStart();
        int end = start + InnerControl()->SelLength();
        InnerControl()->SetSelection(key == Qt::Key_Left ? start : end, 0);
        key = 0;
    }
}

void TkvCustomTextEdit::DoKeyPress(QChar &ch)
{
    TkvCustomEdit::DoKeyPress(ch);
    if (ch == QChar(u'\t')) {
        ch = QChar();
    } else if (ch == QChar(u'\r')) {
        bool beep = !IsInplace() && BeepOnEnter() && !FEnterClosedPopup;
        FEnterClosedPopup = false;
        ch = QChar();
        // A native single-line control answers a carriage return with the beep.
        if (beep)
            Beep();
    }
}

bool TkvCustomTextEdit::ApplyTypedChar(QChar ch)
{
    if (!InnerControl())
        return false;
    QString text = Properties().ApplyCharCase(QString(ch));
    WithClearingGuard([&] { InnerControl()->InsertText(text); });
    return true;
}

QString TkvCustomTextEdit::FilterPastedText(const QString &text) const
{
    return Properties().ApplyCharCase(TkvCustomEdit::FilterPastedText(text));
}

TkvTextEdit::TkvTextEdit(QWidget *parent, bool isInplace)
    : TkvTextEdit(std::make_unique<TkvTextEditProperties>(), isInplace, parent)
{
}

TkvTextEdit::TkvTextEdit(std::unique_ptr<TkvTextEditProperties> properties, bool isInplace, QWidget *parent)
    : TkvCustomTextEdit(std::move(properties), isInplace, parent)
{
}

} // namespace kestrum
