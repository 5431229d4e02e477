// The builder's ".flt" files.
#include "filterdialogs/FilterControlModel.h"

#include "filterdialogs/FilterLink.h"

namespace kestrum {

TkvFilterFileResult TkvFilterControlModel::OpenFilterFile(const QString &fileName)
{
    const QString cannotBuild = QString::fromUtf8(EkvFilterControlError().what());
    if (!FLink || FLink->ItemCount() == 0)
        return TkvFilterFileResult::Failure(cannotBuild);
    std::string bytes;
    if (TkvFilterFileResult read = ReadFilterFileBytes(fileName, bytes); !read)
        return read;
    TkvFilterControlCriteria scratch(FLink);
    if (TkvFilterFileResult parsed = ParseFilterStream(bytes, scratch); !parsed)
        return parsed;
    if (!scratch.AllItemsResolved())
        return TkvFilterFileResult::Failure(cannotBuild);
    try {
        CheckValues(scratch);
        BuildRowsFromCriteria(scratch);
    } catch (const Exception &error) {
        return TkvFilterFileResult::Failure(QString::fromUtf8(error.what()));
    }
    FCriteria->LoadFromBytes(bytes);
    return {};
}

TkvFilterFileResult TkvFilterControlModel::SaveFilterFile(const QString &fileName)
{
    if (!BuildCriteria())
        return TkvFilterFileResult::Failure(QString::fromUtf8(EkvFilterControlError().what()));
    return WriteFilterFileBytes(fileName, FCriteria->SaveToBytes());
}

} // namespace kestrum
