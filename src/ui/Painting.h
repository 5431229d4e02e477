#pragma once
// Colour and drawing primitives shared by our own painted controls.
#include <QColor>
#include <QLine>
#include <QRect>

class QPainter;

namespace kestrum {

//! The system colours the controls name by default, taken from the application palette.
enum TSystemColor { clBtnFace, clBtnShadow, clBtnHighlight, clBtnText, clHighlight, clWindow, clWindowText };
QColor SystemColor(TSystemColor color);

//! Adds amount to each channel (clamped), the way outline colours are softened.
QColor LightenColor(const QColor &color, int amount);
//! Darkens by percent (30 makes each channel 70 % of its value).
QColor DarkenColor(const QColor &color, int percent);
//! Hot-tracking colour: the hue turned by a third of the circle, saturation 240
//! and luminance 140 on the 0 .. 240 scale.
QColor ComplementColor(const QColor &color);

//! Darkens the pixels under a line by blending black at the given opacity (0 .. 1).
void BlendLine(QPainter &painter, const QLine &line, double opacity);
//! Fills rect with a gradient from `from` at one edge to `to` at the other;
//! vertical runs top to bottom, horizontal left to right.
void FillGradient(QPainter &painter, const QRect &rect, const QColor &from, const QColor &to,
                  Qt::Orientation orientation);

//! How many device pixels one logical pixel covers where painter paints: the
//! pixel ratio of the device it really paints on (a widget rendered into an
//! image paints on the image), times the painter's own scaling.
qreal PaintPixelRatio(const QPainter &painter);

//! A one-pixel rectangle in `color`.
void DrawFrameRect(QPainter &painter, const QRect &rect, const QColor &color);

} // namespace kestrum
