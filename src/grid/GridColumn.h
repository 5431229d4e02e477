#pragma once
// Items of a table view: the generic table item and the grid column, with
// captions and widths that are either derived from the bound field or
// assigned, IDs and indexes kept by the view, options, styles and the
// capability rules the controller and header logic ask.
#include "core/Variant.h"
#include "grid/GridCustomDraw.h"
#include "grid/GridDefaultEditorItems.h"
#include "grid/GridItemDataBinding.h"
#include "grid/GridOptionMacro.h"
#include "grid/GridStyles.h"
#include "grid/GridTypes.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPainter;

namespace kestrum {

class TkvCustomEditProperties;
class TkvCustomGridRecord;
class TkvCustomGridTableView;
class TkvFilterValueList;
class TkvGridTableView;
struct TkvGridCellViewInfo;

class TkvCustomGridTableItemOptions {
public:
    explicit TkvCustomGridTableItemOptions(TkvCustomGridTableItem *item) : FItem(item) {}
    virtual ~TkvCustomGridTableItemOptions() = default;
    TkvCustomGridTableItemOptions(const TkvCustomGridTableItemOptions &) = delete;
    TkvCustomGridTableItemOptions &operator=(const TkvCustomGridTableItemOptions &) = delete;

    KV_GRID_OPTION(bool, Editing, true)
    KV_GRID_OPTION(bool, Filtering, true)
    KV_GRID_OPTION(bool, Focusing, true)
    KV_GRID_OPTION(bool, IncSearch, true)
    KV_GRID_OPTION(TkvGridItemShowEditButtons, ShowEditButtons, isebDefault)

protected:
    void Changed();

private:
    TkvCustomGridTableItem *FItem;
};

class TkvGridColumnOptions : public TkvCustomGridTableItemOptions {
public:
    using TkvCustomGridTableItemOptions::TkvCustomGridTableItemOptions;
    KV_GRID_OPTION(bool, Grouping, true)
    KV_GRID_OPTION(bool, HorzSizing, true)
    KV_GRID_OPTION(bool, Moving, true)
    KV_GRID_OPTION(bool, Sorting, true)
};

class TkvCustomGridTableItem {
public:
    //! Text of a cell before it is shown; handlers may change it.
    using GetDisplayTextEvent =
        std::function<void(TkvCustomGridTableItem *, TkvCustomGridRecord *, QString &)>;
    //! Custom drawing of a cell; set done to skip the default drawing.
    using CustomDrawCellEvent =
        std::function<void(TkvCustomGridTableView *, QPainter &, const TkvGridCellViewInfo &, bool &done)>;

    explicit TkvCustomGridTableItem(const QString &name = {});
    virtual ~TkvCustomGridTableItem();
    TkvCustomGridTableItem(const TkvCustomGridTableItem &) = delete;
    TkvCustomGridTableItem &operator=(const TkvCustomGridTableItem &) = delete;

    //! The component name, unique in its form; stored summary items find columns by it.
    const QString &Name() const { return FName; }
    void SetName(const QString &name) { FName = name; }

    TkvCustomGridTableView *GridView() const { return FGridView; }
    int ID() const { return FID; }
    int Index() const { return FIndex; }
    void SetIndex(int index);

    QString Caption() const;
    void SetCaption(const QString &caption);
    QString DefaultCaption() const;
    bool IsCaptionAssigned() const { return FCaptionAssigned; }
    //! Whether a layout stores the caption text / the explicit-empty marker.
    bool IsCaptionStored() const { return FCaptionAssigned && FCaption != DefaultCaption(); }
    bool IsCaptionAssignedStored() const { return FCaptionAssigned && FCaption.isEmpty(); }
    //! Reading the stored marker back: an explicitly empty caption stays empty.
    void SetIsCaptionAssigned(bool assigned) { FCaptionAssigned = assigned; }

    int Width() const;
    void SetWidth(int width);
    int DefaultWidth() const;
    bool IsWidthAssigned() const { return FWidthAssigned; }
    int MinWidth() const;
    void SetMinWidth(int minWidth);
    //! Drops the assigned caption and width so both follow the field again.
    void RestoreDefaults();

    TkvGridAlignmentHorz HeaderAlignmentHorz() const;
    void SetHeaderAlignmentHorz(TkvGridAlignmentHorz value);
    TkvAlignmentVert HeaderAlignmentVert() const;
    void SetHeaderAlignmentVert(TkvAlignmentVert value);

    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    int VisibleIndex() const { return FVisibleIndex; }
    //! Visible and not the preview column.
    virtual bool ActuallyVisible() const;

    TkvCustomGridTableItemOptions &Options() const { return *FOptions; }
    TkvGridItemDataBinding *DataBinding() const { return FDataBinding.get(); }

    // Editor: the item's own class name, else an explicit repository item,
    // else the default item the binding chooses from the field.
    const QString &PropertiesClassName() const { return FPropertiesClassName; }
    void SetPropertiesClassName(const QString &className);
    std::optional<TkvGridEditorItemKind> RepositoryItem() const { return FRepositoryItem; }
    void SetRepositoryItem(std::optional<TkvGridEditorItemKind> item);
    TkvGridEditorItemKind EffectiveEditorItem() const;
    TkvGridEditorItemKind DefaultRepositoryItem() const;
    //! The item's own properties, made from PropertiesClassName; nullptr when
    //! the name names no editor.
    TkvCustomEditProperties *Properties() const { return FProperties.get(); }
    //! The properties in force: the own ones unless a repository item is
    //! assigned, else the repository item's, else those of the default item
    //! for the field. Never nullptr.
    TkvCustomEditProperties *GetProperties() const;
    //! The properties for one record: OnGetProperties may replace them.
    TkvCustomEditProperties *GetPropertiesForRecord(TkvCustomGridRecord *record) const;
    //! The data binding goes: its field's defaults must not outlive it in the properties.
    void ForgetDefaultValuesProvider();

    // Capabilities.
    bool CanEdit() const;
    bool CanFilter(bool forHeaderButton) const;
    bool CanFocus() const;
    bool CanIncSearch() const;
    bool CanAutoHeight() const;
    bool IsFilterBuilderItem() const;
    virtual bool CanHorzSize() const { return true; }
    virtual bool IsHidden() const { return false; }
    //! Whether a cell shows its editor's buttons while not being edited.
    bool ShowEditButtons(bool isFocusedRecord) const;

    //! Display text of the item in a row, through OnGetDisplayText.
    QString GetDisplayText(TkvCustomGridRecord *record) const;

    //! The width that shows the widest value, header and footer included.
    int CalculateBestFitWidth() const;
    void ApplyBestFit();

    GetDisplayTextEvent OnGetDisplayText;
    CustomDrawCellEvent OnCustomDrawCell;
    //! The text the filter drop-down shows for a value of the item; handlers may change it.
    std::function<void(TkvCustomGridTableItem *, const Variant &value, QString &displayText)>
        OnGetFilterDisplayText;
    //! The item's filter value list after it was built; handlers may add or remove entries.
    std::function<void(TkvCustomGridTableItem *, TkvFilterValueList &valueList)> OnGetFilterValues;
    //! Per record, the handler may give other properties (it keeps them alive).
    std::function<void(TkvCustomGridTableItem *, TkvCustomGridRecord *, TkvCustomEditProperties *&)>
        OnGetProperties;

protected:
    explicit TkvCustomGridTableItem(const QString &name,
                                    std::unique_ptr<TkvCustomGridTableItemOptions> options);
    void LayoutChanged();
    void SizeChanged();
    int EffectiveMinWidth() const;
    const TkvGridColumnStyles &ItemStyles() const { return FStyles; }
    TkvGridColumnStyles &ItemStyles() { return FStyles; }

private:
    friend class TkvCustomGridTableView;
    friend class TkvCustomGridTableItemOptions;

    QString FName;
    QString FCaption;
    std::unique_ptr<TkvGridItemDataBinding> FDataBinding;
    TkvCustomGridTableView *FGridView = nullptr;
    TkvGridAlignmentHorz FHeaderAlignmentHorz = TkvGridAlignmentHorz::LeftJustify;
    TkvAlignmentVert FHeaderAlignmentVert = TkvAlignmentVert::vaTop;
    int FID = -1;
    int FIndex = -1;
    bool FCaptionAssigned = false;
    bool FHeaderAlignmentHorzAssigned = false;
    bool FHeaderAlignmentVertAssigned = false;
    bool FWidthAssigned = false;
    int FMinWidth = 20;
    std::unique_ptr<TkvCustomGridTableItemOptions> FOptions;
    QString FPropertiesClassName;
    std::unique_ptr<TkvCustomEditProperties> FProperties;
    std::optional<TkvGridEditorItemKind> FRepositoryItem;
    // The repository item's and the default item's properties, made when
    // first asked for and made again when the kind behind them changes.
    mutable std::unique_ptr<TkvCustomEditProperties> FRepositoryProperties;
    mutable TkvGridEditorItemKind FRepositoryPropertiesKind = TkvGridEditorItemKind::Mask;
    mutable std::unique_ptr<TkvCustomEditProperties> FDefaultProperties;
    mutable TkvGridEditorItemKind FDefaultPropertiesKind = TkvGridEditorItemKind::Mask;
    TkvGridColumnStyles FStyles;
    bool FVisible = false;
    int FVisibleIndex = -1;
    int FWidth = 0;

protected:
    bool FVisibleBeforeGrouping = true;
    bool FVisibleBeforeGroupingKnown = false;
};

class TkvGridColumn : public TkvCustomGridTableItem {
public:
    explicit TkvGridColumn(const QString &name = {});

    TkvGridColumnOptions &Options() const
    {
        return static_cast<TkvGridColumnOptions &>(TkvCustomGridTableItem::Options());
    }
    TkvGridColumnStyles &Styles() { return ItemStyles(); }
    const TkvGridColumnStyles &Styles() const { return ItemStyles(); }

    //! The field's alignment unless assigned, so numeric sums align right.
    TkvGridAlignmentHorz FooterAlignmentHorz() const;
    void SetFooterAlignmentHorz(TkvGridAlignmentHorz value);

    const QImage &HeaderGlyph() const { return FHeaderGlyph; }
    void SetHeaderGlyph(const QImage &glyph);
    TkvGridAlignmentHorz HeaderGlyphAlignmentHorz() const { return FHeaderGlyphAlignmentHorz; }
    void SetHeaderGlyphAlignmentHorz(TkvGridAlignmentHorz value);
    TkvAlignmentVert HeaderGlyphAlignmentVert() const { return FHeaderGlyphAlignmentVert; }
    void SetHeaderGlyphAlignmentVert(TkvAlignmentVert value);

    bool Hidden() const { return FHidden; }
    void SetHidden(bool hidden);
    bool IsHidden() const override;
    bool ActuallyVisible() const override;

    //! Read from and written to the controller's sorting; a grouped column
    //! reports its grouping direction.
    TkvGridSortMark SortOrder() const;
    void SetSortOrder(TkvGridSortMark order);

    //! The left button went down on the column's header.
    std::function<void(TkvGridColumn *)> OnHeaderClick;
    //! A user-defined entry of the filter drop-down was chosen.
    std::function<void(TkvGridColumn *, const Variant &value, const QString &displayText)> OnUserFiltering;
    //! Drawing of the column's header cell and of its footer cells; asked before the view's events.
    TkvGridCustomDrawHeaderEvent OnCustomDrawHeader;
    TkvGridCustomDrawCellEvent OnCustomDrawFooterCell;

    //! Read from and written to the controller's grouping; -1 when not grouped.
    int GroupIndex() const;
    void SetGroupIndex(int groupIndex);
    //! Whether the column was visible when it was first grouped.
    bool VisibleBeforeGrouping() const;

    bool CanGroup() const;
    bool CanMove() const;
    bool CanSort() const;
    bool CanHorzSize() const override;

private:
    std::optional<TkvGridAlignmentHorz> FFooterAlignmentHorz;
    QImage FHeaderGlyph;
    TkvGridAlignmentHorz FHeaderGlyphAlignmentHorz = TkvGridAlignmentHorz::LeftJustify;
    TkvAlignmentVert FHeaderGlyphAlignmentVert = TkvAlignmentVert::vaCenter;
    bool FHidden = false;
};

//! A column bound to a record-set field by name.
class TkvGridDBColumn : public TkvGridColumn {
public:
    using TkvGridColumn::TkvGridColumn;
    //! The binding exists while the column belongs to a view; nullptr otherwise.
    TkvGridItemDBDataBinding *DataBinding() const;
};

} // namespace kestrum
