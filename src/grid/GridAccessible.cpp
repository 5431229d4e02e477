#include "grid/GridAccessible.h"

#include "grid/GridAccessibleCell.h"
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
    QAccessibleInterface *cell = MakeGridAccessibleCell(this, parent, part, row, column);
    FCells.emplace(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface *TkvGridAccessibleTable::Footer() const
{
    const auto model = Model();
    if (!model || !model->HasFooter())
        return nullptr;
    if (FFooterId == 0)
        FFooterId = QAccessible::registerAccessibleInterface(MakeGridAccessibleFooter(this));
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
