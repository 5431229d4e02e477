#pragma once
// Style objects and the style slots of a table view and of its columns.
// A slot left unassigned takes the look-and-feel painter's colours for its
// element and the grid's font.
#include <QColor>
#include <QFont>
#include <QImage>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace kestrum {

class TkvCustomGridRecord;
class TkvCustomGridTableItem;
class TkvCustomGridView;
class TkvGridLookAndFeelPainter;

//! One style: each part may be left unassigned and is then filled from the defaults.
struct TkvGridStyle {
    std::optional<QColor> Color;
    std::optional<QColor> TextColor;
    std::optional<QFont> Font;
    QImage Bitmap; //!< null: the view's background bitmap of the element, if any
};
using TkvGridStylePtr = std::shared_ptr<const TkvGridStyle>;

//! A style resolved for painting: every part filled.
struct TkvGridViewParams {
    QColor Color;
    QColor TextColor;
    QFont Font;
    QImage Bitmap{}; //!< tiled instead of filling with Color when not null
    friend bool operator==(const TkvGridViewParams &, const TkvGridViewParams &) = default;
};

//! The table view's slots, in index order.
enum class TkvGridStyleSlot : int {
    Background,
    Content,
    ContentEven,
    ContentOdd,
    Inactive,
    IncSearch,
    Selection,
    FilterBox,
    Footer,
    Group,
    GroupByBox,
    Header,
    NewItemRowInfoText,
    Indicator,
    Preview,
    Count
};

//! Styles shared by several views: a slot a view leaves unassigned is taken from its style sheet.
struct TkvGridTableViewStyleSheet {
    std::array<TkvGridStylePtr, static_cast<int>(TkvGridStyleSlot::Count)> Slots;
    TkvGridStylePtr Slot(TkvGridStyleSlot slot) const { return Slots[static_cast<int>(slot)]; }
};
using TkvGridStyleSheetPtr = std::shared_ptr<const TkvGridTableViewStyleSheet>;

//! The view's background bitmaps, one per element that has a background; empty by default.
enum class TkvGridBitmapSlot : int {
    Background,
    Content,
    FilterBox,
    Footer,
    Header,
    Group,
    GroupByBox,
    Indicator,
    Preview,
    Count
};

class TkvGridBackgroundBitmaps {
public:
    explicit TkvGridBackgroundBitmaps(TkvCustomGridView *view) : FGridView(view) {}
    const QImage &Bitmap(TkvGridBitmapSlot slot) const { return FBitmaps[static_cast<int>(slot)]; }
    void SetBitmap(TkvGridBitmapSlot slot, const QImage &bitmap);
    //! The bitmap that fills an element drawn in a style slot (none for selection and the like).
    const QImage &BitmapForStyleSlot(TkvGridStyleSlot slot) const;

private:
    TkvCustomGridView *FGridView;
    std::array<QImage, static_cast<int>(TkvGridBitmapSlot::Count)> FBitmaps;
};

class TkvGridTableViewStyles {
public:
    using GetContentStyleEvent = std::function<void(TkvCustomGridView *, TkvCustomGridRecord *,
                                                    TkvCustomGridTableItem *, TkvGridStylePtr &)>;
    using GetGroupStyleEvent =
        std::function<void(TkvCustomGridView *, TkvCustomGridRecord *, int level, TkvGridStylePtr &)>;
    using GetItemStyleEvent =
        std::function<void(TkvCustomGridView *, TkvCustomGridTableItem *, TkvGridStylePtr &)>;

    explicit TkvGridTableViewStyles(TkvCustomGridView *view) : FGridView(view) {}

    //! The assigned style of a slot, else the style sheet's.
    TkvGridStylePtr Slot(TkvGridStyleSlot slot) const
    {
        const TkvGridStylePtr &own = FSlots[static_cast<int>(slot)];
        return own || !FStyleSheet ? own : FStyleSheet->Slot(slot);
    }
    void SetSlot(TkvGridStyleSlot slot, TkvGridStylePtr style);
    const TkvGridStyleSheetPtr &StyleSheet() const { return FStyleSheet; }
    void SetStyleSheet(TkvGridStyleSheetPtr styleSheet);

    TkvGridStylePtr Background() const { return Slot(TkvGridStyleSlot::Background); }
    TkvGridStylePtr Content() const { return Slot(TkvGridStyleSlot::Content); }
    TkvGridStylePtr Selection() const { return Slot(TkvGridStyleSlot::Selection); }
    TkvGridStylePtr Footer() const { return Slot(TkvGridStyleSlot::Footer); }
    TkvGridStylePtr Group() const { return Slot(TkvGridStyleSlot::Group); }
    TkvGridStylePtr Header() const { return Slot(TkvGridStyleSlot::Header); }

    //! The slot's style filled from the look-and-feel defaults and the grid's font.
    TkvGridViewParams Params(TkvGridStyleSlot slot) const;
    //! Resolves one style over a slot's defaults (used for column and event styles).
    TkvGridViewParams Resolve(const TkvGridStylePtr &style, TkvGridStyleSlot defaultsSlot) const;
    //! The element defaults of a slot when nothing is assigned.
    TkvGridViewParams DefaultParams(TkvGridStyleSlot slot) const;

    GetContentStyleEvent OnGetContentStyle;
    GetItemStyleEvent OnGetFooterStyle;
    GetGroupStyleEvent OnGetGroupStyle;
    GetItemStyleEvent OnGetHeaderStyle;
    GetContentStyleEvent OnGetPreviewStyle;

private:
    TkvCustomGridView *FGridView;
    std::array<TkvGridStylePtr, static_cast<int>(TkvGridStyleSlot::Count)> FSlots;
    TkvGridStyleSheetPtr FStyleSheet;
};

//! A column's own style slots; unassigned ones defer to the view's.
class TkvGridColumnStyles {
public:
    TkvGridStylePtr Content;
    TkvGridStylePtr Footer;
    TkvGridStylePtr Header;
    std::function<void(TkvCustomGridView *, TkvCustomGridRecord *, TkvCustomGridTableItem *,
                       TkvGridStylePtr &)>
        OnGetContentStyle;
    std::function<void(TkvCustomGridView *, TkvCustomGridTableItem *, TkvGridStylePtr &)> OnGetFooterStyle;
    std::function<void(TkvCustomGridView *, TkvCustomGridTableItem *, TkvGridStylePtr &)> OnGetHeaderStyle;
};

} // namespace kestrum
