// What a connection hears of other connections' writes, on a ledger file
// and on a server: their commits and never its own; a commit that came in
// while the connection ran a statement of its own is still heard at the next
// look; a file says only that something changed, a server which row.
#include "LedgerEngines.h"

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

class ChangeNotices : public LedgerOnEngine {
protected:
    std::int64_t Key(TDbDriver &db, const std::string &item)
    {
        return std::stoll(Rows(db, "SELECT id FROM gain WHERE 进帐人 = '" + item + "'"));
    }
    //! What the engine says of a change of the row of `item`.
    std::vector<TDbChange> Expected(const std::string &item)
    {
        if (OnServer())
            return {{"gain", Key(Db(), item)}};
        return {TDbChange{}};
    }
};

TEST_P(ChangeNotices, OthersCommitsAreHeardOwnWritesAreNot)
{
    std::unique_ptr<TDbDriver> other = Connect();
    Db().WatchChanges();
    EXPECT_TRUE(Db().TakeChanges(0).empty());

    Exec("INSERT INTO gain (本次进帐, 进帐人) VALUES (1, '自己')");
    EXPECT_TRUE(Db().TakeChanges(OnServer() ? 200 : 0).empty());

    Exec(*other, "INSERT INTO gain (本次进帐, 进帐人) VALUES (2, '别人')");
    EXPECT_EQ(Db().TakeChanges(2000), Expected("别人"));
    EXPECT_TRUE(Db().TakeChanges(0).empty());

    // Not committed yet: nothing to hear.
    BeginWrite(*other);
    Exec(*other, "UPDATE gain SET 本次进帐 = 3 WHERE 进帐人 = '别人'");
    EXPECT_TRUE(Db().TakeChanges(OnServer() ? 200 : 0).empty());
    other->Commit();
    EXPECT_EQ(Db().TakeChanges(2000), Expected("别人"));
}

TEST_P(ChangeNotices, ACommitHeardWhileRunningAStatementIsHeardAtTheNextLook)
{
    std::unique_ptr<TDbDriver> other = Connect();
    Db().WatchChanges();
    Exec(*other, "INSERT INTO gain (本次进帐, 进帐人) VALUES (2, '别人')");
    // The program's own statement meets the notice first (a server sends it
    // on the same link) and reads it off with its result.
    if (OnServer())
        Exec("SELECT pg_sleep(0.2)");
    EXPECT_EQ(Rows("SELECT count(*) FROM gain"), "1");
    EXPECT_EQ(Db().TakeChanges(0), Expected("别人"));
}

KESTRUM_ON_BOTH_ENGINES(ChangeNotices);

} // namespace
} // namespace kestrum::test
