#include "db/RowStore.h"

#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "db/DbRowReader.h"

#include <sqlite3.h>

#include <cstring>

namespace kestrum {

TDbRowStore::TDbRowStore(int columnCount) : FColumns(std::size_t(columnCount))
{
}

TDbRowStore::TDbRowStore(int columnCount, int keyColumn)
    : FColumns(std::size_t(columnCount)), FKeyColumn(keyColumn)
{
}

namespace {
//! A row's cells folded into 64 bits: each cell's kind, then its value (text
//! and blobs by their bytes, eight at a time).
class TRowHasher {
public:
    void Mix(std::uint64_t word)
    {
        FHash = (FHash ^ word) * 0x9e3779b97f4a7c15ull;
        FHash ^= FHash >> 29;
    }
    void MixBytes(const char *data, std::size_t size)
    {
        Mix(size);
        std::size_t at = 0;
        for (; at + 8 <= size; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, data + at, 8);
            Mix(word);
        }
        if (at < size) {
            std::uint64_t word = 0;
            std::memcpy(&word, data + at, size - at);
            Mix(word);
        }
    }
    std::uint64_t Value() const { return FHash; }

private:
    std::uint64_t FHash = 0xcbf29ce484222325ull;
};

//! Length prefix of an arena cell: one byte below 255, else 255 and four bytes.
std::size_t PrefixSize(std::size_t length)
{
    return length < 255 ? 1 : 5;
}

void CheckCellLength(std::size_t length)
{
    if (length > 0xfffffff0u)
        throw EDatabaseError("查询结果太大，内存中放不下。");
}
} // namespace

double TDbRowStore::Float(int slot, int column) const
{
    if (!Holds(column))
        return 0;
    const std::int64_t word = FColumns[column].Word(slot);
    double value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

std::string_view TDbRowStore::Bytes(int slot, int column) const
{
    if (!Holds(column))
        return {};
    const Column &c = FColumns[column];
    const TDbCellKind kind = c.KindAt(slot);
    if (kind != TDbCellKind::Text && kind != TDbCellKind::Blob)
        return {};
    return c.arena.View(std::uint32_t(c.Word(slot)));
}

std::string_view TDbRowStore::Arena::View(std::uint32_t offset) const
{
    const char *at = FBlocks[offset / BlockSize].get() + offset % BlockSize;
    std::size_t length = std::uint8_t(at[0]);
    if (length < 255)
        return {at + 1, length};
    std::uint32_t longLength;
    std::memcpy(&longLength, at + 1, sizeof longLength);
    return {at + 5, longLength};
}

std::uint32_t TDbRowStore::Arena::Append(std::string_view bytes)
{
    const std::size_t prefix = PrefixSize(bytes.size());
    const std::size_t size = prefix + bytes.size();
    std::uint64_t offset = FEnd;
    std::uint64_t end = offset + size;
    if (offset % BlockSize == 0 || offset % BlockSize + size > BlockSize) {
        // A fresh block: the rest of the current one stays unused.
        offset = (offset + BlockSize - 1) / BlockSize * BlockSize;
        const std::size_t blocks = (size + BlockSize - 1) / BlockSize;
        if (offset + size > 0xffffffffu)
            throw EDatabaseError("查询结果太大，内存中放不下。");
        FBlocks.resize(std::size_t(offset / BlockSize));
        FBlocks.push_back(std::make_unique_for_overwrite<char[]>(blocks == 1 ? BlockSize : size));
        FBlocks.resize(std::size_t(offset / BlockSize) + blocks);
        end = blocks > 1 ? offset + blocks * BlockSize : offset + size; // an oversized block is full
    }
    char *at = FBlocks[std::size_t(offset / BlockSize)].get() + offset % BlockSize;
    if (prefix == 1) {
        at[0] = char(std::uint8_t(bytes.size()));
    } else {
        at[0] = char(0xff);
        const auto length = std::uint32_t(bytes.size());
        std::memcpy(at + 1, &length, sizeof length);
    }
    if (!bytes.empty())
        std::memcpy(at + prefix, bytes.data(), bytes.size());
    FEnd = end;
    return std::uint32_t(offset);
}

std::uint32_t TDbRowStore::Arena::AppendShared(std::string_view bytes)
{
    if (!FSharing || bytes.size() > SharedMaxLength)
        return Append(bytes);
    if (!FRecent)
        FRecent = std::make_unique<std::uint32_t[]>(RecentSlots);
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : bytes)
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    std::uint32_t &recent = FRecent[hash % RecentSlots];
    ++FLookups;
    if (recent != 0 && View(recent - 1) == bytes) {
        ++FHits;
        return recent - 1;
    }
    if (FLookups == LookupTrial) {
        FSharing = FHits >= LookupTrial / 16;
        FLookups = FHits = 0;
        if (!FSharing)
            FRecent.reset();
    }
    const std::uint32_t offset = Append(bytes);
    if (FSharing && offset != 0xffffffffu)
        recent = offset + 1;
    return offset;
}

std::int64_t TDbRowStore::Column::Word(int slot) const
{
    if (isWide)
        return wide[slot];
    const std::uint32_t word = narrow[slot];
    // Integers are kept sign-extended; offsets are never negative.
    if (KindAt(slot) == TDbCellKind::Integer)
        return std::int32_t(word);
    return word;
}

void TDbRowStore::Column::Widen()
{
    for (int slot = 0; slot < narrow.Size(); ++slot)
        wide.PushBack(Word(slot));
    narrow.Clear();
    isWide = true;
}

void TDbRowStore::Column::MixKinds()
{
    for (int slot = 0; slot < count; ++slot)
        kinds.PushBack(std::uint8_t(sameKind));
    isMixed = true;
}

void TDbRowStore::Column::Put(int slot, TDbCellKind kind, std::int64_t word)
{
    if (!isWide) {
        const bool fits =
            kind == TDbCellKind::Integer ? word == std::int32_t(word) : kind != TDbCellKind::Float;
        if (!fits)
            Widen();
    }
    if (count == 0)
        sameKind = kind;
    else if (!isMixed && kind != sameKind)
        MixKinds();
    if (slot == count) {
        if (isMixed)
            kinds.PushBack(std::uint8_t(kind));
        if (isWide)
            wide.PushBack(word);
        else
            narrow.PushBack(std::uint32_t(word));
        ++count;
    } else {
        if (isMixed)
            kinds[slot] = std::uint8_t(kind);
        if (isWide)
            wide[slot] = word;
        else
            narrow[slot] = std::uint32_t(word);
    }
}

void TDbRowStore::Store(Column &column, int slot, sqlite3_stmt *statement, int index)
{
    const int type = sqlite3_column_type(statement, index);
    std::int64_t word = 0;
    TDbCellKind kind = TDbCellKind::Null;
    switch (type) {
    case SQLITE_INTEGER:
        kind = TDbCellKind::Integer;
        word = sqlite3_column_int64(statement, index);
        break;
    case SQLITE_FLOAT: {
        kind = TDbCellKind::Float;
        const double value = sqlite3_column_double(statement, index);
        std::memcpy(&word, &value, sizeof value);
        break;
    }
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        kind = type == SQLITE_TEXT ? TDbCellKind::Text : TDbCellKind::Blob;
        const void *data = type == SQLITE_TEXT ? (const void *)sqlite3_column_text(statement, index)
                                               : sqlite3_column_blob(statement, index);
        const auto length = std::size_t(sqlite3_column_bytes(statement, index));
        CheckCellLength(length);
        word = column.arena.AppendShared({static_cast<const char *>(data), length});
        break;
    }
    default:
        break;
    }
    column.Put(slot, kind, word);
}

void TDbRowStore::Put(Column &column, int slot, TDbCellKind kind, std::int64_t word, std::string_view bytes)
{
    if (kind == TDbCellKind::Text || kind == TDbCellKind::Blob) {
        CheckCellLength(bytes.size());
        word = column.arena.AppendShared(bytes);
    }
    column.Put(slot, kind, word);
}

std::uint64_t TDbRowStore::HashOf(int slot) const
{
    if (KeysOnly())
        return RowHash(slot);
    TRowHasher hasher;
    for (int i = 0; i < ColumnCount(); ++i) {
        const TDbCellKind kind = Kind(slot, i);
        hasher.Mix(std::uint64_t(kind));
        if (kind == TDbCellKind::Text || kind == TDbCellKind::Blob) {
            const std::string_view bytes = Bytes(slot, i);
            hasher.MixBytes(bytes.data(), bytes.size());
        } else if (kind != TDbCellKind::Null) {
            hasher.Mix(std::uint64_t(FColumns[i].Word(slot)));
        }
    }
    return hasher.Value();
}

std::uint64_t TDbRowStore::HashOf(const TDbRowReader &row)
{
    TRowHasher hasher;
    const int count = row.ColumnCount();
    for (int i = 0; i < count; ++i) {
        const TDbCellKind kind = row.Kind(i);
        hasher.Mix(std::uint64_t(kind));
        switch (kind) {
        case TDbCellKind::Integer:
            hasher.Mix(std::uint64_t(row.Integer(i)));
            break;
        case TDbCellKind::Float: {
            const double value = row.Float(i);
            std::uint64_t word;
            std::memcpy(&word, &value, sizeof word);
            hasher.Mix(word);
            break;
        }
        case TDbCellKind::Text:
        case TDbCellKind::Blob: {
            const std::string_view bytes = row.Bytes(i);
            hasher.MixBytes(bytes.data(), bytes.size());
            break;
        }
        case TDbCellKind::Null:
            break;
        }
    }
    return hasher.Value();
}

int TDbRowStore::AddKeyAndHash(const TDbRowReader &row)
{
    if (!KeysOnly())
        throw EDatabaseError("AddKeyAndHash needs a keys-only store");
    const int slot = FSlotCount;
    StoreKeyAndHash(slot, HashOf(row));
    Column &key = FColumns[std::size_t(FKeyColumn)];
    const TDbCellKind kind = row.Kind(FKeyColumn);
    std::int64_t word = 0;
    if (kind == TDbCellKind::Integer) {
        word = row.Integer(FKeyColumn);
    } else if (kind == TDbCellKind::Float) {
        const double value = row.Float(FKeyColumn);
        std::memcpy(&word, &value, sizeof word);
    }
    Put(key, slot, kind, word, row.Bytes(FKeyColumn));
    ++FSlotCount;
    return slot;
}

void TDbRowStore::StoreKeyAndHash(int slot, std::uint64_t hash)
{
    if (slot == FHashes.Size())
        FHashes.PushBack(hash);
    else
        FHashes[slot] = hash;
}

int TDbRowStore::AddCopy(const TDbRowStore &other, int otherSlot)
{
    const int slot = FSlotCount;
    SetCopy(slot, other, otherSlot);
    ++FSlotCount;
    return slot;
}

void TDbRowStore::SetCopy(int slot, const TDbRowStore &other, int otherSlot)
{
    if (KeysOnly())
        StoreKeyAndHash(slot, other.HashOf(otherSlot));
    for (int i = 0; i < int(FColumns.size()); ++i) {
        if (!Holds(i))
            continue;
        const TDbCellKind kind = other.Kind(otherSlot, i);
        const bool bytes = kind == TDbCellKind::Text || kind == TDbCellKind::Blob;
        Put(FColumns[i], slot, kind, other.Integer(otherSlot, i),
            bytes ? other.Bytes(otherSlot, i) : std::string_view());
    }
}

int TDbRowStore::AddFromStatement(sqlite3_stmt *statement)
{
    const int slot = FSlotCount;
    SetFromStatement(slot, statement);
    ++FSlotCount;
    return slot;
}

void TDbRowStore::SetFromStatement(int slot, sqlite3_stmt *statement)
{
    if (KeysOnly()) {
        StoreKeyAndHash(slot, HashOf(TDbRowReader(statement)));
        Store(FColumns[std::size_t(FKeyColumn)], slot, statement, FKeyColumn);
        return;
    }
    for (int i = 0; i < int(FColumns.size()); ++i)
        Store(FColumns[i], slot, statement, i);
}

int TDbRowStore::AddFromRow(const TDbRowReader &row)
{
    const int slot = FSlotCount;
    SetFromRow(slot, row);
    ++FSlotCount;
    return slot;
}

void TDbRowStore::SetFromRow(int slot, const TDbRowReader &row)
{
    if (KeysOnly())
        StoreKeyAndHash(slot, HashOf(row));
    for (int i = 0; i < int(FColumns.size()); ++i) {
        if (!Holds(i))
            continue;
        const TDbCellKind kind = row.Kind(i);
        std::int64_t word = 0;
        if (kind == TDbCellKind::Integer) {
            word = row.Integer(i);
        } else if (kind == TDbCellKind::Float) {
            const double value = row.Float(i);
            std::memcpy(&word, &value, sizeof word);
        }
        const bool bytes = kind == TDbCellKind::Text || kind == TDbCellKind::Blob;
        Put(FColumns[i], slot, kind, word, bytes ? row.Bytes(i) : std::string_view());
    }
}

void TDbRowStore::Bind(TDbStatement &statement, int parameter, int slot, int column) const
{
    switch (Kind(slot, column)) {
    case TDbCellKind::Null:
        statement.BindNull(parameter);
        break;
    case TDbCellKind::Integer:
        statement.BindInt64(parameter, Integer(slot, column));
        break;
    case TDbCellKind::Float:
        statement.BindDouble(parameter, Float(slot, column));
        break;
    case TDbCellKind::Text:
        statement.BindText(parameter, Bytes(slot, column));
        break;
    case TDbCellKind::Blob:
        statement.BindBlob(parameter, Bytes(slot, column));
        break;
    }
}

void TDbRowStore::Bind(sqlite3_stmt *statement, int parameter, int slot, int column) const
{
    switch (Kind(slot, column)) {
    case TDbCellKind::Null:
        sqlite3_bind_null(statement, parameter);
        break;
    case TDbCellKind::Integer:
        sqlite3_bind_int64(statement, parameter, Integer(slot, column));
        break;
    case TDbCellKind::Float:
        sqlite3_bind_double(statement, parameter, Float(slot, column));
        break;
    case TDbCellKind::Text: {
        const auto bytes = Bytes(slot, column);
        sqlite3_bind_text64(statement, parameter, bytes.data(), bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    case TDbCellKind::Blob: {
        const auto bytes = Bytes(slot, column);
        sqlite3_bind_blob64(statement, parameter, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        break;
    }
    }
}

} // namespace kestrum
