#pragma once
// The record being read from a CSV file: its cells by column, and by the role
// that the column mapping gives each column.
#include "exchange/CsvReader.h"
#include "exchange/CsvRecords.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum::exchange {

class TCsvRow {
public:
    //! `text` is UTF-8 and must outlive the row. No column has a role yet.
    TCsvRow(std::string_view text, char separator);

    //! Gives each column the role `mapping` names (crIgnore gives none).
    void Map(const QList<TCsvColumnRole> &mapping);
    //! Reads the next record; false at the end. Raises EImportError as
    //! TCsvRecordReader::Next does.
    bool Next(int &line) { return FReader.Next(FCells, FCount, line); }
    //! Reads the rest of the file without looking at it.
    void SkipToEnd();
    //! Whether every cell of the record is blank.
    bool IsBlank() const;

    //! The text of a column, trimmed; empty for -1 or past the record's end.
    std::string_view At(int column) const;
    //! The cell of the column that has the role: exactly as quoted, else
    //! trimmed; empty when no column has it or the record is short.
    std::string_view Cell(TCsvColumnRole role) const;
    //! The text of a column as the file holds it, blanks and all.
    std::string_view RawAt(int column) const;
    //! The cell of the role as the file holds it, blanks and all.
    std::string_view RawCell(TCsvColumnRole role) const { return RawAt(ColumnOf(role)); }
    bool Has(TCsvColumnRole role) const { return FColumn[role] >= 0; }
    //! Whether the role's cell of the record was quoted.
    bool Quoted(TCsvColumnRole role) const;

    std::size_t Position() const { return FReader.Position(); }
    std::size_t Size() const { return FReader.Size(); }

private:
    //! The column of the role when the record reaches it; -1 otherwise.
    int ColumnOf(TCsvColumnRole role) const;

    static constexpr std::size_t RoleCount = 10;
    std::array<int, RoleCount> FColumn; //!< the column of each role, -1 for none
    TCsvRecordReader FReader;
    std::vector<std::string> FCells;
    std::size_t FCount = 0;
};

} // namespace kestrum::exchange
