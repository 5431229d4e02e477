// A server's result is read as it comes rather than held whole on the
// client: what that may not change for the statements around it.
#include "db/PgDriver.h"
#include "server/PgTest.h"

#include <malloc.h>

#include <gtest/gtest.h>

#include <optional>

namespace kestrum::test {

namespace {

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

class PgRowStream : public PgTest {
protected:
    void SetUp() override
    {
        PgTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        Driver.emplace(Server->ConnectionString(Database));
        Driver->Exec("CREATE TABLE t (id bigint PRIMARY KEY, n bigint, s text)");
        Driver->Exec("INSERT INTO t SELECT g, g * 10, repeat('x', 200) FROM generate_series(1, 100000) g");
    }

    std::optional<TPgDriver> Driver;
};

} // namespace

// Guards against a large result being held whole on the client (a ten-million
// row ledger twice in memory) before its first row is looked at.
TEST_F(PgRowStream, ALargeResultIsNotHeldWholeWhileItsRowsAreRead)
{
    auto select = Driver->Prepare("SELECT id, n, s FROM t ORDER BY id");
    const std::size_t before = HeapInUse();
    ASSERT_TRUE(select->Step());
    // 100,000 rows of over 200 bytes: more than 20 MB when held whole.
    EXPECT_LT(HeapInUse(), before + 4 * 1024 * 1024);
    std::int64_t rows = 1, sum = select->ColumnInt64(1);
    while (select->Step()) {
        ++rows;
        sum += select->ColumnInt64(1);
        EXPECT_EQ(select->ColumnBytes(2).size(), 200u);
    }
    EXPECT_EQ(rows, 100000);
    EXPECT_EQ(sum, std::int64_t(10) * 100000 * 100001 / 2);
    EXPECT_EQ(select->ColumnCount(), 3);
    EXPECT_EQ(select->ColumnOrigin(0).Table, "t");
}

// Statements run while another's rows are still coming: each gets its own
// answer, and the rows still to come are not lost.
TEST_F(PgRowStream, OtherStatementsRunWhileRowsAreStillComing)
{
    auto select = Driver->Prepare("SELECT id FROM t WHERE id <= ?1 ORDER BY id");
    select->BindInt64(1, 1000);
    ASSERT_TRUE(select->Step());
    EXPECT_FALSE(Driver->InTransaction());
    Driver->Begin();
    EXPECT_TRUE(Driver->InTransaction());
    auto update = Driver->Prepare("UPDATE t SET n = -1 WHERE id = ?1");
    update->BindInt64(1, 500);
    update->Step();
    Driver->Commit();
    std::int64_t rows = 1;
    while (select->Step())
        EXPECT_EQ(select->ColumnInt64(0), ++rows);
    EXPECT_EQ(rows, 1000);
    auto check = Driver->Prepare("SELECT n FROM t WHERE id = 500");
    ASSERT_TRUE(check->Step());
    EXPECT_EQ(check->ColumnInt64(0), -1);
}

// A statement given up half way, or one whose rows fail half way, leaves the
// connection ready for the next one.
TEST_F(PgRowStream, AResultLeftOrFailedHalfWayLeavesTheConnectionReady)
{
    {
        auto select = Driver->Prepare("SELECT id FROM t ORDER BY id");
        ASSERT_TRUE(select->Step());
        ASSERT_TRUE(select->Step());
        select->Reset();
        ASSERT_TRUE(select->Step());
        EXPECT_EQ(select->ColumnInt64(0), 1);
    } // dropped with rows still to come
    auto failing = Driver->Prepare("SELECT 10 / (id - 3) FROM t ORDER BY id");
    EXPECT_THROW(
        {
            while (failing->Step()) {
            }
        },
        EDbDriverError);
    auto count = Driver->Prepare("SELECT count(*) FROM t");
    ASSERT_TRUE(count->Step());
    EXPECT_EQ(count->ColumnInt64(0), 100000);
    EXPECT_FALSE(count->Step());
    Driver->Exec("DELETE FROM t WHERE id > 10");
    EXPECT_FALSE(Driver->InTransaction());
}

} // namespace kestrum::test
