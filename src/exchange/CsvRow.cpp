#include "exchange/CsvRow.h"

#include "exchange/ExchangeText.h"

namespace kestrum::exchange {

TCsvRow::TCsvRow(std::string_view text, char separator) : FReader(text, separator)
{
    FColumn.fill(-1);
}

void TCsvRow::Map(const QList<TCsvColumnRole> &mapping)
{
    FColumn.fill(-1);
    for (qsizetype c = 0; c < mapping.size(); ++c)
        if (mapping[c] != crIgnore)
            FColumn[mapping[c]] = int(c);
}

void TCsvRow::SkipToEnd()
{
    int line = 0;
    while (Next(line)) {
    }
}

bool TCsvRow::IsBlank() const
{
    for (std::size_t i = 0; i < FCount; ++i)
        if (!Trimmed(FCells[i]).empty())
            return false;
    return true;
}

std::string_view TCsvRow::At(int column) const
{
    if (column < 0 || std::size_t(column) >= FCount)
        return {};
    return Trimmed(FCells[std::size_t(column)]);
}

int TCsvRow::ColumnOf(TCsvColumnRole role) const
{
    const int column = FColumn[role];
    return column >= 0 && std::size_t(column) < FCount ? column : -1;
}

std::string_view TCsvRow::Cell(TCsvColumnRole role) const
{
    const int column = ColumnOf(role);
    if (column < 0)
        return {};
    const std::string &cell = FCells[std::size_t(column)];
    return FReader.Quoted(std::size_t(column)) ? std::string_view(cell) : Trimmed(cell);
}

std::string_view TCsvRow::RawAt(int column) const
{
    if (column < 0 || std::size_t(column) >= FCount)
        return {};
    return FCells[std::size_t(column)];
}

bool TCsvRow::Quoted(TCsvColumnRole role) const
{
    const int column = ColumnOf(role);
    return column >= 0 && FReader.Quoted(std::size_t(column));
}

} // namespace kestrum::exchange
