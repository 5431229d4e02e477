#pragma once
// Expansion (and group selection) saved across one rebuild of the group tree,
// so that posting, deleting or reloading records keeps the groups the user
// opened, while adding or removing a grouping column collapses everything.
#include "data/DataGroups.h"

#include <functional>
#include <vector>

namespace kestrum {

enum TkvDataExpandingInfoState { eisExpanded = 1, eisSelected = 2 };
//! Save mode bits: what an update must carry over.
enum TkvDataExpandingSaveMode { esmExpanded = 1, esmSelected = 2 };

struct TkvDataExpandingInfo {
    int Level = 0;
    Variant Value; //!< the node's grouping value
    unsigned State = 0;
};

class TkvDataExpandingInfos {
public:
    //! A key-value path (one value per level from 0) to a record position of
    //! the rebuilt list, -1 when no record has it.
    using LocateFunc = std::function<int(const std::vector<Variant> &values)>;

    unsigned SaveMode() const { return FSaveMode; }
    int Count() const { return int(FItems.size()); }
    const TkvDataExpandingInfo &Item(int index) const { return FItems[index]; }
    const std::vector<TkvCustomDataField *> &Fields() const { return FFields; }

    //! Saves the states of the visible part of `groups` for `mode`. Nothing
    //! happens when that mode is saved already; an empty mode, or a tree that
    //! does not match `groupingFields`, only records the mode.
    void Save(unsigned mode, const TkvDataGroups &groups,
              const std::vector<TkvCustomDataField *> &groupingFields,
              const std::function<bool(int groupIndex)> &isSelected = nullptr);
    //! Applies the saved states to a rebuilt tree when its fields match the
    //! saved ones level by level; returns false when they differ.
    bool Restore(TkvDataGroups &groups, const LocateFunc &locate,
                 const std::function<void(int groupIndex)> &select = nullptr) const;
    //! Forgets everything, the mode too (the end of an update).
    void Clear();
    //! A field that goes away: saved states that mention it are dropped.
    void ForgetField(TkvCustomDataField *field);

private:
    unsigned FSaveMode = 0;
    std::vector<TkvCustomDataField *> FFields;
    std::vector<TkvDataExpandingInfo> FItems;
};

} // namespace kestrum
