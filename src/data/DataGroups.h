#pragma once
// The group tree over the sorted record list, its visible rows and expansion.
//
// Nodes stand in tree pre-order: each node is followed by its whole subtree,
// so the first deepest node under node g is g + (deepest level − level of g).
// Positions are indexes into the sorted filtered record list; row indexes are
// visible rows.
#include "core/Variant.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrum {

class TkvCustomDataField;

struct TkvDataGroupInfo {
    int RowIndex = 0;      //!< its group row, or the row of the collapsed ancestor hiding it
    bool Expanded = false; //!< children are shown
    int Level = 0;
    int Begin = 0;         //!< deepest: first record position; others: node index of the first child
    int End = 0;           //!< deepest: last record position; others: node index of the subtree's last node
    Variant SummaryValues; //!< one element per item of the level's group summary collection
};

//! What a row of a grouped list shows.
struct TkvGroupRowInfo {
    int Level = 0;          //!< a data row has the level count as its level
    int GroupIndex = -1;    //!< the node of a group row, or the deepest node around a data row
    int RecordPosition = 0; //!< a data row's position; a group row's first position
    bool IsGroupRow = false;
};

class TkvDataGroups {
public:
    //! Whether two records fall in the same group at a level (their keys compare equal).
    using SameGroupFunc = std::function<bool(int level, int recordIndexA, int recordIndexB)>;

    void Clear();
    //! The grouping value of a record at a level, kept per node at build time.
    using GroupValueFunc = std::function<Variant(int level, int recordIndex)>;

    //! Asks for a record's keys to be brought near before they are compared.
    using PrefetchFunc = std::function<void(int recordIndex)>;

    //! Builds the tree of consecutive equal records; every node collapsed.
    void Build(const std::vector<TkvCustomDataField *> &fields, const std::vector<int> &recordList,
               const SameGroupFunc &sameGroup, const GroupValueFunc &valueOf = nullptr,
               const PrefetchFunc &prefetch = nullptr);

    int LevelCount() const { return int(FFields.size()); }
    const std::vector<TkvCustomDataField *> &Fields() const { return FFields; }
    int Count() const { return int(FNodes.size()); }
    TkvDataGroupInfo &Item(int groupIndex) { return FNodes[groupIndex]; }
    const TkvDataGroupInfo &Item(int groupIndex) const { return FNodes[groupIndex]; }
    bool IsValidIndex(int groupIndex) const { return groupIndex >= 0 && groupIndex < Count(); }
    bool IsDeepest(int groupIndex) const { return FNodes[groupIndex].Level == LevelCount() - 1; }
    int ParentIndex(int groupIndex) const { return FParents[groupIndex]; }
    //! The node's grouping value as it was when the tree was built (Null
    //! when the tree was built without values). Survives reloads of the data.
    const Variant &GroupValue(int groupIndex) const { return FValues[groupIndex]; }
    int FirstRecordPosition(int groupIndex) const;
    int LastRecordPosition(int groupIndex) const;
    //! The node of `level` that holds a record position, -1 when none.
    int GroupIndexByRecordPosition(int position, int level) const;

    // Visible rows.
    //! Recomputes every node's row index in one pre-order walk.
    void UpdateRowIndexes();
    int RowCount() const { return FRowCount; }
    //! Raises nothing; rowIndex must lie in 0 .. RowCount()-1.
    TkvGroupRowInfo RowInfo(int rowIndex) const;
    //! The row showing a position: its data row when visible, else the group row
    //! hiding it (the outermost collapsed ancestor).
    int RowIndexByRecordPosition(int position) const;
    bool IsNodeVisible(int groupIndex) const;

    // Children (group index −1 is the invisible root).
    int ChildCount(int groupIndex) const;
    int ChildGroupIndex(int groupIndex, int childIndex) const;
    int ChildRecordPosition(int groupIndex, int childIndex) const;

    //! Sets the flag (on the whole subtree when recursive) without recomputing rows.
    void SetExpanded(int groupIndex, bool expanded, bool recursive);
    //! Expands every ancestor of a node, the node itself when `includeSelf`.
    void ExpandAncestors(int groupIndex, bool includeSelf);

    // Following one record without a rebuild. Positions of the list after
    // the change; every node keeps its expansion and its value.
    //! A record left the list at `position` (the later ones moved down by
    //! one): its deepest group shrinks, and groups left empty go. Returns a
    //! position in the innermost group that lost it and remains, -1 when none.
    int RemovePosition(int position);
    //! A record came into the list at `position` (the later ones moved up by
    //! one). `sharedBefore` / `sharedAfter`: how many leading levels its keys
    //! share with the record before / after it (ignored where there is none).
    //! It joins a neighbour's deepest group when it shares every level, else
    //! gets new collapsed groups from the first level it shares with neither,
    //! valued by `valueOf(level)`.
    void InsertPosition(int position, int sharedBefore, int sharedAfter,
                        const std::function<Variant(int level)> &valueOf);

    //! Describes the first broken invariant, empty when the tree is sound.
    std::string CheckConsistency(int recordCount) const;

private:
    //! Parents, child ranges, the deepest nodes' positions (from their record
    //! counts, End − Begin + 1) and row indexes, from the nodes' order and levels.
    void Relink();
    void EraseNode(int groupIndex);
    int AncestorAtLevel(int groupIndex, int level) const;

    std::vector<TkvCustomDataField *> FFields;
    std::vector<TkvDataGroupInfo> FNodes;
    std::vector<int> FParents; // -1 for level 0
    std::vector<Variant> FValues;
    std::vector<int> FDeepest; // node indexes of deepest nodes, in position order
    int FRowCount = 0;
};

} // namespace kestrum
