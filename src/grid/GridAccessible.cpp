#include "grid/GridAccessible.h"

#include "grid/GridAccessibleModel.h"
#include "grid/GridSite.h"
#include "ui/AccessibleEvents.h"

#include <QAccessibleEvent>
#include <QApplication>

#include <limits>

namespace kestrum {

namespace {

std::uint64_t CellKey(TkvGridAccessiblePart part, int row, int column)
{
    return (std::uint64_t(part) << 62) | (std::uint64_t(std::uint32_t(row)) << 24) |
           std::uint64_t(std::uint32_t(column) & 0xFFFFFF);
}

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
        if (type == QAccessible::ActionInterface && FPart == TkvGridAccessiblePart::Data)
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
        QStringList names{setFocusAction()};
        const auto model = FTable->Model();
        if (model && FColumn == 0 && model->IsGroupRow(FRow))
            names << (model->IsRowExpanded(FRow) ? decreaseAction() : increaseAction());
        return names;
    }
    void doAction(const QString &name) override
    {
        auto model = FTable->Model();
        if (!model)
            return;
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

QAccessibleInterface *GridAccessibleFactory(const QString &, QObject *object)
{
    if (auto *site = qobject_cast<TkvGridSite *>(object))
        return new TkvGridAccessibleTable(site);
    return nullptr;
}

} // namespace

TkvGridAccessibleTable::TkvGridAccessibleTable(TkvGridSite *site)
    : QAccessibleWidget(site, QAccessible::Table)
{
}

TkvGridAccessibleTable::~TkvGridAccessibleTable()
{
    ResetCells();
}

TkvGridSite *TkvGridAccessibleTable::Site() const
{
    return static_cast<TkvGridSite *>(widget());
}

std::optional<TkvGridAccessibleModel> TkvGridAccessibleTable::Model() const
{
    TkvGridSite *site = Site();
    if (!site || !site->GridView())
        return std::nullopt;
    return TkvGridAccessibleModel(*site->GridView());
}

bool TkvGridAccessibleTable::isValid() const
{
    return QAccessibleWidget::isValid() && Site();
}

void *TkvGridAccessibleTable::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TkvGridAccessibleTable::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiSelectable =
        Site() && Site()->GridView() && Site()->GridView()->OptionsSelection().MultiSelect();
    return state;
}

QString TkvGridAccessibleTable::text(QAccessible::Text kind) const
{
    QString text = QAccessibleWidget::text(kind);
    // Unnamed, the grid is read under the name of what holds it (the list's group box), not the window's.
    if (kind == QAccessible::Name && text.isEmpty())
        for (QWidget *owner = Site()->parentWidget(); owner && !owner->isWindow() && text.isEmpty();
             owner = owner->parentWidget())
            if (QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(owner))
                text = accessible->text(QAccessible::Name);
    return text;
}

int TkvGridAccessibleTable::HeaderChildCount() const
{
    const auto model = Model();
    return model && model->HasHeader() ? model->ColumnCount() : 0;
}

int TkvGridAccessibleTable::DataChildCount() const
{
    const auto model = Model();
    if (!model)
        return 0;
    const qint64 count = qint64(model->RowCount()) * model->ColumnCount();
    return int(std::min<qint64>(count, std::numeric_limits<int>::max() - 1024));
}

int TkvGridAccessibleTable::childCount() const
{
    const auto model = Model();
    if (!model)
        return QAccessibleWidget::childCount();
    return HeaderChildCount() + DataChildCount() + (model->HasFooter() ? 1 : 0) +
           QAccessibleWidget::childCount();
}

QAccessibleInterface *TkvGridAccessibleTable::child(int index) const
{
    const auto model = Model();
    if (!model || index < 0)
        return model ? nullptr : QAccessibleWidget::child(index);
    const int headers = HeaderChildCount();
    if (index < headers)
        return Cell(TkvGridAccessiblePart::Header, -1, index);
    index -= headers;
    const int cells = DataChildCount();
    if (index < cells)
        return Cell(TkvGridAccessiblePart::Data, index / model->ColumnCount(), index % model->ColumnCount());
    index -= cells;
    if (model->HasFooter()) {
        if (index == 0)
            return Footer();
        --index;
    }
    return QAccessibleWidget::child(index);
}

int TkvGridAccessibleTable::indexOfChild(const QAccessibleInterface *child) const
{
    const auto model = Model();
    if (!model || !child)
        return -1;
    if (child == Footer())
        return HeaderChildCount() + DataChildCount();
    if (child->object()) {
        const int widgetIndex = QAccessibleWidget::indexOfChild(child);
        return widgetIndex < 0
                   ? -1
                   : HeaderChildCount() + DataChildCount() + (model->HasFooter() ? 1 : 0) + widgetIndex;
    }
    if (child->parent() != this)
        return -1;
    if (child->role() == QAccessible::ColumnHeader) {
        for (int column = 0; column < HeaderChildCount(); ++column)
            if (Cell(TkvGridAccessiblePart::Header, -1, column) == child)
                return column;
        return -1;
    }
    auto *cell = const_cast<QAccessibleInterface *>(child)->tableCellInterface();
    if (!cell || cell->rowIndex() >= model->RowCount() || cell->columnIndex() >= model->ColumnCount())
        return -1;
    return HeaderChildCount() + cell->rowIndex() * model->ColumnCount() + cell->columnIndex();
}

QAccessibleInterface *TkvGridAccessibleTable::childAt(int x, int y) const
{
    const auto model = Model();
    TkvGridSite *site = Site();
    if (!model || !site)
        return nullptr;
    const QPoint point = site->mapFromGlobal(QPoint(x, y));
    if (QAccessibleInterface *widgetChild = QAccessibleWidget::childAt(x, y))
        return widgetChild;
    const TkvGridHitTest hit = model->GridView().ViewInfo().HitTest(point);
    if (hit.VisibleColumnIndex < 0)
        return model->FooterAreaBounds().contains(point) ? Footer() : nullptr;
    if (hit.RowIndex >= 0 && model->CellBounds(hit.RowIndex, hit.VisibleColumnIndex).contains(point))
        return Cell(TkvGridAccessiblePart::Data, hit.RowIndex, hit.VisibleColumnIndex);
    if (model->HeaderBounds(hit.VisibleColumnIndex).contains(point))
        return Cell(TkvGridAccessiblePart::Header, -1, hit.VisibleColumnIndex);
    if (model->FooterBounds(hit.VisibleColumnIndex).contains(point))
        return Cell(TkvGridAccessiblePart::Footer, -1, hit.VisibleColumnIndex);
    return nullptr;
}

QAccessibleInterface *TkvGridAccessibleTable::focusChild() const
{
    const auto model = Model();
    if (!model || !Site()->hasFocus())
        return QAccessibleWidget::focusChild();
    // An open cell editor holds the focus inside the site.
    if (QWidget *focus = QApplication::focusWidget(); focus && focus != Site() && Site()->isAncestorOf(focus))
        return QAccessible::queryAccessibleInterface(focus);
    return Cell(TkvGridAccessiblePart::Data, model->FocusedRowIndex(), model->FocusedColumn());
}

int TkvGridAccessibleTable::FocusedChildIndex() const
{
    const auto model = Model();
    if (!model || model->FocusedRowIndex() < 0 || model->FocusedColumn() < 0)
        return -1;
    return HeaderChildCount() + model->FocusedRowIndex() * model->ColumnCount() + model->FocusedColumn();
}

QAccessibleInterface *TkvGridAccessibleTable::Cell(TkvGridAccessiblePart part, int row, int column) const
{
    const auto model = Model();
    if (!model || column < 0 || column >= model->ColumnCount())
        return nullptr;
    if (part == TkvGridAccessiblePart::Data && (row < 0 || row >= model->RowCount()))
        return nullptr;
    if (part == TkvGridAccessiblePart::Header && !model->HasHeader())
        return nullptr;
    if (part == TkvGridAccessiblePart::Footer && !model->HasFooter())
        return nullptr;
    const std::uint64_t key = CellKey(part, part == TkvGridAccessiblePart::Data ? row : 0, column);
    if (const auto found = FCells.find(key); found != FCells.end())
        return QAccessible::accessibleInterface(found->second);
    QAccessibleInterface *parent =
        part == TkvGridAccessiblePart::Footer ? Footer() : const_cast<TkvGridAccessibleTable *>(this);
    auto *cell = new TkvGridAccessibleCell(this, parent, part, row, column);
    FCells.emplace(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface *TkvGridAccessibleTable::Footer() const
{
    const auto model = Model();
    if (!model || !model->HasFooter())
        return nullptr;
    if (FFooterId == 0)
        FFooterId = QAccessible::registerAccessibleInterface(new TkvGridAccessibleFooter(this));
    return QAccessible::accessibleInterface(FFooterId);
}

QAccessibleInterface *TkvGridAccessibleTable::summary() const
{
    return Footer();
}

void TkvGridAccessibleTable::DropCellsOutsideTable()
{
    // A cell stands for its place, so one still inside the table stays valid (a reader
    // holding it reads the new text); only places that are gone lose their cells.
    for (auto it = FCells.begin(); it != FCells.end();) {
        QAccessibleInterface *cell = QAccessible::accessibleInterface(it->second);
        if (cell && cell->isValid()) {
            ++it;
            continue;
        }
        QAccessible::deleteAccessibleInterface(it->second);
        it = FCells.erase(it);
    }
    const auto model = Model();
    if (FFooterId != 0 && (!model || !model->HasFooter())) {
        QAccessible::deleteAccessibleInterface(FFooterId);
        FFooterId = 0;
    }
}

void TkvGridAccessibleTable::ResetCells()
{
    for (const auto &[key, id] : FCells)
        QAccessible::deleteAccessibleInterface(id);
    FCells.clear();
    if (FFooterId != 0) {
        QAccessible::deleteAccessibleInterface(FFooterId);
        FFooterId = 0;
    }
}

QAccessibleInterface *TkvGridAccessibleTable::cellAt(int row, int column) const
{
    return Cell(TkvGridAccessiblePart::Data, row, column);
}

int TkvGridAccessibleTable::rowCount() const
{
    const auto model = Model();
    return model ? model->RowCount() : 0;
}

int TkvGridAccessibleTable::columnCount() const
{
    const auto model = Model();
    return model ? model->ColumnCount() : 0;
}

QString TkvGridAccessibleTable::columnDescription(int column) const
{
    const auto model = Model();
    return model ? model->HeaderText(column) : QString();
}

QString TkvGridAccessibleTable::rowDescription(int) const
{
    return {};
}

int TkvGridAccessibleTable::selectedRowCount() const
{
    const auto model = Model();
    return model ? model->SelectedRowCount() : 0;
}

QList<int> TkvGridAccessibleTable::selectedRows() const
{
    QList<int> rows;
    const auto model = Model();
    if (!model)
        return rows;
    // The walk stops once every selected row is found; with one row selected it stops at the first.
    const int wanted = model->SelectedRowCount();
    const int focused = model->FocusedRowIndex();
    if (wanted == 1 && model->IsRowSelected(focused))
        return {focused};
    for (int row = 0; row < model->RowCount() && rows.size() < wanted; ++row)
        if (model->IsRowSelected(row))
            rows << row;
    return rows;
}

int TkvGridAccessibleTable::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface *> TkvGridAccessibleTable::selectedCells() const
{
    QList<QAccessibleInterface *> cells;
    const int columns = columnCount();
    for (int row : selectedRows())
        for (int column = 0; column < columns; ++column)
            cells << cellAt(row, column);
    return cells;
}

bool TkvGridAccessibleTable::isRowSelected(int row) const
{
    const auto model = Model();
    return model && model->IsRowSelected(row);
}

bool TkvGridAccessibleTable::selectRow(int row)
{
    auto model = Model();
    if (!model || row < 0 || row >= model->RowCount())
        return false;
    TkvGridRowSource &source = model->GridView().DataController();
    if (model->GridView().OptionsSelection().MultiSelect()) {
        source.ChangeRowSelection(row, true);
        return true;
    }
    // A single-row grid selects the focused row.
    return model->FocusCell(row, std::max(model->FocusedColumn(), 0));
}

bool TkvGridAccessibleTable::unselectRow(int row)
{
    auto model = Model();
    if (!model || !model->GridView().OptionsSelection().MultiSelect() || !model->IsRowSelected(row))
        return false;
    model->GridView().DataController().ChangeRowSelection(row, false);
    return true;
}

void TkvGridAccessibleTable::modelChange(QAccessibleTableModelChangeEvent *)
{
    DropCellsOutsideTable();
}

void InstallGridAccessibility()
{
    QAccessible::installFactory(GridAccessibleFactory);
}

void TkvGridAccessibleTable::AnnounceFocus(bool onlyWhenMoved)
{
    TkvGridSite *site = Site();
    const int index = FocusedChildIndex();
    // Only the window that holds the keyboard focus announces where it is.
    if (!site || !site->hasFocus() || index < 0)
        return;
    if (onlyWhenMoved && index == FAnnouncedIndex)
        return;
    FAnnouncedIndex = index;
    QAccessibleEvent event(site, QAccessible::Focus);
    event.setChild(index);
    PostAccessibilityEvent(event);
}

void NotifyGridAccessibility(TkvGridSite *site, TkvGridAccessChange change)
{
    if (!site || !AccessibilityListening())
        return;
    auto *table = dynamic_cast<TkvGridAccessibleTable *>(QAccessible::queryAccessibleInterface(site));
    if (!table)
        return;
    switch (change) {
    case TkvGridAccessChange::Rows: {
        table->DropCellsOutsideTable();
        QAccessibleTableModelChangeEvent event(site, QAccessibleTableModelChangeEvent::ModelReset);
        PostAccessibilityEvent(event);
        // A focus move that came with new rows reaches the screen as part of the new layout.
        table->AnnounceFocus(true);
        break;
    }
    case TkvGridAccessChange::Selection: {
        QAccessibleEvent event(site, QAccessible::SelectionWithin);
        PostAccessibilityEvent(event);
        break;
    }
    case TkvGridAccessChange::Focus:
        table->AnnounceFocus(false);
        break;
    }
}

} // namespace kestrum
