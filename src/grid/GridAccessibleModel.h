#pragma once
// What a screen reader may ask of a table view, answered from the view's
// data controller and layout without painting: the table's size, each
// cell's text and where it is on the screen, the column headers, the footer
// totals, selection and the focused cell. Every answer is a direct look-up
// of one row, so a cell of a table of ten million rows costs no more than a
// cell of ten; rows that are not laid out simply have no rectangle.
#include <QRect>
#include <QString>

namespace kestrum {

class TkvGridTableView;
class TkvGridColumn;

class TkvGridAccessibleModel {
public:
    explicit TkvGridAccessibleModel(TkvGridTableView &view) : FGridView(view) {}

    TkvGridTableView &GridView() const { return FGridView; }

    //! The data controller's rows (group rows included) and the visible columns.
    int RowCount() const;
    int ColumnCount() const;
    bool HasHeader() const;
    bool HasFooter() const;

    //! A data cell's display text; a group row reads its group text in its first column.
    QString CellText(int rowIndex, int column) const;
    //! The column's caption as its header shows it.
    QString HeaderText(int column) const;
    //! The footer total shown under the column; empty when it has none.
    QString FooterText(int column) const;

    bool IsGroupRow(int rowIndex) const;
    bool IsRowExpanded(int rowIndex) const;
    bool IsRowSelected(int rowIndex) const;
    int SelectedRowCount() const;

    //! Where the cell is drawn in view coordinates; empty while its row is not laid out.
    QRect CellBounds(int rowIndex, int column) const;
    QRect HeaderBounds(int column) const;
    QRect FooterBounds(int column) const;
    QRect FooterAreaBounds() const;

    //! The focused cell; -1 each when there is none.
    int FocusedRowIndex() const;
    int FocusedColumn() const;
    //! Moves the focus to a cell as a click would; false when the row or column refuses it.
    bool FocusCell(int rowIndex, int column);
    //! Opens or closes a group row.
    void SetRowExpanded(int rowIndex, bool expanded);
    //! Whether the column's header sorts when clicked, and shows a filter button.
    bool HeaderSorts(int column) const;
    bool HeaderFilters(int column) const;
    //! What a plain click on the header does: sort by the column, or flip its order.
    void ClickHeader(int column);
    //! Opens the column's filter drop-down below its header, as its filter button does.
    bool DropDownHeaderFilter(int column);

private:
    TkvGridColumn *Column(int column) const;
    bool ValidRow(int rowIndex) const { return rowIndex >= 0 && rowIndex < RowCount(); }

    TkvGridTableView &FGridView;
};

} // namespace kestrum
