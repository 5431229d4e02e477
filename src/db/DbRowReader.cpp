#include "db/DbRowReader.h"

#include "db/DbDriver.h"
#include "db/RowStore.h"

#include <sqlite3.h>

#include <cstdlib>
#include <string>

namespace kestrum {

int TDbRowReader::ColumnCount() const
{
    if (FStatement)
        return sqlite3_column_count(FStatement);
    return FStore ? FStore->ColumnCount() : FDriverRow->ColumnCount();
}

TDbRowReader::TCell TDbRowReader::DriverCell(int column) const
{
    TCell cell{std::uint8_t(TDbCellKind::Null), 0, 0, nullptr, 0};
    switch (FDriverRow->ColumnType(column)) {
    case TDbValueType::Integer:
        cell.kind = std::uint8_t(TDbCellKind::Integer);
        cell.integer = FDriverRow->ColumnInt64(column);
        break;
    case TDbValueType::Real:
        cell.kind = std::uint8_t(TDbCellKind::Float);
        cell.real = FDriverRow->ColumnDouble(column);
        break;
    case TDbValueType::Text:
    case TDbValueType::DateTime: // as a ledger file keeps dates: their text
    case TDbValueType::Blob: {
        const std::string_view bytes = FDriverRow->ColumnBytes(column);
        cell.kind = std::uint8_t(FDriverRow->ColumnType(column) == TDbValueType::Blob ? TDbCellKind::Blob
                                                                                      : TDbCellKind::Text);
        cell.bytes = bytes.data();
        cell.size = bytes.size();
        break;
    }
    case TDbValueType::Null:
        break;
    }
    return cell;
}

TDbRowReader::TCell TDbRowReader::ReadDriverCell(int column) const
{
    if (column < 0 || column >= CachedColumns)
        return DriverCell(column);
    TCell &cell = FCells[std::size_t(column)];
    if (!(FRead & (1u << column))) {
        cell = DriverCell(column);
        FRead |= 1u << column;
    }
    return cell;
}

static_assert(std::uint8_t(TDbCellKind::Integer) == 1 && std::uint8_t(TDbCellKind::Float) == 2 &&
              std::uint8_t(TDbCellKind::Text) == 3 && std::uint8_t(TDbCellKind::Blob) == 4);

const TDbRowReader::TCell *TDbRowReader::Cell(int column) const
{
    if (column < 0 || column >= CachedColumns)
        return nullptr;
    TCell &cell = FCells[std::size_t(column)];
    cell = TCell{std::uint8_t(TDbCellKind::Null), 0, 0, nullptr, 0};
    // One call into the statement per cell; the value's own accessors then
    // skip the statement's checks. Its value is "unprotected", which only
    // matters to a connection shared between threads: a record set's
    // connection serves one.
    sqlite3_value *value = sqlite3_column_value(FStatement, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        cell.kind = IntegerKind;
        cell.integer = sqlite3_value_int64(value);
        break;
    case SQLITE_FLOAT:
        cell.kind = FloatKind;
        cell.real = sqlite3_value_double(value);
        break;
    case SQLITE_TEXT:
        cell.kind = TextKind;
        cell.bytes = reinterpret_cast<const char *>(sqlite3_value_text(value));
        cell.size = cell.bytes ? std::size_t(sqlite3_value_bytes(value)) : 0;
        break;
    case SQLITE_BLOB:
        cell.kind = BlobKind;
        cell.bytes = static_cast<const char *>(sqlite3_value_blob(value));
        cell.size = cell.bytes ? std::size_t(sqlite3_value_bytes(value)) : 0;
        break;
    default:
        break;
    }
    FRead |= 1u << column;
    return &cell;
}

// The ways to a driver's row stay out of line, so that the calls on an
// SQLite statement (a file's millions of rows) keep their short code.
TDbCellKind TDbRowReader::DriverKind(int column) const
{
    return TDbCellKind(ReadDriverCell(column).kind);
}

std::int64_t TDbRowReader::DriverInteger(int column) const
{
    const TCell cell = ReadDriverCell(column);
    switch (TDbCellKind(cell.kind)) {
    case TDbCellKind::Integer:
        return cell.integer;
    case TDbCellKind::Float:
        return std::int64_t(cell.real);
    case TDbCellKind::Text:
        return std::strtoll(std::string(cell.bytes, cell.size).c_str(), nullptr, 10);
    default:
        return 0;
    }
}

double TDbRowReader::DriverFloat(int column) const
{
    const TCell cell = ReadDriverCell(column);
    switch (TDbCellKind(cell.kind)) {
    case TDbCellKind::Integer:
        return double(cell.integer);
    case TDbCellKind::Float:
        return cell.real;
    case TDbCellKind::Text:
        return std::strtod(std::string(cell.bytes, cell.size).c_str(), nullptr);
    default:
        return 0;
    }
}

std::string_view TDbRowReader::DriverBytes(int column) const
{
    const TCell cell = ReadDriverCell(column);
    const auto kind = TDbCellKind(cell.kind);
    return kind == TDbCellKind::Text || kind == TDbCellKind::Blob ? std::string_view(cell.bytes, cell.size)
                                                                  : std::string_view();
}

TDbCellKind TDbRowReader::KindOther(int column) const
{
    if (!FStatement)
        return FStore ? FStore->Kind(FSlot, column) : DriverKind(column);
    switch (sqlite3_column_type(FStatement, column)) {
    case SQLITE_INTEGER:
        return TDbCellKind::Integer;
    case SQLITE_FLOAT:
        return TDbCellKind::Float;
    case SQLITE_TEXT:
        return TDbCellKind::Text;
    case SQLITE_BLOB:
        return TDbCellKind::Blob;
    default:
        return TDbCellKind::Null;
    }
}

bool TDbRowReader::IsNull(int column) const
{
    return Kind(column) == TDbCellKind::Null;
}

std::int64_t TDbRowReader::IntegerOther(int column) const
{
    if (FStatement)
        return sqlite3_column_int64(FStatement, column);
    if (!FStore)
        return DriverInteger(column);
    switch (FStore->Kind(FSlot, column)) {
    case TDbCellKind::Integer:
        return FStore->Integer(FSlot, column);
    case TDbCellKind::Float:
        return std::int64_t(FStore->Float(FSlot, column));
    case TDbCellKind::Text: {
        const std::string text(FStore->Bytes(FSlot, column));
        return std::strtoll(text.c_str(), nullptr, 10);
    }
    default:
        return 0;
    }
}

double TDbRowReader::FloatOther(int column) const
{
    if (FStatement)
        return sqlite3_column_double(FStatement, column);
    if (!FStore)
        return DriverFloat(column);
    switch (FStore->Kind(FSlot, column)) {
    case TDbCellKind::Integer:
        return double(FStore->Integer(FSlot, column));
    case TDbCellKind::Float:
        return FStore->Float(FSlot, column);
    case TDbCellKind::Text: {
        const std::string text(FStore->Bytes(FSlot, column));
        return std::strtod(text.c_str(), nullptr);
    }
    default:
        return 0;
    }
}

std::string_view TDbRowReader::TextOther(int column) const
{
    if (!FStatement) {
        if (!FStore)
            return DriverBytes(column);
        const TDbCellKind kind = FStore->Kind(FSlot, column);
        return kind == TDbCellKind::Text || kind == TDbCellKind::Blob ? FStore->Bytes(FSlot, column)
                                                                      : std::string_view();
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(FStatement, column));
    return text ? std::string_view(text, std::size_t(sqlite3_column_bytes(FStatement, column)))
                : std::string_view();
}

std::string_view TDbRowReader::BytesOther(int column) const
{
    if (!FStatement)
        return FStore ? FStore->Bytes(FSlot, column) : DriverBytes(column);
    if (CachedCell(column))
        return {}; // a cell read already that holds no bytes
    switch (sqlite3_column_type(FStatement, column)) {
    case SQLITE_TEXT:
        return Text(column);
    case SQLITE_BLOB: {
        const auto *blob = static_cast<const char *>(sqlite3_column_blob(FStatement, column));
        return blob ? std::string_view(blob, std::size_t(sqlite3_column_bytes(FStatement, column)))
                    : std::string_view();
    }
    default:
        return {};
    }
}

} // namespace kestrum
