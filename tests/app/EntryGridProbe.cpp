#include "EntryGridProbe.h"

#include "app/EntryPage.h"
#include "filter/DataFilterCriteria.h"
#include "grid/Grid.h"
#include "grid/GridColumn.h"
#include "grid/GridRowSource.h"
#include "grid/GridSite.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

#include <QStringList>
#include <QTest>

namespace kestrum::probe {

int GridRowCount(const TEntryPage &page)
{
    return page.View->DataController().RowCount();
}

int GridFocusedRow(const TEntryPage &page)
{
    return page.View->DataController().FocusedRowIndex();
}

QString GridFooter(const TEntryPage &page)
{
    const auto &cells = page.View->ViewInfo().FooterCells();
    return cells.empty() ? QStringLiteral("<no footer>") : cells[0].Text;
}

QString GridColumns(const TEntryPage &page)
{
    QStringList columns;
    for (TkvGridDBColumn *column : page.Columns)
        columns << column->Caption() + ':' + QString::number(column->Width());
    return columns.join('|');
}

bool GridFooterShown(const TEntryPage &page)
{
    return page.View->OptionsView().Footer();
}

bool GridNavigatorConfirmsDelete(const TEntryPage &page)
{
    return page.View->NavigatorButtons().ConfirmDelete();
}

bool ClickGridRow(const TEntryPage &page, int rowIndex)
{
    const TkvGridRowViewInfo *row = page.View->ViewInfo().FindRow(rowIndex);
    if (!row)
        return false;
    const QPoint point = page.View->ViewInfo().Cells(*row)[1].Bounds.center();
    QTest::mouseClick(page.Grid->Site(), Qt::LeftButton, {}, point);
    return true;
}

void PressGridKey(const TEntryPage &page, int qtKey)
{
    QTest::keyClick(page.Grid->Site(), Qt::Key(qtKey));
}

void FilterGridItem(const TEntryPage &page, const QString &item)
{
    TkvDataFilterCriteria &filter = *page.View->Filter();
    filter.BeginBatch();
    filter.AddItemCondition(nullptr, page.Columns[1], ocEqual, Variant(item), item, true);
    filter.SetActive(true);
    filter.EndBatch();
}

} // namespace kestrum::probe
