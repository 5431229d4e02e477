#include "grid/GridTableView.h"

#include "grid/GridEditingController.h"

#include "grid/Grid.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridNavigatorButtons.h"
#include "grid/GridTableController.h"
#include "grid/GridTablePainter.h"
#include "grid/GridTableViewInfo.h"
#include "grid/GridTableViewInfoCache.h"
#include "grid/GridViewData.h"

#include <algorithm>

namespace kestrum {

// ---- TkvCustomGridView ----

TkvCustomGridView::TkvCustomGridView(TkvCustomGrid *grid)
    : FGrid(grid), FLookAndFeel(&TkvGridLookAndFeelPainter::Default())
{
    if (grid)
        FFont = grid->font();
    else
        FOwnQueue = std::make_unique<TkvGridChangeQueue>(
            [](const TkvGridChange &change) { change.View->ExecuteChange(change); });
}

TkvCustomGridView::~TkvCustomGridView()
{
    FDestroying = true;
    if (FGrid)
        FGrid->ViewDestroying(this);
}

void TkvCustomGridView::Initialize()
{
    FDataController = CreateDataController();
}

TkvGridChangeQueue &TkvCustomGridView::Queue()
{
    return FGrid ? FGrid->ChangeQueue() : *FOwnQueue;
}

void TkvCustomGridView::SetFont(const QFont &font)
{
    FFont = font;
    SizeChanged();
}

void TkvCustomGridView::EndLoading()
{
    if (FLoadingCount == 0 || --FLoadingCount > 0)
        return;
    if (FDataController)
        FDataController->EndLoading();
    // The layout is computed once, when loading ends.
    DataChanged();
}

void TkvCustomGridView::SetBounds(const QRect &bounds)
{
    if (FBounds == bounds)
        return;
    FBounds = bounds;
    SizeChanged();
}

void TkvCustomGridView::SetFocused(bool focused)
{
    if (FFocused == focused)
        return;
    FFocused = focused;
    LayoutChanged();
}

void TkvCustomGridView::BeginUpdate()
{
    Queue().BeginUpdate();
}

void TkvCustomGridView::EndUpdate()
{
    Queue().EndUpdate();
}

bool TkvCustomGridView::IsUpdateLocked() const
{
    return const_cast<TkvCustomGridView *>(this)->Queue().IsLocked();
}

void TkvCustomGridView::PostChange(TkvGridChange change)
{
    // Changes of a view being loaded or destroyed are discarded.
    if (FDestroying || IsLoading() || !FDataController)
        return;
    change.View = this;
    Queue().Add(change);
}

void TkvCustomGridView::LayoutChanged()
{
    TkvGridChange change;
    change.Kind = TkvGridChangeKind::Layout;
    PostChange(change);
}

void TkvCustomGridView::SizeChanged(int sizeFlags)
{
    TkvGridChange change;
    change.Kind = TkvGridChangeKind::Size;
    change.SizeFlags = sizeFlags;
    PostChange(change);
}

void TkvCustomGridView::DataChanged()
{
    TkvGridChange change;
    change.Kind = TkvGridChangeKind::Data;
    PostChange(change);
}

void TkvCustomGridView::RecordChanged(int rowIndex, int itemIndex)
{
    TkvGridChange change;
    change.Kind = TkvGridChangeKind::Record;
    change.RowIndex = rowIndex;
    change.ItemIndex = itemIndex;
    PostChange(change);
}

void TkvCustomGridView::Invalidate(const QRect &rect)
{
    if (OnInvalidate)
        OnInvalidate(rect);
}

// ---- TkvCustomGridTableView ----

TkvCustomGridTableView::TkvCustomGridTableView(TkvCustomGrid *grid) : TkvCustomGridView(grid)
{
}

TkvCustomGridTableView::~TkvCustomGridTableView()
{
    BeginDestroy();
    for (auto &item : FItems) {
        item->FGridView = nullptr;
        item->FIndex = -1;
    }
}

void TkvCustomGridTableView::Initialize()
{
    TkvCustomGridView::Initialize();
}

TkvCustomGridTableItem *TkvCustomGridTableView::Items(int index) const
{
    return index >= 0 && index < ItemCount() ? FItems[static_cast<std::size_t>(index)].get() : nullptr;
}

TkvCustomGridTableItem *TkvCustomGridTableView::VisibleItems(int visibleIndex) const
{
    return visibleIndex >= 0 && visibleIndex < VisibleItemCount()
               ? FVisibleItems[static_cast<std::size_t>(visibleIndex)]
               : nullptr;
}

TkvCustomGridTableItem *TkvCustomGridTableView::FindItemByName(const QString &name) const
{
    for (const auto &item : FItems)
        if (item->Name() == name)
            return item.get();
    return nullptr;
}

void TkvCustomGridTableView::RenumberItems()
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        FItems[i]->FIndex = static_cast<int>(i);
}

TkvCustomGridTableItem *TkvCustomGridTableView::AddItem(std::unique_ptr<TkvCustomGridTableItem> item)
{
    TkvCustomGridTableItem *added = item.get();
    BeginUpdate();
    FItems.push_back(std::move(item));
    RenumberItems();
    added->FID = FNextID++;
    added->FGridView = this;
    DataController().ItemAdded(added->FIndex);
    added->FDataBinding = CreateDataBinding(added);
    added->SetVisible(true);
    RefreshFilterableItemsList();
    EndUpdate();
    return added;
}

std::unique_ptr<TkvCustomGridTableItem> TkvCustomGridTableView::RemoveItem(TkvCustomGridTableItem *item)
{
    auto found =
        std::find_if(FItems.begin(), FItems.end(), [item](const auto &owned) { return owned.get() == item; });
    if (found == FItems.end())
        return nullptr;
    BeginUpdate();
    if (OptionsBehavior().IncSearchItem() == item)
        OptionsBehavior().SetIncSearchItem(nullptr);
    item->SetVisible(false);
    if (FPreview.Column() == item)
        FPreview.SetColumn(nullptr);
    ItemRemoving(item);
    const int oldIndex = item->FIndex;
    std::unique_ptr<TkvCustomGridTableItem> removed = std::move(*found);
    FItems.erase(found);
    removed->FIndex = -1;
    RenumberItems();
    removed->ForgetDefaultValuesProvider();
    removed->FDataBinding.reset();
    DataController().ItemRemoved(oldIndex);
    // The counter steps back only when the last ID issued is released.
    if (removed->FID == FNextID - 1)
        --FNextID;
    removed->FGridView = nullptr;
    RefreshVisibleItemsList();
    RefreshFilterableItemsList();
    LayoutChanged();
    EndUpdate();
    return removed;
}

void TkvCustomGridTableView::ChangeItemIndex(TkvCustomGridTableItem *item, int index)
{
    if (item->FGridView != this || FItems.empty())
        return;
    index = std::clamp(index, 0, ItemCount() - 1);
    const int from = item->FIndex;
    if (index == from)
        return;
    auto owned = std::move(FItems[static_cast<std::size_t>(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + index, std::move(owned));
    RenumberItems();
    if (item->Visible())
        RefreshVisibleItemsList();
    DataController().ItemMoved(from, index);
    LayoutChanged();
}

void TkvCustomGridTableView::RefreshVisibleItemsList()
{
    FVisibleItems.clear();
    for (const auto &item : FItems) {
        if (item->ActuallyVisible()) {
            item->FVisibleIndex = static_cast<int>(FVisibleItems.size());
            FVisibleItems.push_back(item.get());
        } else
            item->FVisibleIndex = -1;
    }
}

void TkvCustomGridTableView::RefreshFilterableItemsList()
{
    FFilterableItems.clear();
    for (const auto &item : FItems)
        if (item->IsFilterBuilderItem())
            FFilterableItems.push_back(item.get());
}

void TkvCustomGridTableView::ItemVisibilityChanged(TkvCustomGridTableItem *item, bool visible)
{
    if (visible) {
        RefreshVisibleItemsList();
        LayoutChanged();
        ItemShown(item);
    } else {
        ItemHiding(item);
        RefreshVisibleItemsList();
        LayoutChanged();
    }
}

std::unique_ptr<TkvGridItemDataBinding>
TkvCustomGridTableView::CreateDataBinding(TkvCustomGridTableItem *item)
{
    return std::make_unique<TkvGridItemDataBinding>(item);
}

// ---- TkvGridTableView ----

TkvGridTableView::~TkvGridTableView()
{
    BeginDestroy();
    FNavigatorButtons.reset();
    // Handlers go in reverse order of creation.
    FViewInfoCache.reset();
    FViewInfo.reset();
    FViewData.reset();
    FPainter.reset();
    FController.reset();
}

void TkvGridTableView::Initialize()
{
    FController = std::make_unique<TkvGridTableController>(this);
    TkvCustomGridTableView::Initialize();
    FDataController->SetListener(this);
    FPainter = std::make_unique<TkvGridTablePainter>(this);
    FViewData = std::make_unique<TkvGridViewData>(this);
    FViewInfo = std::make_unique<TkvGridTableViewInfo>(this);
    FViewInfoCache = std::make_unique<TkvGridTableViewInfoCache>();
    // The view asks its own delete question; the navigator's would ask twice.
    FNavigatorButtons = std::make_unique<TkvNavigatorControlButtons>(this);
    FNavigatorButtons->SetConfirmDelete(false);
    FViewData->Rebuild();
    FViewInfoCache->Resize(FViewData->RecordCount());
}

TkvGridColumn *TkvGridTableView::CreateColumn(const QString &name)
{
    return static_cast<TkvGridColumn *>(AddItem(NewColumn(name)));
}

std::unique_ptr<TkvGridColumn> TkvGridTableView::NewColumn(const QString &name)
{
    return std::make_unique<TkvGridColumn>(name);
}

TkvGridColumn *TkvGridTableView::GroupedColumns(int level) const
{
    const TkvGridRowSource &source = DataController();
    if (level < 0 || level >= source.GroupingItemCount())
        return nullptr;
    return static_cast<TkvGridColumn *>(Items(source.GroupingItemIndex(level)));
}

int TkvGridTableView::GroupedColumnCount() const
{
    return DataController().GroupingItemCount();
}

void TkvGridTableView::SetPressedColumn(TkvGridColumn *column)
{
    if (FPressedColumn == column)
        return;
    FPressedColumn = column;
    LayoutChanged();
}

void TkvGridTableView::ItemRemoving(TkvCustomGridTableItem *item)
{
    if (FPressedColumn == item)
        FPressedColumn = nullptr;
    FController->ItemRemoved(item);
    // No summary may keep pointing at the column once it is gone.
    if (TkvDataSummary *summary = Summary())
        DeleteSummaryItemsOfColumn(*summary, item);
}

void TkvGridTableView::ItemShown(TkvCustomGridTableItem *item)
{
    if (!FController->FocusedItem() && item->CanFocus())
        FController->SetFocusedItem(item);
}

void TkvGridTableView::ItemHiding(TkvCustomGridTableItem *item)
{
    if (FController->FocusedItem() != item)
        return;
    // The next focusable item after it, or none: the focus never jumps back to the left.
    TkvCustomGridTableItem *next = nullptr;
    const int from = item->VisibleIndex();
    for (int i = from + 1; i < VisibleItemCount() && !next; ++i)
        if (VisibleItems(i)->CanFocus())
            next = VisibleItems(i);
    FController->SetFocusedItem(next);
    if (!next)
        FController->ItemRemoved(item);
}

void TkvGridTableView::ExecuteChange(const TkvGridChange &change)
{
    if (IsDestroying() || IsLoading() || FViewInfo->IsCalculating())
        return;
    switch (change.Kind) {
    case TkvGridChangeKind::Size:
        FViewInfoCache->Resize(FViewData->RecordCount());
        [[fallthrough]];
    case TkvGridChangeKind::Data:
    case TkvGridChangeKind::Layout:
        FViewInfo->Calculate();
        FController->CheckTopRowIndex();
        Invalidate();
        if (OnScrollBarsChanged)
            OnScrollBarsChanged();
        break;
    case TkvGridChangeKind::Record:
        if (FViewInfo->IsCalculated()) {
            FViewInfo->CalculateRows();
            if (const TkvGridRowViewInfo *row = FViewInfo->FindRow(change.RowIndex))
                Invalidate(row->Bounds);
        }
        break;
    case TkvGridChangeKind::FocusedRecord:
        FocusedRecordChangedExecute(change);
        break;
    case TkvGridChangeKind::View:
        Invalidate(change.ViewRect);
        break;
    }
    // An open cell editor follows its cell through every new layout and scroll.
    if (change.Kind != TkvGridChangeKind::View)
        FController->EditingController().UpdateEditorBounds();
    if (OnAccessChange) {
        if (change.Kind == TkvGridChangeKind::Size || change.Kind == TkvGridChangeKind::Data ||
            change.Kind == TkvGridChangeKind::Layout)
            OnAccessChange(TkvGridAccessChange::Rows);
        else if (change.Kind == TkvGridChangeKind::FocusedRecord)
            OnAccessChange(TkvGridAccessChange::Focus);
    }
    if (OnChangeExecuted)
        OnChangeExecuted(change);
}

void TkvGridTableView::FocusedRecordChangedExecute(const TkvGridChange &change)
{
    if (!FViewInfo->IsCalculated())
        FViewInfo->Calculate();
    const int top = FController->TopRowIndex();
    QRect previous;
    if (const TkvGridRowViewInfo *row = FViewInfo->FindRow(change.PreviousFocusedRowIndex))
        previous = row->Bounds;
    FController->MakeFocusedRowVisible();
    if (FController->TopRowIndex() != top) {
        Invalidate(); // scrolled: everything moved
        return;
    }
    FViewInfo->CalculateRows();
    if (!previous.isNull())
        Invalidate(previous);
    if (const TkvGridRowViewInfo *row = FViewInfo->FindRow(DataController().FocusedRowIndex()))
        Invalidate(row->Bounds);
    if (change.NewItemRowFocusChanged && !FViewInfo->Rows().empty() && FViewInfo->Rows().front().IsNewItemRow)
        Invalidate(FViewInfo->Rows().front().Bounds);
}

void TkvGridTableView::SourceDataChanged()
{
    FPressedColumn = nullptr;
    // Row objects never outlive a data change; the layout follows once updates allow.
    FViewData->Rebuild();
    FViewInfoCache->Resize(FViewData->RecordCount());
    DataChanged();
    FController->EditingController().RefreshEditor();
    // The focused row may have become another kind of row (a group row) in place.
    FController->EditingController().ShowEditorAlways();
}

void TkvGridTableView::OptionsChanged()
{
    if (FViewData)
        FViewData->CheckNewItemRecord();
    if (FDataController)
        FDataController->SetMultiSelect(OptionsSelection().MultiSelect());
    TkvCustomGridTableView::OptionsChanged();
}

void TkvGridTableView::SourceLayoutChanged()
{
    FViewData->Refresh();
    SizeChanged();
    FController->EditingController().RefreshEditor();
    FController->EditingController().ShowEditorAlways();
}

void TkvGridTableView::SourceFocusedRecordChanged(int previousRowIndex, int newRowIndex,
                                                  bool newItemRowFocusChanged)
{
    // A Shift range starts from the first row focused after the anchor was lost.
    if (DataController().SelectionAnchor() < 0 && newRowIndex >= 0)
        DataController().SetSelectionAnchor(newRowIndex);
    // The editor's value went to its record before the focus moved (the
    // record set asks for it before posting); the editor closes with the move.
    TkvGridEditingController &editing = FController->EditingController();
    if (editing.IsEditing() && !OptionsBehavior().AlwaysShowEditor()) {
        try {
            editing.CloseCellEditor(true);
        } catch (const std::exception &) {
            // A text that does not validate has no record to go to any more.
            editing.CloseCellEditor(false);
        }
    }
    TkvGridChange change;
    change.Kind = TkvGridChangeKind::FocusedRecord;
    change.RowIndex = newRowIndex;
    change.PreviousFocusedRowIndex = previousRowIndex;
    change.NewItemRowFocusChanged = newItemRowFocusChanged;
    PostChange(change);
    // Under AlwaysShowEditor the editor moves to the new row with its value.
    editing.ShowEditorAlways();
    if (OnFocusedRecordChanged)
        OnFocusedRecordChanged(this, FViewData->Records(previousRowIndex), FViewData->Records(newRowIndex),
                               newItemRowFocusChanged);
}

void TkvGridTableView::SourceSelectionChanged(const std::vector<int> &changedRowIndexes)
{
    if (changedRowIndexes.empty())
        LayoutChanged();
    for (int rowIndex : changedRowIndexes)
        if (FViewData->Records(rowIndex))
            RecordChanged(rowIndex);
    if (OnAccessChange)
        OnAccessChange(TkvGridAccessChange::Selection);
    if (OnSelectionChanged)
        OnSelectionChanged(this);
}

void TkvGridTableView::SourceSearchChanged()
{
    const int focusedRowIndex = DataController().FocusedRowIndex();
    if (focusedRowIndex >= 0)
        RecordChanged(focusedRowIndex, FController->FocusedItem() ? FController->FocusedItem()->Index() : -1);
}

void TkvGridTableView::SourceUpdateRecord(int recordIndex)
{
    FViewData->RefreshEditingRecord();
    const int rowIndex = DataController().GetRowIndexByRecordIndex(recordIndex, false);
    if (rowIndex >= 0)
        RecordChanged(rowIndex);
    else
        LayoutChanged();
    FController->EditingController().RefreshEditor();
}

std::unique_ptr<TkvGridRowSource> TkvGridTableView::CreateDataController()
{
    return TkvGridDataControllerSource::Create(this);
}

TkvGridDataControllerSource *TkvGridTableView::ControllerSource() const
{
    return dynamic_cast<TkvGridDataControllerSource *>(&DataController());
}

TkvDataSummary *TkvGridTableView::Summary() const
{
    TkvGridDataControllerSource *source = ControllerSource();
    return source ? source->Summary() : nullptr;
}

TkvDataFilterCriteria *TkvGridTableView::Filter() const
{
    TkvGridDataControllerSource *source = ControllerSource();
    return source ? source->Filter() : nullptr;
}

// ---- TkvGridDBTableView ----

std::unique_ptr<TkvGridColumn> TkvGridDBTableView::NewColumn(const QString &name)
{
    return std::make_unique<TkvGridDBColumn>(name);
}

std::unique_ptr<TkvGridItemDataBinding> TkvGridDBTableView::CreateDataBinding(TkvCustomGridTableItem *item)
{
    return std::make_unique<TkvGridItemDBDataBinding>(item);
}

std::unique_ptr<TkvGridRowSource> TkvGridDBTableView::CreateDataController()
{
    return TkvGridDataControllerSource::CreateDB(this);
}

TkvGridDBDataController *TkvGridDBTableView::DBDataController() const
{
    TkvGridDataControllerSource *source = ControllerSource();
    return source ? source->DBController() : nullptr;
}

} // namespace kestrum
