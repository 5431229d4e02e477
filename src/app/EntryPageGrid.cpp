#include "app/EntryPageGrid.h"

#include "app/EntryPage.h"
#include "core/Utf8.h"
#include "data/DbDataController.h"
#include "data/DataSummary.h"
#include "filter/DataFilterCriteria.h"
#include "grid/Grid.h"
#include "grid/GridColumn.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridItemDataBinding.h"
#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridStyles.h"
#include "grid/GridTableView.h"

#include <QFontMetrics>

namespace kestrum {

namespace {

//! The stored filter criteria of both grids: the empty criteria (root and, no children).
const std::string StoredCriteria("\xFF\xFF\xFF\xFF\x00\x00\x00\x00\x00", 9);

//! A ledger's total can outgrow the amount field's display width (ten digits
//! and more on a large ledger); the column then widens so the total shows in
//! full instead of cut short behind an ellipsis. It never narrows, so a width
//! the user chose stays while the total fits.
void WidenForFooterTotal(TkvGridTableView &view, TkvGridColumn &column)
{
    if (!view.OptionsView().Footer() || column.Index() < 0)
        return;
    const QString text = view.DataController().FooterText(column.Index());
    if (text.isEmpty())
        return;
    const QFont font = view.Styles().Resolve(column.Styles().Footer, TkvGridStyleSlot::Footer).Font;
    const TkvGridLookAndFeelPainter &lookAndFeel = view.LookAndFeelPainter();
    // The cell's offsets and borders inside the footer, its text margins, and
    // the footer's own border at the grid's left edge.
    const int needed = QFontMetrics(font).horizontalAdvance(text) + 2 * lookAndFeel.FooterCellOffset() +
                       2 * lookAndFeel.FooterBorderWidth() + 2 + 8;
    if (needed > column.Width())
        column.SetWidth(needed);
}

} // namespace

TEntryPageGrid CreateEntryPageGrid(QWidget *parent, const TEntryPageDescription &description,
                                   TDbDataSource &source)
{
    const TEntryPageNames &names = description.Names;
    TEntryPageGrid result;
    auto *grid = new TkvGrid(parent);
    grid->setObjectName(utf8(names.Grid));
    auto *view = grid->CreateView<TkvGridDBTableView>();
    TkvGridLevel *level = grid->RootLevel().Add();
    level->SetGridView(view);
    auto &columns = result.Columns;

    view->BeginLoading();
    const std::array<const char *, 4> fields = {description.AmountField, description.ItemField,
                                                description.DateField, description.RemarkField};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        columns[i] = view->CreateColumn(utf8(names.Columns[i]));
        columns[i]->DataBinding()->SetFieldName(utf8(fields[i]));
    }
    // The amount and date columns keep their field's caption and width.
    columns[1]->SetCaption(utf8(description.ItemColumnCaption));
    columns[1]->SetWidth(description.ItemColumnWidth);
    columns[3]->SetWidth(500);
    // An amount is edited in its cell as in the entry panel: with the calculator edit.
    columns[0]->SetPropertiesClassName(QStringLiteral("TkvCalcEditProperties"));

    // The footer total and every group's total sum the amount field under the amount column.
    TkvDataSummary &summary = *view->Summary();
    for (TkvDataSummaryItems *items :
         {static_cast<TkvDataSummaryItems *>(&summary.FooterSummaryItems()),
          static_cast<TkvDataSummaryItems *>(&summary.DefaultGroupSummaryItems())}) {
        TkvDataSummaryItem *item = items->Add();
        item->SetKind(skSum);
        if (auto *fieldItem = dynamic_cast<TkvDBDataSummaryItem *>(item))
            fieldItem->SetFieldName(utf8(description.AmountField));
        SetSummaryItemColumn(*item, columns[0]);
    }
    view->OptionsView().SetFooter(true);
    summary.OnAfterSummary = [view, amount = columns[0]](TkvDataSummary *) {
        WidenForFooterTotal(*view, *amount);
    };
    // Stored as False: the grid's delete question is the only one.
    view->NavigatorButtons().SetConfirmDelete(false);
    view->Filter()->LoadFromBytes(StoredCriteria);
    view->DBDataController()->SetDataSource(&source);
    view->EndLoading();
    grid->ActiveViewChanged();

    result.Grid = grid;
    result.Widget = grid;
    result.Level = level;
    result.View = view;
    return result;
}

bool EntryGridHasFocusedRow(const TkvGridDBTableView &view)
{
    return view.DataController().FocusedRowIndex() >= 0;
}

void WatchEntryGridFocus(TkvGridDBTableView &view, std::function<void()> changed)
{
    view.DBDataController()->AddDataChangedListener(changed);
    view.OnFocusedRecordChanged = [changed, before = std::move(view.OnFocusedRecordChanged)](
                                      TkvCustomGridTableView *sender, TkvCustomGridRecord *prev,
                                      TkvCustomGridRecord *focused, bool newItemRowFocusingChanged) {
        if (before)
            before(sender, prev, focused, newItemRowFocusingChanged);
        changed();
    };
}

} // namespace kestrum
