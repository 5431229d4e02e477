#include "navigator/NavigatorViewInfo.h"

#include "ui/ImageList.h"

#include <QStringList>

#include <algorithm>

namespace kestrum {

QSize TkvNavigatorViewInfo::NaturalButtonSize(int index) const
{
    QSize image(kvNavigatorGlyphWidth, kvNavigatorGlyphHeight);
    const TImageList *images = FButtons.Images();
    if (images && FButtons.Button(index).ImageIndex() >= 0)
        image = images->Size();
    return {image.width() + 2 * FButtonBorder + 1, image.height() + 2 * FButtonBorder + 1};
}

QSize TkvNavigatorViewInfo::Calculate(const QSize &requested)
{
    FInfos.clear();
    int naturalWidth = 0;
    int tallest = 0;
    for (int index = 0; index < FButtons.ButtonCount(); ++index) {
        if (!FButtons.Button(index).Visible())
            continue;
        TkvNavigatorButtonViewInfo info;
        info.Index = index;
        info.NaturalSize = NaturalButtonSize(index);
        naturalWidth += info.NaturalSize.width();
        tallest = std::max(tallest, info.NaturalSize.height());
        FInfos.push_back(info);
    }
    int height = std::max(requested.height(), tallest);
    int width = std::max(requested.width(), naturalWidth);
    int share = 0;
    if (!FInfos.empty()) {
        share = (width - naturalWidth) / int(FInfos.size());
        width = naturalWidth + share * int(FInfos.size());
    }
    int x = 0;
    for (TkvNavigatorButtonViewInfo &info : FInfos) {
        int buttonWidth = info.NaturalSize.width() + share;
        info.Bounds = QRect(x, 0, buttonWidth, height);
        x += buttonWidth;
    }
    FBarSize = QSize(width, height);
    Validate();
    return FBarSize;
}

int TkvNavigatorViewInfo::ButtonAt(const QPoint &point) const
{
    for (const TkvNavigatorButtonViewInfo &info : FInfos)
        if (info.Bounds.contains(point))
            return info.Index;
    return -1;
}

QRect TkvNavigatorViewInfo::ButtonBounds(int index) const
{
    for (const TkvNavigatorButtonViewInfo &info : FInfos)
        if (info.Index == index)
            return info.Bounds;
    return {};
}

QString TkvNavigatorViewInfo::LayoutText() const
{
    QStringList parts;
    for (const TkvNavigatorButtonViewInfo &info : FInfos)
        parts << QStringLiteral("%1:%2+%3").arg(info.Index).arg(info.Bounds.x()).arg(info.Bounds.width());
    return parts.join(u' ');
}

int TkvNavigatorViewInfo::VisibleOrder(int index) const
{
    for (std::size_t i = 0; i < FInfos.size(); ++i)
        if (FInfos[i].Index == index)
            return int(i);
    return -1;
}

void TkvNavigatorViewInfo::Validate()
{
    if (VisibleOrder(FHotIndex) < 0)
        FHotIndex = -1;
    if (VisibleOrder(FPressedIndex) < 0)
        FPressedIndex = -1;
    if (VisibleOrder(FFocusedIndex) < 0)
        FFocusedIndex = FInfos.empty() ? -1 : FInfos.front().Index;
}

bool TkvNavigatorViewInfo::MouseDown(const QPoint &point)
{
    int index = ButtonAt(point);
    if (index < 0 || !FButtons.IsButtonEnabled(index))
        return false;
    FPressedIndex = index;
    FFocusedIndex = index;
    FHotIndex = index;
    return true;
}

bool TkvNavigatorViewInfo::MouseMove(const QPoint &point)
{
    int index = ButtonAt(point);
    if (index == FHotIndex)
        return false;
    FHotIndex = index;
    return true;
}

void TkvNavigatorViewInfo::MouseLeave()
{
    FHotIndex = -1;
}

int TkvNavigatorViewInfo::MouseUp(const QPoint &point)
{
    int pressed = FPressedIndex;
    FPressedIndex = -1;
    if (pressed < 0)
        return -1;
    // Releasing away from the pressed button takes the press back.
    if (ButtonAt(point) != pressed || !FButtons.IsButtonEnabled(pressed))
        return -1;
    return pressed;
}

int TkvNavigatorViewInfo::RepeatTick() const
{
    if (FPressedIndex != nbPrior && FPressedIndex != nbNext)
        return -1;
    if (FHotIndex != FPressedIndex || !FButtons.IsButtonEnabled(FPressedIndex))
        return -1;
    return FPressedIndex;
}

int TkvNavigatorViewInfo::KeyDown(int key)
{
    int order = VisibleOrder(FFocusedIndex);
    if (order < 0)
        return -1;
    switch (key) {
    case Qt::Key_Left:
        if (order > 0)
            FFocusedIndex = FInfos[std::size_t(order - 1)].Index;
        return -1;
    case Qt::Key_Right:
        if (order + 1 < int(FInfos.size()))
            FFocusedIndex = FInfos[std::size_t(order + 1)].Index;
        return -1;
    case Qt::Key_Space:
        return FButtons.IsButtonEnabled(FFocusedIndex) ? FFocusedIndex : -1;
    default:
        return -1;
    }
}

} // namespace kestrum
