#include "app/RowFollowing.h"

#include "data/DbDataProvider.h"
#include "db/DbQuery.h"
#include "ledger/Journal.h"

#include <algorithm>

namespace kestrum {

namespace {

//! The page showing the query; nullptr when none does.
TkvDBDataProvider *ProviderOf(const TDbQuery &query)
{
    for (TkvDBDataProvider *provider : TkvDBDataProvider::Providers())
        if (provider->DataSet() == &query)
            return provider;
    return nullptr;
}

std::string KeyOf(TDbDriver &db, const QString &table)
{
    TJournalTable info;
    return JournalTableOf(db, table, info) ? info.Key : std::string();
}

std::string Quoted(const std::string &name)
{
    return '"' + name + '"';
}

} // namespace

bool FollowWrittenRows(TDbQuery &query, const std::vector<std::int64_t> &keys)
{
    if (!query.Active() || keys.empty())
        return true; // its rows are read when it opens
    TkvDBDataProvider *page = ProviderOf(query);
    const std::size_t most =
        std::max(FollowFewRows, std::size_t(std::max(query.RecordCount(), 0)) / RowsReadPerRowFollowed);
    bool alone = keys.size() <= most;
    for (std::size_t i = 0; i < keys.size() && alone; ++i) {
        if (!page)
            alone = query.RefreshRow(keys[i]);
        else if (!page->CanFollowOtherWriter())
            alone = false; // settled before the write, yet busy: read as a whole
        else if (!page->FollowOtherWriter(keys[i]))
            return false; // it read every row again itself
    }
    if (!alone)
        query.Refresh();
    return alone;
}

bool FollowWrittenRows(TDbQuery &query, const std::optional<std::vector<TDbChange>> &written)
{
    if (!written) {
        if (query.Active())
            query.Refresh();
        return false;
    }
    std::vector<std::int64_t> keys;
    for (const TDbChange &change : *written)
        if (query.TableName().compare(QString::fromStdString(change.Table), Qt::CaseInsensitive) == 0)
            keys.push_back(change.RowId);
    return FollowWrittenRows(query, keys);
}

std::optional<std::int64_t> LastKeyOf(TDbDriver &db, const QString &table)
{
    const std::string key = KeyOf(db, table);
    if (key.empty())
        return std::nullopt;
    auto last = db.Prepare("SELECT max(" + Quoted(key) + ") FROM " + Quoted(table.toStdString()));
    return last->Step() && !last->ColumnIsNull(0) ? last->ColumnInt64(0) : 0;
}

std::optional<std::vector<std::int64_t>> KeysAfter(TDbDriver &db, const QString &table, std::int64_t afterKey,
                                                   std::size_t most)
{
    const std::string key = KeyOf(db, table);
    if (key.empty())
        return std::nullopt;
    auto rows = db.Prepare("SELECT " + Quoted(key) + " FROM " + Quoted(table.toStdString()) + " WHERE " +
                           Quoted(key) + " > ?1 ORDER BY " + Quoted(key) + " LIMIT ?2");
    rows->BindInt64(1, afterKey);
    rows->BindInt64(2, std::int64_t(most) + 1);
    std::vector<std::int64_t> keys;
    while (rows->Step())
        keys.push_back(rows->ColumnInt64(0));
    if (keys.size() > most)
        return std::nullopt;
    return keys;
}

} // namespace kestrum
