#pragma once
// What the trash's schema, listing and restoring share: the ledger's two
// tables with their columns, and statements whose failures say what was
// being done.
#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "ledger/JournalSql.h"
#include "ledger/Trash.h"

#include <memory>
#include <string>

namespace kestrum::trash_sql {

struct TTableColumns {
    const char *Table, *Amount, *Date, *Item, *Remark;
};

//! Income first, then expense.
extern const TTableColumns Tables[2];

const TTableColumns &ColumnsOf(TTrashSource source);

//! The table a trash row's source names; false for any other text.
bool SourceOf(const std::string &name, TTrashSource &source);

//! A column name in double quotes.
std::string Quote(const char *column);

//! A statement whose failures name what was being done.
class TStatement {
public:
    TStatement(TDbDriver &db, const std::string &sql, const char *context) : FContext(context)
    {
        Guard([&] { FStatement = db.Prepare(sql); });
    }

    TDbStatement &Get() const { return *FStatement; }
    void Bind(int index, std::int64_t value) { FStatement->BindInt64(index, value); }
    void Bind(int index, const char *text) { FStatement->BindText(index, text); }
    //! True while there is a row.
    bool Step()
    {
        bool row = false;
        Guard([&] { row = FStatement->Step(); });
        return row;
    }
    void Run()
    {
        Step();
        Reset();
    }
    void Reset() { FStatement->Reset(); }
    std::int64_t Int(int column) const { return FStatement->ColumnInt64(column); }
    std::string Text(int column) const { return FStatement->ColumnText(column); }

private:
    template <class TWork> void Guard(TWork &&work)
    {
        try {
            work();
        } catch (const EDatabaseError &e) {
            throw EDatabaseError(FContext + std::string("：") + journal_sql::Reason(e));
        }
    }

    const char *FContext;
    std::unique_ptr<TDbStatement> FStatement;
};

//! Runs statements without parameters; a failure names `context`.
void Exec(TDbDriver &db, const std::string &sql, const char *context);

} // namespace kestrum::trash_sql
