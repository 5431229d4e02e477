#include "filterdialogs/FilterControlFiles.h"

#include "filterdialogs/FilterControlModel.h"
#include "filterdialogs/FilterLink.h"

namespace kestrum {

TkvFilterFileResult TkvFilterControlFiles::Open(const QString &fileName)
{
    const QString cannotBuild = QString::fromUtf8(EkvFilterControlError().what());
    TkvFilterLink *link = FModel.Link();
    if (!link || link->ItemCount() == 0)
        return TkvFilterFileResult::Failure(cannotBuild);
    std::string bytes;
    if (TkvFilterFileResult read = ReadFilterFileBytes(fileName, bytes); !read)
        return read;
    TkvFilterControlCriteria scratch(link);
    if (TkvFilterFileResult parsed = ParseFilterStream(bytes, scratch); !parsed)
        return parsed;
    if (!scratch.AllItemsResolved())
        return TkvFilterFileResult::Failure(cannotBuild);
    try {
        FModel.CheckValues(scratch);
        FModel.BuildRowsFromCriteria(scratch);
    } catch (const Exception &error) {
        return TkvFilterFileResult::Failure(QString::fromUtf8(error.what()));
    }
    FModel.Criteria().LoadFromBytes(bytes);
    return {};
}

TkvFilterFileResult TkvFilterControlFiles::Save(const QString &fileName)
{
    if (!FModel.BuildCriteria())
        return TkvFilterFileResult::Failure(QString::fromUtf8(EkvFilterControlError().what()));
    return WriteFilterFileBytes(fileName, FModel.Criteria().SaveToBytes());
}

} // namespace kestrum
