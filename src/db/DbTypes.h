#pragma once
// Enumerations shared by the record-set layer: field types, record-set
// states, alignment, and the options of Locate and of filtering.
#include <cstdint>

namespace kestrum {

//! The data type of a field, from the column's declared type (or, for an
//! expression column, from its values).
enum TFieldType : std::uint8_t {
    ftUnknown,
    ftString,   //!< VARCHAR(n), CHAR(n): narrow text of at most Size characters
    ftSmallint, //!< SMALLINT: 16-bit
    ftInteger,  //!< INTEGER, INT: 32-bit
    ftWord,     //!< BYTE, TINYINT: unsigned 16-bit
    ftBoolean,  //!< BIT, BOOLEAN, YESNO
    ftFloat,    //!< REAL, DOUBLE, FLOAT
    ftCurrency, //!< CURRENCY, MONEY
    ftBCD,      //!< DECIMAL(p,s) with s <= 4
    ftDate,     //!< DATE
    ftTime,     //!< TIME
    ftDateTime, //!< DATETIME (stored as ISO-8601 text)
    ftBytes,
    ftVarBytes,
    ftAutoInc, //!< the table's INTEGER PRIMARY KEY
    ftBlob,    //!< BLOB
    ftMemo,    //!< TEXT, MEMO, LONGTEXT: narrow text without a size
    ftFixedChar,
    ftWideString, //!< NVARCHAR(n), NCHAR(n): UTF-16 text of at most Size characters
    ftLargeint,   //!< BIGINT: 64-bit
    ftGuid,       //!< GUID
    ftTimeStamp,  //!< TIMESTAMP
    ftFMTBcd,     //!< NUMERIC, DECIMAL(p,s) with s > 4
};

//! Printable name of a field type ("ftFloat").
const char *FieldTypeName(TFieldType type);

enum TDataSetState : std::uint8_t {
    dsInactive, //!< closed
    dsBrowse,   //!< open, positioned on a row (or on none when empty)
    dsEdit,     //!< the current row is being edited
    dsInsert,   //!< a new row is being built (by Insert or Append)
    dsSetKey,   //!< never entered here; kept so callers can test for it
};

//! Edit and insert: the states in which field values may be set.
inline bool IsEditMode(TDataSetState state)
{
    return state == dsEdit || state == dsInsert;
}

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

enum TFieldKind : std::uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

//! Options of TDbQuery::Locate.
enum TLocateOption : std::uint8_t { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = std::uint8_t;

//! Options of the record-set filter.
enum TFilterOption : std::uint8_t { foCaseInsensitive = 1, foNoPartialCompare = 2 };
using TFilterOptions = std::uint8_t;

//! Data-source notifications as the record set raises them.
enum class TDataEvent : std::uint8_t {
    FieldChange,     //!< one field of the current record changed (info: the field)
    RecordChange,    //!< the whole current record changed
    DataSetChange,   //!< the rows may have changed in any way (info: a TDbRowChange or 0)
    DataSetScroll,   //!< the current row moved (info: the signed distance)
    LayoutChange,    //!< the field list or a field's presentation changed
    UpdateRecord,    //!< collect pending editor values before a post
    UpdateState,     //!< the state changed (active, editing)
    CheckBrowseMode, //!< the record set is about to leave edit mode or move
    FocusControl,    //!< focus the control bound to a field (info: the field)
};

//! What a post, cancel or delete did to the visible rows, sent with its
//! DataSetChange notification so that a listener can follow the one row
//! instead of reading every row again. Without one (info 0) anything may
//! have changed.
struct TDbRowChange {
    enum TKind : std::uint8_t {
        rcUpdated,         //!< the row at Position holds the posted values
        rcInserted,        //!< a new row was posted at Position (the insert's place)
        rcDeleted,         //!< the row at Position went; later rows moved up by one
        rcInsertCancelled, //!< the record being inserted at Position was dropped
        rcEditCancelled,   //!< the row at Position keeps its stored values
    };
    TKind Kind;
    int Position; //!< visible position, 0-based
};

//! Share mode of a connection: the ledger uses deny-none, and cmRead for a
//! file it only shows (the connection then opens it for reading only).
enum TConnectMode : std::uint8_t {
    cmUnknown,
    cmRead,
    cmWrite,
    cmReadWrite,
    cmShareDenyRead,
    cmShareDenyWrite,
    cmShareExclusive,
    cmShareDenyNone,
};

enum TCursorLocation : std::uint8_t { clUseServer, clUseClient };
enum TCursorType : std::uint8_t { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };
enum TLockType : std::uint8_t { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic };

} // namespace kestrum
