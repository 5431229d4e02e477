#include "data/DbChangeDispatcher.h"

#include "data/DbDataProvider.h"
#include "db/DbQuery.h"

#include <algorithm>
#include <exception>

namespace kestrum {

void TkvDbChangeDispatcher::Add(TkvDBDataProvider &provider)
{
    if (!Follows(provider))
        FFollowers.push_back({&provider, {}, false});
}

void TkvDbChangeDispatcher::Remove(TkvDBDataProvider &provider)
{
    std::erase_if(FFollowers, [&](const TFollower &f) { return f.Provider == &provider; });
}

bool TkvDbChangeDispatcher::Follows(const TkvDBDataProvider &provider) const
{
    return std::any_of(FFollowers.begin(), FFollowers.end(),
                       [&](const TFollower &f) { return f.Provider == &provider; });
}

bool TkvDbChangeDispatcher::Waiting() const
{
    return std::any_of(FFollowers.begin(), FFollowers.end(),
                       [](const TFollower &f) { return f.All || !f.Rows.empty(); });
}

void TkvDbChangeDispatcher::Note(TFollower &follower, const TDbChange &change) const
{
    const TDbQuery *dataSet = follower.Provider->DataSet();
    if (!dataSet || !dataSet->Active())
        return; // nothing shown: the rows are read afresh when it opens
    if (!change.Table.empty()) {
        const QString table = QString::fromStdString(change.Table);
        if (dataSet->TableName().compare(table, Qt::CaseInsensitive) != 0)
            return;
    }
    if (change.Table.empty() || change.RowId == 0 || follower.Rows.size() >= ManyRows) {
        follower.All = true;
        follower.Rows.clear();
        return;
    }
    if (!follower.All)
        follower.Rows.insert(change.RowId);
}

void TkvDbChangeDispatcher::Apply(TFollower &follower)
{
    if ((!follower.All && follower.Rows.empty()) || !follower.Provider->CanFollowOtherWriter())
        return;
    if (follower.All) {
        follower.All = false;
        follower.Rows.clear();
        follower.Provider->FollowOtherWriter(0);
        return;
    }
    while (!follower.Rows.empty() && follower.Provider->CanFollowOtherWriter()) {
        const std::int64_t key = *follower.Rows.begin();
        follower.Rows.erase(follower.Rows.begin());
        follower.Provider->FollowOtherWriter(key);
    }
}

bool TkvDbChangeDispatcher::Dispatch(const std::vector<TDbChange> &changes)
{
    for (TFollower &follower : FFollowers)
        for (const TDbChange &change : changes)
            Note(follower, change);
    if (FDispatching)
        return true; // a follow under way hears of these when it is done
    FDispatching = true;
    std::exception_ptr failure;
    // By index: a refresh may add or remove followers.
    for (std::size_t i = 0; i < FFollowers.size(); ++i) {
        try {
            Apply(FFollowers[i]);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
            if (i < FFollowers.size()) {
                FFollowers[i].Rows.clear();
                FFollowers[i].All = false;
            }
        }
    }
    FDispatching = false;
    if (failure)
        std::rethrow_exception(failure);
    return Waiting();
}

} // namespace kestrum
