#include "data/DataRelations.h"

#include "data/DataControllerTypes.h"

#include <algorithm>

namespace kestrum {

int TkvDataRelation::Index() const
{
    return FList.IndexOf(this);
}

TkvDataRelation *TkvDataRelationList::Add(TkvDataItem item)
{
    if (FindByItem(item))
        throw EkvInvalidDataControllerOperation(SItemExistsError);
    FItems.push_back(std::make_unique<TkvDataRelation>(*this, item));
    Changed();
    return FItems.back().get();
}

void TkvDataRelationList::Remove(TkvDataRelation *relation)
{
    const auto before = FItems.size();
    std::erase_if(FItems, [relation](const auto &item) { return item.get() == relation; });
    if (FItems.empty())
        FExpanded.clear(); // nothing is left to show
    if (FItems.size() != before)
        Changed();
}

TkvDataRelation *TkvDataRelationList::FindByItem(TkvDataItem item) const
{
    for (const auto &relation : FItems)
        if (relation->Item() == item)
            return relation.get();
    return nullptr;
}

int TkvDataRelationList::IndexOf(const TkvDataRelation *relation) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == relation)
            return int(i);
    return -1;
}

void TkvDataRelationList::Clear()
{
    if (FItems.empty() && FExpanded.empty())
        return;
    FItems.clear();
    FExpanded.clear();
    Changed();
}

bool TkvDataRelationList::IsDetailExpanded(int recordIndex) const
{
    return std::binary_search(FExpanded.begin(), FExpanded.end(), recordIndex);
}

bool TkvDataRelationList::ChangeDetailExpanding(int recordIndex, bool expanded)
{
    if (recordIndex < 0 || (expanded && FItems.empty()))
        return false;
    const auto it = std::lower_bound(FExpanded.begin(), FExpanded.end(), recordIndex);
    const bool isExpanded = it != FExpanded.end() && *it == recordIndex;
    if (isExpanded == expanded)
        return false;
    if (expanded)
        FExpanded.insert(it, recordIndex);
    else
        FExpanded.erase(it);
    Changed();
    return true;
}

void TkvDataRelationList::SetExpandedRecords(std::vector<int> records)
{
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    std::erase_if(records, [](int record) { return record < 0; });
    if (FItems.empty())
        records.clear();
    if (records == FExpanded)
        return;
    FExpanded = std::move(records);
    Changed();
}

void TkvDataRelationList::RecordIndexesShifted(int recordIndex, int delta)
{
    if (FExpanded.empty())
        return;
    if (delta < 0)
        std::erase_if(FExpanded, [recordIndex](int record) { return record == recordIndex; });
    for (int &record : FExpanded)
        if (record >= recordIndex + (delta < 0 ? 1 : 0))
            record += delta;
}

void TkvDataRelationList::DropRecordsFrom(int recordCount)
{
    std::erase_if(FExpanded, [recordCount](int record) { return record >= recordCount; });
}

} // namespace kestrum
