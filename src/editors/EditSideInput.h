#pragma once
// Text that reaches an editor without a key of its own: the context menu,
// drops, the selection clipboard of the middle button and text committed by
// an input method. The native control would take all of these straight into
// its text, past the editor's permission request, its character filter and
// its mask; here each goes through the editor instead.
#include <QClipboard>
#include <QString>

class QEvent;
class QMenu;
class QObject;

namespace kestrum {

class TkvCustomEdit;

//! The clipboard's text (or the selection clipboard's); empty when it holds
//! none.
QString ClipboardText(QClipboard::Mode mode = QClipboard::Clipboard);

class TkvEditSideInput {
public:
    explicit TkvEditSideInput(TkvCustomEdit &edit) : FEdit(edit) {}

    //! An event of the inner control; true when it was handled here and the
    //! native control must not see it. Exceptions go to the error handler.
    bool HandleEvent(QObject *watched, QEvent *event);
    //! The context menu (cut, copy, paste, delete, select all), every entry
    //! going through the editor; the caller owns it.
    QMenu *CreateContextMenu();

private:
    bool Dispatch(QObject *watched, QEvent *event);

    TkvCustomEdit &FEdit;
};

} // namespace kestrum
