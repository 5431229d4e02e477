#include "grid/GridAccessibleCell.h"

#include "grid/GridAccessible.h"
#include "grid/GridAccessibleModel.h"
#include "grid/GridSite.h"

namespace kestrum {

namespace {

//! A rectangle of the view in screen coordinates (the view lies in the site's client area).
QRect ToScreen(const TkvGridSite *site, const QRect &bounds)
{
    if (!site || bounds.isEmpty())
        return {};
    return QRect(site->mapToGlobal(bounds.topLeft()), bounds.size());
}

//! One header, data or footer cell. It holds its place, not its text: every
//! question is answered from the model at the moment it is asked.
class TkvGridAccessibleCell : public QAccessibleInterface,
                              public QAccessibleTableCellInterface,
                              public QAccessibleActionInterface {
public:
    TkvGridAccessibleCell(const TkvGridAccessibleTable *table, QAccessibleInterface *parent,
                          TkvGridAccessiblePart part, int row, int column)
        : FTable(const_cast<TkvGridAccessibleTable *>(table)), FParent(parent), FPart(part), FRow(row),
          FColumn(column)
    {
    }

    bool isValid() const override
    {
        const auto model = FTable->Model();
        if (!model || FColumn >= model->ColumnCount())
            return false;
        switch (FPart) {
        case TkvGridAccessiblePart::Header:
            return model->HasHeader();
        case TkvGridAccessiblePart::Footer:
            return model->HasFooter();
        case TkvGridAccessiblePart::Data:
            break;
        }
        return FRow < model->RowCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return FTable->window(); }
    QAccessibleInterface *parent() const override { return FParent; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QAccessible::Role role() const override
    {
        switch (FPart) {
        case TkvGridAccessiblePart::Header:
            return QAccessible::ColumnHeader;
        case TkvGridAccessiblePart::Footer:
            return QAccessible::Cell;
        case TkvGridAccessiblePart::Data:
            break;
        }
        return QAccessible::Cell;
    }

    QString text(QAccessible::Text kind) const override
    {
        const auto model = FTable->Model();
        if (!model)
            return {};
        switch (kind) {
        case QAccessible::Name:
        case QAccessible::Value:
            if (FPart == TkvGridAccessiblePart::Header)
                return model->HeaderText(FColumn);
            if (FPart == TkvGridAccessiblePart::Footer)
                return model->FooterText(FColumn);
            return model->CellText(FRow, FColumn);
        case QAccessible::Description:
            // A total or a cell is read with the column it belongs to.
            return FPart == TkvGridAccessiblePart::Header ? QString() : model->HeaderText(FColumn);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        const auto model = FTable->Model();
        if (!model)
            return {};
        switch (FPart) {
        case TkvGridAccessiblePart::Header:
            return ToScreen(FTable->Site(), model->HeaderBounds(FColumn));
        case TkvGridAccessiblePart::Footer:
            return ToScreen(FTable->Site(), model->FooterBounds(FColumn));
        case TkvGridAccessiblePart::Data:
            break;
        }
        return ToScreen(FTable->Site(), model->CellBounds(FRow, FColumn));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        const auto model = FTable->Model();
        if (!model)
            return state;
        state.readOnly = true;
        const QRect bounds = rect();
        if (bounds.isEmpty()) {
            state.invisible = true;
            state.offscreen = true;
        }
        if (FPart != TkvGridAccessiblePart::Data)
            return state;
        state.selectable = true;
        state.focusable = true;
        state.selected = model->IsRowSelected(FRow);
        const TkvGridSite *site = FTable->Site();
        state.focused =
            site && site->hasFocus() && model->FocusedRowIndex() == FRow && model->FocusedColumn() == FColumn;
        if (FColumn == 0 && model->IsGroupRow(FRow)) {
            state.expandable = true;
            state.expanded = model->IsRowExpanded(FRow);
            state.collapsed = !state.expanded;
        }
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface && FPart == TkvGridAccessiblePart::Data)
            return static_cast<QAccessibleTableCellInterface *>(this);
        if (type == QAccessible::ActionInterface && FPart != TkvGridAccessiblePart::Footer)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // QAccessibleTableCellInterface.
    bool isSelected() const override
    {
        const auto model = FTable->Model();
        return model && model->IsRowSelected(FRow);
    }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        QAccessibleInterface *header = FTable->Cell(TkvGridAccessiblePart::Header, -1, FColumn);
        return header ? QList<QAccessibleInterface *>{header} : QList<QAccessibleInterface *>{};
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return FColumn; }
    int rowIndex() const override { return FRow; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return FTable; }

    // QAccessibleActionInterface: a cell can take the focus; a group row opens and closes.
    QStringList actionNames() const override
    {
        const auto model = FTable->Model();
        if (FPart == TkvGridAccessiblePart::Header) {
            // A header sorts when pressed and opens its filter list, as the mouse does on it.
            QStringList names;
            if (model && model->HeaderSorts(FColumn))
                names << pressAction();
            if (model && model->HeaderFilters(FColumn))
                names << showMenuAction();
            return names;
        }
        QStringList names{setFocusAction()};
        if (model && FColumn == 0 && model->IsGroupRow(FRow))
            names << (model->IsRowExpanded(FRow) ? decreaseAction() : increaseAction());
        return names;
    }
    void doAction(const QString &name) override
    {
        auto model = FTable->Model();
        if (!model)
            return;
        if (FPart == TkvGridAccessiblePart::Header) {
            if (name == pressAction())
                model->ClickHeader(FColumn);
            else if (name == showMenuAction())
                model->DropDownHeaderFilter(FColumn);
            return;
        }
        if (name == setFocusAction()) {
            model->FocusCell(FRow, FColumn);
            if (TkvGridSite *site = FTable->Site())
                site->setFocus(Qt::OtherFocusReason);
        } else if (name == increaseAction() || name == decreaseAction()) {
            model->SetRowExpanded(FRow, name == increaseAction());
        }
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    TkvGridAccessibleTable *FTable;
    QAccessibleInterface *FParent;
    TkvGridAccessiblePart FPart;
    int FRow;
    int FColumn;
};

//! The footer band: one child per visible column, each with the total shown under it.
class TkvGridAccessibleFooter : public QAccessibleInterface {
public:
    explicit TkvGridAccessibleFooter(const TkvGridAccessibleTable *table)
        : FTable(const_cast<TkvGridAccessibleTable *>(table))
    {
    }

    bool isValid() const override { return FTable->Model().has_value(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return FTable->window(); }
    QAccessibleInterface *parent() const override { return FTable; }
    int childCount() const override
    {
        const auto model = FTable->Model();
        return model && model->HasFooter() ? model->ColumnCount() : 0;
    }
    QAccessibleInterface *child(int index) const override
    {
        return index >= 0 && index < childCount() ? FTable->Cell(TkvGridAccessiblePart::Footer, -1, index)
                                                  : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int index = 0; index < childCount(); ++index)
            if (FTable->Cell(TkvGridAccessiblePart::Footer, -1, index) == child)
                return index;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int index = 0; index < childCount(); ++index) {
            QAccessibleInterface *cell = child(index);
            if (cell->rect().contains(x, y))
                return cell;
        }
        return nullptr;
    }
    QAccessible::Role role() const override { return QAccessible::Footer; }
    QString text(QAccessible::Text kind) const override
    {
        // Read as a whole: "本次进帐 1,234.00" per column that shows a total.
        if (kind != QAccessible::Name && kind != QAccessible::Value)
            return {};
        const auto model = FTable->Model();
        if (!model)
            return {};
        QStringList totals;
        for (int column = 0; column < model->ColumnCount(); ++column) {
            const QString total = model->FooterText(column);
            if (!total.isEmpty())
                totals << model->HeaderText(column) + QLatin1Char(' ') + total;
        }
        return totals.join(QStringLiteral(", "));
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        const auto model = FTable->Model();
        return model ? ToScreen(FTable->Site(), model->FooterAreaBounds()) : QRect();
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        if (rect().isEmpty())
            state.invisible = true;
        return state;
    }

private:
    TkvGridAccessibleTable *FTable;
};

} // namespace

QAccessibleInterface *MakeGridAccessibleCell(const TkvGridAccessibleTable *table,
                                             QAccessibleInterface *parent, TkvGridAccessiblePart part,
                                             int row, int column)
{
    return new TkvGridAccessibleCell(table, parent, part, row, column);
}

QAccessibleInterface *MakeGridAccessibleFooter(const TkvGridAccessibleTable *table)
{
    return new TkvGridAccessibleFooter(table);
}

} // namespace kestrum
