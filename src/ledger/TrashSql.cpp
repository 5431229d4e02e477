#include "ledger/TrashSql.h"

namespace kestrum::trash_sql {

const TTableColumns Tables[2] = {{"gain", "本次进帐", "进帐时间", "进帐人", "备注"},
                                 {"expen", "消费金额", "消费日期", "消费者", "备注"}};

const TTableColumns &ColumnsOf(TTrashSource source)
{
    return Tables[source == TTrashSource::Gain ? 0 : 1];
}

std::string Quote(const char *column)
{
    return std::string("\"") + column + "\"";
}

bool SourceOf(const std::string &name, TTrashSource &source)
{
    if (name == "gain")
        source = TTrashSource::Gain;
    else if (name == "expen")
        source = TTrashSource::Expen;
    else
        return false;
    return true;
}

void Exec(TDbDriver &db, const std::string &sql, const char *context)
{
    try {
        db.Exec(sql);
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(context + std::string("：") + journal_sql::Reason(e));
    }
}

} // namespace kestrum::trash_sql
