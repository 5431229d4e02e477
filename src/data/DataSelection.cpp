#include "data/DataSelection.h"

#include <algorithm>

namespace kestrum {

int TkvDataSelection::FindByRowIndex(int rowIndex) const
{
    auto it =
        std::lower_bound(FItems.begin(), FItems.end(), rowIndex,
                         [](const TkvDataSelectionEntry &entry, int row) { return entry.RowIndex < row; });
    if (it == FItems.end() || it->RowIndex != rowIndex)
        return -1;
    return int(it - FItems.begin());
}

bool TkvDataSelection::IsRecordSelected(int recordIndex) const
{
    if (FItems.empty())
        return false;
    if (!FSelectedRecordsValid) {
        FSelectedRecords.clear();
        for (const auto &entry : FItems)
            if (!entry.IsGroupRow)
                FSelectedRecords.push_back(entry.RecordIndex);
        std::sort(FSelectedRecords.begin(), FSelectedRecords.end());
        FSelectedRecordsValid = true;
    }
    return std::binary_search(FSelectedRecords.begin(), FSelectedRecords.end(), recordIndex);
}

void TkvDataSelection::Add(const TkvDataSelectionEntry &entry)
{
    auto it =
        std::lower_bound(FItems.begin(), FItems.end(), entry.RowIndex,
                         [](const TkvDataSelectionEntry &item, int row) { return item.RowIndex < row; });
    if (it != FItems.end() && it->RowIndex == entry.RowIndex) {
        if (it->RecordIndex == entry.RecordIndex && it->Level == entry.Level &&
            it->IsGroupRow == entry.IsGroupRow)
            return;
        *it = entry;
    } else {
        FItems.insert(it, entry);
    }
    Changed();
}

void TkvDataSelection::RemoveRow(int rowIndex)
{
    const int index = FindByRowIndex(rowIndex);
    if (index < 0)
        return;
    FItems.erase(FItems.begin() + index);
    if (FAnchorRowIndex == rowIndex)
        FAnchorRowIndex = -1;
    Changed();
}

void TkvDataSelection::Clear()
{
    FAnchorRowIndex = -1;
    if (FItems.empty())
        return;
    FItems.clear();
    FSelectedRecordsValid = false;
    Changed();
}

void TkvDataSelection::Assign(std::vector<TkvDataSelectionEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TkvDataSelectionEntry &a, const TkvDataSelectionEntry &b) {
                         return a.RowIndex < b.RowIndex;
                     });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const TkvDataSelectionEntry &a, const TkvDataSelectionEntry &b) {
                                  return a.RowIndex == b.RowIndex;
                              }),
                  entries.end());
    if (entries.empty() && FItems.empty())
        return;
    FItems = std::move(entries);
    Changed();
}

void TkvDataSelection::DropRecordsFrom(int recordCount)
{
    const auto oldSize = FItems.size();
    std::erase_if(FItems, [recordCount](const TkvDataSelectionEntry &entry) {
        return !entry.IsGroupRow && entry.RecordIndex >= recordCount;
    });
    FSelectedRecordsValid = false;
    if (FItems.size() != oldSize)
        Changed();
}

void TkvDataSelection::UpdateRowIndexes(const std::function<int(const TkvDataSelectionEntry &)> &rowIndexOf)
{
    FSelectedRecordsValid = false;
    bool changed = false;
    for (auto &entry : FItems) {
        const int row = rowIndexOf(entry);
        if (row != entry.RowIndex) {
            entry.RowIndex = row;
            changed = true;
        }
    }
    const auto oldSize = FItems.size();
    std::erase_if(FItems, [](const TkvDataSelectionEntry &entry) { return entry.RowIndex < 0; });
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const TkvDataSelectionEntry &a, const TkvDataSelectionEntry &b) {
                         return a.RowIndex < b.RowIndex;
                     });
    // Two entries that now name the same row (a group restored as selected
    // beside its old entry) become one.
    FItems.erase(std::unique(FItems.begin(), FItems.end(),
                             [](const TkvDataSelectionEntry &a, const TkvDataSelectionEntry &b) {
                                 return a.RowIndex == b.RowIndex;
                             }),
                 FItems.end());
    if (FAnchorRowIndex >= 0 && FindByRowIndex(FAnchorRowIndex) < 0 && FItems.size() != oldSize)
        FAnchorRowIndex = -1;
    if (changed || FItems.size() != oldSize)
        Changed();
}

std::vector<int> TkvDataSelection::RecordIndexes() const
{
    std::vector<int> result;
    for (const auto &entry : FItems)
        if (!entry.IsGroupRow && entry.RecordIndex >= 0)
            result.push_back(entry.RecordIndex);
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

void TkvDataSelection::Changed()
{
    FSelectedRecordsValid = false;
    if (OnChanged)
        OnChanged();
}

} // namespace kestrum
