// The loaded cells of a result: text of every length kept byte for byte
// wherever it falls among the arena's blocks, and copied between stores.
#include "RowFixture.h"

#include "db/DbRowReader.h"

#include <string>

namespace kestrum::test {
namespace {

class RowStore : public RowFixture {};

TEST_F(RowStore, TextOfEveryLengthIsKeptExactlyAcrossBlocks)
{
    // 3 000 cells of 700 bytes fill several blocks and end between them; one
    // cell of 2.5 MB is longer than a block; empty text and Null stay apart.
    const auto store = Read("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 2999) "
                            "SELECT i, CASE WHEN i = 1500 THEN printf('%.*c', 2500000, 'x') "
                            "WHEN i = 7 THEN '' WHEN i = 8 THEN NULL "
                            "ELSE printf('%04d', i) || printf('%.*c', 696, char(65 + i % 26)) END FROM n");
    ASSERT_EQ(store->SlotCount(), 3000);
    for (int slot = 0; slot < 3000; ++slot) {
        std::string expected;
        if (slot == 1500)
            expected.assign(2500000, 'x');
        else if (slot != 7 && slot != 8)
            expected =
                QString::asprintf("%04d", slot).toStdString() + std::string(696, char('A' + slot % 26));
        ASSERT_EQ(store->Bytes(slot, 1), expected) << "slot " << slot;
    }
    EXPECT_EQ(store->Kind(7, 1), TDbCellKind::Text);
    EXPECT_EQ(store->Kind(8, 1), TDbCellKind::Null);

    TDbRowStore copy(2);
    for (const int slot : {1499, 1500, 1501})
        copy.AddCopy(*store, slot);
    EXPECT_EQ(copy.Bytes(1, 1).size(), 2500000u);
    EXPECT_EQ(copy.Bytes(2, 1), store->Bytes(1501, 1));
    copy.SetCopy(1, *store, 2);
    EXPECT_EQ(copy.Bytes(1, 1), store->Bytes(2, 1));
}

TEST_F(RowStore, CellsPastTheFirstBlockOfSlotsKeepTheirKindAndValue)
{
    // 200 000 rows span several blocks of cells; every row's kind and value
    // must come back from the block it was put in, also after an overwrite.
    const auto store =
        Read("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 199999) "
             "SELECT i, CASE i % 3 WHEN 0 THEN i * 0.5 WHEN 1 THEN NULL ELSE 't' || i END FROM n");
    ASSERT_EQ(store->SlotCount(), 200000);
    for (int slot = 0; slot < 200000; slot += 997) {
        ASSERT_EQ(store->Integer(slot, 0), slot);
        switch (slot % 3) {
        case 0:
            ASSERT_EQ(store->Kind(slot, 1), TDbCellKind::Float);
            ASSERT_EQ(store->Float(slot, 1), slot * 0.5);
            break;
        case 1:
            ASSERT_EQ(store->Kind(slot, 1), TDbCellKind::Null);
            break;
        default:
            ASSERT_EQ(store->Bytes(slot, 1), "t" + std::to_string(slot));
        }
    }
    ASSERT_EQ(store->Integer(199999, 0), 199999);

    TDbRowStore copy(2);
    for (const int slot : {65535, 65536, 131072, 199997})
        copy.AddCopy(*store, slot);
    copy.SetCopy(0, *store, 131075);
    EXPECT_EQ(copy.Integer(0, 0), 131075);
    EXPECT_EQ(copy.Bytes(0, 1), "t131075");
    EXPECT_EQ(copy.Kind(1, 1), TDbCellKind::Null);
    EXPECT_EQ(copy.Bytes(3, 1), "t199997");
}

TEST_F(RowStore, ColumnsWidenWhenAValueNeedsEightBytesKeepingEveryEarlierCell)
{
    // Small integers, a negative one and text first, then an integer past 32
    // bits and a float: every cell reads back as it was, before and after.
    const auto store =
        Read("SELECT 1 UNION ALL SELECT -7 UNION ALL SELECT 'abc' UNION ALL SELECT 2147483647 "
             "UNION ALL SELECT -2147483648 UNION ALL SELECT NULL UNION ALL SELECT 1099511627776 "
             "UNION ALL SELECT 2.5 UNION ALL SELECT -3");
    ASSERT_EQ(store->SlotCount(), 9);
    EXPECT_EQ(store->Integer(0, 0), 1);
    EXPECT_EQ(store->Integer(1, 0), -7);
    EXPECT_EQ(store->Bytes(2, 0), "abc");
    EXPECT_EQ(store->Integer(3, 0), 2147483647);
    EXPECT_EQ(store->Integer(4, 0), -2147483648LL);
    EXPECT_EQ(store->Kind(5, 0), TDbCellKind::Null);
    EXPECT_EQ(store->Bytes(5, 0), "");
    EXPECT_EQ(store->Integer(6, 0), 1099511627776LL);
    EXPECT_EQ(store->Float(7, 0), 2.5);
    EXPECT_EQ(store->Integer(8, 0), -3);

    // A narrow store takes a wide cell by copy, and a wide one a narrow cell.
    const auto narrow = Read("SELECT -5 UNION ALL SELECT 'x'");
    TDbRowStore copy(1);
    copy.AddCopy(*narrow, 0);
    copy.AddCopy(*narrow, 1);
    copy.SetCopy(1, *store, 6);
    copy.SetCopy(0, *store, 2);
    EXPECT_EQ(copy.Bytes(0, 0), "abc");
    EXPECT_EQ(copy.Integer(1, 0), 1099511627776LL);
    copy.SetCopy(1, *narrow, 0);
    EXPECT_EQ(copy.Integer(1, 0), -5);

    // A long run of one kind, then another: the earlier cells keep their kind.
    const auto run = Read("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 69999) "
                          "SELECT CASE WHEN i < 69999 THEN 't' || i END FROM n");
    EXPECT_EQ(run->Kind(0, 0), TDbCellKind::Text);
    EXPECT_EQ(run->Bytes(69998, 0), "t69998");
    EXPECT_EQ(run->Kind(69999, 0), TDbCellKind::Null);
    EXPECT_EQ(run->Bytes(69999, 0), "");
}

TEST_F(RowStore, RepeatedTextsReadBackAsTheirOwnCells)
{
    // 5 000 distinct short texts, more than are remembered at once, repeated
    // over 100 000 rows among long ones: each cell reads its own text.
    const auto store = Read("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 99999) "
                            "SELECT CASE WHEN i % 7 = 0 THEN printf('%.*c', 100, char(65 + i % 26)) "
                            "ELSE '值' || (i % 5000) END FROM n");
    ASSERT_EQ(store->SlotCount(), 100000);
    for (int slot = 0; slot < 100000; ++slot) {
        const std::string expected =
            slot % 7 == 0 ? std::string(100, char('A' + slot % 26)) : "值" + std::to_string(slot % 5000);
        ASSERT_EQ(store->Bytes(slot, 0), expected) << "slot " << slot;
    }
}

TEST_F(RowStore, ARowReadsAsSQLiteGivesItAndHashesAsItsStoredCopy)
{
    // Every kind of cell, the conversions a caller may ask for, and columns
    // past the first sixteen (read another way).
    const QString sql = "SELECT 7, 2.5, 'text', x'00ff', NULL, '', 'ab', 'c', 9007199254740993, "
                        "'12abc', 3, 4, 5, 6, 7, 8, 'seventeen', 18.5";
    std::vector<std::uint64_t> hashes;
    TDbQueryStatement statement;
    statement.SetLines({sql});
    statement.Scan(&FConnection, "test", [&](const TDbRowReader &row) {
        ASSERT_EQ(row.ColumnCount(), 18);
        EXPECT_EQ(row.Kind(0), TDbCellKind::Integer);
        EXPECT_EQ(row.Integer(0), 7);
        EXPECT_EQ(row.Float(0), 7.0) << "an integer read as a float";
        EXPECT_EQ(row.Kind(1), TDbCellKind::Float);
        EXPECT_EQ(row.Float(1), 2.5);
        EXPECT_EQ(row.Integer(1), 2);
        EXPECT_EQ(row.Bytes(1), "") << "a number has no bytes";
        EXPECT_EQ(row.Text(2), "text");
        EXPECT_EQ(row.Kind(3), TDbCellKind::Blob);
        EXPECT_EQ(row.Bytes(3), std::string("\0\xff", 2));
        EXPECT_TRUE(row.IsNull(4));
        EXPECT_EQ(row.Text(4), "");
        EXPECT_EQ(row.Integer(4), 0);
        EXPECT_EQ(row.Kind(5), TDbCellKind::Text) << "empty text is no Null";
        EXPECT_EQ(row.Integer(8), 9007199254740993) << "an integer past a double's precision";
        EXPECT_EQ(row.Integer(9), 12) << "text reads as its leading number";
        EXPECT_EQ(row.Kind(16), TDbCellKind::Text);
        EXPECT_EQ(row.Text(16), "seventeen");
        EXPECT_EQ(row.Float(17), 18.5);
        hashes.push_back(TDbRowStore::HashOf(row));
    });
    ASSERT_EQ(hashes.size(), 1u);
    const auto store = Read(sql);
    EXPECT_EQ(store->HashOf(0), hashes[0]) << "the row as read and as kept hash alike";

    // Rows that differ in one cell's kind, or only where text splits into
    // cells, hash apart.
    const auto others = Read("SELECT 'ab', 'c', NULL UNION ALL SELECT 'a', 'bc', NULL "
                             "UNION ALL SELECT 'ab', 'c', '' UNION ALL SELECT 'ab', 'c', 0");
    ASSERT_EQ(others->SlotCount(), 4);
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            EXPECT_NE(others->HashOf(a), others->HashOf(b)) << a << " " << b;
}

} // namespace
} // namespace kestrum::test
