// The loaded cells of a result: text of every length kept byte for byte
// wherever it falls among the arena's blocks, and copied between stores.
#include "RowFixture.h"

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

} // namespace
} // namespace kestrum::test
