#include "navigator/NavigatorButton.h"

#include "navigator/NavigatorButtons.h"

namespace kestrum {

QString DefaultNavigatorHint(int index)
{
    static const char *const hints[kvNavigatorButtonCount] = {
        "First record", "Prior page",    "Prior record",  "Next record",   "Next page",
        "Last record",  "Insert record", "Delete record", "Edit record",   "Post edit",
        "Cancel edit",  "Refresh data",  "Save Bookmark", "Goto Bookmark", "Filter data",
    };
    if (index < 0 || index >= kvNavigatorButtonCount)
        return QString();
    return QString::fromLatin1(hints[index]);
}

void TkvNavigatorButton::Changed()
{
    if (FOwner)
        FOwner->ButtonChanged();
}

} // namespace kestrum
