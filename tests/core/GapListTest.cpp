#include "core/GapList.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace kestrum;

namespace {

//! The list's items in order, and a check that every place of its gap holds 0
//! (passes over the raw array skip those).
std::vector<int> itemsOf(const TGapList<int> &list)
{
    std::vector<int> items;
    for (std::size_t i = 0; i < list.size(); ++i)
        items.push_back(list[i]);
    std::size_t itemPlaces = 0;
    for (std::size_t place = 0; place < list.raw().size(); ++place) {
        const std::ptrdiff_t index = list.IndexOfRaw(place);
        if (index < 0) {
            EXPECT_EQ(list.raw()[place], 0) << "gap place " << place;
            continue;
        }
        EXPECT_EQ(list.raw()[place], items[std::size_t(index)]) << "place " << place;
        ++itemPlaces;
    }
    EXPECT_EQ(itemPlaces, list.size());
    return items;
}

TGapList<int> listOf(int count)
{
    TGapList<int> list;
    for (int i = 1; i <= count; ++i)
        list.push_back(i);
    return list;
}

} // namespace

TEST(GapList, ErasesTheFirstTheLastAndTheOnlyItem)
{
    TGapList<int> list = listOf(5);
    list.erase(0);
    EXPECT_EQ(itemsOf(list), (std::vector<int>{2, 3, 4, 5}));
    list.erase(3);
    EXPECT_EQ(itemsOf(list), (std::vector<int>{2, 3, 4}));
    list.pop_back();
    EXPECT_EQ(itemsOf(list), (std::vector<int>{2, 3}));

    TGapList<int> one = listOf(1);
    one.erase(0);
    EXPECT_TRUE(one.empty());
    one.insert(0, 7);
    one.push_back(8);
    EXPECT_EQ(itemsOf(one), (std::vector<int>{7, 8}));
}

TEST(GapList, AnItemInsertedAndErasedAgainAtTheStartMiddleAndEndLeavesTheList)
{
    for (const std::size_t at : {std::size_t(0), std::size_t(50), std::size_t(100)}) {
        TGapList<int> list = listOf(100);
        const std::vector<int> before = itemsOf(list);
        for (int round = 0; round < 40; ++round) {
            list.insert(at, -1);
            ASSERT_EQ(list.size(), 101u);
            EXPECT_EQ(list[at], -1);
            list.erase(at);
        }
        EXPECT_EQ(itemsOf(list), before) << "at " << at;
    }
}

TEST(GapList, ManyInsertsThenErasesAtOnePlaceAndAfterTheGapMoved)
{
    TGapList<int> list = listOf(1000);
    for (int i = 0; i < 300; ++i)
        list.insert(500, 5000 + i); // each before the one inserted last
    EXPECT_EQ(list.size(), 1300u);
    EXPECT_EQ(list[500], 5299);
    EXPECT_EQ(list[799], 5000);
    EXPECT_EQ(list[800], 501);
    // Push_back and pop_back with the gap in the middle.
    list.push_back(-5);
    EXPECT_EQ(list.back(), -5);
    list.pop_back();
    for (int i = 0; i < 300; ++i)
        list.erase(i % 2 ? 500 : 500 + std::size_t(299 - i)); // from both ends of the run
    EXPECT_EQ(itemsOf(list), itemsOf(listOf(1000)));
    list.Compact();
    EXPECT_EQ(list.raw(), itemsOf(listOf(1000)));
}

// Guards the moves of the gap: any mix of operations gives what a vector gives.
TEST(GapList, RandomOperationsMatchAVector)
{
    std::mt19937 random(7);
    TGapList<int> list;
    std::vector<int> model;
    int next = 1;
    for (int step = 0; step < 20000; ++step) {
        const int op = int(random() % 10);
        if (op < 4 || model.empty()) {
            const std::size_t at = random() % (model.size() + 1);
            list.insert(at, next);
            model.insert(model.begin() + std::ptrdiff_t(at), next++);
        } else if (op < 8) {
            const std::size_t at = random() % model.size();
            list.erase(at);
            model.erase(model.begin() + std::ptrdiff_t(at));
        } else if (op == 8) {
            list.push_back(next);
            model.push_back(next++);
        } else {
            list.pop_back();
            model.pop_back();
        }
        if (step % 997 == 0) {
            const std::size_t count = random() % (model.size() + 20);
            list.resize(count);
            model.resize(count);
        }
        ASSERT_EQ(list.size(), model.size());
        if (step % 101 == 0) {
            ASSERT_EQ(itemsOf(list), model) << "step " << step;
        }
    }
    EXPECT_EQ(itemsOf(list), model);
}
