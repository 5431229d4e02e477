#include "editors/EditChangeFlags.h"

namespace kestrum {

void TkvEditChangeFlags::Save()
{
    FSaved.push_back(FFlags & (Pending | SinceEntry));
}

void TkvEditChangeFlags::Restore()
{
    if (FSaved.empty())
        return;
    FFlags = (FFlags & Validated) | FSaved.back();
    FSaved.pop_back();
}

} // namespace kestrum
