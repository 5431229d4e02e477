#include "ui/ImageList.h"

#include "ui/Painting.h"

#include <QApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <cmath>
#include <stdexcept>

namespace kestrum {

namespace {

// The pixel ratios an icon carries: plain, 125 %, 150 %, 200 % and 300 % screens.
const qreal IconPixelRatios[] = {1.0, 1.25, 1.5, 2.0, 3.0};

bool SameRatio(qreal a, qreal b)
{
    return std::abs(a - b) < 0.01;
}

} // namespace

int TImageList::Add(const QPixmap &image)
{
    TEntry entry;
    entry.Source = image;
    entry.Image = image.size() == Size()
                      ? image
                      : image.scaled(Size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    FImages.push_back(std::move(entry));
    return Count() - 1;
}

int TImageList::AddDrawing(TDrawing draw)
{
    TEntry entry;
    entry.Drawing = std::move(draw);
    entry.Image = render(entry, 1.0);
    FImages.push_back(std::move(entry));
    return Count() - 1;
}

QPixmap TImageList::render(const TEntry &entry, qreal pixelRatio) const
{
    const QSize pixels(qRound(FWidth * pixelRatio), qRound(FHeight * pixelRatio));
    if (!entry.Drawing) {
        // A picture gives no more detail than it has.
        if (entry.Source.width() < pixels.width() || entry.Source.height() < pixels.height())
            return entry.Image;
        QPixmap scaled = entry.Source.size() == pixels
                             ? entry.Source
                             : entry.Source.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(pixelRatio);
        return scaled;
    }
    QPixmap image(pixels);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    entry.Drawing(painter);
    return image;
}

const QPixmap &TImageList::Image(int index) const
{
    if (!IsValidIndex(index))
        throw std::out_of_range("Image index out of range");
    return FImages[std::size_t(index)].Image;
}

QPixmap TImageList::Image(int index, qreal pixelRatio) const
{
    const QPixmap &plain = Image(index);
    if (pixelRatio <= 1.0)
        return plain;
    const TEntry &entry = FImages[std::size_t(index)];
    for (const QPixmap &scaled : entry.Scaled)
        if (SameRatio(scaled.devicePixelRatio(), pixelRatio))
            return scaled;
    QPixmap made = render(entry, pixelRatio);
    if (made.cacheKey() == plain.cacheKey())
        return plain;
    entry.Scaled.push_back(made);
    return made;
}

QIcon TImageList::Icon(int index) const
{
    if (!IsValidIndex(index))
        return QIcon();
    QIcon icon;
    for (qreal ratio : IconPixelRatios) {
        const QPixmap image = Image(index, ratio);
        if (ratio == 1.0 || !SameRatio(image.devicePixelRatio(), 1.0))
            icon.addPixmap(image);
    }
    return icon;
}

void TImageList::Draw(QPainter &painter, int x, int y, int index, bool enabled) const
{
    if (!IsValidIndex(index))
        return;
    const qreal pixelRatio = PaintPixelRatio(painter);
    const QPixmap image = Image(index, pixelRatio);
    // Drawn into the list's size whatever the pixmap's resolution.
    const QRect target(x, y, FWidth, FHeight);
    if (enabled) {
        painter.drawPixmap(target, image);
        return;
    }
    QStyleOption option;
    option.palette = QApplication::palette();
    painter.drawPixmap(target, QApplication::style()->generatedIconPixmap(QIcon::Disabled, image, &option));
}

} // namespace kestrum
