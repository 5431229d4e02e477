#pragma once
// One row as it is read, for a caller that works out totals while a
// statement runs or fills its own storage: the values come straight from
// SQLite (or from a row a record set keeps), in the kinds SQLite returned
// them, without Variants.
#include <cstdint>
#include <string_view>

struct sqlite3_stmt;

namespace kestrum {

class TDbRowStore;
enum class TDbCellKind : std::uint8_t;

class TDbRowReader {
public:
    //! The statement's current row.
    explicit TDbRowReader(sqlite3_stmt *statement) : FStatement(statement) {}
    //! A stored row (every column of the store held).
    TDbRowReader(const TDbRowStore &store, int slot) : FStore(&store), FSlot(slot) {}

    int ColumnCount() const;
    TDbCellKind Kind(int column) const;
    bool IsNull(int column) const;
    //! The value as SQLite converts it: Null gives 0, text its leading number.
    std::int64_t Integer(int column) const;
    double Float(int column) const;
    //! UTF-8 bytes, valid until the next row; Null gives "".
    std::string_view Text(int column) const;
    //! The bytes of a text or blob cell as stored (text as UTF-8); "" for another kind.
    std::string_view Bytes(int column) const;

private:
    sqlite3_stmt *FStatement = nullptr;
    const TDbRowStore *FStore = nullptr;
    int FSlot = 0;
};

} // namespace kestrum
