#include "editors/EditChangeNotices.h"

namespace kestrum {

void TkvEditChangeNotices::Begin()
{
    if (FLevel == 0)
        FHeld = 0;
    ++FLevel;
}

unsigned TkvEditChangeNotices::End(bool fire)
{
    if (FLevel == 0)
        return 0;
    if (--FLevel > 0 || !fire)
        return 0;
    const unsigned due = FHeld;
    FHeld = 0;
    return due;
}

bool TkvEditChangeNotices::Hold(TkvEditNotice notice)
{
    if (FLevel == 0)
        return false;
    FHeld |= unsigned(notice);
    return true;
}

} // namespace kestrum
