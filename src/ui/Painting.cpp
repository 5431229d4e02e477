#include "ui/Painting.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace kestrum {

QColor SystemColor(TSystemColor color)
{
    const QPalette palette = QApplication::palette();
    switch (color) {
    case clBtnFace:
        return palette.color(QPalette::Button);
    case clBtnShadow:
        return palette.color(QPalette::Dark);
    case clBtnHighlight:
        return palette.color(QPalette::Light);
    case clBtnText:
        return palette.color(QPalette::ButtonText);
    case clHighlight:
        return palette.color(QPalette::Highlight);
    case clWindow:
        return palette.color(QPalette::Base);
    case clWindowText:
        return palette.color(QPalette::WindowText);
    }
    return palette.color(QPalette::Button);
}

QColor LightenColor(const QColor &color, int amount)
{
    auto channel = [amount](int value) { return std::clamp(value + amount, 0, 255); };
    return QColor(channel(color.red()), channel(color.green()), channel(color.blue()));
}

QColor DarkenColor(const QColor &color, int percent)
{
    const int keep = std::clamp(100 - percent, 0, 100);
    return QColor(color.red() * keep / 100, color.green() * keep / 100, color.blue() * keep / 100);
}

QColor ComplementColor(const QColor &color)
{
    // Qt keeps hue in degrees and saturation/lightness in 0 .. 255; the
    // rule is stated on the 0 .. 240 scale of the classic colour dialog.
    const int hue240 = std::max(0, color.toHsl().hslHue()) * 240 / 360;
    const int turned = hue240 < 120 ? hue240 + 120 : hue240 - 120;
    return QColor::fromHsl(turned * 360 / 240, 255, 140 * 255 / 240);
}

void BlendLine(QPainter &painter, const QLine &line, double opacity)
{
    painter.save();
    painter.setOpacity(opacity);
    painter.setPen(Qt::black);
    painter.drawLine(line);
    painter.restore();
}

void FillGradient(QPainter &painter, const QRect &rect, const QColor &from, const QColor &to,
                  Qt::Orientation orientation)
{
    if (rect.isEmpty())
        return;
    QLinearGradient gradient(rect.topLeft(),
                             orientation == Qt::Vertical ? rect.bottomLeft() : rect.topRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(rect, gradient);
}

qreal PaintPixelRatio(const QPainter &painter)
{
    const QPaintEngine *engine = painter.paintEngine();
    const QPaintDevice *device = engine && engine->paintDevice() ? engine->paintDevice() : painter.device();
    const qreal deviceRatio = device ? device->devicePixelRatio() : 1.0;
    const QTransform &world = painter.worldTransform();
    const qreal worldScale = std::sqrt(std::abs(world.determinant()));
    return std::max(1.0, deviceRatio * (worldScale > 0 ? worldScale : 1.0));
}

void DrawFrameRect(QPainter &painter, const QRect &rect, const QColor &color)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(color);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

} // namespace kestrum
