#pragma once
// A small in-memory data controller for grid tests and benchmarks: records
// of display texts (or a generator for a million of them), grouping by any
// items with expandable groups, a footer sum per item and group sums, focus
// and single-row selection, with the controller's notices to the view.
#include "grid/Grid.h"
#include "grid/GridRowSource.h"
#include "grid/GridTableView.h"

#include <functional>
#include <map>
#include <set>
#include <vector>

namespace kestrum::test {

class GridTestSource : public TkvGridRowSource {
public:
    struct Field {
        QString Name;
        TkvGridFieldInfo Info;
    };

    //! Record-set fields by name; each item binds to one through its field name.
    std::vector<Field> Fields;
    //! Display texts per record, per field.
    std::vector<std::vector<QString>> Records;
    //! Instead of Records: a generated table of this many records.
    int GeneratedCount = -1;
    std::function<QString(int recordIndex, int fieldIndex)> Generator;
    //! Footer sums per field name (the items showing them are the items bound to the field).
    std::set<QString> FooterSumFields;
    //! Group rows show the sum of this field; empty for no group summary.
    QString GroupSumField;
    //! Group footers show the sum of this field in the items bound to it; empty for none.
    QString GroupFooterSumField;

    // Test set-up helpers.
    void AddField(const QString &name, TkvGridFieldKind kind, int displayWidth,
                  TkvGridAlignmentHorz alignment = TkvGridAlignmentHorz::LeftJustify);
    void AddRecord(const std::vector<QString> &texts) { Records.push_back(texts); }
    //! Reloads: rows rebuilt, focus kept by record, the view told of a data change.
    void Reload();
    //! Moving the focus reloads, as posting the edited record on a focus move does.
    bool ReloadOnFocusChange = false;
    //! Number of notices delivered, by kind ("D", "L", "F", "S").
    std::string Notices;

    // TkvGridRowSource.
    void ItemAdded(int itemIndex) override;
    void ItemRemoved(int itemIndex) override;
    void ItemMoved(int fromIndex, int toIndex) override;
    QString FieldName(int itemIndex) const override;
    void SetFieldName(int itemIndex, const QString &fieldName) override;
    TkvGridFieldInfo FieldInfo(int itemIndex) const override;
    int RowCount() const override;
    TkvGridRowInfo GetRowInfo(int rowIndex) const override;
    int RecordCount() const override;
    int GetRowIndexByRecordIndex(int recordIndex, bool makeVisible) override;
    QString DisplayText(int recordIndex, int itemIndex) const override;
    int GroupingItemCount() const override { return static_cast<int>(FGrouping.size()); }
    int GroupingItemIndex(int level) const override;
    int ItemGroupIndex(int itemIndex) const override;
    void PlaceInGrouping(int itemIndex, int groupIndex) override;
    void ChangeExpanding(int rowIndex, bool expanded, bool recursive) override;
    QString GroupRowSummaryText(int rowIndex) const override;
    QString FooterText(int itemIndex) const override;
    QString GroupFooterText(int rowIndex, int level, int itemIndex) const override;
    //! Sort marks only: the records keep their order.
    TkvGridSortMark ItemSortOrder(int itemIndex) const override
    {
        const auto found = SortOrders.find(itemIndex);
        return found == SortOrders.end() ? TkvGridSortMark::None : found->second;
    }
    void ApplySortOrder(int itemIndex, TkvGridSortMark order) override
    {
        if (order == TkvGridSortMark::None)
            SortOrders.erase(itemIndex);
        else
            SortOrders[itemIndex] = order;
        if (FListener)
            FListener->SourceLayoutChanged();
    }
    void ResetSorting(bool keepGrouped) override
    {
        (void)keepGrouped;
        SortOrders.clear();
    }
    std::map<int, TkvGridSortMark> SortOrders;
    int FocusedRowIndex() const override { return FFocusedRowIndex; }
    bool ChangeFocusedRowIndex(int rowIndex) override;
    bool IsRowSelected(int rowIndex) const override { return rowIndex >= 0 && rowIndex == FFocusedRowIndex; }
    bool NewItemRowFocused() const override { return FNewItemRowFocused; }
    bool SetNewItemRowFocused(bool focused) override;

private:
    struct Row {
        int Level;
        int RecordIndex;
        bool Expanded;
        int Begin; //!< group rows: position of the first record in the sorted list
        int End;   //!< one past the last
    };
    int FieldIndexOfItem(int itemIndex) const;
    QString FieldText(int recordIndex, int fieldIndex) const;
    QString GroupKey(int level, int recordIndex) const;
    void BuildRows();
    void AppendGroupRows(int level, int begin, int end, const QString &path);
    QString GroupPath(int level, int recordIndex) const;
    double SumOf(const QString &fieldName, int begin, int end) const;
    void RefocusAfterRebuild(int focusedRecordIndex, int focusedLevel);

    std::vector<QString> FItemFieldNames;
    std::vector<int> FGrouping;      //!< item indexes in level order
    std::vector<int> FSortedRecords; //!< only while grouped
    std::set<QString> FExpandedPaths;
    std::vector<Row> FRows; //!< only while grouped
    int FFocusedRowIndex = -1;
    bool FNewItemRowFocused = false;
};

//! A table view over a GridTestSource, owned by the test.
class GridTestView : public TkvGridDBTableView {
public:
    GridTestSource &Source() const { return static_cast<GridTestSource &>(DataController()); }

protected:
    template <class View, class... Args> friend std::unique_ptr<View> kestrum::MakeGridView(Args &&...args);
    using TkvGridDBTableView::TkvGridDBTableView;
    std::unique_ptr<TkvGridRowSource> CreateDataController() override
    {
        return std::make_unique<GridTestSource>();
    }
};

//! The ledger's income (or expense) grid over a test source: amount, item, date and remark
//! columns configured as the entry pages configure them, footer on, footer sum on the amount.
struct LedgerGrid {
    std::unique_ptr<GridTestView> Owned; //!< the view when no grid control owns it
    GridTestView *View = nullptr;
    TkvGridDBColumn *Amount = nullptr;
    TkvGridDBColumn *Item = nullptr;
    TkvGridDBColumn *Date = nullptr;
    TkvGridDBColumn *Remark = nullptr;
    GridTestSource &Source() const { return View->Source(); }
};
LedgerGrid MakeLedgerGrid(bool income, const std::vector<std::vector<QString>> &records = {},
                          TkvCustomGrid *owner = nullptr);

//! Text form of the rows laid out: "G0:进帐项 : 工资|D1:0|..." (G group, D data; level; record).
std::string LaidOutRows(const TkvGridTableView &view);

} // namespace kestrum::test
