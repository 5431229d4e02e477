#include "ui/ImageList.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <stdexcept>

namespace kestrum {

int TImageList::Add(const QPixmap &image)
{
    if (image.size() == Size())
        FImages.push_back(image);
    else
        FImages.push_back(image.scaled(Size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return Count() - 1;
}

const QPixmap &TImageList::Image(int index) const
{
    if (!IsValidIndex(index))
        throw std::out_of_range("Image index out of range");
    return FImages[std::size_t(index)];
}

QIcon TImageList::Icon(int index) const
{
    return IsValidIndex(index) ? QIcon(Image(index)) : QIcon();
}

void TImageList::Draw(QPainter &painter, int x, int y, int index, bool enabled) const
{
    if (!IsValidIndex(index))
        return;
    const QPixmap &image = Image(index);
    if (enabled) {
        painter.drawPixmap(x, y, image);
        return;
    }
    QStyleOption option;
    option.palette = QApplication::palette();
    painter.drawPixmap(x, y, QApplication::style()->generatedIconPixmap(QIcon::Disabled, image, &option));
}

} // namespace kestrum
