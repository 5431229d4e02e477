#include "data/DataExpandingInfos.h"

#include <algorithm>

namespace kestrum {

void TkvDataExpandingInfos::Clear()
{
    FSaveMode = 0;
    FFields.clear();
    FItems.clear();
}

void TkvDataExpandingInfos::ForgetField(TkvCustomDataField *field)
{
    if (std::find(FFields.begin(), FFields.end(), field) != FFields.end()) {
        FFields.clear();
        FItems.clear();
    }
}

void TkvDataExpandingInfos::Save(unsigned mode, const TkvDataGroups &groups,
                                 const std::vector<TkvCustomDataField *> &groupingFields,
                                 const std::function<bool(int groupIndex)> &isSelected)
{
    if (mode == FSaveMode)
        return;
    FSaveMode = mode;
    FFields.clear();
    FItems.clear();
    if (mode == 0 || groups.Count() == 0 || groups.Fields() != groupingFields)
        return;
    FFields = groups.Fields();
    const bool withSelection = (mode & esmSelected) && isSelected;
    int groupIndex = 0;
    while (groupIndex < groups.Count()) {
        const TkvDataGroupInfo &node = groups.Item(groupIndex);
        unsigned state = 0;
        if (node.Expanded && (mode & esmExpanded))
            state |= eisExpanded;
        if (withSelection && isSelected(groupIndex))
            state |= eisSelected;
        if (state)
            FItems.push_back({node.Level, groups.GroupValue(groupIndex), state});
        // A collapsed node hides its subtree; a deepest node has no child nodes.
        const bool descend = node.Expanded && !groups.IsDeepest(groupIndex);
        groupIndex = descend || groups.IsDeepest(groupIndex) ? groupIndex + 1 : node.End + 1;
    }
}

bool TkvDataExpandingInfos::Restore(TkvDataGroups &groups, const LocateFunc &locate,
                                    const std::function<void(int groupIndex)> &select) const
{
    if (FFields != groups.Fields())
        return false;
    std::vector<Variant> path;
    for (const TkvDataExpandingInfo &item : FItems) {
        // An item of a lower level cuts the path back.
        path.resize(item.Level);
        path.push_back(item.Value);
        const int position = locate(path);
        if (position < 0)
            continue;
        const int groupIndex = groups.GroupIndexByRecordPosition(position, item.Level);
        if (groupIndex < 0)
            continue;
        if ((item.State & eisExpanded) && (FSaveMode & esmExpanded))
            groups.Item(groupIndex).Expanded = true;
        if ((item.State & eisSelected) && select)
            select(groupIndex);
    }
    groups.UpdateRowIndexes();
    return true;
}

} // namespace kestrum
