#include "editors/InnerControls.h"

#include "core/Codepage.h"
#include "core/Errors.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace kestrum {

QString OemConvertText(const QString &text)
{
    QString converted;
    converted.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch.unicode() < 0x80) {
            converted += ch;
        } else if (ch.isSurrogate()) {
            // Beyond the basic plane GB18030 needs four bytes, which GBK has not.
            if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            converted += u'?';
        } else {
            bool held = false;
            try {
                held = toNarrow(QString(ch)).size() <= 2;
            } catch (const EEncodingError &) {
            }
            converted += held ? ch : QChar(u'?');
        }
    }
    return converted;
}

QString TkvEditInnerControl::ConvertInput(const QString &text) const
{
    return FOEMConvert ? OemConvertText(text) : text;
}

Qt::Alignment ToQtAlignment(const TkvEditAlignment &alignment)
{
    Qt::Alignment result;
    switch (alignment.Horz) {
    case taRightJustify:
        result = Qt::AlignRight;
        break;
    case taCenter:
        result = Qt::AlignHCenter;
        break;
    default:
        result = Qt::AlignLeft;
        break;
    }
    switch (alignment.Vert) {
    case taTopJustify:
        result |= Qt::AlignTop;
        break;
    case taBottomJustify:
        result |= Qt::AlignBottom;
        break;
    default:
        result |= Qt::AlignVCenter;
        break;
    }
    return result;
}

TkvInnerLineEdit::TkvInnerLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setFrame(false);
}

int TkvInnerLineEdit::SelStart() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

int TkvInnerLineEdit::SelLength() const
{
    return hasSelectedText() ? int(selectedText().size()) : 0;
}

void TkvInnerLineEdit::SetSelection(int start, int length)
{
    if (length <= 0) {
        deselect();
        setCursorPosition(start);
    } else {
        setSelection(start, length);
    }
}

int TkvInnerLineEdit::PositionAt(const QPoint &point)
{
    return cursorPositionAt(point);
}

void TkvInnerLineEdit::InsertText(const QString &value)
{
    QString text = ConvertInput(value);
    if (FMaxLength > 0) {
        int room = FMaxLength - (int(this->text().size()) - SelLength());
        if (room <= 0 && !value.isEmpty())
            return;
        text = text.left(std::max(room, 0));
    }
    insert(text);
}

void TkvInnerLineEdit::focusOutEvent(QFocusEvent *event)
{
    if (FHideSelection || !hasSelectedText()) {
        QLineEdit::focusOutEvent(event);
        return;
    }
    int start = selectionStart();
    int length = int(selectedText().size());
    bool caretAtStart = cursorPosition() == start;
    QLineEdit::focusOutEvent(event);
    if (caretAtStart)
        setSelection(start + length, -length);
    else
        setSelection(start, length);
}

void TkvInnerLineEdit::SetAlignment(const TkvEditAlignment &alignment)
{
    setAlignment(ToQtAlignment(alignment));
}

TkvInnerMemo::TkvInnerMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setTabChangesFocus(false);
    FHideSelection = false;
    SetHideSelection(true);
}

void TkvInnerMemo::SetText(const QString &value)
{
    setPlainText(value);
    moveCursor(QTextCursor::End);
}

int TkvInnerMemo::SelStart() const
{
    return textCursor().selectionStart();
}

int TkvInnerMemo::SelLength() const
{
    QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

void TkvInnerMemo::SetSelection(int start, int length)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(start);
    if (length > 0)
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void TkvInnerMemo::InsertText(const QString &value)
{
    QString text = ConvertInput(value);
    if (FMaxLength > 0) {
        int room = FMaxLength - (int(toPlainText().size()) - SelLength());
        if (room <= 0 && !value.isEmpty())
            return;
        text = text.left(std::max(room, 0));
    }
    textCursor().insertText(text);
}

int TkvInnerMemo::PositionAt(const QPoint &point)
{
    return cursorForPosition(point).position();
}

void TkvInnerMemo::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && SelLength() > 0) {
        int at = PositionAt(event->position().toPoint());
        if (at >= SelStart() && at < SelStart() + SelLength())
            SetSelection(at, 0);
    }
    QPlainTextEdit::mousePressEvent(event);
}

void TkvInnerMemo::SetHideSelection(bool value)
{
    if (FHideSelection == value)
        return;
    FHideSelection = value;
    QPalette colours = palette();
    QPalette defaults = QApplication::palette(this);
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     value ? colours.color(QPalette::Inactive, QPalette::Base)
                           : defaults.color(QPalette::Inactive, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     value ? colours.color(QPalette::Inactive, QPalette::Text)
                           : defaults.color(QPalette::Inactive, QPalette::HighlightedText));
    setPalette(colours);
}

void TkvInnerMemo::SetAlignment(const TkvEditAlignment &alignment)
{
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(ToQtAlignment(alignment) & Qt::AlignHorizontal_Mask);
    document()->setDefaultTextOption(option);
}

} // namespace kestrum
