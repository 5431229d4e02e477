// Text that reaches an editor without a key of its own: the clipboard, the
// context menu, drops, the selection clipboard of the middle button and text
// committed by an input method. The native control would take all of these
// straight into its text, past the editor's permission request, its
// character filter and its mask; here each goes through the editor instead.
#include "editors/CustomEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace kestrum {

namespace {

QString ClipboardText(QClipboard::Mode mode = QClipboard::Clipboard)
{
    const QMimeData *data = QApplication::clipboard()->mimeData(mode);
    return data && data->hasText() ? data->text() : QString();
}

} // namespace

bool TkvCustomEdit::MayModifyText()
{
    if (IsReadOnly())
        return false;
    return FDataBinding->IsRecordEditing() || RequestEditing();
}

QString TkvCustomEdit::FilterPastedText(const QString &text) const
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar ch = text[i];
        if (ch == u'\r' || ch == u'\n') {
            // A single-line editor takes the first line only.
            if (!IsMultiLine())
                break;
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                continue;
            result += u'\n';
            continue;
        }
        if (ch == u'\t' ? !IsMultiLine() : ch.unicode() < 32)
            continue;
        if (!IsValidChar(ch))
            continue;
        result += ch;
    }
    return result;
}

void TkvCustomEdit::PasteText(const QString &text)
{
    if (!FInnerControl || text.isEmpty() || !MayModifyText())
        return;
    QString filtered = FilterPastedText(text);
    if (filtered.isEmpty()) {
        if (Properties().BeepOnError())
            Beep();
        return;
    }
    WithClearingGuard([&] { FInnerControl->InsertText(filtered); });
}

void TkvCustomEdit::DeleteSelection()
{
    if (FInnerControl && FInnerControl->SelLength() > 0)
        WithClearingGuard([&] { FInnerControl->InsertText(QString()); });
}

void TkvCustomEdit::PasteFromClipboard()
{
    PasteText(ClipboardText());
}

void TkvCustomEdit::CopyToClipboard()
{
    if (!FInnerControl || FInnerControl->SelLength() <= 0 || FInnerControl->IsPassword())
        return;
    QApplication::clipboard()->setText(
        FInnerControl->Text().mid(FInnerControl->SelStart(), FInnerControl->SelLength()));
}

void TkvCustomEdit::CutToClipboard()
{
    if (!FInnerControl || FInnerControl->SelLength() <= 0 || FInnerControl->IsPassword() || !MayModifyText())
        return;
    CopyToClipboard();
    DeleteSelection();
}

void TkvCustomEdit::ClearSelection()
{
    if (!FInnerControl || FInnerControl->SelLength() <= 0 || !MayModifyText())
        return;
    DeleteSelection();
}

QMenu *TkvCustomEdit::CreateContextMenu()
{
    auto *menu = new QMenu(this);
    const bool selection = FInnerControl && FInnerControl->SelLength() > 0;
    const bool password = FInnerControl && FInnerControl->IsPassword();
    const bool readOnly = IsReadOnly();
    auto add = [&](const char *name, const char *caption, bool enabled, void (TkvCustomEdit::*operation)()) {
        QAction *action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, this, [this, operation] {
            try {
                (this->*operation)();
            } catch (const std::exception &error) {
                HandleException(error);
            }
        });
    };
    add("cut", "剪切(&T)", selection && !readOnly && !password, &TkvCustomEdit::CutToClipboard);
    add("copy", "复制(&C)", selection && !password, &TkvCustomEdit::CopyToClipboard);
    add("paste", "粘贴(&P)", !readOnly && !ClipboardText().isEmpty(), &TkvCustomEdit::PasteFromClipboard);
    add("delete", "删除(&D)", selection && !readOnly, &TkvCustomEdit::ClearSelection);
    menu->addSeparator();
    add("selectall", "全选(&A)", !DisplayText().isEmpty(), &TkvCustomEdit::SelectAll);
    return menu;
}

void TkvCustomEdit::ShowContextMenu(const QPoint &globalPos)
{
    std::unique_ptr<QMenu> menu(CreateContextMenu());
    menu->exec(globalPos);
}

void TkvCustomEdit::TypeText(const QString &text)
{
    for (QChar ch : text) {
        KeyPress(ch);
        if (!ch.isNull() && ch.unicode() >= 32)
            ApplyTypedChar(ch);
    }
}

bool TkvCustomEdit::HandleSideInput(QObject *watched, QEvent *event)
{
    try {
        switch (event->type()) {
        case QEvent::ContextMenu:
            ShowContextMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (drag->mimeData() && drag->mimeData()->hasText() && !IsReadOnly()) {
                // A copy: the source keeps its text whatever becomes of it here.
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::DragLeave:
            return true;
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            QString text =
                drop->mimeData() && drop->mimeData()->hasText() ? drop->mimeData()->text() : QString();
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (!text.isEmpty() && FInnerControl) {
                FInnerControl->SetSelection(FInnerControl->PositionAt(drop->position().toPoint()), 0);
                PasteText(text);
            }
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            // The middle button pastes the selection clipboard (X11).
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() != Qt::MiddleButton)
                return false;
            if (event->type() == QEvent::MouseButtonRelease && FInnerControl &&
                QApplication::clipboard()->supportsSelection()) {
                QString text = ClipboardText(QClipboard::Selection);
                if (!text.isEmpty()) {
                    FInnerControl->SetSelection(FInnerControl->PositionAt(mouse->position().toPoint()), 0);
                    PasteText(text);
                }
            }
            return true;
        }
        case QEvent::InputMethod: {
            auto *input = static_cast<QInputMethodEvent *>(event);
            if (input->commitString().isEmpty())
                return false;
            QString committed = input->commitString();
            // The composition still shows natively; only the committed text
            // is typed through the editor.
            QInputMethodEvent composing(input->preeditString(), input->attributes());
            TypeText(committed);
            // The composition is no part of the text (a memo reports a
            // change all the same).
            ++FDisplayUpdateLock;
            QCoreApplication::sendEvent(watched, &composing);
            --FDisplayUpdateLock;
            return true;
        }
        default:
            return false;
        }
    } catch (const std::exception &error) {
        HandleException(error);
        return true;
    }
}

} // namespace kestrum
