#include "pages/PqGroupBox.h"

#include "pages/PqPageControlAccessible.h"
#include "ui/Focus.h"
#include "ui/Painting.h"

#include <QKeySequence>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace kestrum {

namespace {

//! The classic Windows style stands for a platform without visual themes.
bool ThemesActive(const QStyle &style)
{
    return style.name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

//! One 3-D edge: top and left lines in `topLeft`, bottom and right in `bottomRight`.
void DrawBevel(QPainter &painter, const QRect &rect, const QColor &topLeft, const QColor &bottomRight)
{
    painter.setPen(topLeft);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

} // namespace

TPqGroupBox::TPqGroupBox(QWidget *parent)
    : QWidget(parent), FFlatColor(SystemColor(clBtnShadow)), FColor(SystemColor(clBtnFace))
{
    InstallPageControlAccessibility();
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

void TPqGroupBox::SetThemeAware(bool themeAware)
{
    FThemeAware = themeAware;
    update();
}

TPqGroupFrame TPqGroupBox::Frame() const
{
    return PqGroupBoxFrame(FGroupStyle, FBorderOuter, FThemeAware && ThemesActive(*style()));
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
        if (QWidget *target = FirstFocusableChild(this))
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
    else if (event->type() == QEvent::EnabledChange || event->type() == QEvent::StyleChange)
        update();
    QWidget::changeEvent(event);
}

void TPqGroupBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!FTransparent)
        painter.fillRect(rect(), FColor);
    const TPqGroupFrame frame = Frame();
    if (frame == TPqGroupFrame::Themed) {
        paintThemed(painter);
        return;
    }
    const TPqGroupBoxGeometry geometry = Geometry();
    paintFrame(painter, frame, geometry.FrameRect);

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

void TPqGroupBox::paintThemed(QPainter &painter)
{
    // The style places and draws the frame and the caption the way its own
    // group boxes look, normal or disabled.
    QStyleOptionGroupBox option;
    option.initFrom(this);
    option.text = FCaption;
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.textColor = palette().color(QPalette::WindowText);
    option.subControls = QStyle::SC_GroupBoxFrame;
    if (!FCaption.isEmpty())
        option.subControls |= QStyle::SC_GroupBoxLabel;
    switch (FAlignment) {
    case TPqCaptionAlignment::taLeftJustify:
        option.textAlignment = Qt::AlignLeft;
        break;
    case TPqCaptionAlignment::taRightJustify:
        option.textAlignment = Qt::AlignRight;
        break;
    case TPqCaptionAlignment::taCenter:
        option.textAlignment = Qt::AlignHCenter;
        break;
    }
    style()->drawComplexControl(QStyle::CC_GroupBox, &option, &painter, this);
}

void TPqGroupBox::paintFrame(QPainter &painter, TPqGroupFrame frame, const QRect &rect)
{
    const QColor outline = LightenColor(FFlatColor, FFlatColorAdjustment);
    const QColor light = SystemColor(clBtnHighlight);
    const QColor dark = SystemColor(clBtnShadow);
    switch (frame) {
    case TPqGroupFrame::Themed:
    case TPqGroupFrame::None:
        break;
    case TPqGroupFrame::FlatCutCorners:
        DrawFrameRect(painter, rect, outline);
        // Each corner is cut by a dot set diagonally inside it.
        painter.setPen(FTransparent ? palette().color(QPalette::Window) : FColor);
        painter.drawPoint(rect.topLeft());
        painter.drawPoint(rect.topRight());
        painter.drawPoint(rect.bottomLeft());
        painter.drawPoint(rect.bottomRight());
        painter.setPen(outline);
        painter.drawPoint(rect.topLeft() + QPoint(1, 1));
        painter.drawPoint(rect.topRight() + QPoint(-1, 1));
        painter.drawPoint(rect.bottomLeft() + QPoint(1, -1));
        painter.drawPoint(rect.bottomRight() + QPoint(-1, -1));
        break;
    case TPqGroupFrame::Flat:
        DrawFrameRect(painter, rect, outline);
        break;
    case TPqGroupFrame::FlatBold:
        DrawFrameRect(painter, rect, outline);
        DrawFrameRect(painter, rect.adjusted(1, 1, -1, -1), outline);
        break;
    case TPqGroupFrame::Groove:
        DrawBevel(painter, rect, dark, light);
        DrawBevel(painter, rect.adjusted(1, 1, -1, -1), light, dark);
        break;
    case TPqGroupFrame::Bump:
        DrawBevel(painter, rect, light, dark);
        DrawBevel(painter, rect.adjusted(1, 1, -1, -1), dark, light);
        break;
    case TPqGroupFrame::Lowered:
        DrawBevel(painter, rect, dark, light);
        break;
    case TPqGroupFrame::Raised:
        DrawBevel(painter, rect, light, dark);
        break;
    case TPqGroupFrame::TopLine:
    case TPqGroupFrame::TopLineBold: {
        painter.setPen(outline);
        const int y = rect.top();
        painter.drawLine(rect.left() + 2, y, rect.right() - 2, y);
        if (frame == TPqGroupFrame::TopLineBold)
            painter.drawLine(rect.left() + 2, y + 1, rect.right() - 2, y + 1);
        break;
    }
    }
}

} // namespace kestrum
