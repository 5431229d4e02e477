#include "data/DataGroups.h"

#include <algorithm>

namespace kestrum {

void TkvDataGroups::Clear()
{
    FFields.clear();
    FNodes.clear();
    FParents.clear();
    FValues.clear();
    FDeepest.clear();
    FRowCount = 0;
}

void TkvDataGroups::Build(const std::vector<TkvCustomDataField *> &fields, const std::vector<int> &recordList,
                          const SameGroupFunc &sameGroup, const GroupValueFunc &valueOf,
                          const PrefetchFunc &prefetch)
{
    Clear();
    FFields = fields;
    if (recordList.empty() || fields.empty())
        return;
    const int deepest = LevelCount() - 1;
    std::vector<int> open(fields.size()), representative(fields.size());
    int ordinal = 0;
    auto openFrom = [&](int fromLevel, int position) {
        for (int level = fromLevel; level <= deepest; ++level) {
            const int index = Count();
            TkvDataGroupInfo node;
            node.RowIndex = ordinal;
            node.Level = level;
            node.Begin = level == deepest ? position : index + 1;
            FNodes.push_back(node);
            FParents.push_back(level == 0 ? -1 : open[level - 1]);
            FValues.push_back(valueOf ? valueOf(level, recordList[position]) : Variant::null());
            if (level == deepest)
                FDeepest.push_back(index);
            open[level] = index;
            representative[level] = recordList[position];
        }
    };
    auto closeFrom = [&](int fromLevel, int position) {
        for (int level = deepest; level >= fromLevel; --level)
            FNodes[open[level]].End = level == deepest ? position - 1 : Count() - 1;
    };
    openFrom(0, 0);
    const int count = int(recordList.size());
    // The records of one deepest group stand together: the end of each run
    // is found by galloping and bisection, a few comparisons per group
    // rather than one per record. Each comparison is with the first record
    // of the current deepest group, which holds every level's keys.
    const auto inRun = [&](int position) {
        const int recordIndex = recordList[std::size_t(position)];
        for (int level = 0; level <= deepest; ++level)
            if (!sameGroup(level, representative[std::size_t(deepest)], recordIndex))
                return false;
        return true;
    };
    // The list is in key order, not in the order the keys are held: short
    // runs compare every record, and each comparison would wait for memory
    // unless the keys some positions ahead are asked for meanwhile.
    constexpr int PrefetchDistance = 16;
    int position = 1;
    while (position < count) {
        if (prefetch && position + PrefetchDistance < count)
            prefetch(recordList[std::size_t(position + PrefetchDistance)]);
        int end = position; // the first position past the run
        if (inRun(position)) {
            int inside = position, step = 1;
            end = count;
            while (inside + step < count) {
                if (!inRun(inside + step)) {
                    end = inside + step;
                    break;
                }
                inside += step;
                step *= 2;
            }
            while (end - inside > 1) {
                const int middle = inside + (end - inside) / 2;
                (inRun(middle) ? inside : end) = middle;
            }
        }
        if (end >= count)
            break;
        const int recordIndex = recordList[std::size_t(end)];
        int level = 0;
        while (level < deepest && sameGroup(level, representative[std::size_t(deepest)], recordIndex))
            ++level;
        if (level == 0)
            ++ordinal;
        closeFrom(level, end);
        openFrom(level, end);
        position = end + 1;
    }
    closeFrom(0, count);
    UpdateRowIndexes();
}

int TkvDataGroups::FirstRecordPosition(int groupIndex) const
{
    const TkvDataGroupInfo &node = FNodes[groupIndex];
    return FNodes[groupIndex + (LevelCount() - 1 - node.Level)].Begin;
}

int TkvDataGroups::LastRecordPosition(int groupIndex) const
{
    return IsDeepest(groupIndex) ? FNodes[groupIndex].End : FNodes[FNodes[groupIndex].End].End;
}

int TkvDataGroups::GroupIndexByRecordPosition(int position, int level) const
{
    if (FDeepest.empty() || level < 0 || level >= LevelCount())
        return -1;
    auto it = std::upper_bound(FDeepest.begin(), FDeepest.end(), position,
                               [this](int value, int nodeIndex) { return value < FNodes[nodeIndex].Begin; });
    if (it == FDeepest.begin())
        return -1;
    int groupIndex = *(it - 1);
    if (position > FNodes[groupIndex].End)
        return -1;
    while (FNodes[groupIndex].Level > level)
        groupIndex = FParents[groupIndex];
    return groupIndex;
}

void TkvDataGroups::UpdateRowIndexes()
{
    std::vector<char> childrenShown(FNodes.size());
    int row = 0;
    for (int i = 0; i < Count(); ++i) {
        TkvDataGroupInfo &node = FNodes[i];
        const int parent = FParents[i];
        const bool visible = parent < 0 || childrenShown[parent];
        if (visible) {
            node.RowIndex = row++;
            if (node.Expanded && IsDeepest(i))
                row += node.End - node.Begin + 1;
        } else {
            node.RowIndex = FNodes[parent].RowIndex;
        }
        childrenShown[i] = visible && node.Expanded;
    }
    FRowCount = row;
}

TkvGroupRowInfo TkvDataGroups::RowInfo(int rowIndex) const
{
    auto it = std::upper_bound(FNodes.begin(), FNodes.end(), rowIndex,
                               [](int value, const TkvDataGroupInfo &node) { return value < node.RowIndex; });
    int groupIndex = int(it - FNodes.begin()) - 1;
    while (groupIndex > 0 && FNodes[groupIndex - 1].RowIndex == FNodes[groupIndex].RowIndex)
        --groupIndex;
    TkvGroupRowInfo info;
    info.GroupIndex = groupIndex;
    if (groupIndex < 0)
        return info;
    const TkvDataGroupInfo &node = FNodes[groupIndex];
    if (node.RowIndex == rowIndex) {
        info.IsGroupRow = true;
        info.Level = node.Level;
        info.RecordPosition = FirstRecordPosition(groupIndex);
    } else {
        info.Level = LevelCount();
        info.RecordPosition = rowIndex + node.Begin - node.RowIndex - 1;
    }
    return info;
}

int TkvDataGroups::RowIndexByRecordPosition(int position) const
{
    const int deepest = GroupIndexByRecordPosition(position, LevelCount() - 1);
    if (deepest < 0)
        return -1;
    const TkvDataGroupInfo &node = FNodes[deepest];
    if (node.Expanded && IsNodeVisible(deepest))
        return node.RowIndex + 1 + position - node.Begin;
    return node.RowIndex;
}

bool TkvDataGroups::IsNodeVisible(int groupIndex) const
{
    for (int parent = FParents[groupIndex]; parent >= 0; parent = FParents[parent])
        if (!FNodes[parent].Expanded)
            return false;
    return true;
}

namespace {

template <typename Visit> void forEachChild(const TkvDataGroups &groups, int groupIndex, Visit visit)
{
    int child = groupIndex < 0 ? 0 : groups.Item(groupIndex).Begin;
    const int last = groupIndex < 0 ? groups.Count() - 1 : groups.Item(groupIndex).End;
    for (int ordinal = 0; child <= last; ++ordinal) {
        if (!visit(child, ordinal))
            return;
        child = groups.IsDeepest(child) ? child + 1 : groups.Item(child).End + 1;
    }
}

} // namespace

int TkvDataGroups::ChildCount(int groupIndex) const
{
    if (groupIndex >= Count() || groupIndex < -1)
        return 0;
    if (groupIndex >= 0 && IsDeepest(groupIndex))
        return FNodes[groupIndex].End - FNodes[groupIndex].Begin + 1;
    int count = 0;
    forEachChild(*this, groupIndex, [&](int, int) { return ++count, true; });
    return count;
}

int TkvDataGroups::ChildGroupIndex(int groupIndex, int childIndex) const
{
    if (groupIndex >= Count() || groupIndex < -1 || (groupIndex >= 0 && IsDeepest(groupIndex)) ||
        childIndex < 0)
        return -1;
    int found = -1;
    forEachChild(*this, groupIndex, [&](int child, int ordinal) {
        if (ordinal == childIndex)
            found = child;
        return found < 0;
    });
    return found;
}

int TkvDataGroups::ChildRecordPosition(int groupIndex, int childIndex) const
{
    if (!IsValidIndex(groupIndex) || !IsDeepest(groupIndex) || childIndex < 0)
        return -1;
    const TkvDataGroupInfo &node = FNodes[groupIndex];
    return childIndex <= node.End - node.Begin ? node.Begin + childIndex : -1;
}

void TkvDataGroups::SetExpanded(int groupIndex, bool expanded, bool recursive)
{
    FNodes[groupIndex].Expanded = expanded;
    if (recursive && !IsDeepest(groupIndex))
        for (int i = groupIndex + 1; i <= FNodes[groupIndex].End; ++i)
            FNodes[i].Expanded = expanded;
}

void TkvDataGroups::ExpandAncestors(int groupIndex, bool includeSelf)
{
    if (includeSelf)
        FNodes[groupIndex].Expanded = true;
    for (int parent = FParents[groupIndex]; parent >= 0; parent = FParents[parent])
        FNodes[parent].Expanded = true;
}

void TkvDataGroups::Relink()
{
    const int deepest = LevelCount() - 1;
    std::vector<int> open(FFields.size(), -1);
    FDeepest.clear();
    int position = 0;
    for (int i = 0; i < Count(); ++i) {
        TkvDataGroupInfo &node = FNodes[std::size_t(i)];
        for (int level = node.Level; level < deepest; ++level)
            if (open[std::size_t(level)] >= 0) {
                FNodes[std::size_t(open[std::size_t(level)])].End = i - 1;
                open[std::size_t(level)] = -1;
            }
        FParents[std::size_t(i)] = node.Level == 0 ? -1 : open[std::size_t(node.Level - 1)];
        if (node.Level == deepest) {
            const int records = node.End - node.Begin + 1;
            node.Begin = position;
            node.End = position + records - 1;
            position += records;
            FDeepest.push_back(i);
        } else {
            node.Begin = i + 1;
            open[std::size_t(node.Level)] = i;
        }
    }
    for (int level = 0; level < deepest; ++level)
        if (open[std::size_t(level)] >= 0)
            FNodes[std::size_t(open[std::size_t(level)])].End = Count() - 1;
    UpdateRowIndexes();
}

void TkvDataGroups::EraseNode(int groupIndex)
{
    FNodes.erase(FNodes.begin() + groupIndex);
    FParents.erase(FParents.begin() + groupIndex);
    FValues.erase(FValues.begin() + groupIndex);
}

int TkvDataGroups::AncestorAtLevel(int groupIndex, int level) const
{
    while (groupIndex >= 0 && FNodes[std::size_t(groupIndex)].Level > level)
        groupIndex = FParents[std::size_t(groupIndex)];
    return groupIndex;
}

int TkvDataGroups::RemovePosition(int position)
{
    const int deepest = GroupIndexByRecordPosition(position, LevelCount() - 1);
    if (deepest < 0)
        return -1;
    int survivor = deepest;
    --FNodes[std::size_t(deepest)].End;
    if (FNodes[std::size_t(deepest)].End < FNodes[std::size_t(deepest)].Begin) {
        // Empty: it goes, and so does each ancestor it was the last child of.
        int erased = deepest;
        survivor = FParents[std::size_t(deepest)];
        EraseNode(erased);
        while (survivor >= 0) {
            const bool childLeft =
                erased < Count() && FNodes[std::size_t(erased)].Level > FNodes[std::size_t(survivor)].Level;
            if (survivor != erased - 1 || childLeft)
                break;
            erased = survivor;
            survivor = FParents[std::size_t(survivor)];
            EraseNode(erased);
        }
    }
    Relink();
    return survivor >= 0 ? FirstRecordPosition(survivor) : -1;
}

void TkvDataGroups::InsertPosition(int position, int sharedBefore, int sharedAfter,
                                   const std::function<Variant(int level)> &valueOf)
{
    const int levels = LevelCount();
    if (levels == 0)
        return;
    const int deepest = levels - 1;
    const int recordCount = FDeepest.empty() ? 0 : FNodes[std::size_t(FDeepest.back())].End + 1;
    const int before = position > 0 ? GroupIndexByRecordPosition(position - 1, deepest) : -1;
    const int after = position < recordCount ? GroupIndexByRecordPosition(position, deepest) : -1;
    sharedBefore = before < 0 ? -1 : std::min(sharedBefore, levels);
    sharedAfter = after < 0 ? -1 : std::min(sharedAfter, levels);
    if (sharedBefore == levels || sharedAfter == levels) {
        ++FNodes[std::size_t(sharedBefore == levels ? before : after)].End;
        Relink();
        return;
    }
    // New groups from the first level shared with neither neighbour, placed
    // after the subtree of the record before at that level, or before the
    // record after's group there.
    const int first = std::max({sharedBefore, sharedAfter, 0});
    int at = 0;
    if (sharedBefore >= sharedAfter && before >= 0) {
        const int ancestor = AncestorAtLevel(before, first);
        at = (IsDeepest(ancestor) ? ancestor : FNodes[std::size_t(ancestor)].End) + 1;
    } else if (after >= 0) {
        at = AncestorAtLevel(after, first);
    }
    for (int level = first; level <= deepest; ++level) {
        TkvDataGroupInfo node;
        node.Level = level;
        const std::size_t index = std::size_t(at + level - first);
        FNodes.insert(FNodes.begin() + std::ptrdiff_t(index), node); // a deepest node: one record
        FParents.insert(FParents.begin() + std::ptrdiff_t(index), -1);
        FValues.insert(FValues.begin() + std::ptrdiff_t(index), valueOf ? valueOf(level) : Variant::null());
    }
    Relink();
}

std::string TkvDataGroups::CheckConsistency(int recordCount) const
{
    int nextPosition = 0, lastRow = -1;
    for (int i = 0; i < Count(); ++i) {
        const TkvDataGroupInfo &node = FNodes[i];
        const int parent = FParents[i];
        if (node.Level != (parent < 0 ? 0 : FNodes[parent].Level + 1))
            return "node " + std::to_string(i) + ": level does not follow its parent";
        if (parent >= 0 && (i < FNodes[parent].Begin || i > FNodes[parent].End))
            return "node " + std::to_string(i) + ": outside its parent's range";
        if (node.RowIndex < lastRow)
            return "node " + std::to_string(i) + ": row index goes backwards";
        lastRow = node.RowIndex;
        if (IsDeepest(i)) {
            if (node.Begin != nextPosition || node.End < node.Begin)
                return "node " + std::to_string(i) + ": record positions not contiguous";
            nextPosition = node.End + 1;
        } else if (node.Begin != i + 1 || node.End < node.Begin || node.End >= Count()) {
            return "node " + std::to_string(i) + ": bad child range";
        }
    }
    if (Count() > 0 && nextPosition != recordCount)
        return "records covered: " + std::to_string(nextPosition) + " of " + std::to_string(recordCount);
    return std::string();
}

} // namespace kestrum
