#pragma once
// Hands what other programs wrote into the ledger to the record-set
// providers that show the tables: a changed row is read again alone, a new
// one appears, a deleted one goes, and "something changed" (an engine that
// cannot say which row) reads the rows again keeping the focused one. A
// provider whose user is entering or editing an entry is never disturbed:
// its changes wait until the entry is saved or given up, and are then
// applied by Retry.
#include "db/DbDriver.h"

#include <cstdint>
#include <set>
#include <vector>

namespace kestrum {

class TkvDBDataProvider;

class TkvDbChangeDispatcher {
public:
    //! The provider follows changes of its record set's table from now on.
    void Add(TkvDBDataProvider &provider);
    void Remove(TkvDBDataProvider &provider);
    bool Follows(const TkvDBDataProvider &provider) const;

    //! Notes the changes for the providers they concern and applies what
    //! can be applied now. Returns whether something still waits. Raises the
    //! first failure of a provider after the others were served; its
    //! changes are dropped (its rows are read again when it opens anew).
    bool Dispatch(const std::vector<TDbChange> &changes);
    //! Applies what waited; returns whether something still waits.
    bool Retry() { return Dispatch({}); }
    bool Waiting() const;

    //! More changed rows than this at once are read as "something changed".
    static constexpr std::size_t ManyRows = 256;

private:
    struct TFollower {
        TkvDBDataProvider *Provider;
        std::set<std::int64_t> Rows; //!< keys of changed rows not followed yet
        bool All = false;            //!< every row is to be read again
    };
    void Note(TFollower &follower, const TDbChange &change) const;
    //! Applies what waits for one provider when it can follow now.
    void Apply(TFollower &follower);

    std::vector<TFollower> FFollowers;
    bool FDispatching = false;
};

} // namespace kestrum
