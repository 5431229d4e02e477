// The visible order of loaded rows, and the bookmarks that name them across
// filters, added and removed rows and reloads.
#include "RowFixture.h"

#include "db/RowOrder.h"

#include <algorithm>

namespace kestrum::test {
namespace {

class RowOrder : public RowFixture {
protected:
    void SetUp() override
    {
        RowFixture::SetUp();
        FRows.Load(Read("select id, name, n from t"), 0);
        FRows.ShowAll();
    }

    std::vector<int> Visible() const { return Visible(FRows); }
    static std::vector<int> Visible(const TDbRowOrder &rows)
    {
        std::vector<int> found;
        for (int position = 0; position < rows.VisibleCount(); ++position)
            found.push_back(rows.SlotAt(position));
        return found;
    }

    TDbRowOrder FRows{1};
};

TEST_F(RowOrder, AFilterKeepsTheOrderAndHiddenRowsHaveNoPosition)
{
    EXPECT_EQ(Visible(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(FRows.PositionOfSlot(3), 3);
    FRows.ShowWhere([](int slot) { return slot % 2 == 1; });
    EXPECT_EQ(Visible(), (std::vector<int>{1, 3}));
    EXPECT_EQ(FRows.PositionOfSlot(3), 1);
    EXPECT_EQ(FRows.PositionOfSlot(2), -1);
    EXPECT_EQ(FRows.PositionOfSlot(99), -1);
    FRows.ShowAll();
    EXPECT_EQ(FRows.PositionOfSlot(3), 3);
}

TEST_F(RowOrder, AnAddedRowStandsBeforeTheRowShownAtItsPlace)
{
    FRows.ShowWhere([](int slot) { return slot != 0; }); // shown: 1 2 3 4
    const int middle = FRows.AddRow(*Read("select 42, 'x', 0"), 1);
    const int last = FRows.AddRow(*Read("select 43, 'y', 0"), 99);
    EXPECT_EQ(FRows.PositionOfSlot(middle), -1); // not shown before the rows are shown again
    FRows.ShowAll();
    EXPECT_EQ(Visible(), (std::vector<int>{0, 1, middle, 2, 3, 4, last}));
}

TEST_F(RowOrder, RemovingTheFirstTheLastAndTheOnlyRowKeepsPositionsAndBookmarks)
{
    const TBookmark second = FRows.BookmarkOfSlot(1);
    EXPECT_EQ(FRows.SlotOfBookmark(second), 1); // with the key index built
    FRows.RemoveAt(0);
    EXPECT_EQ(Visible(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(FRows.PositionOfSlot(0), -1);
    EXPECT_EQ(FRows.PositionOfSlot(1), 0);
    EXPECT_EQ(FRows.PositionOfSlot(4), 3);
    FRows.RemoveAt(3);
    EXPECT_EQ(Visible(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(FRows.PositionOfSlot(4), -1);
    EXPECT_EQ(FRows.PositionOfSlot(3), 2);
    FRows.RemoveAt(1);
    FRows.RemoveAt(1);
    EXPECT_EQ(Visible(), (std::vector<int>{1}));
    EXPECT_EQ(FRows.PositionOfSlot(FRows.SlotOfBookmark(second)), 0);
    FRows.RemoveAt(0);
    EXPECT_EQ(FRows.VisibleCount(), 0);
    EXPECT_EQ(FRows.SlotOfBookmark(second), -1);
    EXPECT_EQ(FRows.PositionOfSlot(1), -1);
    const int added = FRows.AddRow(*Read("select 42, 'x', 0"), 0);
    EXPECT_EQ(Visible(), (std::vector<int>{added})) << "every row is shown: the added one at once";
    EXPECT_EQ(FRows.PositionOfSlot(added), 0);
}

// Guards the position and key indexes that rows added and removed one at a
// time keep current: after any mix of them, with and without a filter, they
// give what the visible rows say.
TEST_F(RowOrder, RowsAddedAndRemovedAnywhereKeepEveryIndexRight)
{
    TDbRowOrder rows(4);
    rows.Load(Read("with recursive c(i) as (select 1 union all select i + 1 from c where i < 400) "
                   "select i, 'r' from c"),
              0);
    rows.ShowAll();
    std::vector<int> model(400);
    for (int slot = 0; slot < 400; ++slot)
        model[std::size_t(slot)] = slot;
    std::vector<int> gone;
    unsigned seed = 11;
    auto next = [&seed](unsigned bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    std::int64_t key = 1000;
    for (int step = 0; step < 600; ++step) {
        const unsigned op = next(10);
        if (op < 4 && !model.empty()) {
            // Deletes where the last one was, next to it, or anywhere.
            const int position = int(op < 2 ? std::min<std::size_t>(next(3) + 200, model.size() - 1)
                                            : next(unsigned(model.size())));
            gone.push_back(model[std::size_t(position)]);
            rows.RemoveAt(position);
            model.erase(model.begin() + position);
        } else if (op < 8) {
            const int position = int(next(unsigned(model.size()) + 1));
            const int slot = rows.AddRow(*Read(QStringLiteral("select %1, 'n'").arg(++key)), position);
            model.insert(model.begin() + position, slot);
        } else if (op == 8) {
            rows.ShowWhere([](int slot) { return slot % 3 != 0; });
            std::vector<int> shown;
            for (const int slot : model)
                if (slot % 3 != 0)
                    shown.push_back(slot);
            ASSERT_EQ(Visible(rows), shown);
            for (std::size_t i = 0; i < shown.size(); ++i)
                ASSERT_EQ(rows.PositionOfSlot(shown[i]), int(i));
            rows.ShowAll();
        }
        if (step % 7 == 0 || step > 580) {
            ASSERT_EQ(Visible(rows), model) << "step " << step;
            for (std::size_t i = 0; i < model.size(); ++i) {
                ASSERT_EQ(rows.PositionOfSlot(model[i]), int(i)) << "step " << step;
                ASSERT_EQ(rows.SlotOfBookmark(rows.BookmarkOfSlot(model[i])), model[i]) << "step " << step;
            }
            for (const int slot : gone)
                ASSERT_EQ(rows.PositionOfSlot(slot), -1) << "step " << step;
        }
    }
}

TEST_F(RowOrder, KeyBookmarksFollowSingleRowChangesAndSurviveAReload)
{
    const TBookmark third = FRows.BookmarkOfSlot(2);
    const TBookmark fourth = FRows.BookmarkOfSlot(3);
    EXPECT_EQ(third.debugString(), "key:3");
    EXPECT_EQ(FRows.SlotOfBookmark(third), 2); // builds the key index

    FRows.RemoveAt(2);
    EXPECT_EQ(FRows.SlotOfBookmark(third), -1);
    EXPECT_EQ(FRows.SlotOfBookmark(fourth), 3);
    const int added = FRows.AddRow(*Read("select 42, 'x', 0"), 0);
    const TBookmark addedMark = FRows.BookmarkOfSlot(added);
    EXPECT_EQ(FRows.SlotOfBookmark(addedMark), added);

    // The bookmark, not the slot: a slot number means nothing after a reload.
    FRows.Load(Read("select id, name, n from t where id <> 1"), 0);
    FRows.ShowAll();
    EXPECT_EQ(FRows.PositionOfSlot(FRows.SlotOfBookmark(fourth)), 2);
    EXPECT_EQ(FRows.SlotOfBookmark(addedMark), -1) << "the added row was never in the file";
}

TEST_F(RowOrder, KeyBookmarksFindRowsReadInAnyOrderAndRowsAddedOrRemovedAfter)
{
    TDbRowOrder rows(3);
    rows.Load(Read("select id, name from t union all select null, 'no key' order by 1 desc"), 0);
    rows.ShowAll();
    std::vector<TBookmark> marks;
    for (int slot = 0; slot < 6; ++slot)
        marks.push_back(rows.BookmarkOfSlot(slot));
    for (int slot = 0; slot < 6; ++slot)
        EXPECT_EQ(rows.SlotOfBookmark(marks[std::size_t(slot)]), slot)
            << marks[std::size_t(slot)].debugString();

    const int low = rows.AddRow(*Read("select -7, 'low'"), 0);
    const int high = rows.AddRow(*Read("select 99, 'high'"), 99);
    EXPECT_EQ(rows.SlotOfBookmark(rows.BookmarkOfSlot(low)), low);
    EXPECT_EQ(rows.SlotOfBookmark(rows.BookmarkOfSlot(high)), high);
    rows.ShowAll();
    const TBookmark removed = rows.BookmarkOfSlot(2);
    rows.RemoveAt(rows.PositionOfSlot(2));
    EXPECT_EQ(rows.SlotOfBookmark(removed), -1);
    EXPECT_EQ(rows.SlotOfBookmark(marks[3]), 3);
    EXPECT_EQ(rows.SlotOfBookmark(rows.BookmarkOfSlot(low)), low);
}

TEST_F(RowOrder, SlotBookmarksLapseAtAReloadAndOnlyTheirOwnerResolvesThem)
{
    TDbRowOrder keyless(2);
    keyless.Load(Read("select name from t"), -1);
    keyless.ShowAll();
    const TBookmark second = keyless.BookmarkOfSlot(1);
    EXPECT_EQ(keyless.SlotOfBookmark(second), 1);
    EXPECT_EQ(FRows.SlotOfBookmark(second), -1);
    EXPECT_EQ(keyless.SlotOfBookmark(FRows.BookmarkOfSlot(1)), -1);
    keyless.Load(Read("select name from t"), -1);
    EXPECT_EQ(keyless.SlotOfBookmark(second), -1);
}

TEST_F(RowOrder, BookmarksCompareByTheShownOrderWithHiddenRowsLastAndNullFirst)
{
    const TBookmark first = FRows.BookmarkOfSlot(0);
    const TBookmark third = FRows.BookmarkOfSlot(2);
    const TBookmark fifth = FRows.BookmarkOfSlot(4);
    EXPECT_EQ(FRows.CompareBookmarks(first, third), -1);
    EXPECT_EQ(FRows.CompareBookmarks(third, first), 1);
    EXPECT_EQ(FRows.CompareBookmarks(third, third), 0);
    EXPECT_EQ(FRows.CompareBookmarks(TBookmark(), first), -1);
    EXPECT_EQ(FRows.CompareBookmarks(TBookmark(), TBookmark()), 0);
    FRows.ShowWhere([](int slot) { return slot != 0; });
    EXPECT_EQ(FRows.CompareBookmarks(first, fifth), 1);
}

TEST_F(RowOrder, ARowPutBackByKeyStandsAtItsKeysPlaceAsAReadWouldShowIt)
{
    const std::unique_ptr<TDbRowStore> second = Read("select id, name, n from t where id = 2");
    const std::unique_ptr<TDbRowStore> fourth = Read("select id, name, n from t where id = 4");
    FRows.RemoveAt(3);
    FRows.RemoveAt(1); // left: 1 3 5
    const int four = FRows.AddRowByKey(*fourth);
    const int two = FRows.AddRowByKey(*second);
    EXPECT_EQ(Visible(), (std::vector<int>{0, two, 2, four, 4}));
    EXPECT_EQ(FRows.PositionOfSlot(two), 1);
    EXPECT_EQ(FRows.PositionOfSlot(four), 3);
    EXPECT_EQ(FRows.PositionOfSlot(4), 4);
    EXPECT_EQ(FRows.SlotOfBookmark(FRows.BookmarkOfSlot(four)), four);
    const int newest = FRows.AddRowByKey(*Read("select 9, 'z', 0"));
    EXPECT_EQ(FRows.PositionOfSlot(newest), 5);

    // A row added out of key order (an entry inserted in the middle): only a
    // newer key has a known place from then on, the last.
    FRows.RemoveAt(1);
    FRows.AddRow(*Read("select 20, 'm', 0"), 0);
    EXPECT_EQ(FRows.AddRowByKey(*second), -1);
    EXPECT_EQ(FRows.VisibleCount(), 6);
    const int later = FRows.AddRowByKey(*Read("select 21, 'n', 0"));
    EXPECT_EQ(FRows.PositionOfSlot(later), 6);

    // Rows read in another order, or without a key column, have no key places.
    TDbRowOrder descending(5);
    descending.Load(Read("select id, name, n from t where id <> 2 order by id desc"), 0);
    descending.ShowAll();
    EXPECT_EQ(descending.AddRowByKey(*second), -1);
    TDbRowOrder keyless(6);
    keyless.Load(Read("select id, name, n from t where id <> 2"), -1);
    keyless.ShowAll();
    EXPECT_EQ(keyless.AddRowByKey(*second), -1);
}

TEST_F(RowOrder, RowsRemovedAndPutBackByKeyKeepEveryPlaceRightFilteredOrNot)
{
    TDbRowOrder rows(7);
    rows.Load(Read("with recursive c(i) as (select 1 union all select i + 1 from c where i < 300) "
                   "select i * 10, 'r' from c"),
              0);
    rows.ShowAll();
    std::vector<std::int64_t> model; // keys in their order
    for (int i = 1; i <= 300; ++i)
        model.push_back(i * 10);
    std::vector<std::int64_t> gone;
    unsigned seed = 5;
    auto next = [&seed](unsigned bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    auto keyAt = [&rows](int position) { return rows.Store().Integer(rows.SlotAt(position), 0); };
    for (int step = 0; step < 400; ++step) {
        const unsigned op = next(10);
        if (op < 4 && !model.empty()) {
            const int position = int(next(unsigned(model.size())));
            gone.push_back(model[std::size_t(position)]);
            rows.RemoveAt(position);
            model.erase(model.begin() + position);
        } else if (op < 8 && !gone.empty()) {
            const std::size_t pick = next(unsigned(gone.size()));
            const std::int64_t key = gone[pick];
            gone.erase(gone.begin() + std::ptrdiff_t(pick));
            const int slot = rows.AddRowByKey(*Read(QStringLiteral("select %1, 'back'").arg(key)));
            ASSERT_GE(slot, 0) << "step " << step;
            model.insert(std::upper_bound(model.begin(), model.end(), key), key);
        } else if (op == 8) {
            rows.ShowWhere([&rows](int slot) { return rows.Store().Integer(slot, 0) % 20 == 0; });
            const std::int64_t key = 10 * (1 + std::int64_t(next(300)));
            if (std::find(model.begin(), model.end(), key) == model.end()) {
                // Put back while filtered: shown once the rows are shown again.
                ASSERT_GE(rows.AddRowByKey(*Read(QStringLiteral("select %1, 'hidden'").arg(key))), 0);
                model.insert(std::upper_bound(model.begin(), model.end(), key), key);
                std::erase(gone, key);
            }
            rows.ShowAll();
        }
        if (step % 5 == 0 || step > 390) {
            ASSERT_EQ(rows.VisibleCount(), int(model.size())) << "step " << step;
            for (std::size_t i = 0; i < model.size(); ++i) {
                ASSERT_EQ(keyAt(int(i)), model[i]) << "step " << step;
                ASSERT_EQ(rows.PositionOfSlot(rows.SlotAt(int(i))), int(i)) << "step " << step;
            }
        }
    }
}

} // namespace
} // namespace kestrum::test
