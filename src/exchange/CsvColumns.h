#pragma once
// What a CSV column holds, from its header's name or from its cells.
#include "exchange/CsvReader.h"

#include <string>
#include <vector>

namespace kestrum::exchange {

//! Roles for a header row: each role goes to the first column that names it;
//! a category column becomes the item only when no column names one.
QList<TCsvColumnRole> MapHeaders(const QStringList &headers);
//! Roles guessed from data records alone (a file without a header row): a
//! column whose cells all read as dates, one whose cells all read as amounts,
//! type words, then text for the item and the remark. Empty when no date or
//! no amount column shows.
QList<TCsvColumnRole> GuessRolesFromData(const QList<QStringList> &rows);
//! The column that names the account of each record (a file of several
//! accounts, as finance programs export one); -1 when none does.
int AccountColumnOf(const QStringList &headers);
//! Why a mapping cannot be read with (no date, no amount, a role twice);
//! empty when it can.
QStringList MappingProblems(const QList<TCsvColumnRole> &mapping, const QStringList &headers);

} // namespace kestrum::exchange
