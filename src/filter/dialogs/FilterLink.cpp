#include "filter/dialogs/FilterLink.h"

namespace kestrum {

int TkvFilterLink::IndexOfItemLink(TkvFilterItemLink itemLink) const
{
    for (int index = 0; index < ItemCount(); ++index)
        if (ItemLink(index) == itemLink)
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
