#pragma once
// One row of a statement as it is read, for a caller that works out totals
// while a statement runs and keeps none of its rows: the values come
// straight from SQLite, in the kinds it returns them, without Variants.
#include <cstdint>
#include <string_view>

struct sqlite3_stmt;

namespace kestrum {

class TDbRowReader {
public:
    explicit TDbRowReader(sqlite3_stmt *statement) : FStatement(statement) {}

    int ColumnCount() const;
    bool IsNull(int column) const;
    //! The value as SQLite converts it: Null gives 0, text its leading number.
    std::int64_t Integer(int column) const;
    double Float(int column) const;
    //! UTF-8 bytes, valid until the next row; Null gives "".
    std::string_view Text(int column) const;

private:
    sqlite3_stmt *FStatement;
};

} // namespace kestrum
