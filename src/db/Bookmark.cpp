#include "db/Bookmark.h"

namespace kestrum {

std::string TBookmark::debugString() const
{
    switch (FKind) {
    case kKey:
        return "key:" + std::to_string(FValue);
    case kSlot:
        return "slot:" + std::to_string(FValue) + "@" + std::to_string(FGeneration);
    case kNone:
        break;
    }
    return "null";
}

} // namespace kestrum
