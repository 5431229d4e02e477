#pragma once
// The native control inside an editor: what the editor's logic needs of it,
// so that the same logic drives a single-line edit and a memo.
#include "editors/EditProperties.h"

#include <QString>

class QPoint;
class QWidget;

namespace kestrum {

class TkvEditInnerControl {
public:
    virtual ~TkvEditInnerControl() = default;
    virtual QWidget *Widget() = 0;
    //! The widget that receives the mouse and drops (a scroll area's viewport).
    virtual QWidget *InputWidget() { return Widget(); }

    virtual QString Text() const = 0;
    //! Replaces the whole text; the caret goes to the end.
    virtual void SetText(const QString &text) = 0;
    //! Selection in characters; SelLength 0 means a caret at SelStart.
    virtual int SelStart() const = 0;
    virtual int SelLength() const = 0;
    //! Selects length characters from start and puts the caret after them.
    virtual void SetSelection(int start, int length) = 0;
    virtual void SelectAll() = 0;
    //! Replaces the selection with text as typing would, within MaxLength.
    virtual void InsertText(const QString &text) = 0;
    //! The text position under a point of InputWidget().
    virtual int PositionAt(const QPoint &point) = 0;
    //! The text is hidden (password echo): it may not leave by the clipboard.
    virtual bool IsPassword() const { return false; }

    virtual void SetReadOnly(bool value) = 0;
    virtual void SetMaxLength(int value) = 0; //!< 0: no limit
    virtual void SetPassword(bool value) = 0;
    virtual void SetAlignment(const TkvEditAlignment &alignment) = 0;
    //! Hiding: the selection does not show while the control has no focus.
    virtual void SetHideSelection(bool value) = 0;
    virtual bool HideSelection() const { return true; }

    //! Text put in by the user (typed, pasted, dropped) passes through the
    //! OEM code page and back, so that it holds only what a file name on an
    //! OEM file system can: anything the code page lacks becomes "?".
    void SetOEMConvert(bool value) { FOEMConvert = value; }
    bool OEMConvert() const { return FOEMConvert; }
    //! The text as the control takes it in: converted when OEMConvert is on.
    QString ConvertInput(const QString &text) const;

private:
    bool FOEMConvert = false;
};

//! The text after a round trip through the OEM code page (GBK: the one- and
//! two-byte characters of GB18030); characters it cannot hold become "?".
QString OemConvertText(const QString &text);

} // namespace kestrum
