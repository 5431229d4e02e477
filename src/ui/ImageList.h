#pragma once
// A list of same-sized images shared by tabs, menus and buttons, addressed by index.
// Sizes are in device-independent pixels. An image added as a drawing is
// painted again at the pixel ratio of whatever it is drawn on, so it stays
// crisp on a scaled screen; an added picture is kept at its own resolution
// and only scaled down as far as the screen needs.
#include <QIcon>
#include <QPixmap>

#include <functional>
#include <vector>

class QPainter;

namespace kestrum {

class TImageList {
public:
    //! Paints one image into a square of the list's size (in device-independent pixels).
    using TDrawing = std::function<void(QPainter &)>;

    explicit TImageList(int width = 16, int height = 16) : FWidth(width), FHeight(height) {}

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    QSize Size() const { return {FWidth, FHeight}; }
    int Count() const { return int(FImages.size()); }
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }

    //! Appends an image, scaled to the list's size when it differs; returns its index.
    int Add(const QPixmap &image);
    //! Appends an image that draw paints, at any pixel ratio; returns its index.
    int AddDrawing(TDrawing draw);
    //! The image at a pixel ratio of 1.
    const QPixmap &Image(int index) const;
    //! The image for a device of the given pixel ratio: its size in pixels is
    //! the list's size times the ratio (where the source allows), and its
    //! device pixel ratio says so.
    QPixmap Image(int index, qreal pixelRatio) const;
    //! An icon with the image at the pixel ratios of common scaled screens.
    QIcon Icon(int index) const;
    //! Draws image `index` with its top-left at (x, y), at the pixel ratio of
    //! the painter's device; a disabled image is drawn greyed. An index
    //! outside the list draws nothing.
    void Draw(QPainter &painter, int x, int y, int index, bool enabled = true) const;

private:
    struct TEntry {
        QPixmap Image;  //!< at a pixel ratio of 1
        QPixmap Source; //!< the picture as added (null for a drawing)
        TDrawing Drawing;
        mutable std::vector<QPixmap> Scaled; //!< made for other pixel ratios
    };
    QPixmap render(const TEntry &entry, qreal pixelRatio) const;

    int FWidth;
    int FHeight;
    std::vector<TEntry> FImages;
};

} // namespace kestrum
