#include "filterdialogs/FilterControlCriteria.h"

#include "filterdialogs/FilterLink.h"

namespace kestrum {

namespace {

bool ListResolved(const TkvFilterCriteriaItemList &list, const TkvFilterLink *link)
{
    for (int i = 0; i < list.Count(); ++i) {
        const TkvCustomFilterCriteriaItem *node = list.Items(i);
        if (node->IsItemList()) {
            if (!ListResolved(*static_cast<const TkvFilterCriteriaItemList *>(node), link))
                return false;
            continue;
        }
        const TkvFilterItemLink itemLink = static_cast<const TkvFilterCriteriaItem *>(node)->ItemLink();
        if (!itemLink || !link || link->IndexOfItemLink(itemLink) < 0)
            return false;
    }
    return true;
}

} // namespace

bool TkvFilterControlCriteria::AllItemsResolved() const
{
    return ListResolved(Root(), FLink);
}

int TkvFilterControlCriteria::ItemIDByItemLink(TkvFilterItemLink itemLink) const
{
    const int index = FLink ? FLink->IndexOfItemLink(itemLink) : -1;
    return index < 0 ? -1 : FLink->ItemID(index);
}

TkvFilterItemLink TkvFilterControlCriteria::ItemLinkByID(int id) const
{
    const int index = FLink ? FLink->IndexOfID(id) : -1;
    return index < 0 ? nullptr : FLink->ItemLink(index);
}

QString TkvFilterControlCriteria::ItemCaption(TkvFilterItemLink itemLink) const
{
    const int index = FLink ? FLink->IndexOfItemLink(itemLink) : -1;
    return index < 0 ? QString() : FLink->ItemCaption(index);
}

QString TkvFilterControlCriteria::ItemFieldName(TkvFilterItemLink itemLink) const
{
    const int index = FLink ? FLink->IndexOfItemLink(itemLink) : -1;
    return index < 0 ? QString() : FLink->ItemFieldName(index);
}

} // namespace kestrum
