#include "pages/PqGroupBox.h"

#include "ui/Painting.h"

#include <QKeySequence>
#include <QPainter>
#include <QShortcutEvent>

namespace kestrum {

namespace {

QWidget *firstFocusableChild(QWidget *container)
{
    for (QWidget *widget = container->nextInFocusChain(); widget && widget != container;
         widget = widget->nextInFocusChain()) {
        if (container->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) &&
            widget->isEnabled() && widget->isVisibleTo(container))
            return widget;
    }
    return nullptr;
}

} // namespace

TPqGroupBox::TPqGroupBox(QWidget *parent)
    : QWidget(parent), FFlatColor(SystemColor(clBtnShadow)), FColor(SystemColor(clBtnFace))
{
    setFocusPolicy(Qt::NoFocus);
    resize(185, 105);
    layoutChanged();
}

void TPqGroupBox::SetCaption(const QString &caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    if (FAcceleratorId != 0)
        releaseShortcut(FAcceleratorId);
    const QKeySequence sequence = QKeySequence::mnemonic(caption);
    FAcceleratorId = sequence.isEmpty() ? 0 : grabShortcut(sequence, Qt::WindowShortcut);
    layoutChanged();
}

void TPqGroupBox::SetGroupStyle(TPqGroupStyle style)
{
    FGroupStyle = style;
    layoutChanged();
}

void TPqGroupBox::SetBorderOuter(TPqFrameStyle style)
{
    FBorderOuter = style;
    update();
}

void TPqGroupBox::SetBorderInner(TPqFrameStyle style)
{
    FBorderInner = style;
    update();
}

void TPqGroupBox::SetBorderWidth(int width)
{
    FBorderWidth = width;
    layoutChanged();
}

void TPqGroupBox::SetFlatColor(const QColor &color)
{
    FFlatColor = color;
    update();
}

void TPqGroupBox::SetFlatColorAdjustment(int adjustment)
{
    FFlatColorAdjustment = adjustment;
    update();
}

void TPqGroupBox::SetTransparent(bool transparent)
{
    FTransparent = transparent;
    update();
}

void TPqGroupBox::SetAlignment(TPqCaptionAlignment alignment)
{
    FAlignment = alignment;
    update();
}

void TPqGroupBox::SetColor(const QColor &color)
{
    FColor = color;
    update();
}

TPqGroupBoxGeometry TPqGroupBox::Geometry() const
{
    const QFontMetrics metrics(font());
    const QSize captionSize =
        FCaption.isEmpty() ? QSize() : metrics.size(Qt::TextShowMnemonic | Qt::TextSingleLine, FCaption);
    return PqGroupBoxLayout(rect(), FGroupStyle, FAlignment, captionSize,
                            metrics.size(0, QStringLiteral("Yy")).height(), FBorderWidth,
                            layoutDirection() == Qt::RightToLeft);
}

void TPqGroupBox::layoutChanged()
{
    const QRect client = Geometry().ClientRect;
    setContentsMargins(client.left(), client.top(), width() - client.right() - 1,
                       height() - client.bottom() - 1);
    update();
}

bool TPqGroupBox::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut &&
        static_cast<QShortcutEvent *>(event)->shortcutId() == FAcceleratorId && FAcceleratorId != 0) {
        if (QWidget *target = firstFocusableChild(this))
            target->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    return QWidget::event(event);
}

void TPqGroupBox::resizeEvent(QResizeEvent *event)
{
    layoutChanged();
    QWidget::resizeEvent(event);
}

void TPqGroupBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange)
        layoutChanged();
    else if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void TPqGroupBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const TPqGroupBoxGeometry geometry = Geometry();
    if (!FTransparent)
        painter.fillRect(rect(), FColor);

    const QRect frame = geometry.FrameRect;
    const QColor outline = LightenColor(FFlatColor, FFlatColorAdjustment);
    switch (FGroupStyle) {
    case gsFlat:
        DrawFrameRect(painter, frame, outline);
        // Each corner is cut by a dot set diagonally inside it.
        painter.setPen(FTransparent ? palette().color(QPalette::Window) : FColor);
        painter.drawPoint(frame.topLeft());
        painter.drawPoint(frame.topRight());
        painter.drawPoint(frame.bottomLeft());
        painter.drawPoint(frame.bottomRight());
        painter.setPen(outline);
        painter.drawPoint(frame.topLeft() + QPoint(1, 1));
        painter.drawPoint(frame.topRight() + QPoint(-1, 1));
        painter.drawPoint(frame.bottomLeft() + QPoint(1, -1));
        painter.drawPoint(frame.bottomRight() + QPoint(-1, -1));
        break;
    case gsStandard:
        if (FBorderOuter == fsFlat || FBorderOuter == fsFlatBold)
            DrawFrameRect(painter, frame, outline);
        else
            DrawGroove(painter, frame);
        break;
    case gsTopLine: {
        painter.setPen(outline);
        const int y = frame.top();
        painter.drawLine(frame.left() + 2, y, frame.right() - 2, y);
        if (FBorderOuter == fsFlatBold)
            painter.drawLine(frame.left() + 2, y + 1, frame.right() - 2, y + 1);
        break;
    }
    case gsCustom:
        break;
    }

    if (geometry.CaptionRect.isNull())
        return;
    const QRect caption = geometry.CaptionRect;
    if (!FTransparent)
        painter.fillRect(caption.adjusted(-1, 0, 1, 0), FColor);
    const int flags = Qt::TextShowMnemonic | Qt::TextSingleLine | Qt::AlignLeft | Qt::AlignTop;
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(caption, flags, FCaption);
    } else {
        painter.setPen(SystemColor(clBtnHighlight));
        painter.drawText(caption.translated(1, 1), flags, FCaption);
        painter.setPen(SystemColor(clBtnShadow));
        painter.drawText(caption, flags, FCaption);
    }
}

} // namespace kestrum
