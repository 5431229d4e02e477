#include "grid/GridColumn.h"

#include "editors/EditProperties.h"
#include "grid/GridEditorProperties.h"

#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"
#include "grid/GridViewData.h"

#include <QFontMetrics>

#include <algorithm>

namespace kestrum {

void TkvCustomGridTableItemOptions::Changed()
{
    FItem->LayoutChanged();
}

TkvCustomGridTableItem::TkvCustomGridTableItem(const QString &name) : TkvCustomGridTableItem(name, nullptr)
{
}

TkvCustomGridTableItem::TkvCustomGridTableItem(const QString &name,
                                               std::unique_ptr<TkvCustomGridTableItemOptions> options)
    : FName(name),
      FOptions(options ? std::move(options) : std::make_unique<TkvCustomGridTableItemOptions>(this))
{
}

TkvCustomGridTableItem::~TkvCustomGridTableItem()
{
    // The properties go before anything an editor using them might still read.
    FDefaultProperties.reset();
    FRepositoryProperties.reset();
    FProperties.reset();
}

void TkvCustomGridTableItem::LayoutChanged()
{
    if (FGridView)
        FGridView->LayoutChanged();
}

void TkvCustomGridTableItem::SizeChanged()
{
    if (FGridView)
        FGridView->SizeChanged();
}

void TkvCustomGridTableItem::SetIndex(int index)
{
    if (FGridView)
        FGridView->ChangeItemIndex(this, index);
}

QString TkvCustomGridTableItem::DefaultCaption() const
{
    return FDataBinding ? FDataBinding->DefaultCaption() : QString();
}

QString TkvCustomGridTableItem::Caption() const
{
    return FCaptionAssigned ? FCaption : DefaultCaption();
}

void TkvCustomGridTableItem::SetCaption(const QString &caption)
{
    // Writing what is shown already keeps the caption derived.
    if (caption == Caption())
        return;
    FCaption = caption;
    FCaptionAssigned = true;
    LayoutChanged();
}

int TkvCustomGridTableItem::EffectiveMinWidth() const
{
    return CanHorzSize() ? FMinWidth : 0;
}

int TkvCustomGridTableItem::DefaultWidth() const
{
    const int width =
        FDataBinding ? FDataBinding->DefaultWidth() : TkvGridItemDataBinding(nullptr).DefaultWidth();
    return std::max(width, EffectiveMinWidth());
}

int TkvCustomGridTableItem::Width() const
{
    return FWidthAssigned ? FWidth : DefaultWidth();
}

void TkvCustomGridTableItem::SetWidth(int width)
{
    width = std::max(width, EffectiveMinWidth());
    const bool loading = FGridView && FGridView->IsLoading();
    // Writing the width shown already changes nothing; a derived width stays derived.
    if (!loading && width == Width())
        return;
    FWidth = width;
    FWidthAssigned = true;
    SizeChanged();
}

int TkvCustomGridTableItem::MinWidth() const
{
    return CanHorzSize() ? FMinWidth : Width();
}

void TkvCustomGridTableItem::SetMinWidth(int minWidth)
{
    minWidth = std::max(minWidth, 0);
    if (minWidth == FMinWidth)
        return;
    const int oldWidth = Width();
    FMinWidth = minWidth;
    if (FGridView && FGridView->IsLoading())
        return;
    if (FWidthAssigned && FWidth < EffectiveMinWidth())
        SetWidth(minWidth);
    else if (oldWidth < EffectiveMinWidth())
        SizeChanged();
}

void TkvCustomGridTableItem::RestoreDefaults()
{
    FCaptionAssigned = false;
    FWidthAssigned = false;
    SizeChanged();
}

TkvGridAlignmentHorz TkvCustomGridTableItem::HeaderAlignmentHorz() const
{
    return FHeaderAlignmentHorzAssigned ? FHeaderAlignmentHorz : TkvGridAlignmentHorz::LeftJustify;
}

void TkvCustomGridTableItem::SetHeaderAlignmentHorz(TkvGridAlignmentHorz value)
{
    if (value == HeaderAlignmentHorz())
        return;
    FHeaderAlignmentHorz = value;
    FHeaderAlignmentHorzAssigned = true;
    LayoutChanged();
}

TkvAlignmentVert TkvCustomGridTableItem::HeaderAlignmentVert() const
{
    return FHeaderAlignmentVertAssigned ? FHeaderAlignmentVert : TkvAlignmentVert::vaTop;
}

void TkvCustomGridTableItem::SetHeaderAlignmentVert(TkvAlignmentVert value)
{
    if (value == HeaderAlignmentVert())
        return;
    FHeaderAlignmentVert = value;
    FHeaderAlignmentVertAssigned = true;
    LayoutChanged();
}

void TkvCustomGridTableItem::SetVisible(bool visible)
{
    if (FVisible == visible)
        return;
    FVisible = visible;
    if (FGridView)
        FGridView->ItemVisibilityChanged(this, visible);
}

bool TkvCustomGridTableItem::ActuallyVisible() const
{
    return FVisible;
}

void TkvCustomGridTableItem::SetPropertiesClassName(const QString &className)
{
    if (FPropertiesClassName == className)
        return;
    FPropertiesClassName = className;
    TkvGridEditorItemKind kind;
    FProperties = EditorItemKindByClassName(className, kind) ? CreateEditorProperties(kind) : nullptr;
    LayoutChanged();
}

void TkvCustomGridTableItem::SetRepositoryItem(std::optional<TkvGridEditorItemKind> item)
{
    if (FRepositoryItem == item)
        return;
    FRepositoryItem = item;
    LayoutChanged();
}

TkvGridEditorItemKind TkvCustomGridTableItem::DefaultRepositoryItem() const
{
    return FDataBinding ? FDataBinding->DefaultRepositoryItem() : TkvGridEditorItemKind::Mask;
}

TkvGridEditorItemKind TkvCustomGridTableItem::EffectiveEditorItem() const
{
    TkvGridEditorItemKind kind;
    // The item's own properties win unless a repository item is assigned.
    if (!FRepositoryItem && !FPropertiesClassName.isEmpty() &&
        EditorItemKindByClassName(FPropertiesClassName, kind))
        return kind;
    if (FRepositoryItem)
        return *FRepositoryItem;
    return DefaultRepositoryItem();
}

TkvCustomEditProperties *TkvCustomGridTableItem::GetProperties() const
{
    TkvCustomEditProperties *properties = nullptr;
    if (!FRepositoryItem && FProperties) {
        properties = FProperties.get();
    } else if (FRepositoryItem) {
        if (!FRepositoryProperties || FRepositoryPropertiesKind != *FRepositoryItem) {
            FRepositoryProperties = CreateEditorProperties(*FRepositoryItem);
            FRepositoryPropertiesKind = *FRepositoryItem;
        }
        properties = FRepositoryProperties.get();
    } else {
        const TkvGridEditorItemKind kind = DefaultRepositoryItem();
        if (!FDefaultProperties || FDefaultPropertiesKind != kind) {
            FDefaultProperties = CreateEditorProperties(kind);
            FDefaultPropertiesKind = kind;
        }
        properties = FDefaultProperties.get();
    }
    // The properties take their defaults (maximum length, formats, read-only)
    // from the field behind the item, as a bound editor takes them from its own.
    properties->SetDefaultValuesProvider(FDataBinding ? &FDataBinding->DefaultValuesProvider() : nullptr);
    return properties;
}

void TkvCustomGridTableItem::ForgetDefaultValuesProvider()
{
    for (TkvCustomEditProperties *properties :
         {FProperties.get(), FRepositoryProperties.get(), FDefaultProperties.get()})
        if (properties)
            properties->SetDefaultValuesProvider(nullptr);
}

TkvCustomEditProperties *TkvCustomGridTableItem::GetPropertiesForRecord(TkvCustomGridRecord *record) const
{
    TkvCustomEditProperties *properties = GetProperties();
    if (OnGetProperties) {
        OnGetProperties(const_cast<TkvCustomGridTableItem *>(this), record, properties);
        if (!properties)
            properties = GetProperties();
    }
    return properties;
}

bool TkvCustomGridTableItem::CanFocus() const
{
    return FVisible && FGridView && FGridView->OptionsSelection().CellSelect() && FOptions->Focusing();
}

bool TkvCustomGridTableItem::CanEdit() const
{
    if (!CanFocus() || !FGridView->OptionsData().Editing() || !FOptions->Editing())
        return false;
    const TkvGridRowSource &source = FGridView->DataController();
    // The new-item row has cells of its own: editing there begins an entry.
    if (FGridView->OptionsView().NewItemRow() && source.NewItemRowFocused())
        return source.CanEdit();
    const int focusedRowIndex = source.FocusedRowIndex();
    if (focusedRowIndex < 0)
        return false;
    const bool hasCell = source.GetRowInfo(focusedRowIndex).Level >= source.GroupingItemCount();
    return hasCell && source.CanEdit();
}

bool TkvCustomGridTableItem::CanFilter(bool forHeaderButton) const
{
    if (!EditorSupport(EffectiveEditorItem()).Filtering || !FOptions->Filtering())
        return false;
    return !forHeaderButton || (FGridView && FGridView->OptionsCustomize().ColumnFiltering());
}

bool TkvCustomGridTableItem::CanIncSearch() const
{
    return EditorSupport(EffectiveEditorItem()).IncSearch && FGridView &&
           FGridView->OptionsBehavior().IncSearch() && FOptions->IncSearch();
}

bool TkvCustomGridTableItem::CanAutoHeight() const
{
    return EditorSupport(EffectiveEditorItem()).AutoHeight;
}

bool TkvCustomGridTableItem::IsFilterBuilderItem() const
{
    return CanFilter(false) && !IsHidden();
}

bool TkvCustomGridTableItem::ShowEditButtons(bool isFocusedRecord) const
{
    switch (FOptions->ShowEditButtons()) {
    case isebAlways:
        return true;
    case isebNever:
        return false;
    case isebDefault:
        break;
    }
    if (!FGridView)
        return false;
    switch (FGridView->OptionsView().ShowEditButtons()) {
    case gsebAlways:
        return true;
    case gsebForFocusedRecord:
        return isFocusedRecord;
    case gsebNever:
        break;
    }
    return false;
}

QString TkvCustomGridTableItem::GetDisplayText(TkvCustomGridRecord *record) const
{
    QString text;
    if (record) {
        // The cell shows what its editor shows while not focused: the field's
        // own text for text-kind editors, the value formatted by the editor
        // (a date, an amount through its pattern) for the others.
        const TkvCustomEditProperties *properties = GetPropertiesForRecord(record);
        Variant value;
        if (properties->GetBindingValueKind(false) != bvkText && FGridView)
            value = record->Value(FIndex);
        text =
            value.isEmpty() ? record->DisplayText(FIndex) : properties->EditValueToDisplayText(value, false);
    }
    if (OnGetDisplayText)
        OnGetDisplayText(const_cast<TkvCustomGridTableItem *>(this), record, text);
    return text;
}

int TkvCustomGridTableItem::CalculateBestFitWidth() const
{
    if (!FGridView || FIndex < 0)
        return Width();
    TkvGridRowSource &source = FGridView->DataController();
    const QFont contentFont = FGridView->Styles().Resolve(FStyles.Content, TkvGridStyleSlot::Content).Font;
    const QFontMetrics metrics(contentFont);
    int contentWidth = 0;
    auto measure = [&](int recordIndex) {
        contentWidth =
            std::max(contentWidth, metrics.horizontalAdvance(source.DisplayText(recordIndex, FIndex)));
    };
    const int limit = FGridView->OptionsBehavior().BestFitMaxRecordCount();
    if (limit <= 0) {
        for (int recordIndex = 0; recordIndex < source.RecordCount(); ++recordIndex)
            measure(recordIndex);
    } else if (auto *tableView = dynamic_cast<TkvGridTableView *>(FGridView)) {
        // The N data rows from the top visible row.
        int measured = 0;
        for (int rowIndex = std::max(0, tableView->Controller().TopRowIndex());
             rowIndex < source.RowCount() && measured < limit; ++rowIndex) {
            const TkvGridRowInfo info = source.GetRowInfo(rowIndex);
            if (info.Level < source.GroupingItemCount())
                continue;
            measure(info.RecordIndex);
            ++measured;
        }
    }
    // Buttons take room from the text only in cells that show them.
    if (ShowEditButtons(true))
        contentWidth += EditorSupport(EffectiveEditorItem()).ButtonsWidth;
    if (contentWidth > 0)
        contentWidth += 2;
    // The cell's text offsets and its grid line.
    const TkvGridLines lines = FGridView->OptionsView().GridLines();
    contentWidth += 4 + ((lines == glBoth || lines == glVertical) ? 1 : 0);
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const QFont headerFont = FGridView->Styles().Resolve(FStyles.Header, TkvGridStyleSlot::Header).Font;
    int headerWidth =
        QFontMetrics(headerFont).horizontalAdvance(Caption()) + 4 + 2 * lookAndFeel.HeaderBorderWidth();
    if (CanFilter(true))
        headerWidth += lookAndFeel.FilterButtonWidth() + 2;
    if (source.ItemSortOrder(FIndex) != TkvGridSortMark::None)
        headerWidth += lookAndFeel.SortMarkWidth() + 2;
    // The first column's header and footer cells also span the rows' group indent, which its
    // width does not hold: that much of their need is met already.
    const int groupIndent =
        FVisibleIndex == 0 ? source.GroupingItemCount() * (lookAndFeel.ExpandButtonSize() + 6) : 0;
    headerWidth -= groupIndent;
    int result = std::max(contentWidth, headerWidth);
    if (FGridView->OptionsView().Footer()) {
        const QFont footerFont = FGridView->Styles().Resolve(FStyles.Footer, TkvGridStyleSlot::Footer).Font;
        const int footerWidth = QFontMetrics(footerFont).horizontalAdvance(source.FooterText(FIndex)) + 4 +
                                2 + 2 * lookAndFeel.FooterCellOffset() - groupIndent;
        result = std::max(result, footerWidth);
    }
    return result;
}

void TkvCustomGridTableItem::ApplyBestFit()
{
    if (!FGridView || FGridView->IsDestroying())
        return;
    FGridView->BeginUpdate();
    SetWidth(CalculateBestFitWidth());
    FGridView->EndUpdate();
}

TkvGridColumn::TkvGridColumn(const QString &name)
    : TkvCustomGridTableItem(name, std::make_unique<TkvGridColumnOptions>(this))
{
}

TkvGridAlignmentHorz TkvGridColumn::FooterAlignmentHorz() const
{
    if (FFooterAlignmentHorz)
        return *FFooterAlignmentHorz;
    return DataBinding() ? DataBinding()->DefaultAlignment() : TkvGridAlignmentHorz::LeftJustify;
}

void TkvGridColumn::SetFooterAlignmentHorz(TkvGridAlignmentHorz value)
{
    if (FFooterAlignmentHorz == value)
        return;
    FFooterAlignmentHorz = value;
    LayoutChanged();
}

void TkvGridColumn::SetHeaderGlyph(const QImage &glyph)
{
    FHeaderGlyph = glyph;
    LayoutChanged();
}

void TkvGridColumn::SetHeaderGlyphAlignmentHorz(TkvGridAlignmentHorz value)
{
    if (FHeaderGlyphAlignmentHorz == value)
        return;
    FHeaderGlyphAlignmentHorz = value;
    LayoutChanged();
}

void TkvGridColumn::SetHeaderGlyphAlignmentVert(TkvAlignmentVert value)
{
    if (FHeaderGlyphAlignmentVert == value)
        return;
    FHeaderGlyphAlignmentVert = value;
    LayoutChanged();
}

void TkvGridColumn::SetHidden(bool hidden)
{
    if (FHidden == hidden)
        return;
    FHidden = hidden;
    if (GridView())
        GridView()->RefreshFilterableItemsList();
}

bool TkvGridColumn::IsHidden() const
{
    const bool isPreview = GridView() && GridView()->Preview().Column() == this;
    return FHidden || isPreview;
}

bool TkvGridColumn::ActuallyVisible() const
{
    const bool isPreview =
        GridView() && GridView()->Preview().Visible() && GridView()->Preview().Column() == this;
    return Visible() && !isPreview;
}

TkvGridSortMark TkvGridColumn::SortOrder() const
{
    if (!GridView() || Index() < 0)
        return TkvGridSortMark::None;
    return GridView()->DataController().ItemSortOrder(Index());
}

void TkvGridColumn::SetSortOrder(TkvGridSortMark order)
{
    if (!GridView() || Index() < 0)
        return;
    GridView()->DataController().ApplySortOrder(Index(), order);
}

int TkvGridColumn::GroupIndex() const
{
    if (!GridView() || Index() < 0)
        return -1;
    return GridView()->DataController().ItemGroupIndex(Index());
}

void TkvGridColumn::SetGroupIndex(int groupIndex)
{
    if (!GridView() || groupIndex == GroupIndex())
        return;
    // Taken each time the column joins the grouping, so that ungrouping restores
    // the visibility it had then, not the one of an earlier grouping.
    if (groupIndex >= 0 && GroupIndex() < 0) {
        FVisibleBeforeGrouping = Visible();
        FVisibleBeforeGroupingKnown = true;
    }
    GridView()->DataController().PlaceInGrouping(Index(), groupIndex);
}

bool TkvGridColumn::VisibleBeforeGrouping() const
{
    return FVisibleBeforeGroupingKnown ? FVisibleBeforeGrouping : Visible();
}

bool TkvGridColumn::CanGroup() const
{
    return EditorSupport(EffectiveEditorItem()).Sorting && GridView() &&
           GridView()->OptionsCustomize().ColumnGrouping() && Options().Grouping();
}

bool TkvGridColumn::CanMove() const
{
    if (!GridView())
        return false;
    const bool onlyVisible = Visible() && GridView()->VisibleItemCount() == 1;
    return !onlyVisible && GridView()->OptionsCustomize().ColumnMoving() && Options().Moving();
}

bool TkvGridColumn::CanSort() const
{
    return EditorSupport(EffectiveEditorItem()).Sorting && GridView() &&
           GridView()->OptionsCustomize().ColumnSorting() && Options().Sorting();
}

bool TkvGridColumn::CanHorzSize() const
{
    const bool viewAllows = !GridView() || GridView()->OptionsCustomize().ColumnHorzSizing();
    return viewAllows && Options().HorzSizing();
}

TkvGridItemDBDataBinding *TkvGridDBColumn::DataBinding() const
{
    return dynamic_cast<TkvGridItemDBDataBinding *>(TkvCustomGridTableItem::DataBinding());
}

} // namespace kestrum
