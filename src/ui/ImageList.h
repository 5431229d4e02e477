#pragma once
// A list of same-sized images shared by tabs, menus and buttons, addressed by index.
#include <QIcon>
#include <QPixmap>

#include <vector>

class QPainter;

namespace kestrum {

class TImageList {
public:
    explicit TImageList(int width = 16, int height = 16) : FWidth(width), FHeight(height) {}

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    QSize Size() const { return {FWidth, FHeight}; }
    int Count() const { return int(FImages.size()); }
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }

    //! Appends an image, scaled to the list's size when it differs; returns its index.
    int Add(const QPixmap &image);
    const QPixmap &Image(int index) const;
    QIcon Icon(int index) const;
    //! Draws image `index` with its top-left at (x, y); a disabled image is drawn greyed.
    //! An index outside the list draws nothing.
    void Draw(QPainter &painter, int x, int y, int index, bool enabled = true) const;

private:
    int FWidth;
    int FHeight;
    std::vector<QPixmap> FImages;
};

} // namespace kestrum
