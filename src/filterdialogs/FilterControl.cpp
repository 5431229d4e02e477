#include "filterdialogs/FilterControl.h"

#include "editors/CustomEdit.h"
#include "filterdialogs/FilterControlEditors.h"
#include "filterdialogs/FilterEditHelper.h"
#include "filterdialogs/FilterLink.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace kestrum {

namespace {

constexpr int Margin = 4;
constexpr int PartGap = 6;

TkvFilterControlConditionRow *AsCondition(TkvFilterControlRow *row)
{
    return row && !row->IsGroup() ? static_cast<TkvFilterControlConditionRow *>(row) : nullptr;
}

} // namespace

TkvFilterControl::TkvFilterControl(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    FModel.OnChanged = [this] { ModelChanged(); };
    FModel.OnPostEdit = [this] { PostValueEdit(); };
}

TkvFilterControl::~TkvFilterControl()
{
    FModel.OnChanged = nullptr;
    FModel.OnPostEdit = nullptr;
    if (FEditor) {
        FEditor->OnExit = nullptr;
        FEditor->OnKeyDown = nullptr;
    }
}

void TkvFilterControl::SetLinkComponent(TkvFilterLink *link)
{
    CancelValueEdit();
    FModel.SetLink(link);
    ModelChanged();
}

void TkvFilterControl::SetNullString(const QString &value)
{
    FModel.SetNullString(value);
    ModelChanged();
}

void TkvFilterControl::SetShowLevelLines(bool value)
{
    FShowLevelLines = value;
    update();
}

void TkvFilterControl::ModelChanged()
{
    FLayoutValid = false;
    updateGeometry();
    update();
}

int TkvFilterControl::RowHeight() const
{
    return fontMetrics().height() + 6;
}

QFont TkvFilterControl::PartFont(TkvFilterControlPartKind kind) const
{
    QFont result = font();
    switch (kind) {
    case TkvFilterControlPartKind::BoolOperator:
        result.setUnderline(FontBoolOperator.Underline);
        break;
    case TkvFilterControlPartKind::Field:
        result.setUnderline(FontItem.Underline);
        break;
    case TkvFilterControlPartKind::Operator:
        result.setUnderline(FontCondition.Underline);
        break;
    case TkvFilterControlPartKind::Value:
        result.setUnderline(FontValue.Underline);
        break;
    case TkvFilterControlPartKind::FooterLink:
        result.setUnderline(true);
        break;
    default:
        break;
    }
    return result;
}

QColor TkvFilterControl::PartColor(TkvFilterControlPartKind kind) const
{
    switch (kind) {
    case TkvFilterControlPartKind::BoolOperator:
        return FontBoolOperator.Color;
    case TkvFilterControlPartKind::Field:
        return FontItem.Color;
    case TkvFilterControlPartKind::Operator:
        return FontCondition.Color;
    case TkvFilterControlPartKind::Value:
    case TkvFilterControlPartKind::AddValue:
        return FontValue.Color;
    case TkvFilterControlPartKind::FooterLink:
        return palette().color(QPalette::Disabled, QPalette::Text);
    default:
        return palette().color(QPalette::Text);
    }
}

void TkvFilterControl::Relayout()
{
    if (FLayoutValid)
        return;
    FLayoutValid = true;
    FParts.clear();
    FRowLines.clear();
    const int rowHeight = RowHeight();
    const QFontMetrics metrics(font());
    const auto rows = FModel.Rows();
    int y = Margin;
    // Parts stand PartGap apart; the brackets and separators of a value list
    // and the word between two range ends sit close to their values.
    const auto addPart = [&](int &x, TkvFilterControlFocus part, const QString &text, int padding = 0,
                             int gap = PartGap) {
        const int width = metrics.horizontalAdvance(text) + 2 * padding + 2;
        FParts.push_back({part, QRect(x, y + 1, width, rowHeight - 2), text});
        x += width + gap;
    };
    for (TkvFilterControlRow *row : rows) {
        int x = Margin + row->Level() * rowHeight;
        addPart(x, {row, TkvFilterControlPartKind::Button, -1},
                row->IsRoot() ? QString::fromUtf8("搜索") : QStringLiteral("..."), 5);
        if (row->IsGroup()) {
            auto *group = static_cast<TkvFilterControlGroupRow *>(row);
            addPart(x, {row, TkvFilterControlPartKind::BoolOperator, -1},
                    FilterControlBoolCaption(group->BoolCode()));
            addPart(x, {row, TkvFilterControlPartKind::None, -1}, group->Caption());
        } else {
            auto *condition = static_cast<TkvFilterControlConditionRow *>(row);
            const QString field = FModel.FieldText(*condition);
            addPart(x, {row, TkvFilterControlPartKind::Field, -1},
                    field.isEmpty() ? QStringLiteral("<>") : field);
            addPart(x, {row, TkvFilterControlPartKind::Operator, -1},
                    FilterDialogOperatorCaption(condition->Operator));
            const bool list = IsInListFilterDialogOperator(condition->Operator);
            const int count = int(condition->Values.size());
            if (list)
                addPart(x, {row, TkvFilterControlPartKind::None, -1}, QStringLiteral("("), 0, 0);
            for (int i = 0; i < count; ++i) {
                const bool last = i == count - 1;
                addPart(x, {row, TkvFilterControlPartKind::Value, i}, FModel.ValueText(*condition, i), 0,
                        last && !list ? PartGap : 0);
                if (!last)
                    addPart(x, {row, TkvFilterControlPartKind::None, -1},
                            list ? QStringLiteral(", ")
                                 : QStringLiteral(" %1 ").arg(FilterControlBoolCaption(bcAnd)),
                            0, 0);
            }
            if (list) {
                addPart(x, {row, TkvFilterControlPartKind::None, -1}, QStringLiteral(")"));
                addPart(x, {row, TkvFilterControlPartKind::AddValue, -1}, QStringLiteral("+"), 4);
            }
        }
        y += rowHeight;
    }
    int x = Margin + rowHeight;
    addPart(x, {nullptr, TkvFilterControlPartKind::FooterLink, -1}, QString::fromUtf8("点击按钮添加新条件"));
}

const std::vector<TkvFilterControlPartInfo> &TkvFilterControl::Parts()
{
    Relayout();
    return FParts;
}

TkvFilterControlFocus TkvFilterControl::PartAt(const QPoint &point)
{
    for (const TkvFilterControlPartInfo &info : Parts())
        if (info.Part.Part != TkvFilterControlPartKind::None && info.Bounds.contains(point))
            return info.Part;
    return {};
}

QRect TkvFilterControl::PartBounds(const TkvFilterControlFocus &part)
{
    for (const TkvFilterControlPartInfo &info : Parts())
        if (info.Part == part)
            return info.Bounds;
    return QRect();
}

QSize TkvFilterControl::sizeHint() const
{
    auto *self = const_cast<TkvFilterControl *>(this);
    int right = 0;
    int bottom = 0;
    for (const TkvFilterControlPartInfo &info : self->Parts()) {
        right = std::max(right, info.Bounds.right());
        bottom = std::max(bottom, info.Bounds.bottom());
    }
    return QSize(right + Margin + 1, bottom + Margin + 1);
}

// ---------------------------------------------------------------------------
// Painting

void TkvFilterControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Relayout();
    const int rowHeight = RowHeight();
    const auto rows = FModel.Rows();
    if (FShowLevelLines) {
        // A dotted elbow from each row's group down to the row.
        painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const TkvFilterControlRow *row = rows[i];
            const auto parent = std::find(rows.begin(), rows.end(), row->Parent());
            const int parentIndex = int(parent - rows.begin());
            const int x = Margin + (row->Level() - 1) * rowHeight + rowHeight / 2;
            const int top = Margin + parentIndex * rowHeight + rowHeight - 2;
            const int middle = Margin + int(i) * rowHeight + rowHeight / 2;
            painter.drawLine(x, top, x, middle);
            painter.drawLine(x, middle, Margin + row->Level() * rowHeight - 2, middle);
        }
    }
    const bool showFocus = hasFocus() || (FEditor && FEditor->isVisible());
    const bool showHot = hasFocus() || FHotTrackOnUnfocused;
    for (const TkvFilterControlPartInfo &info : FParts) {
        const TkvFilterControlPartKind kind = info.Part.Part;
        const bool focused =
            showFocus && info.Part == FModel.Focus() && kind != TkvFilterControlPartKind::None;
        const bool hot = showHot && info.Part == FHotPart && kind != TkvFilterControlPartKind::None;
        if (kind == TkvFilterControlPartKind::Button || kind == TkvFilterControlPartKind::AddValue) {
            painter.setPen(palette().color(QPalette::Dark));
            painter.setBrush(hot ? palette().color(QPalette::Midlight) : palette().color(QPalette::Button));
            painter.drawRect(info.Bounds.adjusted(0, 0, -1, -1));
            painter.setBrush(Qt::NoBrush);
            painter.setPen(palette().color(QPalette::ButtonText));
            painter.setFont(font());
            painter.drawText(info.Bounds, Qt::AlignCenter, info.Text);
            if (focused) {
                painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
                painter.drawRect(info.Bounds.adjusted(2, 2, -3, -3));
            }
            continue;
        }
        if (focused) {
            painter.fillRect(info.Bounds, palette().color(QPalette::Highlight));
            painter.setPen(palette().color(QPalette::HighlightedText));
        } else {
            if (hot)
                painter.fillRect(info.Bounds, palette().color(QPalette::AlternateBase));
            painter.setPen(PartColor(kind));
        }
        painter.setFont(PartFont(kind));
        painter.drawText(info.Bounds.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, info.Text);
    }
}

// ---------------------------------------------------------------------------
// Keys and mouse

bool TkvFilterControl::event(QEvent *event)
{
    // Tab moves among the parts before Qt's focus chain sees it.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QWidget::event(event);
}

bool TkvFilterControl::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

void TkvFilterControl::keyPressEvent(QKeyEvent *event)
{
    const TkvFilterControlKeyAction action = FModel.KeyAction(event->key(), event->modifiers());
    if (action == TkvFilterControlKeyAction::None) {
        const QString text = event->text();
        if (FModel.Focus().Part == TkvFilterControlPartKind::Value && text.size() == 1 && text[0].isPrint()) {
            StartValueEdit(text[0]);
            return;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    TkvFilterControlActivation activation;
    try {
        if (!FModel.DoKeyAction(action, &activation)) {
            const bool back =
                event->key() == Qt::Key_Backtab || event->modifiers().testFlag(Qt::ShiftModifier);
            focusNextPrevChild(!back);
            return;
        }
        Activate(activation);
    } catch (const std::exception &error) {
        TkvCustomEdit::HandleException(error);
    }
}

void TkvFilterControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const TkvFilterControlFocus part = PartAt(event->position().toPoint());
    if (part.Part == TkvFilterControlPartKind::None)
        return;
    try {
        if (FEditor)
            PostValueEdit();
        Activate(FModel.ActivatePart(part));
    } catch (const std::exception &error) {
        TkvCustomEdit::HandleException(error);
    }
}

void TkvFilterControl::mouseMoveEvent(QMouseEvent *event)
{
    const TkvFilterControlFocus hot = PartAt(event->position().toPoint());
    if (!(hot == FHotPart)) {
        FHotPart = hot;
        setCursor(hot.Part == TkvFilterControlPartKind::None ? Qt::ArrowCursor : Qt::PointingHandCursor);
        update();
    }
}

void TkvFilterControl::leaveEvent(QEvent *)
{
    FHotPart = {};
    update();
}

void TkvFilterControl::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void TkvFilterControl::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void TkvFilterControl::Activate(const TkvFilterControlActivation &activation)
{
    const TkvFilterControlFocus part = FModel.Focus();
    switch (activation.What) {
    case TkvFilterControlActivation::Kind::None:
        break;
    case TkvFilterControlActivation::Kind::Menu: {
        const int command = Choose(activation, PartBounds(part));
        if (command >= 0)
            FModel.ExecuteMenuCommand(part.Row, TkvFilterControlMenuCommand(command));
        break;
    }
    case TkvFilterControlActivation::Kind::List: {
        const int code = Choose(activation, PartBounds(part));
        if (code >= 0)
            FModel.ChooseListEntry(part, code);
        break;
    }
    case TkvFilterControlActivation::Kind::Editor:
        StartValueEdit();
        break;
    }
}

int TkvFilterControl::Choose(const TkvFilterControlActivation &activation, const QRect &bounds)
{
    if (OnChoose)
        return OnChoose(activation, bounds);
    QMenu menu(this);
    if (activation.What == TkvFilterControlActivation::Kind::Menu) {
        for (const TkvFilterControlMenuItem &item : activation.MenuItems) {
            if (!item.Visible)
                continue;
            if (item.SeparatorBefore)
                menu.addSeparator();
            menu.addAction(item.Caption)->setData(int(item.Command));
        }
    } else {
        for (int i = 0; i < int(activation.ListEntries.size()); ++i) {
            QAction *action = menu.addAction(activation.ListEntries[std::size_t(i)].Caption);
            action->setData(activation.ListEntries[std::size_t(i)].Code);
            action->setCheckable(true);
            action->setChecked(i == activation.CurrentEntry);
        }
        menu.setMinimumWidth(bounds.width());
    }
    QAction *chosen = menu.exec(mapToGlobal(bounds.bottomLeft()));
    return chosen ? chosen->data().toInt() : -1;
}

// ---------------------------------------------------------------------------
// Value editing

void TkvFilterControl::StartValueEdit(QChar ch)
{
    const TkvFilterControlFocus part = FModel.Focus();
    TkvFilterControlConditionRow *condition = AsCondition(part.Row);
    if (part.Part != TkvFilterControlPartKind::Value || !condition || !FModel.Link() ||
        condition->ItemIndex < 0)
        return;
    CancelValueEdit();
    const QRect bounds = PartBounds(part);
    const TkvCustomEditProperties *properties = FModel.Link()->ItemProperties(condition->ItemIndex);
    FEditHelper = &FilterControlEditHelper(properties);
    FEditor = FEditHelper->CreateValueEdit(FilterControlEditProperties(properties), this);
    FEditedPart = part;
    FEditor->setGeometry(bounds.x(), bounds.y(), std::max(bounds.width() + 24, 120), bounds.height());
    FEditHelper->SetEditValue(*FEditor, condition->Values[std::size_t(part.ValueIndex)].Value);
    FEditor->OnKeyDown = [this](TkvCustomEdit *, int &key, Qt::KeyboardModifiers modifiers) {
        switch (key) {
        case Qt::Key_Escape:
            key = 0;
            CancelValueEdit();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = 0;
            PostValueEdit();
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            const bool back = key == Qt::Key_Backtab || modifiers.testFlag(Qt::ShiftModifier);
            key = 0;
            PostValueEdit();
            FModel.DoKeyAction(back ? TkvFilterControlKeyAction::PriorPart
                                    : TkvFilterControlKeyAction::NextPart);
            break;
        }
        default:
            break;
        }
    };
    FEditor->OnExit = [this](TkvCustomEdit *) {
        if (!FClosingEditor)
            PostValueEdit();
    };
    if (ch.isNull())
        FEditor->ActivateInPlace();
    else
        FEditor->ActivateInPlaceByKey(ch);
    update();
}

void TkvFilterControl::PostValueEdit()
{
    if (!FEditor || FClosingEditor)
        return;
    TkvFilterControlConditionRow *condition = AsCondition(FEditedPart.Row);
    FEditor->DeactivateInPlace();
    if (condition && FEditedPart.ValueIndex < int(condition->Values.size())) {
        try {
            FModel.PostValue(*condition, FEditedPart.ValueIndex, FEditor->EditValue(),
                             FEditor->DisplayText());
        } catch (...) {
            if (QWidget *inner = FEditor->InnerWidget())
                inner->setFocus();
            throw;
        }
    }
    CloseEditor();
}

void TkvFilterControl::CancelValueEdit()
{
    if (FEditor)
        CloseEditor();
}

void TkvFilterControl::CloseEditor()
{
    FClosingEditor = true;
    const bool hadFocus = FEditor->isAncestorOf(QApplication::focusWidget());
    FEditor->OnExit = nullptr;
    FEditor->OnKeyDown = nullptr;
    FEditor->hide();
    // The editor may be closing from inside one of its own event handlers.
    FEditor.release()->deleteLater();
    FClosingEditor = false;
    if (hadFocus)
        setFocus();
    update();
}

} // namespace kestrum
