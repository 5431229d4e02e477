#pragma once
// The windows the table controller opens beside the view (the filter
// drop-down, the customization form) and the dialogs it asks for. The
// controller keeps plain logic; the site makes the real windows and connects
// the dialogs, which live above the grid. Without a site nothing is shown and
// the logic runs alone, as tests drive it.
#include <QRect>

#include <functional>
#include <memory>

namespace kestrum {

class TkvGridTableView;
class TkvGridColumn;

enum class TkvGridWindowKind : std::uint8_t { FilterPopup, CustomizationForm };

//! A window outside the view, placed in view coordinates.
class TkvGridWindow {
public:
    virtual ~TkvGridWindow() = default;
    virtual void Show(const QRect &viewBounds) = 0;
    virtual void Hide() = 0;
    //! Repaints the contents (the logic behind them changed).
    virtual void Refresh() = 0;
    //! Where the window is now, in view coordinates (the user may have moved it).
    virtual QRect Bounds() const = 0;
};

using TkvGridWindowFactory = std::function<std::unique_ptr<TkvGridWindow>(TkvGridWindowKind)>;

//! The filter dialogs as the grid reaches them; each returns true when closed with OK.
struct TkvGridFilterDialogs {
    //! The "(用户定制搜索)" entry of a column: the custom filter dialog, or the
    //! filter builder where the criteria is beyond that dialog.
    std::function<bool(TkvGridTableView &, TkvGridColumn &)> ShowColumnFilterDialog;
    //! The filter builder for the view's whole criteria.
    std::function<bool(TkvGridTableView &)> ShowFilterBuilderDialog;
};

} // namespace kestrum
