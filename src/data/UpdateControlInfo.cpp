#include "data/UpdateControlInfo.h"

namespace kestrum {

const char *DataChangeKindName(TkvDataChangeKind kind)
{
    switch (kind) {
    case dckValue:
        return "dckValue";
    case dckRecord:
        return "dckRecord";
    case dckRecordAdded:
        return "dckRecordAdded";
    case dckRecordDeleted:
        return "dckRecordDeleted";
    case dckAll:
        return "dckAll";
    }
    return "?";
}

std::string TkvDataChangedInfo::Describe() const
{
    return std::string("Data(") + DataChangeKindName(Kind) + "," + std::to_string(ItemIndex) + "," +
           std::to_string(RecordIndex) + ")";
}

} // namespace kestrum
