#include "editors/EditAccessible.h"

#include "editors/CalcEdit.h"
#include "editors/CurrencyEdit.h"
#include "editors/CustomEdit.h"
#include "editors/InnerControls.h"
#include "editors/PopupEdit.h"

#include <QLabel>
#include <QTextBlock>

namespace kestrum {

namespace {

QString PlainLabel(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    text = text.trimmed();
    while (text.endsWith(u':') || text.endsWith(u'：'))
        text.chop(1);
    return text.trimmed();
}

//! How far left of an editor its label may stand.
constexpr int LabelReach = 200;

const TkvCustomEdit *OwningEditor(const QWidget *inner)
{
    for (const QWidget *widget = inner ? inner->parentWidget() : nullptr; widget;
         widget = widget->parentWidget())
        if (auto *editor = dynamic_cast<const TkvCustomEdit *>(widget))
            return editor;
    return nullptr;
}

//! The native control inside an editor: named by the editor's label, with
//! the text interfaces a reader uses to read and follow the caret.
class TkvInnerEditAccessible : public QAccessibleWidget,
                               public QAccessibleTextInterface,
                               public QAccessibleEditableTextInterface {
public:
    explicit TkvInnerEditAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::EditableText) {}

    TkvEditInnerControl *Control() const { return dynamic_cast<TkvEditInnerControl *>(widget()); }
    const TkvCustomEdit *Editor() const { return OwningEditor(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty() && Editor())
            text = EditorLabelText(*Editor());
        if (kind == QAccessible::Value && Control() && !Control()->IsPassword())
            text = Control()->Text();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.focusable = true;
        state.selectableText = true;
        if (const TkvCustomEdit *editor = Editor())
            state.readOnly = editor->IsReadOnly();
        if (Control() && Control()->IsPassword())
            state.passwordEdit = true;
        state.multiLine = dynamic_cast<TkvInnerMemo *>(widget()) != nullptr;
        return state;
    }

    // QAccessibleTextInterface.
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !Control() || Control()->SelLength() == 0)
            return;
        *startOffset = Control()->SelStart();
        *endOffset = Control()->SelStart() + Control()->SelLength();
    }
    int selectionCount() const override { return Control() && Control()->SelLength() > 0 ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0 && Control())
            Control()->SetSelection(cursorPosition(), 0);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0 && Control())
            Control()->SetSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(widget()))
            return line->cursorPosition();
        if (auto *memo = qobject_cast<QPlainTextEdit *>(widget()))
            return memo->textCursor().position();
        return 0;
    }
    void setCursorPosition(int position) override
    {
        if (Control())
            Control()->SetSelection(position, 0);
    }
    QString text(int startOffset, int endOffset) const override
    {
        if (!Control() || Control()->IsPassword() || startOffset > endOffset)
            return {};
        return Control()->Text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return Control() ? int(Control()->Text().size()) : 0; }
    QRect characterRect(int offset) const override
    {
        // The caret's rectangle at the offset, one character wide.
        if (auto *line = qobject_cast<QLineEdit *>(widget())) {
            const QString shown = line->displayText();
            const QFontMetrics metrics(line->font());
            const QRect area = line->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            const int x = metrics.horizontalAdvance(shown.left(offset)) -
                          metrics.horizontalAdvance(shown.left(line->cursorPosition()));
            const QRect local(area.center().x() + x, area.top(),
                              metrics.horizontalAdvance(shown.mid(offset, 1)), area.height());
            return QRect(line->mapToGlobal(local.topLeft()), local.size());
        }
        if (auto *memo = qobject_cast<QPlainTextEdit *>(widget())) {
            QTextCursor cursor(memo->document());
            cursor.setPosition(std::clamp(offset, 0, characterCount()));
            const QRect local = memo->cursorRect(cursor);
            return QRect(memo->viewport()->mapToGlobal(local.topLeft()), local.size());
        }
        return {};
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        TkvEditInnerControl *control = Control();
        return control ? control->PositionAt(control->InputWidget()->mapFromGlobal(point)) : -1;
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

    // QAccessibleEditableTextInterface: a reader's changes go through the editor as typing does.
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, {}); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        auto *editor = const_cast<TkvCustomEdit *>(Editor());
        TkvEditInnerControl *control = Control();
        if (!control || !editor || editor->IsReadOnly())
            return;
        // Key by key through the editor, so permission, filters and masks apply as to typing;
        // what the editor leaves to the native control is done here as the control would.
        control->SetSelection(startOffset, endOffset - startOffset);
        if (endOffset > startOffset && !editor->ProcessKey(Qt::Key_Delete, Qt::NoModifier, {}))
            control->InsertText({});
        for (QChar ch : text)
            if (!editor->ProcessKey(Qt::Key_unknown, Qt::NoModifier, QString(ch)))
                control->InsertText(QString(ch));
    }
};

QAccessibleInterface *EditAccessibleFactory(const QString &, QObject *object)
{
    if (auto *editor = dynamic_cast<TkvCustomEdit *>(object))
        return new TkvEditAccessible(editor);
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && dynamic_cast<TkvEditInnerControl *>(widget) && OwningEditor(widget))
        return new TkvInnerEditAccessible(widget);
    return nullptr;
}

} // namespace

QString EditorLabelText(const TkvCustomEdit &editor)
{
    if (!editor.accessibleName().isEmpty())
        return editor.accessibleName();
    const QWidget *parent = editor.parentWidget();
    if (!parent)
        return {};
    const QList<QLabel *> labels = parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
    for (const QLabel *label : labels)
        if (label->buddy() == &editor || (label->buddy() && label->buddy() == editor.InnerWidget()))
            return PlainLabel(label->text());
    // The nearest label on the editor's line that ends left of it.
    const QRect bounds = editor.geometry();
    const QLabel *nearest = nullptr;
    for (const QLabel *label : labels) {
        const QRect place = label->geometry();
        if (label->isHidden() || place.right() > bounds.left() || bounds.left() - place.right() > LabelReach)
            continue;
        if (place.bottom() < bounds.top() || place.top() > bounds.bottom())
            continue;
        if (!nearest || place.right() > nearest->geometry().right())
            nearest = label;
    }
    return nearest ? PlainLabel(nearest->text()) : QString();
}

TkvEditAccessible::TkvEditAccessible(TkvCustomEdit *editor)
    : QAccessibleWidget(editor, dynamic_cast<TkvCustomPopupEdit *>(editor) ? QAccessible::ComboBox
                                                                           : QAccessible::EditableText)
{
}

TkvCustomEdit *TkvEditAccessible::Editor() const
{
    return static_cast<TkvCustomEdit *>(widget());
}

bool TkvEditAccessible::HasNumericValue() const
{
    return dynamic_cast<TkvCustomCalcEdit *>(Editor()) || dynamic_cast<TkvCustomCurrencyEdit *>(Editor());
}

void *TkvEditAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface && HasNumericValue())
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString TkvEditAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name)
        return EditorLabelText(*Editor());
    if (kind == QAccessible::Value) {
        TkvEditInnerControl *inner = Editor()->InnerControl();
        return inner && inner->IsPassword() ? QString() : Editor()->DisplayText();
    }
    return QAccessibleWidget::text(kind);
}

QAccessible::State TkvEditAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = Editor()->IsReadOnly();
    state.editable = !state.readOnly;
    state.focused = Editor()->InnerWidget() && Editor()->InnerWidget()->hasFocus();
    if (auto *popup = dynamic_cast<TkvCustomPopupEdit *>(Editor())) {
        state.expandable = true;
        state.expanded = popup->DroppedDown();
        state.collapsed = !state.expanded;
        state.hasPopup = true;
    }
    return state;
}

QStringList TkvEditAccessible::actionNames() const
{
    QStringList names = QAccessibleWidget::actionNames();
    if (dynamic_cast<TkvCustomPopupEdit *>(Editor()))
        names << showMenuAction();
    return names;
}

void TkvEditAccessible::doAction(const QString &name)
{
    // The drop-down opens as F4 opens it.
    if (name == showMenuAction())
        if (auto *popup = dynamic_cast<TkvCustomPopupEdit *>(Editor())) {
            if (popup->DroppedDown())
                popup->CloseUp();
            else
                popup->DropDown();
            return;
        }
    QAccessibleWidget::doAction(name);
}

QVariant TkvEditAccessible::currentValue() const
{
    if (Editor()->DisplayText().trimmed().isEmpty())
        return {};
    if (auto *calc = dynamic_cast<TkvCustomCalcEdit *>(Editor()))
        return calc->Value();
    if (auto *currency = dynamic_cast<TkvCustomCurrencyEdit *>(Editor()))
        return currency->Value();
    return {};
}

void TkvEditAccessible::setCurrentValue(const QVariant &value)
{
    // Only as the user may: an editor that refuses editing keeps its value.
    if (!value.canConvert<double>() || !Editor()->RequestEditing())
        return;
    if (auto *calc = dynamic_cast<TkvCustomCalcEdit *>(Editor()))
        calc->SetValue(value.toDouble());
    else if (auto *currency = dynamic_cast<TkvCustomCurrencyEdit *>(Editor()))
        currency->SetValue(value.toDouble());
}

void InstallEditAccessibility()
{
    QAccessible::installFactory(EditAccessibleFactory);
}

} // namespace kestrum
