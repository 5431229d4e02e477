#include "db/DbTypes.h"

namespace kestrum {

const char *FieldTypeName(TFieldType type)
{
    static const char *const names[] = {
        "ftUnknown",    "ftString",   "ftSmallint", "ftInteger",   "ftWord",   "ftBoolean",
        "ftFloat",      "ftCurrency", "ftBCD",      "ftDate",      "ftTime",   "ftDateTime",
        "ftBytes",      "ftVarBytes", "ftAutoInc",  "ftBlob",      "ftMemo",   "ftFixedChar",
        "ftWideString", "ftLargeint", "ftGuid",     "ftTimeStamp", "ftFMTBcd",
    };
    auto index = std::size_t(type);
    return index < sizeof(names) / sizeof(names[0]) ? names[index] : "ftUnknown";
}

} // namespace kestrum
