#include "db/DbRowReader.h"

#include <sqlite3.h>

namespace kestrum {

int TDbRowReader::ColumnCount() const
{
    return sqlite3_column_count(FStatement);
}

bool TDbRowReader::IsNull(int column) const
{
    return sqlite3_column_type(FStatement, column) == SQLITE_NULL;
}

std::int64_t TDbRowReader::Integer(int column) const
{
    return sqlite3_column_int64(FStatement, column);
}

double TDbRowReader::Float(int column) const
{
    return sqlite3_column_double(FStatement, column);
}

std::string_view TDbRowReader::Text(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(FStatement, column));
    return text ? std::string_view(text, std::size_t(sqlite3_column_bytes(FStatement, column)))
                : std::string_view();
}

} // namespace kestrum
