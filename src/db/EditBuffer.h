#pragma once
// The pending record of a record set being edited or inserted: its values,
// which fields were set, and where a new record stands until it is posted.
#include "core/Variant.h"
#include "db/DbCursor.h"

#include <vector>

namespace kestrum {

class TDbEditBuffer {
public:
    //! Starts editing a stored row whose values are given.
    void BeginEdit(std::vector<Variant> values);
    //! Starts a new record of fieldCount empty values at a visible position;
    //! before is where the cursor stood, for a cancel to go back to.
    void BeginInsert(int fieldCount, int position, const TDbCursor &before);
    //! Drops the pending record.
    void Clear();

    const Variant &Value(int field) const { return FValues[std::size_t(field)]; }
    const std::vector<Variant> &Values() const { return FValues; }
    void Set(int field, Variant value);
    //! Whether a value was set since the record became pending.
    bool Modified() const { return FModified; }
    //! Forgets that values were set (a state change starts afresh); the
    //! values and which fields they came to stay.
    void ResetModified() { FModified = false; }

    //! Where the new record stands (-1 when none is pending).
    int InsertPosition() const { return FInsertPosition; }
    const TDbCursor &CursorBeforeInsert() const { return FCursorBeforeInsert; }

    //! The fields an insert writes: each one set or holding a value, except
    //! the key (the table gives it).
    std::vector<int> InsertedFields(int keyField) const;
    //! The fields an update writes: each one set, except the key.
    std::vector<int> UpdatedFields(int keyField) const;

private:
    std::vector<Variant> FValues;
    std::vector<bool> FSet;
    bool FModified = false;
    int FInsertPosition = -1;
    TDbCursor FCursorBeforeInsert;
};

} // namespace kestrum
