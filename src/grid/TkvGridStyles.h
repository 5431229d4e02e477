#pragma once
// Style objects and the style slots of a table view and of its columns.
// A slot left unassigned takes the look-and-feel painter's colours for its
// element and the grid's font.
#include <QColor>
#include <QFont>

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
};
using TkvGridStylePtr = std::shared_ptr<const TkvGridStyle>;

//! A style resolved for painting: every part filled.
struct TkvGridViewParams {
    QColor Color;
    QColor TextColor;
    QFont Font;
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

class TkvGridTableViewStyles {
public:
    using GetContentStyleEvent = std::function<void(TkvCustomGridView *, TkvCustomGridRecord *,
                                                    TkvCustomGridTableItem *, TkvGridStylePtr &)>;
    using GetGroupStyleEvent =
        std::function<void(TkvCustomGridView *, TkvCustomGridRecord *, int level, TkvGridStylePtr &)>;
    using GetItemStyleEvent =
        std::function<void(TkvCustomGridView *, TkvCustomGridTableItem *, TkvGridStylePtr &)>;

    explicit TkvGridTableViewStyles(TkvCustomGridView *view) : FGridView(view) {}

    TkvGridStylePtr Slot(TkvGridStyleSlot slot) const { return FSlots[static_cast<int>(slot)]; }
    void SetSlot(TkvGridStyleSlot slot, TkvGridStylePtr style);

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
