#pragma once
// Enumerations, sets and the error of the data controller.
#include "core/Errors.h"

#include <cstdint>
#include <initializer_list>

namespace kestrum {

//! A small set over an enumeration whose values are bit numbers.
template <typename E> class TkvSet {
public:
    constexpr TkvSet() = default;
    constexpr TkvSet(std::initializer_list<E> items)
    {
        for (E item : items)
            FBits |= Bit(item);
    }
    static constexpr TkvSet FromBits(std::uint32_t bits)
    {
        TkvSet set;
        set.FBits = bits;
        return set;
    }
    constexpr bool Contains(E item) const { return (FBits & Bit(item)) != 0; }
    constexpr void Include(E item) { FBits |= Bit(item); }
    constexpr void Exclude(E item) { FBits &= ~Bit(item); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr std::uint32_t Bits() const { return FBits; }
    friend constexpr bool operator==(TkvSet, TkvSet) = default;

private:
    static constexpr std::uint32_t Bit(E item) { return std::uint32_t(1) << unsigned(item); }
    std::uint32_t FBits = 0;
};

enum TkvDataControllerOption : std::uint8_t {
    dcoAnsiSort,
    dcoCaseInsensitive,
    dcoAssignGroupingValues,
    dcoAssignMasterDetailKeys,
    dcoSaveExpanding,
    dcoSortByDisplayText,
};
using TkvDataControllerOptions = TkvSet<TkvDataControllerOption>;
inline constexpr TkvDataControllerOptions DefaultDataControllerOptions{
    dcoAssignGroupingValues, dcoAssignMasterDetailKeys, dcoSaveExpanding};

enum TkvDataChangeKind : std::uint8_t { dckValue, dckRecord, dckRecordAdded, dckRecordDeleted, dckAll };

//! Pending change flags of the controller (bit values).
enum TkvDataControllerChange : std::uint32_t {
    chgLayout = 0x001,
    chgData = 0x002,
    chgFocus = 0x004,
    chgSelection = 0x008,
    chgDetail = 0x010,
    chgSummary = 0x020,
    chgSearch = 0x040,
    chgSorting = 0x080,
    chgGrouping = 0x100,
    chgMasterSync = 0x200,
    chgBookmark = 0x400,
    chgUpdateRecord = 0x800,
};
using TkvDataControllerChanges = std::uint32_t;

//! Pending changes of the row builder.
enum TkvDataControllerInfoChange : std::uint32_t {
    dcicLoad = 0x0001,      //!< records changed: rebuild and filter the record list
    dcicSorting = 0x0002,   //!< re-sort
    dcicGrouping = 0x0004,  //!< re-sort and rebuild the groups
    dcicExpanding = 0x0008, //!< groups were expanded or collapsed
    dcicView = 0x0010,      //!< presentation only (a repaint)
    dcicFocusedRow = 0x0020,
    dcicResetFocusedRow = 0x0040,
    dcicFocusedRecord = 0x0080,
    dcicSelection = 0x0100,
    dcicSummary = 0x0200,
    dcicSortingOrder = 0x0400,  //!< an item's sort order changed (OnSortingChanged)
    dcicGroupingOrder = 0x0800, //!< the grouping changed (OnGroupingChanged)
    dcicRecord = 0x1000,        //!< one record changed alone: the rows and summaries follow it
};
using TkvDataControllerInfoChanges = std::uint32_t;

enum TkvDataControllerEditStateItem : std::uint8_t {
    desInserting,
    desEditing,
    desChangingValue,
    desModified
};
using TkvDataControllerEditState = TkvSet<TkvDataControllerEditStateItem>;

enum TkvDataControllerEditOperation : std::uint8_t {
    deoAppend,
    deoDelete,
    deoEdit,
    deoInsert,
    deoFollowsSource
};
using TkvDataControllerEditOperations = TkvSet<TkvDataControllerEditOperation>;

//! What ReadEditValue / WriteEditValue mean by a value.
enum class TkvDataEditValueSource : std::uint8_t {
    evsValue, //!< the field's value
    evsText,  //!< its edit text
    evsKey,   //!< the key values of a lookup field
};

//! One visible row.
struct TkvRowInfo {
    int Level = 0;        //!< a data row has the grouping level count as its level
    int RecordIndex = -1; //!< a group row gives its group's first record
    bool IsGroupRow = false;
    bool Expanded = false; //!< group rows only
};

class EkvInvalidDataControllerOperation : public Exception {
public:
    explicit EkvInvalidDataControllerOperation(const std::string &message) : Exception(message) {}
};

// The fixed texts of EkvInvalidDataControllerOperation.
inline constexpr const char *SRecordIndexError = "RecordIndex out of range";
inline constexpr const char *SItemIndexError = "ItemIndex out of range";
inline constexpr const char *SRowIndexError = "RowIndex out of range";
inline constexpr const char *SItemExistsError = "Item already exists";
inline constexpr const char *SNotGridModeError = "DataController not in GridMode";
inline constexpr const char *SDetailFilterControllerNotFound = "DetailFilterController not found";

} // namespace kestrum
