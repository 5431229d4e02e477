#include "filterdialogs/FilterControlRows.h"

#include <algorithm>

namespace kestrum {

int TkvFilterControlRow::Level() const
{
    int level = 0;
    for (const TkvFilterControlGroupRow *group = FParent; group; group = group->Parent())
        ++level;
    return level;
}

TkvFilterControlGroupRow *TkvFilterControlRow::OwnGroup()
{
    return IsGroup() ? static_cast<TkvFilterControlGroupRow *>(this) : FParent;
}

QString TkvFilterControlGroupRow::Caption() const
{
    return IsRoot() ? QString::fromUtf8("<根>") : QString::fromUtf8("按以下定义搜索");
}

int TkvFilterControlGroupRow::IndexOf(const TkvFilterControlRow *row) const
{
    for (std::size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].get() == row)
            return int(i);
    return -1;
}

void TkvFilterControlGroupRow::Remove(TkvFilterControlRow *row)
{
    auto it = std::find_if(FRows.begin(), FRows.end(), [row](const auto &item) { return item.get() == row; });
    if (it != FRows.end())
        FRows.erase(it);
}

QString FilterControlBoolCaption(TkvFilterBoolCode code)
{
    switch (code) {
    case bcAnd:
        return QString::fromUtf8("与");
    case bcOr:
        return QString::fromUtf8("或");
    case bcNotAnd:
        return QString::fromUtf8("不是");
    case bcNotOr:
        return QString::fromUtf8("不是所有");
    }
    return QString();
}

int FilterControlValueCount(TkvFilterDialogOperator op)
{
    if (op == fdoBlanks || op == fdoNonBlanks || op >= fdoYesterday)
        return 0;
    if (IsBetweenFilterDialogOperator(op))
        return 2;
    if (IsInListFilterDialogOperator(op))
        return -1;
    return 1;
}

} // namespace kestrum
