#pragma once
// One row as it is read, for a caller that works out totals while a
// statement runs or fills its own storage: the values come straight from
// SQLite (or from a row a record set keeps), in the kinds SQLite returned
// them, without Variants. A row of another engine reads in the same kinds:
// a server's dates as their text, its exact decimals as floats.
#include <array>
#include <cstdint>
#include <string_view>

struct sqlite3_stmt;

namespace kestrum {

class TDbRowStore;
class TDbStatement;
enum class TDbCellKind : std::uint8_t;

class TDbRowReader {
public:
    //! The statement's current row. Each cell is asked of SQLite once: make
    //! a reader for each row the statement steps to.
    explicit TDbRowReader(sqlite3_stmt *statement) : FStatement(statement) {}
    //! The current row of a driver's statement (the way to a server's rows;
    //! a file's are read through the SQLite statement itself).
    explicit TDbRowReader(const TDbStatement &statement) : FDriverRow(&statement) {}
    //! A stored row (every column of the store held).
    TDbRowReader(const TDbRowStore &store, int slot) : FStore(&store), FSlot(slot) {}

    int ColumnCount() const;
    TDbCellKind Kind(int column) const
    {
        if (const TCell *cell = CachedCell(column))
            return TDbCellKind(cell->kind);
        return KindOther(column);
    }
    bool IsNull(int column) const;
    //! The value as SQLite converts it: Null gives 0, text its leading number.
    std::int64_t Integer(int column) const
    {
        if (const TCell *cell = CachedCell(column); cell && cell->kind == IntegerKind)
            return cell->integer;
        return IntegerOther(column);
    }
    double Float(int column) const
    {
        if (const TCell *cell = CachedCell(column); cell && cell->kind == FloatKind)
            return cell->real;
        return FloatOther(column);
    }
    //! UTF-8 bytes, valid until the next row; Null gives "".
    std::string_view Text(int column) const
    {
        if (const TCell *cell = CachedCell(column); cell && cell->kind == TextKind)
            return std::string_view(cell->bytes, cell->size);
        return TextOther(column);
    }
    //! The bytes of a text or blob cell as stored (text as UTF-8); "" for another kind.
    std::string_view Bytes(int column) const
    {
        if (const TCell *cell = CachedCell(column);
            cell && (cell->kind == TextKind || cell->kind == BlobKind))
            return std::string_view(cell->bytes, cell->size);
        return BytesOther(column);
    }

private:
    //! A cell of the statement's row as SQLite returned it.
    struct TCell {
        std::uint8_t kind; // a TDbCellKind
        std::int64_t integer;
        double real;
        const char *bytes;
        std::size_t size;
    };
    static constexpr int CachedColumns = 16;
    // The kinds' values (TDbCellKind is only declared here).
    static constexpr std::uint8_t IntegerKind = 1, FloatKind = 2, TextKind = 3, BlobKind = 4;
    //! The statement's cell of a column once read (the short way, inline).
    const TCell *CachedCell(int column) const
    {
        if (!FStatement || unsigned(column) >= unsigned(CachedColumns))
            return nullptr;
        if (FRead & (1u << column))
            return &FCells[std::size_t(column)];
        return Cell(column);
    }
    //! The cell of a column of the statement's row (nullptr for a column past
    //! the cached ones), read from SQLite on first use.
    const TCell *Cell(int column) const;
    // The other ways: a column past the cached ones, a conversion, a stored
    // or a driver's row.
    TDbCellKind KindOther(int column) const;
    std::int64_t IntegerOther(int column) const;
    double FloatOther(int column) const;
    std::string_view TextOther(int column) const;
    std::string_view BytesOther(int column) const;
    //! A cell of the driver's row, read as the kinds above.
    TCell DriverCell(int column) const;
    //! The cell of a column of a driver's row (cached for the first columns).
    TCell ReadDriverCell(int column) const;
    [[gnu::noinline]] TDbCellKind DriverKind(int column) const;
    [[gnu::noinline]] std::int64_t DriverInteger(int column) const;
    [[gnu::noinline]] double DriverFloat(int column) const;
    [[gnu::noinline]] std::string_view DriverBytes(int column) const;

    sqlite3_stmt *FStatement = nullptr;
    const TDbStatement *FDriverRow = nullptr;
    const TDbRowStore *FStore = nullptr;
    int FSlot = 0;
    mutable std::uint32_t FRead = 0; // columns whose cell is read
    mutable std::array<TCell, CachedColumns> FCells;
};

} // namespace kestrum
