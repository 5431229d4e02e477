#pragma once
// The criteria stream: a marker with the root's bool code, then the nodes
// depth first. Reading builds a detached tree first, so that a malformed
// stream leaves the criteria as it was.
#include "core/BinaryStream.h"
#include "filter/FilterCriteriaItems.h"

#include <string>

namespace kestrum {

class TkvFilterCriteria;

class TkvFilterCriteriaStream {
public:
    explicit TkvFilterCriteriaStream(TkvFilterCriteria &criteria) : FCriteria(criteria) {}

    static void Write(const TkvFilterCriteria &criteria, BinaryWriter &writer);
    static std::string SaveToBytes(const TkvFilterCriteria &criteria);
    //! Replaces the criteria's tree in one change; a malformed stream raises
    //! EReadError and leaves the criteria as it was.
    void Read(BinaryReader &reader);
    void LoadFromBytes(const std::string &bytes);

private:
    void ReadNodes(BinaryReader &reader, TkvFilterCriteriaItemList &list, int count, int depth);

    TkvFilterCriteria &FCriteria;
};

} // namespace kestrum
