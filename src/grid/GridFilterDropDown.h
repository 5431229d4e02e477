#pragma once
// The column filter drop-down as plain logic: the value list of the column
// with its display texts, the entry that describes the column's filter, the
// selected row, the popup's size and place, the keys, and what choosing an
// entry writes to the criteria. The popup window only paints this and passes
// the pointer and the keys on, so tests drive it without a display.
#include "filter/FilterValueList.h"
#include "grid/GridViewData.h"
#include "grid/GridWindows.h"

#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TkvGridTableView;
class TkvGridColumn;
class TkvFilterCriteria;
class TkvDataFilterValueList;

//! Applies a drop-down entry to a column's filter in one criteria change; an
//! "all" entry on a column without conditions changes nothing.
void ApplyFilterEntry(TkvGridTableView &view, TkvGridColumn &column, const TkvFilterValueItem &entry,
                      const TkvGridFilterDialogs &dialogs);

class TkvGridFilterDropDown {
public:
    TkvGridFilterDropDown(TkvGridTableView &view, const TkvGridFilterDialogs &dialogs);
    ~TkvGridFilterDropDown();
    TkvGridFilterDropDown(const TkvGridFilterDropDown &) = delete;
    TkvGridFilterDropDown &operator=(const TkvGridFilterDropDown &) = delete;

    //! Builds the column's list and opens below the header cell, right-aligned
    //! with it; false (and nothing opens) when the view has no criteria.
    bool Open(TkvGridColumn *column, const QRect &headerCellBounds);
    //! Closes without change.
    void Close();
    bool IsOpen() const { return FColumn != nullptr; }
    TkvGridColumn *Column() const { return FColumn; }

    // The list.
    int Count() const;
    const TkvFilterValueItem &Entry(int index) const;
    //! What the row shows (through the column's OnGetFilterDisplayText).
    const QString &DisplayText(int index) const;
    //! The selected row, -1 for none; it starts at the entry that describes the column's filter.
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int index);
    //! The entry that described the column's filter when the list opened, -1 for none.
    int PreselectedIndex() const { return FPreselectedIndex; }

    // Size and place; rows are in the list's client coordinates.
    int RowHeight() const { return FRowHeight; }
    int VisibleRowCount() const { return FVisibleRowCount; }
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int index);
    bool ScrollBarShown() const { return FVisibleRowCount < Count(); }
    //! The list's client area (rows and scroll bar).
    QSize ClientSize() const { return FClientSize; }
    //! The popup in view coordinates: the client area inside the border.
    const QRect &PopupBounds() const { return FPopupBounds; }
    int RowAt(const QPoint &clientPoint) const;
    QRect RowBounds(int index) const;
    int ScrollBarWidth() const { return FScrollBarWidth; }
    void SetScrollBarWidth(int width) { FScrollBarWidth = width; }
    static constexpr int BorderWidth = 1;
    static constexpr int TextIndent = 2;

    // Input.
    //! The pointer moved over a row.
    void HotTrack(int index);
    //! Closes the popup, then applies the entry.
    void Apply(int index);
    //! Up, Down, PageUp, PageDown, Home, End move the selection; Enter applies it; Esc closes.
    bool KeyDown(TkvGridKey key);
    //! Wheel steps: positive scrolls up.
    void Scroll(int rows) { SetTopIndex(FTopIndex - rows); }

    //! The window that shows the list; made on first use, kept until the logic goes.
    void SetWindowFactory(TkvGridWindowFactory factory) { FWindowFactory = std::move(factory); }
    TkvGridWindow *Window() const { return FWindow.get(); }
    //! Told after the list closed, whichever way.
    std::function<void()> OnClosed;

private:
    void Build(TkvGridColumn *column);
    void CalculateSize(const QRect &headerCellBounds);
    void MakeVisible(int index);
    void Refresh();

    TkvGridTableView &FGridView;
    const TkvGridFilterDialogs &FDialogs;
    TkvGridColumn *FColumn = nullptr;
    std::unique_ptr<TkvDataFilterValueList> FValueList;
    //! The rows' texts when a handler gives them, else empty (the entries' own texts).
    std::vector<QString> FDisplayTexts;
    int FItemIndex = -1;
    int FPreselectedIndex = -1;
    int FTopIndex = 0;
    int FRowHeight = 0;
    int FVisibleRowCount = 0;
    int FScrollBarWidth = 16;
    QSize FClientSize;
    QRect FPopupBounds;
    TkvGridWindowFactory FWindowFactory;
    std::unique_ptr<TkvGridWindow> FWindow;
};

} // namespace kestrum
