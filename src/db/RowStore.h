#pragma once
// The client-side copy of a result: cells kept by column in the kinds that
// SQLite returned (so a row can be compared with the file exactly as it was
// read), one payload word per cell and the text bytes in one arena per column.
// A column's words take four bytes each until a value needs eight (a float,
// or an integer outside 32 bits); text is found by its offset in the arena,
// where a length prefix stands before the bytes.
// An arena grows by fixed blocks that never move, so a large result is never
// held twice while a grown arena is copied over.
// Rows are slots: a deleted row's slot is left unused, never reused.
//
// A store may keep the key column alone (KeysOnly): the other cells of a row
// are then left to the table, and the row keeps a 64-bit hash of all its
// cells as they were read, enough to tell later whether the row in the file
// is still the one that was read.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace kestrum {

class TDbRowReader;
class TDbStatement;

enum class TDbCellKind : std::uint8_t { Null, Integer, Float, Text, Blob };

class TDbRowStore {
public:
    explicit TDbRowStore(int columnCount);
    //! A store that keeps only the cells of keyColumn and each row's hash.
    TDbRowStore(int columnCount, int keyColumn);

    int ColumnCount() const { return int(FColumns.size()); }
    bool KeysOnly() const { return FKeyColumn >= 0; }
    //! The one column a keys-only store keeps (-1 in a full store).
    int KeyColumn() const { return FKeyColumn; }
    //! Whether a column's cells are kept here.
    bool Holds(int column) const { return FKeyColumn < 0 || column == FKeyColumn; }
    //! The hash of a keys-only store's row as it was read (0 in a full store).
    std::uint64_t RowHash(int slot) const { return KeysOnly() ? FHashes[slot] : 0; }
    //! The hash of every cell of a row, as a keys-only store keeps it.
    std::uint64_t HashOf(int slot) const;
    //! The same hash of a row as it is read.
    static std::uint64_t HashOf(const TDbRowReader &row);
    //! Appends a slot for a row as it is read (a keys-only store's way).
    int AddKeyAndHash(const TDbRowReader &row);
    int SlotCount() const { return FSlotCount; }

    //! Appends a slot filled from the statement's current row.
    int AddFromStatement(sqlite3_stmt *statement);
    //! Overwrites a slot from the statement's current row.
    void SetFromStatement(int slot, sqlite3_stmt *statement);
    //! Appends a slot filled from a row as it is read (a driver's row), or
    //! overwrites one.
    int AddFromRow(const TDbRowReader &row);
    void SetFromRow(int slot, const TDbRowReader &row);
    //! Appends a copy of another store's slot (same columns), or overwrites one.
    int AddCopy(const TDbRowStore &other, int otherSlot);
    void SetCopy(int slot, const TDbRowStore &other, int otherSlot);

    //! A cell of a column the store does not hold reads as Null.
    TDbCellKind Kind(int slot, int column) const
    {
        return Holds(column) ? FColumns[column].KindAt(slot) : TDbCellKind::Null;
    }
    std::int64_t Integer(int slot, int column) const
    {
        return Holds(column) ? FColumns[column].Word(slot) : 0;
    }
    double Float(int slot, int column) const;
    //! Text or blob bytes (UTF-8 for text); empty for any other kind.
    std::string_view Bytes(int slot, int column) const;

    //! Binds a cell as it was read to the statement's parameter.
    void Bind(sqlite3_stmt *statement, int parameter, int slot, int column) const;
    void Bind(TDbStatement &statement, int parameter, int slot, int column) const;

private:
    //! Text and blob bytes of one column, each cell a length prefix and its
    //! bytes. An offset counts from the start of the first block as if the
    //! blocks stood end to end; a cell never spans two blocks (one longer than
    //! a block gets a block of its own size).
    class Arena {
    public:
        static constexpr std::size_t BlockSize = std::size_t(1) << 20;
        //! Copies the bytes in and returns their offset; raises when the
        //! column's bytes would pass 4 GB, which a word cannot address.
        std::uint32_t Append(std::string_view bytes);
        //! Like Append, but a short text met recently is not copied again:
        //! its earlier offset is returned (cells are never changed in place,
        //! so two cells may share their bytes).
        std::uint32_t AppendShared(std::string_view bytes);
        std::string_view View(std::uint32_t offset) const;

    private:
        static constexpr std::size_t SharedMaxLength = 64;
        static constexpr std::size_t RecentSlots = 4096;
        //! Texts are looked up while at least one lookup in 16 finds a match
        //! (a column of dates or serial numbers soon stops paying for it).
        static constexpr std::uint32_t LookupTrial = 65536;

        std::vector<std::unique_ptr<char[]>> FBlocks;
        std::uint64_t FEnd = 0; // offset of the next free byte
        // Offsets of recently stored short texts by hash, each plus one (0: none).
        std::unique_ptr<std::uint32_t[]> FRecent;
        std::uint32_t FLookups = 0;
        std::uint32_t FHits = 0;
        bool FSharing = true;
    };
    //! One value per slot, in blocks of a fixed number of cells: a large
    //! result neither doubles its room nor is copied whole while it grows.
    //! The first block grows as an ordinary vector, so a small result stays small.
    template <typename T> class Cells {
    public:
        static constexpr int BlockShift = 16;
        static constexpr std::size_t BlockCells = std::size_t(1) << BlockShift;
        T operator[](int slot) const
        {
            return FBlocks[std::size_t(slot) >> BlockShift][std::size_t(slot) & (BlockCells - 1)];
        }
        T &operator[](int slot)
        {
            return FBlocks[std::size_t(slot) >> BlockShift][std::size_t(slot) & (BlockCells - 1)];
        }
        int Size() const { return int(FSize); }
        void Clear()
        {
            std::vector<std::vector<T>>().swap(FBlocks);
            FSize = 0;
        }
        void PushBack(T value)
        {
            if (FBlocks.empty() || FBlocks.back().size() == BlockCells) {
                FBlocks.emplace_back();
                if (FBlocks.size() > 1)
                    FBlocks.back().reserve(BlockCells);
            }
            FBlocks.back().push_back(value);
            ++FSize;
        }

    private:
        std::vector<std::vector<T>> FBlocks;
        std::size_t FSize = 0;
    };
    //! A column's cells: the kind of each, and a word of integer, float bits
    //! or arena offset. Words are narrow (four bytes) until one value needs
    //! eight; then the column is widened once. While every cell has the same
    //! kind (the usual case) the kind is kept once, not per cell.
    struct Column {
        Cells<std::uint8_t> kinds; // only once the kinds are mixed
        Cells<std::uint32_t> narrow;
        Cells<std::int64_t> wide;
        int count = 0;
        TDbCellKind sameKind = TDbCellKind::Null;
        bool isMixed = false;
        bool isWide = false;
        Arena arena;

        TDbCellKind KindAt(int slot) const { return isMixed ? TDbCellKind(kinds[slot]) : sameKind; }
        std::int64_t Word(int slot) const;
        void Put(int slot, TDbCellKind kind, std::int64_t word);
        void Widen();
        void MixKinds();
    };
    void Store(Column &column, int slot, sqlite3_stmt *statement, int index);
    void Put(Column &column, int slot, TDbCellKind kind, std::int64_t word, std::string_view bytes);

    //! Keeps the key cell and the hash of the statement's or another store's row.
    void StoreKeyAndHash(int slot, std::uint64_t hash);

    std::vector<Column> FColumns;
    int FSlotCount = 0;
    int FKeyColumn = -1;
    Cells<std::uint64_t> FHashes; // keys-only stores: one a slot
};

} // namespace kestrum
