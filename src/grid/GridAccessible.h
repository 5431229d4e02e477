#pragma once
// The grid as screen readers see it: the site window is a table whose
// children are the column headers, one cell per row and visible column, and
// the footer with its totals (then any child window, such as an open cell
// editor). Cells are made when a reader first asks for them and dropped
// when the rows change; every answer comes from TkvGridAccessibleModel.
#include "grid/GridTableView.h"

#include <QAccessibleWidget>
#include <QPointer>

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace kestrum {

class TkvGridSite;
class TkvGridAccessibleModel;

//! Which part of the grid an accessible cell stands for.
enum class TkvGridAccessiblePart : std::uint8_t { Header, Data, Footer };

class TkvGridAccessibleTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TkvGridAccessibleTable(TkvGridSite *site);
    ~TkvGridAccessibleTable() override;

    bool isValid() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text kind) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

    // QAccessibleTableInterface.
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override;
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override;

    //! The header, data or footer cell; nullptr outside the table.
    QAccessibleInterface *Cell(TkvGridAccessiblePart part, int row, int column) const;
    //! The footer band holding the totals; nullptr when the footer is hidden.
    QAccessibleInterface *Footer() const;
    //! The child index of the cell that has the focus, -1 when none.
    int FocusedChildIndex() const;
    //! Tells the reader which cell has the focus; onlyWhenMoved skips the cell announced last.
    void AnnounceFocus(bool onlyWhenMoved);
    //! The rows or columns changed: the cells whose place is gone go.
    void DropCellsOutsideTable();
    //! Every cell made so far goes.
    void ResetCells();
    //! Cells made so far (a reader's walk makes them, a reset drops them).
    std::size_t CellCount() const { return FCells.size(); }

    TkvGridSite *Site() const;
    //! Answers about the site's current view; empty without one.
    std::optional<TkvGridAccessibleModel> Model() const;

private:
    int HeaderChildCount() const;
    int DataChildCount() const;

    mutable std::unordered_map<std::uint64_t, QAccessible::Id> FCells;
    mutable QAccessible::Id FFooterId = 0;
    int FAnnouncedIndex = -1;
};

//! Registers the grid's accessible interfaces (once; later calls do nothing).
void InstallGridAccessibility();

//! Tells screen readers that the view behind the site changed; nothing happens while none listens.
void NotifyGridAccessibility(TkvGridSite *site, TkvGridAccessChange change);

} // namespace kestrum
