#pragma once
// What every part of the exchange module that reads or writes the ledger
// directly shares: the two entry tables and their columns, and the failure
// that names what the database said, whichever engine holds the ledger.
#include "core/Errors.h"
#include "db/DbDriver.h"
#include "exchange/ForeignEntry.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

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

//! Whether the ledger lives on a server rather than in a file.
inline bool LedgerOnServer(const TDbDriver &db)
{
    return std::string_view(db.Name()) != "sqlite";
}

//! Raises what went wrong with the ledger: `what` and then the database's
//! words for `error` (for a file, in the words the exchange messages use).
//! The kind of a driver's failure is kept, so that a lost link stays one.
[[noreturn]] void FailOnLedger(TDbDriver &db, const std::string &what, const std::exception &error);

//! Runs `work`, turning a failure of the database into FailOnLedger's.
template <typename F> decltype(auto) OnLedger(TDbDriver &db, const std::string &what, F &&work)
{
    try {
        return work();
    } catch (const EDbDriverError &error) {
        FailOnLedger(db, what, error);
    }
}

//! A cell as text: in place for text and dates, in `buffer` for a number
//! (another program may have put one in a text column); empty for none.
std::string_view CellText(const TDbStatement &statement, int column, std::string &buffer);

//! A prepared statement, or the failure named by `what`.
std::unique_ptr<TDbStatement> PrepareOnLedger(TDbDriver &db, const std::string &sql, const char *what);

//! The driver for a ledger file or a server address, opened to write or
//! only to read; a file must exist. Raises Exception naming the ledger (a
//! server by its host and database, never its password) when it cannot.
std::unique_ptr<TDbDriver> OpenLedgerTarget(const QString &target, bool write);

} // namespace kestrum::exchange
