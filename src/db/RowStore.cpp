#include "db/RowStore.h"

#include "db/DbErrors.h"

#include <sqlite3.h>

#include <cstring>

namespace kestrum {

TDbRowStore::TDbRowStore(int columnCount) : FColumns(std::size_t(columnCount))
{
}

double TDbRowStore::Float(int slot, int column) const
{
    const std::int64_t word = FColumns[column].words[slot];
    double value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

std::string_view TDbRowStore::Bytes(int slot, int column) const
{
    const Column &c = FColumns[column];
    const auto word = std::uint64_t(c.words[slot]);
    return c.arena.View(word >> 32, std::size_t(word & 0xffffffffu));
}

std::uint64_t TDbRowStore::Arena::Append(std::string_view bytes)
{
    if (bytes.empty())
        return 0;
    std::uint64_t offset = FEnd;
    if (offset % BlockSize == 0 || offset % BlockSize + bytes.size() > BlockSize) {
        // A fresh block: the rest of the current one stays unused.
        offset = (offset + BlockSize - 1) / BlockSize * BlockSize;
        const std::size_t blocks = (bytes.size() + BlockSize - 1) / BlockSize;
        if (offset + bytes.size() > 0xffffffffu)
            throw EDatabaseError("查询结果太大，内存中放不下。");
        FBlocks.resize(std::size_t(offset / BlockSize));
        FBlocks.push_back(std::make_unique_for_overwrite<char[]>(blocks == 1 ? BlockSize : bytes.size()));
        FBlocks.resize(std::size_t(offset / BlockSize) + blocks);
        if (blocks > 1) {
            std::memcpy(FBlocks[std::size_t(offset / BlockSize)].get(), bytes.data(), bytes.size());
            FEnd = offset + blocks * BlockSize; // the oversized block is full
            return offset;
        }
    }
    std::memcpy(FBlocks[std::size_t(offset / BlockSize)].get() + offset % BlockSize, bytes.data(),
                bytes.size());
    FEnd = offset + bytes.size();
    return offset;
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
        if (length > 0xffffffffu)
            throw EDatabaseError("查询结果太大，内存中放不下。");
        const std::uint64_t offset = column.arena.Append({static_cast<const char *>(data), length});
        word = std::int64_t((offset << 32) | length);
        break;
    }
    default:
        break;
    }
    if (slot == column.kinds.Size()) {
        column.kinds.PushBack(std::uint8_t(kind));
        column.words.PushBack(word);
    } else {
        column.kinds[slot] = std::uint8_t(kind);
        column.words[slot] = word;
    }
}

void TDbRowStore::Put(Column &column, int slot, TDbCellKind kind, std::int64_t word, std::string_view bytes)
{
    if (kind == TDbCellKind::Text || kind == TDbCellKind::Blob) {
        if (bytes.size() > 0xffffffffu)
            throw EDatabaseError("查询结果太大，内存中放不下。");
        word = std::int64_t((column.arena.Append(bytes) << 32) | bytes.size());
    }
    if (slot == column.kinds.Size()) {
        column.kinds.PushBack(std::uint8_t(kind));
        column.words.PushBack(word);
    } else {
        column.kinds[slot] = std::uint8_t(kind);
        column.words[slot] = word;
    }
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
    for (int i = 0; i < int(FColumns.size()); ++i) {
        const TDbCellKind kind = other.Kind(otherSlot, i);
        const bool bytes = kind == TDbCellKind::Text || kind == TDbCellKind::Blob;
        Put(FColumns[i], slot, kind, other.FColumns[i].words[otherSlot],
            bytes ? other.Bytes(otherSlot, i) : std::string_view());
    }
}

int TDbRowStore::AddFromStatement(sqlite3_stmt *statement)
{
    const int slot = FSlotCount;
    for (int i = 0; i < int(FColumns.size()); ++i)
        Store(FColumns[i], slot, statement, i);
    ++FSlotCount;
    return slot;
}

void TDbRowStore::SetFromStatement(int slot, sqlite3_stmt *statement)
{
    for (int i = 0; i < int(FColumns.size()); ++i)
        Store(FColumns[i], slot, statement, i);
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
