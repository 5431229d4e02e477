#pragma once
// The native Qt controls that editors wrap: a single-line edit and a memo.
#include "editors/EditInnerControl.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace kestrum {

class TkvInnerLineEdit : public QLineEdit, public TkvEditInnerControl {
public:
    explicit TkvInnerLineEdit(QWidget *parent);

    QWidget *Widget() override { return this; }
    QString Text() const override { return text(); }
    void SetText(const QString &value) override { setText(value); }
    int SelStart() const override;
    int SelLength() const override;
    void SetSelection(int start, int length) override;
    void SelectAll() override { selectAll(); }
    //! Inserts as much of value as MaxLength leaves room for.
    void InsertText(const QString &value) override;
    int PositionAt(const QPoint &point) override;
    bool IsPassword() const override { return echoMode() != Normal; }
    void SetReadOnly(bool value) override { setReadOnly(value); }
    //! Limits typing only: QLineEdit's own limit would also cut the text
    //! that the editor shows for its value, so it is not used.
    void SetMaxLength(int value) override { FMaxLength = value; }
    int MaxLength() const { return FMaxLength; }
    void SetPassword(bool value) override { setEchoMode(value ? Password : Normal); }
    void SetAlignment(const TkvEditAlignment &alignment) override;
    void SetHideSelection(bool value) override { FHideSelection = value; }
    bool HideSelection() const override { return FHideSelection; }

protected:
    //! QLineEdit drops the selection when it loses the focus; a control that
    //! shows its selection unfocused keeps it.
    void focusOutEvent(QFocusEvent *event) override;

private:
    int FMaxLength = 0;
    bool FHideSelection = true;
};

class TkvInnerMemo : public QPlainTextEdit, public TkvEditInnerControl {
public:
    explicit TkvInnerMemo(QWidget *parent);

    QWidget *Widget() override { return this; }
    QWidget *InputWidget() override { return viewport(); }
    QString Text() const override { return toPlainText(); }
    void SetText(const QString &value) override;
    int SelStart() const override;
    int SelLength() const override;
    void SetSelection(int start, int length) override;
    void SelectAll() override { selectAll(); }
    //! Inserts as much of value as MaxLength leaves room for.
    void InsertText(const QString &value) override;
    int PositionAt(const QPoint &point) override;
    void SetReadOnly(bool value) override { setReadOnly(value); }
    void SetMaxLength(int value) override { FMaxLength = value; }
    int MaxLength() const { return FMaxLength; }
    void SetPassword(bool) override {}
    void SetAlignment(const TkvEditAlignment &alignment) override;
    //! The selection stays; unfocused it is drawn in the text colours.
    void SetHideSelection(bool value) override;
    bool HideSelection() const override { return FHideSelection; }

protected:
    //! A press inside the selection only places the caret: dragging the
    //! selection away would take text out of the memo behind the editor's back.
    void mousePressEvent(QMouseEvent *event) override;

private:
    int FMaxLength = 0;
    bool FHideSelection = true;
};

//! Qt alignment flags of an editor alignment.
Qt::Alignment ToQtAlignment(const TkvEditAlignment &alignment);

} // namespace kestrum
