#pragma once
// The pages follow what the program itself wrote through a connection of
// its own or behind the record sets' backs (an undo or redo, a restore from
// the trash, due recurring entries posted): the rows written are read again
// one by one, each where reading the whole page again would put it, which
// costs as little as the write. Reading every row again stays the answer
// when the rows are not known, too many, or cannot be followed alone.
#include "db/DbDriver.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

class TDbQuery;

//! Up to this many rows of one write are followed one by one; a larger
//! write reads the pages again, which then costs less.
inline constexpr std::size_t FollowMostRows = 20000;
//! Following one row costs about as much as reading this many rows with the
//! page's statement (measured on a page of five million: 0.1 ms of CPU a row
//! followed, 3.4 s to read them all; the same ratio at half a million), so
//! a page follows at most its row count over this, and at least
//! FollowFewRows.
inline constexpr std::size_t RowsReadPerRowFollowed = 150;
inline constexpr std::size_t FollowFewRows = 64;

//! Shows the rows of the query's table with these keys as the table holds
//! them now: through the page that shows the query (its list, sorting,
//! groups and footer follow each row), else on the query alone. Reads every
//! row again (keeping the statement and the current row) as soon as one
//! cannot be followed alone, or at once when they are more than reading the
//! page again costs (see RowsReadPerRowFollowed). Returns false when it read
//! every row again.
//! Raises what the database raises.
bool FollowWrittenRows(TDbQuery &query, const std::vector<std::int64_t> &keys);

//! The same for the rows of `written` whose table is the query's (its
//! name compared without case); nothing written (std::nullopt): every row
//! is read again.
bool FollowWrittenRows(TDbQuery &query, const std::optional<std::vector<TDbChange>> &written);

//! The greatest key of a ledger table (`gain`, `expen`): rows added later
//! have greater ones. Nothing when the table's key is not known.
std::optional<std::int64_t> LastKeyOf(TDbDriver &db, const QString &table);
//! The keys of a ledger table's rows above `afterKey`, in order; nothing
//! when there are more than `most` or the key is not known.
std::optional<std::vector<std::int64_t>> KeysAfter(TDbDriver &db, const QString &table, std::int64_t afterKey,
                                                   std::size_t most);

} // namespace kestrum
