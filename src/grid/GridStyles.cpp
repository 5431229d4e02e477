#include "grid/GridStyles.h"

#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridTableView.h"

namespace kestrum {

void TkvGridTableViewStyles::SetSlot(TkvGridStyleSlot slot, TkvGridStylePtr style)
{
    FSlots[static_cast<int>(slot)] = std::move(style);
    // Fonts decide row heights, so the cached heights go too.
    if (FGridView)
        FGridView->SizeChanged();
}

void TkvGridTableViewStyles::SetStyleSheet(TkvGridStyleSheetPtr styleSheet)
{
    if (FStyleSheet == styleSheet)
        return;
    FStyleSheet = std::move(styleSheet);
    if (FGridView)
        FGridView->SizeChanged();
}

void TkvGridBackgroundBitmaps::SetBitmap(TkvGridBitmapSlot slot, const QImage &bitmap)
{
    FBitmaps[static_cast<int>(slot)] = bitmap;
    if (FGridView)
        FGridView->LayoutChanged();
}

const QImage &TkvGridBackgroundBitmaps::BitmapForStyleSlot(TkvGridStyleSlot slot) const
{
    static const QImage none;
    switch (slot) {
    case TkvGridStyleSlot::Background:
        return Bitmap(TkvGridBitmapSlot::Background);
    case TkvGridStyleSlot::Content:
    case TkvGridStyleSlot::ContentEven:
    case TkvGridStyleSlot::ContentOdd:
        return Bitmap(TkvGridBitmapSlot::Content);
    case TkvGridStyleSlot::FilterBox:
        return Bitmap(TkvGridBitmapSlot::FilterBox);
    case TkvGridStyleSlot::Footer:
        return Bitmap(TkvGridBitmapSlot::Footer);
    case TkvGridStyleSlot::Header:
        return Bitmap(TkvGridBitmapSlot::Header);
    case TkvGridStyleSlot::Group:
        return Bitmap(TkvGridBitmapSlot::Group);
    case TkvGridStyleSlot::GroupByBox:
        return Bitmap(TkvGridBitmapSlot::GroupByBox);
    case TkvGridStyleSlot::Indicator:
        return Bitmap(TkvGridBitmapSlot::Indicator);
    case TkvGridStyleSlot::Preview:
        return Bitmap(TkvGridBitmapSlot::Preview);
    default:
        return none;
    }
}

TkvGridViewParams TkvGridTableViewStyles::DefaultParams(TkvGridStyleSlot slot) const
{
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    TkvGridViewParams params{lookAndFeel.ContentColor(), lookAndFeel.ContentTextColor(), FGridView->Font(),
                             FGridView->BackgroundBitmaps().BitmapForStyleSlot(slot)};
    switch (slot) {
    case TkvGridStyleSlot::Inactive:
        params.Color = lookAndFeel.InactiveColor();
        params.TextColor = lookAndFeel.InactiveTextColor();
        break;
    case TkvGridStyleSlot::Selection:
        params.Color = lookAndFeel.HighlightColor();
        params.TextColor = lookAndFeel.HighlightTextColor();
        break;
    case TkvGridStyleSlot::IncSearch:
        // clDefault for both colours: the painter keeps the cell's own colours.
        params.Color = clDefault();
        params.TextColor = clDefault();
        break;
    case TkvGridStyleSlot::FilterBox:
        params.Color = lookAndFeel.FilterBoxColor();
        params.TextColor = lookAndFeel.FilterBoxTextColor();
        break;
    case TkvGridStyleSlot::Footer:
        params.Color = lookAndFeel.FooterColor();
        params.TextColor = lookAndFeel.FooterTextColor();
        break;
    case TkvGridStyleSlot::Group:
        params.Color = lookAndFeel.GroupColor();
        params.TextColor = lookAndFeel.GroupTextColor();
        break;
    case TkvGridStyleSlot::GroupByBox:
        params.Color = lookAndFeel.GroupByBoxColor();
        params.TextColor = lookAndFeel.GroupByBoxTextColor();
        break;
    case TkvGridStyleSlot::Header:
    case TkvGridStyleSlot::Indicator:
        params.Color = lookAndFeel.HeaderColor();
        params.TextColor = lookAndFeel.HeaderTextColor();
        break;
    case TkvGridStyleSlot::NewItemRowInfoText:
        params.TextColor = lookAndFeel.GrayTextColor();
        break;
    case TkvGridStyleSlot::Preview:
        params.TextColor = lookAndFeel.PreviewTextColor();
        break;
    default:
        break;
    }
    return params;
}

TkvGridViewParams TkvGridTableViewStyles::Resolve(const TkvGridStylePtr &style,
                                                  TkvGridStyleSlot defaultsSlot) const
{
    TkvGridViewParams params = DefaultParams(defaultsSlot);
    if (style) {
        if (style->Color)
            params.Color = *style->Color;
        if (style->TextColor)
            params.TextColor = *style->TextColor;
        if (style->Font)
            params.Font = *style->Font;
        if (!style->Bitmap.isNull())
            params.Bitmap = style->Bitmap;
    }
    return params;
}

TkvGridViewParams TkvGridTableViewStyles::Params(TkvGridStyleSlot slot) const
{
    return Resolve(Slot(slot), slot);
}

} // namespace kestrum
