#include "db/RowCells.h"

#include "db/DbConnection.h"
#include "db/DbRowReader.h"
#include "db/KeyMatch.h"
#include "db/QueryStatement.h"
#include "db/RowOrder.h"
#include "db/RowStore.h"
#include "db/RowWriter.h"

#include <cmath>

namespace kestrum {

TDbRowCells::TCells TDbRowCells::Of(const TDbConnection *connection, int slot) const
{
    const TDbRowStore &store = FRows.Store();
    if (!store.KeysOnly() || !connection)
        return {&store, slot};
    const TDbRowStore *row = FReadBack.Row(*connection, slot, store.Integer(slot, store.KeyColumn()));
    // A row the table no longer has shows its key alone.
    return row ? TCells{row, 0} : TCells{&store, slot};
}

TDbRowCells::TCells TDbRowCells::ToWrite(const TDbConnection &connection, int slot, const char *action) const
{
    const TDbRowStore &store = FRows.Store();
    if (!store.KeysOnly())
        return {&store, slot};
    const TDbRowStore *row = FReadBack.FreshRow(connection, slot, store.Integer(slot, store.KeyColumn()));
    if (!row || row->HashOf(0) != store.RowHash(slot))
        TDbRowWriter::RaiseConflict(action);
    return {row, 0};
}

void TDbRowCells::ReadVisibleRows(
    TDbConnection *connection, const TDbQueryStatement &statement, const QString &context,
    const std::function<void(int position, const TDbRowReader &row)> &onRow) const
{
    if (!FRows.Loaded())
        return;
    const TDbRowStore &store = FRows.Store();
    const int visible = FRows.VisibleCount();
    if (!store.KeysOnly()) {
        for (int position = 0; position < visible; ++position)
            onRow(position, TDbRowReader(store, FRows.SlotAt(position)));
        return;
    }
    const int keyField = store.KeyColumn();
    std::vector<bool> read(std::size_t(visible), false);
    statement.Scan(connection, context, [&](const TDbRowReader &row) {
        if (row.Kind(keyField) != TDbCellKind::Integer)
            return;
        const int position = FRows.PositionOfSlot(FRows.SlotOfKey(row.Integer(keyField)));
        if (position < 0 || read[std::size_t(position)])
            return;
        read[std::size_t(position)] = true;
        onRow(position, row);
    });
    for (int position = 0; position < visible; ++position) {
        if (read[std::size_t(position)])
            continue;
        const TCells cells = Of(connection, FRows.SlotAt(position));
        onRow(position, TDbRowReader(*cells.store, cells.slot));
    }
}

int TDbRowCells::FindPosition(TDbConnection *connection, const TDbQueryStatement &statement,
                              const QString &context, const TDbKeyMatch &match,
                              std::optional<double> wantedKey) const
{
    const TDbRowStore &store = FRows.Store();
    const int visible = FRows.VisibleCount();
    if (!store.KeysOnly()) {
        for (int position = 0; position < visible; ++position)
            if (match.Matches(store, FRows.SlotAt(position)))
                return position;
        return -1;
    }
    // Rows kept by key: a whole number looked for in the key alone is found
    // through the key index; anything else reads the rows back one by one.
    if (wantedKey) {
        const double key = *wantedKey;
        if (key != std::trunc(key) || std::fabs(key) >= 9.0e18)
            return -1;
        const int slot = FRows.SlotOfKey(std::int64_t(key));
        const int position = FRows.PositionOfSlot(slot);
        if (position < 0)
            return -1;
        const TCells cells = Of(connection, slot);
        return match.Matches(*cells.store, cells.slot) ? position : -1;
    }
    if (connection && connection->IsServer())
        return FindPositionInOneRun(connection, statement, context, match);
    for (int position = 0; position < visible; ++position) {
        const TCells cells = Of(connection, FRows.SlotAt(position));
        if (match.Matches(*cells.store, cells.slot))
            return position;
    }
    return -1;
}

int TDbRowCells::FindPositionInOneRun(TDbConnection *connection, const TDbQueryStatement &statement,
                                      const QString &context, const TDbKeyMatch &match) const
{
    const TDbRowStore &store = FRows.Store();
    const int keyField = store.KeyColumn();
    std::vector<bool> read(std::size_t(FRows.VisibleCount()), false);
    int first = -1;
    statement.Scan(connection, context, [&](const TDbRowReader &row) {
        if (row.Kind(keyField) != TDbCellKind::Integer)
            return;
        const int position = FRows.PositionOfSlot(FRows.SlotOfKey(row.Integer(keyField)));
        if (position < 0 || read[std::size_t(position)])
            return;
        read[std::size_t(position)] = true;
        if (first >= 0 && position > first)
            return;
        TDbRowStore cells(store.ColumnCount());
        cells.AddFromRow(row);
        if (match.Matches(cells, 0))
            first = position;
    });
    // Rows the statement no longer selects are read by their key.
    const int end = first >= 0 ? first : FRows.VisibleCount();
    for (int position = 0; position < end; ++position) {
        if (read[std::size_t(position)])
            continue;
        const TCells cells = Of(connection, FRows.SlotAt(position));
        if (match.Matches(*cells.store, cells.slot))
            return position;
    }
    return first;
}

} // namespace kestrum
