#pragma once
// What every part of the exchange module that reads or writes the ledger
// file directly shares: the two entry tables and their columns, statements
// that finalize themselves, and the failure that names what SQLite said.
#include "core/Errors.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/ForeignEntry.h"

#include <sqlite3.h>

#include <memory>
#include <string>

namespace kestrum::exchange {

struct TLedgerTable {
    const char *Name;
    const char *Amount;
    const char *Date;
    const char *Item;
};

//! Indexed by TEntryKind: income first, then expense.
inline constexpr TLedgerTable LedgerTables[2] = {
    {"gain", "本次进帐", "进帐时间", "进帐人"},
    {"expen", "消费金额", "消费日期", "消费者"},
};
static_assert(ekIncome == 0 && ekExpense == 1);

using TStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

//! Raises what went wrong with the ledger: `what` and then SQLite's words.
[[noreturn]] inline void FailOnLedger(sqlite3 *db, const std::string &what)
{
    throw Exception(what + "：" + LedgerProblem(db));
}

//! A prepared statement, or the failure named by `what`.
inline TStatement PrepareOnLedger(sqlite3 *db, const std::string &sql, const char *what)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        FailOnLedger(db, what);
    return TStatement(statement, sqlite3_finalize);
}

} // namespace kestrum::exchange
