#include "editors/Memo.h"

#include "editors/InnerControls.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>

namespace kestrum {

namespace {

bool IsEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TkvCustomMemo::TkvCustomMemo(std::unique_ptr<TkvMemoProperties> properties, bool isInplace, QWidget *parent)
    : TkvCustomEdit(std::move(properties), isInplace, parent)
{
    auto *inner = new TkvInnerMemo(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(inner);
    QObject::connect(inner, &QPlainTextEdit::textChanged, this, [this] { InnerTextChanged(); });
    SetInnerControl(inner);
    resize(185, 89);
}

QPlainTextEdit *TkvCustomMemo::InnerMemo() const
{
    return static_cast<TkvInnerMemo *>(InnerControl());
}

QStringList TkvCustomMemo::Lines() const
{
    QString text = DisplayText();
    if (text.isEmpty())
        return {};
    return text.split(u'\n');
}

void TkvCustomMemo::SetLines(const QStringList &lines)
{
    SetText(lines.join(u'\n'));
}

bool TkvCustomMemo::AcceptsProperties(const TkvCustomEditProperties &properties) const
{
    return dynamic_cast<const TkvMemoProperties *>(&properties) != nullptr;
}

void TkvCustomMemo::PropertiesChanged()
{
    TkvCustomEdit::PropertiesChanged();
    if (!InnerControl())
        return;
    const TkvMemoProperties &properties = Properties();
    auto *memo = static_cast<TkvInnerMemo *>(InnerControl());
    memo->SetMaxLength(properties.EffectiveMaxLength());
    memo->SetHideSelection(properties.HideSelection());
    memo->SetOEMConvert(properties.OEMConvert());
    // As a native memo given the case style: the text already there follows it.
    if (properties.CharCase() != FAppliedCharCase) {
        FAppliedCharCase = properties.CharCase();
        if (FAppliedCharCase != ecNormal)
            ReshapeShownText(properties.ApplyCharCase(memo->Text()));
    }
    memo->setLineWrapMode(properties.WordWrap() ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    TScrollStyle bars = properties.ScrollBars();
    memo->setHorizontalScrollBarPolicy(bars == TScrollStyle::ssHorizontal || bars == TScrollStyle::ssBoth
                                           ? Qt::ScrollBarAlwaysOn
                                           : Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(bars == TScrollStyle::ssVertical || bars == TScrollStyle::ssBoth
                                         ? Qt::ScrollBarAlwaysOn
                                         : Qt::ScrollBarAlwaysOff);
}

bool TkvCustomMemo::WantsTab() const
{
    return Properties().WantTabs();
}

bool TkvCustomMemo::IsModifyingKey(int key, Qt::KeyboardModifiers shift) const
{
    if (IsEnter(key))
        return Properties().WantReturns() || shift.testFlag(Qt::ControlModifier);
    if (key == Qt::Key_Tab)
        return Properties().WantTabs();
    return TkvCustomEdit::IsModifyingKey(key, shift);
}

bool TkvCustomMemo::HandlesNavigationKey(int, Qt::KeyboardModifiers) const
{
    return true;
}

void TkvCustomMemo::DoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_A && shift.testFlag(Qt::ControlModifier) && !shift.testFlag(Qt::AltModifier)) {
        if (!Lines().isEmpty())
            SelectAll();
        if (OnHostKeyDown)
            OnHostKeyDown(this, key, shift);
        key = 0;
        return;
    }
    // Enter is text when the memo wants returns (or Ctrl asks for one when it
    // does not); only then does it bypass the editor's own Enter handling.
    bool ctrl = shift.testFlag(Qt::ControlModifier);
    if (IsEnter(key))
        FEnterIsText = Properties().WantReturns() != ctrl;
    if (IsEnter(key) && FEnterIsText) {
        if (!DataBinding().IsRecordEditing() && !RequestEditing()) {
            if (OnHostKeyDown)
                OnHostKeyDown(this, key, shift);
            key = 0;
        }
        return;
    }
    TkvCustomEdit::DoKeyDown(key, shift);
}

void TkvCustomMemo::DoKeyPress(QChar &ch)
{
    TkvCustomEdit::DoKeyPress(ch);
    if (ch == QChar(u'\t') && !Properties().WantTabs()) {
        ch = QChar();
    } else if (ch == QChar(u'\r') && !FEnterIsText) {
        ch = QChar();
    } else if (ch == QChar(u'\r')) {
        auto *memo = static_cast<TkvInnerMemo *>(InnerControl());
        bool full = memo && memo->MaxLength() > 0 &&
                    int(memo->toPlainText().size()) - memo->SelLength() >= memo->MaxLength();
        if (full)
            ch = QChar();
    }
}

bool TkvCustomMemo::ApplyTypedChar(QChar ch)
{
    if (!InnerControl())
        return false;
    QString text = Properties().ApplyCharCase(QString(ch));
    WithClearingGuard([&] { InnerControl()->InsertText(text); });
    return true;
}

QString TkvCustomMemo::FilterPastedText(const QString &text) const
{
    return Properties().ApplyCharCase(TkvCustomEdit::FilterPastedText(text));
}

bool TkvCustomMemo::DeclinesActivationChar(QChar ch) const
{
    return ch == QChar(u'\r');
}

bool TkvCustomMemo::eventFilter(QObject *watched, QEvent *event)
{
    if (!IsInplace() || !InnerControl() || watched != InnerControl()->Widget() ||
        event->type() != QEvent::KeyPress || FPassingToNative)
        return TkvCustomEdit::eventFilter(watched, event);
    if (TkvCustomEdit::eventFilter(watched, event))
        return true;
    // In place, a key the native memo has no use for (the caret stays and the
    // text is unchanged) goes to the host, except Up and Down.
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    auto *memo = static_cast<TkvInnerMemo *>(InnerControl());
    QString textBefore = memo->toPlainText();
    int caretBefore = memo->textCursor().position();
    FPassingToNative = true;
    QCoreApplication::sendEvent(memo, event);
    FPassingToNative = false;
    int key = keyEvent->key();
    if (memo->toPlainText() == textBefore && memo->textCursor().position() == caretBefore &&
        key != Qt::Key_Up && key != Qt::Key_Down && OnHostKeyDown)
        OnHostKeyDown(this, key, keyEvent->modifiers());
    return true;
}

TkvMemo::TkvMemo(QWidget *parent, bool isInplace)
    : TkvCustomMemo(std::make_unique<TkvMemoProperties>(), isInplace, parent)
{
}

} // namespace kestrum
