#include "editors/MaskEdit.h"

#include "editors/EditDataBinding.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QLineEdit>

namespace kestrum {

TkvCustomMaskEdit::TkvCustomMaskEdit(std::unique_ptr<TkvCustomMaskEditProperties> properties, bool isInplace,
                                     QWidget *parent)
    : TkvCustomTextEdit(std::move(properties), isInplace, parent)
{
    RebuildMode();
}

bool TkvCustomMaskEdit::AcceptsProperties(const TkvCustomEditProperties &properties) const
{
    return dynamic_cast<const TkvCustomMaskEditProperties *>(&properties) != nullptr;
}

void TkvCustomMaskEdit::RebuildMode()
{
    const TkvCustomMaskEditProperties &properties = Properties();
    FModeKind = properties.MaskKind();
    FModeMask = properties.EditMask();
    FModeCaseInsensitive = properties.CaseInsensitive();
    FMode = properties.CreateMode();
}

void TkvCustomMaskEdit::PropertiesChanged()
{
    const TkvCustomMaskEditProperties &properties = Properties();
    bool maskChanged = FModeKind != properties.MaskKind() || FModeMask != properties.EditMask() ||
                       FModeCaseInsensitive != properties.CaseInsensitive();
    if (maskChanged)
        RebuildMode();
    TkvCustomTextEdit::PropertiesChanged();
    if (maskChanged && InnerControl())
        RefreshDisplay();
}

template <typename Operation> void TkvCustomMaskEdit::RunMode(Operation operation)
{
    TkvEditInnerControl *inner = InnerControl();
    TkvMaskEditText state;
    state.Text = inner->Text();
    state.SelStart = inner->SelStart();
    state.SelLength = inner->SelLength();
    operation(*FMode, state);
    if (!state.Accepted) {
        if (Properties().BeepOnError())
            Beep();
        return;
    }
    WithClearingGuard([&] {
        if (inner->Text() != state.Text)
            inner->SetText(state.Text);
        inner->SetSelection(state.SelStart, state.SelLength);
    });
}

void TkvCustomMaskEdit::DoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    if (!FMode || !InnerControl()) {
        TkvCustomTextEdit::DoKeyDown(key, shift);
        return;
    }
    TkvCustomEdit::DoKeyDown(key, shift);
    if (key == 0)
        return;
    const bool withShift = shift.testFlag(Qt::ShiftModifier);
    const bool withCtrl = shift.testFlag(Qt::ControlModifier);
    const bool readOnly = IsReadOnly();
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        bool moved = false;
        if (withCtrl) {
            RunMode([&](TkvMaskEditCustomMode &mode, TkvMaskEditText &state) {
                key == Qt::Key_Left ? mode.Home(state, withShift) : mode.End(state, withShift);
            });
            moved = true;
        } else {
            RunMode([&](TkvMaskEditCustomMode &mode, TkvMaskEditText &state) {
                moved = key == Qt::Key_Left ? mode.Left(state, withShift) : mode.Right(state, withShift);
                state.Accepted = true;
            });
        }
        // At the first or last position the arrow belongs to an in-place host.
        if (!moved && OnHostKeyDown)
            OnHostKeyDown(this, key, shift);
        key = 0;
        return;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
        RunMode([&](TkvMaskEditCustomMode &mode, TkvMaskEditText &state) {
            key == Qt::Key_Home ? mode.Home(state, withShift) : mode.End(state, withShift);
        });
        key = 0;
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (readOnly)
            return;
        if (key == Qt::Key_Delete && withShift && InnerControl()->SelLength() > 0) {
            QApplication::clipboard()->setText(InnerEdit()->selectedText());
        }
        RunMode([&](TkvMaskEditCustomMode &mode, TkvMaskEditText &state) {
            if (key == Qt::Key_Backspace || (withShift && state.SelLength == 0))
                mode.Backspace(state);
            else
                mode.Delete(state);
        });
        key = 0;
        return;
    default:
        return;
    }
}

void TkvCustomMaskEdit::PasteText(const QString &text)
{
    if (!FMode || !InnerControl()) {
        TkvCustomTextEdit::PasteText(text);
        return;
    }
    if (text.isEmpty() || !MayModifyText())
        return;
    QString pasted = Properties().ApplyCharCase(InnerControl()->ConvertInput(text));
    RunMode([&](TkvMaskEditCustomMode &mode, TkvMaskEditText &state) { mode.Paste(state, pasted); });
}

void TkvCustomMaskEdit::DeleteSelection()
{
    if (!FMode || !InnerControl()) {
        TkvCustomTextEdit::DeleteSelection();
        return;
    }
    RunMode([](TkvMaskEditCustomMode &mode, TkvMaskEditText &state) { mode.Delete(state); });
}

bool TkvCustomMaskEdit::ApplyTypedChar(QChar ch)
{
    if (!FMode || !InnerControl())
        return TkvCustomTextEdit::ApplyTypedChar(ch);
    if (IsReadOnly())
        return true;
    QChar typed = Properties().ApplyCharCase(InnerControl()->ConvertInput(QString(ch))).at(0);
    RunMode([&](TkvMaskEditCustomMode &mode, TkvMaskEditText &state) { mode.PressChar(state, typed); });
    return true;
}

bool TkvCustomMaskEdit::eventFilter(QObject *watched, QEvent *event)
{
    bool result = TkvCustomTextEdit::eventFilter(watched, event);
    if (FMode && InnerControl() && watched == InnerControl()->Widget() &&
        event->type() == QEvent::MouseButtonRelease) {
        // The platform moved the caret: the head before it must still fit.
        TkvMaskEditText state;
        state.Text = InnerControl()->Text();
        state.SelStart = InnerControl()->SelStart();
        state.SelLength = InnerControl()->SelLength();
        if (state.SelLength == 0) {
            FMode->SyncCaret(state);
            if (state.Text != InnerControl()->Text())
                WithClearingGuard([&] { InnerControl()->SetText(state.Text); });
            InnerControl()->SetSelection(state.SelStart, state.SelLength);
        }
    }
    return result;
}

TkvMaskEdit::TkvMaskEdit(QWidget *parent, bool isInplace)
    : TkvCustomMaskEdit(std::make_unique<TkvMaskEditProperties>(), isInplace, parent)
{
}

} // namespace kestrum
