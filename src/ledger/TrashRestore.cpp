#include "ledger/Trash.h"
#include "ledger/TrashSql.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

namespace kestrum {

using namespace trash_sql;
using journal_sql::TWriteTransaction;

namespace {

//! One value of a trash entry, kept while its trash row goes. A server's
//! exact decimal keeps its digits, to go back unrounded.
struct TValue {
    TDbValueType Type = TDbValueType::Null;
    std::int64_t Integer = 0;
    double Real = 0;
    std::string Bytes;

    static TValue Of(const TDbStatement &s, int column, bool server)
    {
        TValue value;
        value.Type = s.ColumnType(column);
        switch (value.Type) {
        case TDbValueType::Integer:
            value.Integer = s.ColumnInt64(column);
            break;
        case TDbValueType::Real:
            value.Real = s.ColumnDouble(column);
            if (server)
                value.Bytes = s.ColumnText(column);
            break;
        case TDbValueType::Blob:
            value.Bytes = s.ColumnBlob(column);
            break;
        case TDbValueType::Text:
        case TDbValueType::DateTime:
            value.Bytes = s.ColumnText(column);
            break;
        case TDbValueType::Null:
            break;
        }
        return value;
    }

    void Bind(TDbStatement &s, int parameter) const
    {
        switch (Type) {
        case TDbValueType::Null:
            s.BindNull(parameter);
            break;
        case TDbValueType::Integer:
            s.BindInt64(parameter, Integer);
            break;
        case TDbValueType::Real:
            if (Bytes.empty())
                s.BindDouble(parameter, Real);
            else
                s.BindText(parameter, Bytes);
            break;
        case TDbValueType::Blob:
            s.BindBlob(parameter, Bytes);
            break;
        case TDbValueType::Text:
        case TDbValueType::DateTime:
            s.BindText(parameter, Bytes);
            break;
        }
    }
};

//! Adds one value to an entry's key: equal for values the table holds
//! alike, a number being a number whichever way it is stored.
void AddToKey(std::string &key, TDbValueType type, double number, const std::string &bytes)
{
    switch (type) {
    case TDbValueType::Null:
        key += "z";
        break;
    case TDbValueType::Integer:
    case TDbValueType::Real:
        key += "n";
        key.append(reinterpret_cast<const char *>(&number), sizeof number);
        break;
    default:
        key += type == TDbValueType::Blob ? "b" : "t";
        key += std::to_string(bytes.size()) + ":";
        key += bytes;
        break;
    }
}

//! The four values of an entry as one string.
std::string EntryKey(const TValue values[4])
{
    std::string key;
    for (int i = 0; i < 4; ++i) {
        const TValue &v = values[i];
        AddToKey(key, v.Type, v.Type == TDbValueType::Integer ? double(v.Integer) : v.Real, v.Bytes);
    }
    return key;
}

//! The same key of the four columns from `first` on of a statement's row.
std::string EntryKey(const TDbStatement &s, int first)
{
    std::string key;
    for (int i = first; i < first + 4; ++i) {
        const TDbValueType type = s.ColumnType(i);
        const bool number = type == TDbValueType::Integer || type == TDbValueType::Real;
        const bool none = type == TDbValueType::Null;
        AddToKey(key, type, number ? s.ColumnDouble(i) : 0,
                 number || none               ? std::string()
                 : type == TDbValueType::Blob ? s.ColumnBlob(i)
                                              : s.ColumnText(i));
    }
    return key;
}

//! The statements of one restore, prepared once for all its entries.
class TRestorer {
public:
    explicit TRestorer(TDbDriver &db)
        : FDb(db), FServer(journal_sql::OnServer(db)),
          FRead(
              db,
              "SELECT source, original_id, amount, entry_date, item, remark FROM kestrum_trash WHERE id = ?1",
              Context),
          FForget(db, "DELETE FROM kestrum_trash WHERE id = ?1", Context)
    {
        // A file's entries are keyed by rowid, whatever an older file called
        // the key; a server's by id. "IS" is SQLite's equality with nulls alike.
        const std::string rowId = RowId();
        const char *is = journal_sql::SameSql(db);
        for (const TTableColumns &t : Tables) {
            const std::string columns =
                Quote(t.Amount) + ", " + Quote(t.Date) + ", " + Quote(t.Item) + ", " + Quote(t.Remark);
            auto &table = FTables[&t == &Tables[0] ? 0 : 1];
            table.Same = std::make_unique<TStatement>(
                db,
                std::string("SELECT ") + Quote(t.Amount) + is + "?1 AND " + Quote(t.Date) + is + "?2 AND " +
                    Quote(t.Item) + is + "?3 AND " + Quote(t.Remark) + is + "?4 FROM " + t.Table + " WHERE " +
                    rowId + " = ?5",
                Context);
            table.InsertWithId =
                std::make_unique<TStatement>(db,
                                             std::string("INSERT INTO ") + t.Table + " (" + rowId + ", " +
                                                 columns + ") VALUES (?5, ?1, ?2, ?3, ?4)",
                                             Context);
            table.InsertNew = std::make_unique<TStatement>(
                db, std::string("INSERT INTO ") + t.Table + " (" + columns + ") VALUES (?1, ?2, ?3, ?4)",
                Context);
        }
        // Only the journal tells a row written after the entry was deleted
        // (the entry back under another id) from an equal entry that was
        // there all along, such as the second of two equal lunches. Both
        // reads walk the journal from its newest end or from the deletion on.
        if (journal_sql::TableExists(db, "kestrum_journal")) {
            FDeletedAt = std::make_unique<TStatement>(db,
                                                      "SELECT id FROM kestrum_journal WHERE tbl = ?1 AND "
                                                      "row_id = ?2 AND kind = 'D' ORDER BY id DESC LIMIT 1",
                                                      Context);
            FWrittenSince = std::make_unique<TStatement>(db,
                                                         "SELECT 1 FROM kestrum_journal WHERE id > ?3 AND "
                                                         "tbl = ?1 AND row_id = ?2 AND kind IN ('I', 'U') "
                                                         "LIMIT 1",
                                                         Context);
        }
    }

    //! Notes the rows of both tables that hold the same values as an entry
    //! of the trash, so that an entry already back under another id (entered
    //! or imported again) is not inserted a second time. One pass over each
    //! table, narrowed to the dates the trash holds.
    void NoteEntriesBack(const std::vector<std::int64_t> &trashIds)
    {
        std::unordered_map<std::string, std::vector<std::int64_t>> wanted[2];
        for (const std::int64_t id : trashIds) {
            FRead.Bind(1, id);
            TTrashSource source = TTrashSource::Gain;
            if (FRead.Step() && SourceOf(FRead.Text(0), source))
                wanted[source == TTrashSource::Gain ? 0 : 1].emplace(EntryKey(FRead.Get(), 2),
                                                                     std::vector<std::int64_t>());
            FRead.Reset();
        }
        for (const TTableColumns &t : Tables) {
            const int index = &t == &Tables[0] ? 0 : 1;
            auto &table = FTables[index];
            if (wanted[index].empty())
                continue;
            TStatement rows(FDb,
                            std::string("SELECT ") + Quote(t.Amount) + ", " + Quote(t.Date) + ", " +
                                Quote(t.Item) + ", " + Quote(t.Remark) + ", " + RowId() + " FROM " + t.Table +
                                " WHERE " + Quote(t.Date) + " IS NULL OR " + Quote(t.Date) +
                                " IN (SELECT entry_date FROM kestrum_trash WHERE source = '" + t.Table +
                                "') ORDER BY " + RowId(),
                            Context);
            while (rows.Step()) {
                const auto found = wanted[index].find(EntryKey(rows.Get(), 0));
                if (found != wanted[index].end())
                    found->second.push_back(rows.Int(4));
            }
            for (auto &[key, ids] : wanted[index])
                if (!ids.empty())
                    table.Back.emplace(key, std::move(ids));
        }
    }

    TTrashRestoreOutcome Restore(std::int64_t trashId)
    {
        TTrashRestoreOutcome outcome;
        outcome.TrashId = trashId;
        FRead.Bind(1, trashId);
        if (!FRead.Step()) {
            FRead.Reset();
            outcome.Kind = TTrashRestoreKind::NotInTrash;
            return outcome;
        }
        if (!SourceOf(FRead.Text(0), outcome.Source)) {
            FRead.Reset();
            throw EDatabaseError(std::string(Context) + "：回收站中有一条纪录不属于进帐或消费表。");
        }
        outcome.OriginalId = FRead.Int(1);
        // Copies, so that the trash row can go while they are still needed.
        TValue values[4];
        for (int i = 0; i < 4; ++i)
            values[i] = TValue::Of(FRead.Get(), i + 2, FServer);
        FRead.Reset();
        auto &table = FTables[outcome.Source == TTrashSource::Gain ? 0 : 1];
        auto bindValues = [&](TStatement &statement) {
            for (int i = 0; i < 4; ++i)
                values[i].Bind(statement.Get(), i + 1);
        };

        bindValues(*table.Same);
        table.Same->Bind(5, outcome.OriginalId);
        const bool idTaken = table.Same->Step();
        const bool same = idTaken && table.Same->Int(0) != 0;
        table.Same->Reset();

        // Each row found with the entry's values stands for one entry back.
        std::int64_t backAs = 0;
        const auto back = table.Back.find(EntryKey(values));
        if (back != table.Back.end()) {
            std::vector<std::int64_t> &ids = back->second;
            const auto atOldId = std::find(ids.begin(), ids.end(), outcome.OriginalId);
            if (same) {
                if (atOldId != ids.end())
                    ids.erase(atOldId);
            } else {
                const auto written = std::find_if(ids.begin(), ids.end(), [&](std::int64_t id) {
                    return WrittenSinceDeleted(outcome.Source, outcome.OriginalId, id);
                });
                if (written != ids.end()) {
                    backAs = *written;
                    ids.erase(written);
                }
            }
        }

        // The trash copy goes first, so that the insert trigger finds
        // nothing of this entry left to take.
        FForget.Bind(1, trashId);
        FForget.Run();
        if (same) {
            outcome.Kind = TTrashRestoreKind::AlreadyBack;
            outcome.RestoredId = outcome.OriginalId;
        } else if (backAs != 0) {
            outcome.Kind = TTrashRestoreKind::AlreadyBack;
            outcome.RestoredId = backAs;
        } else if (!idTaken) {
            bindValues(*table.InsertWithId);
            table.InsertWithId->Bind(5, outcome.OriginalId);
            table.InsertWithId->Run();
            outcome.Kind = TTrashRestoreKind::OriginalId;
            outcome.RestoredId = outcome.OriginalId;
        } else {
            outcome.Kind = TTrashRestoreKind::NewId;
            outcome.RestoredId = InsertNew(table, bindValues);
        }
        return outcome;
    }

    static constexpr const char *Context = "无法从回收站还原";

private:
    struct TTableStatements {
        std::unique_ptr<TStatement> Same, InsertWithId, InsertNew, ReturningNew;
        //! Rows holding the values of a trash entry, by EntryKey, lowest id
        //! first; each is taken by the first entry it stands for.
        std::unordered_map<std::string, std::vector<std::int64_t>> Back;
    };

    std::string RowId() const { return journal_sql::RowIdSql(FDb); }

    //! Inserts under a new key and answers it: a file names the last row it
    //! added, a server returns it from the insert.
    template <class TBind> std::int64_t InsertNew(TTableStatements &table, TBind &&bindValues)
    {
        if (!FServer) {
            bindValues(*table.InsertNew);
            table.InsertNew->Run();
            return FDb.LastInsertId();
        }
        if (!table.ReturningNew) {
            const bool gain = &table == &FTables[0];
            const TTableColumns &t = Tables[gain ? 0 : 1];
            const std::string columns =
                Quote(t.Amount) + ", " + Quote(t.Date) + ", " + Quote(t.Item) + ", " + Quote(t.Remark);
            table.ReturningNew =
                std::make_unique<TStatement>(FDb,
                                             std::string("INSERT INTO ") + t.Table + " (" + columns +
                                                 ") VALUES (?1, ?2, ?3, ?4) RETURNING id",
                                             Context);
        }
        bindValues(*table.ReturningNew);
        const std::int64_t id = table.ReturningNew->Step() ? table.ReturningNew->Int(0) : 0;
        table.ReturningNew->Reset();
        return id;
    }

    //! Whether row `rowId` was inserted or changed after the journal saw
    //! entry `originalId` deleted; false without a journal to tell.
    bool WrittenSinceDeleted(TTrashSource source, std::int64_t originalId, std::int64_t rowId)
    {
        if (!FDeletedAt)
            return false;
        const char *table = source == TTrashSource::Gain ? Tables[0].Table : Tables[1].Table;
        FDeletedAt->Bind(1, table);
        FDeletedAt->Bind(2, originalId);
        const bool deleted = FDeletedAt->Step();
        const std::int64_t deletedAt = deleted ? FDeletedAt->Int(0) : 0;
        FDeletedAt->Reset();
        if (!deleted)
            return false;
        FWrittenSince->Bind(1, table);
        FWrittenSince->Bind(2, rowId);
        FWrittenSince->Bind(3, deletedAt);
        const bool written = FWrittenSince->Step();
        FWrittenSince->Reset();
        return written;
    }

    TDbDriver &FDb;
    bool FServer;
    TStatement FRead, FForget;
    std::unique_ptr<TStatement> FDeletedAt, FWrittenSince; // null without a journal
    TTableStatements FTables[2];
};

TTrashRestoreResult Restore(TDbDriver &db, const std::vector<std::int64_t> *trashIds,
                            const TTrashRestoreHook &hook)
{
    TTrashRestoreResult result;
    if (!HasTrash(db)) {
        // Nothing was ever put in a trash the file does not have.
        if (trashIds)
            for (const std::int64_t id : *trashIds)
                result.Outcomes.push_back({id, TTrashRestoreKind::NotInTrash, TTrashSource::Gain, 0, 0});
        return result;
    }
    TWriteTransaction transaction(db, TRestorer::Context);
    std::vector<std::int64_t> ids;
    if (trashIds) {
        ids = *trashIds;
    } else {
        TStatement all(db, "SELECT id FROM kestrum_trash", TRestorer::Context);
        while (all.Step())
            ids.push_back(all.Int(0));
    }
    // Oldest deletion first: of two entries that were deleted under the same
    // id, the earlier one gets it back.
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (hook.Begin)
        hook.Begin(db);
    TRestorer restorer(db);
    restorer.NoteEntriesBack(ids);
    result.Outcomes.reserve(ids.size());
    for (const std::int64_t id : ids)
        result.Outcomes.push_back(restorer.Restore(id));
    if (hook.End)
        hook.End(db, result);
    transaction.Commit();
    return result;
}

} // namespace

int TTrashRestoreResult::Count(TTrashRestoreKind kind) const
{
    return int(std::count_if(Outcomes.begin(), Outcomes.end(),
                             [kind](const TTrashRestoreOutcome &o) { return o.Kind == kind; }));
}

bool TTrashRestoreResult::Touched(TTrashSource source) const
{
    return std::any_of(Outcomes.begin(), Outcomes.end(), [source](const TTrashRestoreOutcome &o) {
        return o.Source == source &&
               (o.Kind == TTrashRestoreKind::OriginalId || o.Kind == TTrashRestoreKind::NewId);
    });
}

TTrashRestoreResult RestoreFromTrash(TDbDriver &db, const std::vector<std::int64_t> &trashIds,
                                     const TTrashRestoreHook &hook)
{
    return Restore(db, &trashIds, hook);
}

TTrashRestoreResult RestoreAllFromTrash(TDbDriver &db, const TTrashRestoreHook &hook)
{
    return Restore(db, nullptr, hook);
}

} // namespace kestrum
