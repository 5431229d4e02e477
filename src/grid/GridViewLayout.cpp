#include "grid/GridViewLayout.h"

#include "core/Errors.h"
#include "filter/DataFilterCriteria.h"
#include "grid/GridTableView.h"

#include <map>

namespace kestrum {

namespace {

constexpr int MaxWidth = 1 << 20;

//! Property values as one kind each, checked before anything is applied.
struct ItemValues {
    std::optional<int> Index;
    std::optional<bool> Visible;
    std::optional<QString> Caption;
    bool CaptionAssigned = false;
    std::optional<int> SortOrder;
    std::optional<int> SortIndex;
    std::optional<int> GroupIndex;
    std::optional<int> Width;
    std::optional<QString> FieldName;
};

int IntegerOf(const Variant &value, int low, int high)
{
    switch (value.type()) {
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::UInt8:
    case VarType::UInt16:
        break;
    default:
        throw EReadError();
    }
    const int result = value.toInt32();
    if (result < low || result > high)
        throw EReadError();
    return result;
}

bool BooleanOf(const Variant &value)
{
    if (value.type() != VarType::Boolean)
        throw EReadError();
    return value.toBool();
}

QString TextOf(const Variant &value)
{
    if (!value.isString())
        throw EReadError();
    return value.toString();
}

ItemValues CheckItem(const TkvGridStoredLayout::Item &item, int itemCount)
{
    ItemValues values;
    std::map<QString, bool> seen;
    for (const TkvGridStoredProperty &property : item.Properties) {
        if (seen[property.Name])
            throw EReadError();
        seen[property.Name] = true;
        const QString &name = property.Name;
        const Variant &value = property.Value;
        if (name == "Index")
            values.Index = IntegerOf(value, 0, itemCount - 1);
        else if (name == "Visible")
            values.Visible = BooleanOf(value);
        else if (name == "Caption")
            values.Caption = TextOf(value);
        else if (name == "IsCaptionAssigned")
            values.CaptionAssigned = BooleanOf(value);
        else if (name == "SortOrder")
            values.SortOrder = IntegerOf(value, 0, 2);
        else if (name == "SortIndex")
            values.SortIndex = IntegerOf(value, 0, itemCount - 1);
        else if (name == "GroupIndex")
            values.GroupIndex = IntegerOf(value, -1, itemCount - 1);
        else if (name == "Width")
            values.Width = IntegerOf(value, 0, MaxWidth);
        else if (name == "FieldName")
            values.FieldName = TextOf(value);
        else
            throw EReadError();
    }
    return values;
}

TkvGridSortMark SortMarkOf(int value)
{
    return value == 1   ? TkvGridSortMark::Ascending
           : value == 2 ? TkvGridSortMark::Descending
                        : TkvGridSortMark::None;
}

} // namespace

std::vector<TkvGridStoredProperty> TkvGridViewLayoutStorage::StoredProperties(TkvGridTableView &view,
                                                                              int itemIndex)
{
    std::vector<TkvGridStoredProperty> properties;
    TkvGridColumn *column = view.Columns(itemIndex);
    TkvGridRowSource &source = view.DataController();
    // The index is stored always: it is what puts the columns back in their order.
    properties.push_back({"Index", Variant(column->Index())});
    if (!column->Visible())
        properties.push_back({"Visible", Variant(false)});
    if (column->IsCaptionStored())
        properties.push_back({"Caption", Variant(column->Caption())});
    if (column->IsCaptionAssignedStored())
        properties.push_back({"IsCaptionAssigned", Variant(true)});
    const TkvGridSortMark order = source.ItemSortOrder(column->Index());
    if (order != TkvGridSortMark::None && column->GroupIndex() < 0) {
        properties.push_back({"SortOrder", Variant(order == TkvGridSortMark::Ascending ? 1 : 2)});
        properties.push_back({"SortIndex", Variant(std::max(0, source.ItemSortIndex(column->Index())))});
    }
    if (column->GroupIndex() >= 0) {
        properties.push_back({"GroupIndex", Variant(column->GroupIndex())});
        if (order == TkvGridSortMark::Descending)
            properties.push_back({"SortOrder", Variant(2)});
    }
    if (column->IsWidthAssigned())
        properties.push_back({"Width", Variant(column->Width())});
    if (!source.FieldName(column->Index()).isEmpty())
        properties.push_back({"FieldName", Variant(source.FieldName(column->Index()))});
    return properties;
}

std::string TkvGridViewLayoutStorage::Store(TkvGridTableView &view)
{
    TkvGridStoredLayout layout;
    for (int i = 0; i < view.ColumnCount(); ++i)
        layout.Items.push_back({view.Columns(i)->Name(), StoredProperties(view, i)});
    if (TkvDataFilterCriteria *criteria = view.Filter()) {
        layout.HasCriteria = true;
        layout.Criteria = criteria->SaveToBytes();
    }
    return WriteGridLayout(layout);
}

void TkvGridViewLayoutStorage::Restore(TkvGridTableView &view, const std::string &bytes)
{
    const TkvGridStoredLayout layout = ParseGridLayout(bytes);
    // Check everything against the view before the first change.
    const int itemCount = view.ColumnCount();
    std::vector<std::pair<TkvGridColumn *, ItemValues>> items;
    std::map<TkvGridColumn *, bool> named;
    for (const TkvGridStoredLayout::Item &item : layout.Items) {
        auto *column = dynamic_cast<TkvGridColumn *>(view.FindItemByName(item.Name));
        if (!column || named[column])
            throw EReadError();
        named[column] = true;
        items.emplace_back(column, CheckItem(item, itemCount));
    }
    TkvDataFilterCriteria *criteria = view.Filter();
    if (layout.HasCriteria && !criteria)
        throw EReadError();

    TkvGridRowSource &source = view.DataController();
    view.BeginUpdate();
    source.BeginBatch();
    try {
        // The criteria reader keeps the criteria as it was when the stream is bad.
        if (layout.HasCriteria)
            criteria->LoadFromBytes(layout.Criteria);
    } catch (...) {
        source.EndBatch();
        view.EndUpdate();
        throw;
    }
    // Field names first (they decide default captions and widths), then the order, then the rest.
    for (auto &[column, values] : items)
        if (values.FieldName)
            source.SetFieldName(column->Index(), *values.FieldName);
    std::vector<std::pair<int, TkvGridColumn *>> byIndex;
    for (auto &[column, values] : items)
        if (values.Index)
            byIndex.emplace_back(*values.Index, column);
    std::sort(byIndex.begin(), byIndex.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto &[index, column] : byIndex)
        column->SetIndex(index);
    source.ResetSorting(false);
    std::vector<std::pair<int, TkvGridColumn *>> grouped, sorted;
    for (auto &[column, values] : items) {
        column->SetVisible(values.Visible.value_or(true));
        if (values.Caption)
            column->SetCaption(*values.Caption);
        else if (values.CaptionAssigned)
            column->SetCaption(QString());
        if (values.CaptionAssigned)
            column->SetIsCaptionAssigned(true);
        if (values.Width)
            column->SetWidth(*values.Width);
        if (values.GroupIndex && *values.GroupIndex >= 0)
            grouped.emplace_back(*values.GroupIndex, column);
        else if (column->GroupIndex() >= 0)
            column->SetGroupIndex(-1);
        if (values.SortOrder && !(values.GroupIndex && *values.GroupIndex >= 0))
            sorted.emplace_back(values.SortIndex.value_or(0), column);
    }
    std::stable_sort(grouped.begin(), grouped.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto &[level, column] : grouped)
        column->SetGroupIndex(level);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto &[position, column] : sorted) {
        (void)position;
        for (auto &[c, values] : items)
            if (c == column)
                source.ApplySortOrder(column->Index(), SortMarkOf(*values.SortOrder));
    }
    for (auto &[column, values] : items)
        if (values.GroupIndex && *values.GroupIndex >= 0 && values.SortOrder == 2)
            source.ApplySortOrder(column->Index(), TkvGridSortMark::Descending);
    source.EndBatch();
    view.EndUpdate();
}

} // namespace kestrum
