#include "filterdialogs/FilterLink.h"

namespace kestrum {

int TkvFilterLink::IndexOfItemLink(TkvFilterItemLink itemLink) const
{
    for (int index = 0; index < ItemCount(); ++index)
        if (ItemLink(index) == itemLink)
            return index;
    return -1;
}

int TkvFilterLink::NewConditionItem() const
{
    if (const int current = CurrentItem(); IsItemOffered(current))
        return current;
    for (int index = 0; index < ItemCount(); ++index)
        if (IsItemOffered(index))
            return index;
    return -1;
}

int TkvFilterLink::IndexOfID(int id) const
{
    for (int index = 0; index < ItemCount(); ++index)
        if (ItemID(index) == id)
            return index;
    return -1;
}

} // namespace kestrum
