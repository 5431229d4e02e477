// Following one row that another connection wrote, without running the
// statement again: the record set's part of showing other people's changes.
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "db/RowReadBack.h"
#include "db/RowStore.h"

namespace kestrum {

bool TDbQuery::RefreshRow(std::int64_t key)
{
    const int keyField = FWriter.KeyField();
    if (FState != dsBrowse || !FConnection || !FConnection->Connected() || !FWriter.Writable() ||
        keyField < 0)
        return false;
    // The row is read from the table column by column as the result has
    // them; a computed column could only be had from the statement.
    for (const QString &origin : FWriter.Origins())
        if (origin.isEmpty())
            return false;
    TDbRowReadBack reader;
    reader.Use(FWriter.Table(), FWriter.Origins(), keyField);
    const TDbRowStore *fresh = reader.FreshRow(*FConnection, -1, key);
    const int slot = FRows.SlotOfKey(key);
    const bool selected =
        fresh && FStatement.SelectsRow(*FConnection, FFields.At(keyField)->FieldName(), *fresh, 0, keyField);
    if (slot < 0 && !selected)
        return true; // none of ours: another month, or gone already
    if (slot >= 0 && fresh && !selected)
        return false; // it may have left the statement's rows, or the statement cannot tell
    const TDbRowStore &store = FRows.Store();
    if (slot >= 0 && fresh &&
        (store.KeysOnly() ? store.RowHash(slot) : store.HashOf(slot)) == fresh->HashOf(0))
        return true; // as it is held: a write of our own, or one that changed nothing

    const int currentSlot = FCursor.Position() >= 0 ? SlotAt(FCursor.Position()) : -1;
    const int oldCurrent = FCursor.Position();
    const int before = slot >= 0 ? FRows.PositionOfSlot(slot) : -1;
    // A new row stands where reading the rows again would put it: by its
    // key (an entry put back by an undo has an old one) while the rows are
    // in key order; when its place cannot be known, the caller reads again.
    int added = -1;
    if (fresh && slot < 0) {
        added = FRows.AddRowByKey(*fresh);
        if (added < 0)
            return false;
    }
    int changed = slot;
    if (!fresh) {
        if (before >= 0) {
            FRows.RemoveAt(before);
        } else {
            // Hidden by the filter: it leaves the live rows without being shown.
            FRows.ShowAll();
            FRows.RemoveAt(FRows.PositionOfSlot(slot));
            ApplyFilter();
        }
        changed = -1;
    } else if (slot >= 0) {
        FRows.ReplaceRow(slot, *fresh);
    } else {
        changed = added;
    }
    if (FRows.Store().KeysOnly() && changed >= 0)
        FCells.Keep(changed, *fresh);
    else
        FCells.Forget();
    if (fresh && FFilter.Narrows())
        ApplyFilter();
    const int after = changed >= 0 ? FRows.PositionOfSlot(changed) : -1;

    int current = currentSlot >= 0 && currentSlot != slot ? FRows.PositionOfSlot(currentSlot) : -1;
    if (currentSlot >= 0 && current < 0)
        current = after >= 0 ? after : std::min(oldCurrent, VisibleCount() - 1);
    if (current < 0 && VisibleCount() > 0)
        current = 0;
    FCursor = TDbCursor::Settled(current, VisibleCount());

    if (before >= 0 && after >= 0)
        NotifyRowChange(TDbRowChange::rcUpdated, after);
    else if (before >= 0)
        NotifyRowChange(TDbRowChange::rcDeleted, before);
    else if (after >= 0)
        NotifyRowChange(TDbRowChange::rcInserted, after);
    return true;
}

} // namespace kestrum
