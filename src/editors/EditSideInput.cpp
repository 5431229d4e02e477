#include "editors/EditSideInput.h"

#include "editors/CustomEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace kestrum {

QString ClipboardText(QClipboard::Mode mode)
{
    const QMimeData *data = QApplication::clipboard()->mimeData(mode);
    return data && data->hasText() ? data->text() : QString();
}

QMenu *TkvEditSideInput::CreateContextMenu()
{
    auto *menu = new QMenu(&FEdit);
    TkvEditInnerControl *inner = FEdit.InnerControl();
    const bool selection = inner && inner->SelLength() > 0;
    const bool password = inner && inner->IsPassword();
    const bool readOnly = FEdit.IsReadOnly();
    TkvCustomEdit *edit = &FEdit;
    auto add = [&](const char *name, const char *caption, bool enabled, void (TkvCustomEdit::*operation)()) {
        QAction *action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, edit, [edit, operation] {
            try {
                (edit->*operation)();
            } catch (const std::exception &error) {
                TkvCustomEdit::HandleException(error);
            }
        });
    };
    add("cut", "剪切(&T)", selection && !readOnly && !password, &TkvCustomEdit::CutToClipboard);
    add("copy", "复制(&C)", selection && !password, &TkvCustomEdit::CopyToClipboard);
    add("paste", "粘贴(&P)", !readOnly && !ClipboardText().isEmpty(), &TkvCustomEdit::PasteFromClipboard);
    add("delete", "删除(&D)", selection && !readOnly, &TkvCustomEdit::ClearSelection);
    menu->addSeparator();
    add("selectall", "全选(&A)", !FEdit.DisplayText().isEmpty(), &TkvCustomEdit::SelectAll);
    return menu;
}

bool TkvEditSideInput::HandleEvent(QObject *watched, QEvent *event)
{
    try {
        return Dispatch(watched, event);
    } catch (const std::exception &error) {
        TkvCustomEdit::HandleException(error);
        return true;
    }
}

bool TkvEditSideInput::Dispatch(QObject *watched, QEvent *event)
{
    TkvEditInnerControl *inner = FEdit.InnerControl();
    switch (event->type()) {
    case QEvent::ContextMenu:
        FEdit.ShowContextMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (drag->mimeData() && drag->mimeData()->hasText() && !FEdit.IsReadOnly()) {
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
        QString text = drop->mimeData() && drop->mimeData()->hasText() ? drop->mimeData()->text() : QString();
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (!text.isEmpty() && inner) {
            inner->SetSelection(inner->PositionAt(drop->position().toPoint()), 0);
            FEdit.PasteText(text);
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
        if (event->type() == QEvent::MouseButtonRelease && inner &&
            QApplication::clipboard()->supportsSelection()) {
            QString text = ClipboardText(QClipboard::Selection);
            if (!text.isEmpty()) {
                inner->SetSelection(inner->PositionAt(mouse->position().toPoint()), 0);
                FEdit.PasteText(text);
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
        FEdit.FKeyboard.TypeText(committed);
        // The composition is no part of the text (a memo reports a
        // change all the same).
        ++FEdit.FDisplayUpdateLock;
        QCoreApplication::sendEvent(watched, &composing);
        --FEdit.FDisplayUpdateLock;
        return true;
    }
    default:
        return false;
    }
}

} // namespace kestrum
