#include "data/RecordComparer.h"

#include "core/VariantCompare.h"
#include "data/DataStorage.h"
#include "data/ValueTypesHeld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace kestrum;

namespace {

//! A storage with an amount and an item column, rows in load order.
struct Ledger {
    TkvDataStorage storage;
    TkvValueDef *amount = storage.ValueDefs().Add(TkvFloatValueType::Instance(), true, nullptr, false);
    TkvValueDef *item = storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);

    void Add(const Variant &amountValue, const char *itemText = nullptr)
    {
        int r = storage.AppendRecord();
        storage.SetValue(r, amount, amountValue);
        storage.SetValue(r, item, itemText ? Variant::fromUtf8(itemText) : Variant::null());
    }
    std::vector<int> All() const
    {
        std::vector<int> list(storage.RecordCount());
        std::iota(list.begin(), list.end(), 0);
        return list;
    }
    void Stored(TkvRecordComparer &comparer, TkvValueDef *def, TkvDataSortOrder order)
    {
        comparer.AddKey(order, TkvCompareMode::cmStoredValue).LoadStored(storage, def, All());
    }
    void ByValue(TkvRecordComparer &comparer, TkvValueDef *def, TkvDataSortOrder order, TkvStringCompare how)
    {
        TkvSortKey &key = comparer.AddKey(order, TkvCompareMode::cmValue);
        key.SetStringCompare(how);
        key.LoadValues(def->ValueTypeClass(), storage.RecordCount(), All(),
                       [&](int r) { return storage.GetValue(r, def); });
    }
    std::string Sorted(TkvRecordComparer &comparer) const
    {
        std::vector<int> list = All();
        comparer.Sort(list);
        std::string text;
        for (int r : list)
            text += (text.empty() ? "" : " ") + std::to_string(r);
        return text;
    }
};

//! The comparer's sort of `list` (shuffled first unless told not) agrees
//! with std::sort by its Compare.
void ExpectSortAgreesWithCompare(TkvRecordComparer &comparer, const std::vector<int> &list,
                                 std::mt19937 &random, bool shuffled = true)
{
    std::vector<int> fast = list, general = list;
    if (shuffled)
        std::shuffle(fast.begin(), fast.end(), random);
    comparer.Sort(fast);
    std::sort(general.begin(), general.end(), [&](int a, int b) { return comparer.Compare(a, b) < 0; });
    EXPECT_EQ(fast, general);
}

TEST(RecordComparer, TiesKeepLoadOrderInBothDirections)
{
    Ledger ledger;
    for (double a : {5, 3, 5, 3, 5})
        ledger.Add(a, "x");
    TkvRecordComparer up, down;
    ledger.Stored(up, ledger.amount, soAscending);
    ledger.Stored(down, ledger.amount, soDescending);
    EXPECT_EQ(ledger.Sorted(up), "1 3 0 2 4");
    EXPECT_EQ(ledger.Sorted(down), "0 2 4 1 3");
    // The same through the general path (two keys, the second all equal).
    ledger.Stored(down, ledger.item, soDescending);
    EXPECT_EQ(ledger.Sorted(down), "0 2 4 1 3");
}

TEST(RecordComparer, NeverWrittenThenNullFirstAscendingAndLastDescending)
{
    Ledger ledger;
    ledger.Add(2.0, "b");
    ledger.Add(Variant::null(), nullptr);
    ledger.storage.AppendRecord(); // never written: no buffer at all
    ledger.Add(1.0, "a");
    ledger.Add(Variant::null(), nullptr);
    TkvRecordComparer up, down, text;
    ledger.Stored(up, ledger.amount, soAscending);
    ledger.Stored(down, ledger.amount, soDescending);
    ledger.Stored(text, ledger.item, soAscending);
    EXPECT_EQ(ledger.Sorted(up), "2 1 4 3 0");
    EXPECT_EQ(ledger.Sorted(down), "0 3 1 4 2");
    EXPECT_EQ(ledger.Sorted(text), "2 1 4 3 0");
}

TEST(RecordComparer, OrdinalUpperCasedAndCollatedStringOrders)
{
    Ledger ledger;
    for (const char *text : {"b", "B", "a", "A", "apple", "Banana"})
        ledger.Add(1, text);
    TkvRecordComparer ordinal, upper, collated;
    ledger.Stored(ordinal, ledger.item, soAscending);
    ledger.ByValue(upper, ledger.item, soAscending, TkvStringCompare::scUpperOrdinal);
    ledger.ByValue(collated, ledger.item, soAscending, TkvStringCompare::scCollatedNoCase);
    EXPECT_EQ(ledger.Sorted(ordinal), "3 1 5 2 4 0");  // A B Banana a apple b
    EXPECT_EQ(ledger.Sorted(upper), "2 3 4 0 1 5");    // a=A, apple, b=B, Banana
    EXPECT_EQ(ledger.Sorted(collated), "2 3 4 0 1 5"); // a A apple b B Banana
}

TEST(RecordComparer, ChineseItemsCollateInPinyinOrder)
{
    Ledger ledger;
    for (const char *text : {"工资", "餐饮", "房租", "奖金"})
        ledger.Add(1, text);
    TkvRecordComparer collated, ordinal;
    ledger.ByValue(collated, ledger.item, soAscending, TkvStringCompare::scCollated);
    ledger.Stored(ordinal, ledger.item, soAscending);
    EXPECT_EQ(ledger.Sorted(collated), "1 2 0 3"); // can, fang, gong, jiang
    // GBK byte order puts these common characters in pinyin order as well.
    EXPECT_EQ(ledger.Sorted(ordinal), "1 2 0 3");
}

TEST(RecordComparer, FastPathsAgreeWithTheGeneralComparison)
{
    std::mt19937 random(7);
    Ledger ledger;
    const char *items[] = {"餐饮", "工资", "a", "B", "", "ab", "abcdefghij", "abcdefghi"};
    for (int i = 0; i < 3000; ++i) {
        int pick = int(random() % 10);
        if (pick == 9)
            ledger.Add(Variant::null(), nullptr);
        else if (pick == 8)
            ledger.storage.AppendRecord();
        else
            ledger.Add(double(int(random() % 50)) - 25 + (random() % 2 ? 0.5 : -0.0), items[random() % 8]);
    }
    for (TkvValueDef *def : {ledger.amount, ledger.item})
        for (TkvDataSortOrder order : {soAscending, soDescending}) {
            TkvRecordComparer comparer;
            ledger.Stored(comparer, def, order);
            ExpectSortAgreesWithCompare(comparer, ledger.All(), random);
        }
}

TEST(RecordComparer, FastPathsAgreeForWideTextAndIntegers)
{
    std::mt19937 random(11);
    TkvDataStorage storage;
    TkvValueDef *count = storage.ValueDefs().Add(TkvIntegerValueType::Instance(), true, nullptr, false);
    TkvValueDef *text = storage.ValueDefs().Add(TkvWideStringValueType::Instance(), true, nullptr, false);
    // Texts sharing their first four units, of other lengths, beyond the BMP.
    const char *texts[] = {"餐饮",  "工资",     "a",        "B",   "",        "abcd",
                           "abcde", "abcdefgh", "abcdefgi", "𠀀x", "工资收入"};
    for (int i = 0; i < 3000; ++i) {
        const int r = storage.AppendRecord();
        if (random() % 10 == 0)
            continue; // never written
        storage.SetValue(r, count, random() % 9 == 0 ? Variant::null() : Variant(int(random() % 40) - 20));
        storage.SetValue(
            r, text, random() % 9 == 0 ? Variant::null() : Variant(QString::fromUtf8(texts[random() % 11])));
    }
    std::vector<int> all(std::size_t(storage.RecordCount()));
    std::iota(all.begin(), all.end(), 0);
    for (TkvValueDef *def : {count, text})
        for (TkvDataSortOrder order : {soAscending, soDescending})
            for (bool shuffled : {false, true}) {
                TkvRecordComparer comparer;
                comparer.AddKey(order, TkvCompareMode::cmStoredValue).LoadStored(storage, def, all);
                ExpectSortAgreesWithCompare(comparer, all, random, shuffled);
            }
}

// Item names that share their first bytes ("expense 1", "expense 12", a
// long common start) are told apart by the bytes after them, in the order
// and with the ties of the general comparison, narrow and wide alike.
TEST(RecordComparer, FastPathsAgreeForTextsSharingLongStarts)
{
    std::mt19937 random(5);
    TkvDataStorage storage;
    TkvValueDef *narrow = storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    TkvValueDef *wide = storage.ValueDefs().Add(TkvWideStringValueType::Instance(), true, nullptr, false);
    const std::string common(70, 'k');
    const std::string texts[] = {"expense 1",
                                 "expense 12",
                                 "expense 2",
                                 "expense ",
                                 "expense",
                                 "expense 1x",
                                 "日常用品采购",
                                 "日常用品维修",
                                 "日常用品",
                                 common + "b",
                                 common + "a",
                                 common,
                                 common.substr(0, 20) + "z",
                                 common.substr(0, 20) + "zz"};
    for (int i = 0; i < 5000; ++i) {
        const int r = storage.AppendRecord();
        if (random() % 15 == 0)
            continue; // never written
        const std::string &text = texts[random() % std::size(texts)];
        storage.SetValue(r, narrow, Variant::fromUtf8(text.c_str()));
        storage.SetValue(r, wide, Variant(QString::fromStdString(text)));
    }
    std::vector<int> all(std::size_t(storage.RecordCount()));
    std::iota(all.begin(), all.end(), 0);
    for (TkvValueDef *def : {narrow, wide})
        for (TkvDataSortOrder order : {soAscending, soDescending})
            for (bool shuffled : {false, true}) {
                TkvRecordComparer comparer;
                comparer.AddKey(order, TkvCompareMode::cmStoredValue).LoadStored(storage, def, all);
                std::vector<int> fast = all, general = all;
                if (shuffled)
                    std::shuffle(fast.begin(), fast.end(), random);
                comparer.Sort(fast);
                std::sort(general.begin(), general.end(), [&](int a, int b) {
                    const int c = comparer.Compare(a, b);
                    return c < 0 || (c == 0 && a < b);
                });
                EXPECT_EQ(fast, general);
            }
    // A shuffled part of the records, one of them listed twice, read again
    // for the other direction: the same records come back, in order.
    std::vector<int> part(all.begin(), all.begin() + 3000);
    part.push_back(17);
    std::shuffle(part.begin(), part.end(), random);
    for (TkvDataSortOrder order : {soAscending, soDescending}) {
        TkvRecordComparer comparer;
        comparer.AddKey(order, TkvCompareMode::cmStoredValue).LoadStored(storage, narrow, part);
        std::vector<int> fast = part, general = part;
        comparer.Sort(fast);
        std::stable_sort(general.begin(), general.end(), [&](int a, int b) {
            const int c = comparer.Compare(a, b);
            return c < 0 || (c == 0 && a < b);
        });
        EXPECT_EQ(fast, general);
    }
}

// A grouped list sorted by another column has two keys (the item, then the
// amount): sorted key by key, it comes out as the general comparison orders
// it, in every direction, with values missing in either key.
TEST(RecordComparer, SeveralStoredKeysAgreeWithTheGeneralComparison)
{
    std::mt19937 random(3);
    TkvDataStorage storage;
    TkvValueDef *amount = storage.ValueDefs().Add(TkvFloatValueType::Instance(), true, nullptr, false);
    TkvValueDef *item = storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    TkvValueDef *count = storage.ValueDefs().Add(TkvIntegerValueType::Instance(), true, nullptr, false);
    const char *items[] = {"expense 1", "expense 2", "工资", "a", "", "expense 10"};
    for (int i = 0; i < 4000; ++i) {
        const int r = storage.AppendRecord();
        if (random() % 25 == 0)
            continue; // never written
        storage.SetValue(r, amount,
                         random() % 12 == 0 ? Variant::null() : Variant(double(random() % 30) / 4));
        storage.SetValue(r, item,
                         random() % 12 == 0 ? Variant::null() : Variant::fromUtf8(items[random() % 6]));
        storage.SetValue(r, count, Variant(int(random() % 3)));
    }
    std::vector<int> all(std::size_t(storage.RecordCount()));
    std::iota(all.begin(), all.end(), 0);
    std::vector<int> part(all.begin(), all.begin() + 300); // a filtered list
    for (TkvDataSortOrder first : {soAscending, soDescending})
        for (TkvDataSortOrder second : {soAscending, soDescending})
            for (const std::vector<int> *list : {&all, &part}) {
                TkvRecordComparer comparer;
                comparer.AddKey(first, TkvCompareMode::cmStoredValue).LoadStored(storage, item, *list);
                comparer.AddKey(second, TkvCompareMode::cmStoredValue).LoadStored(storage, amount, *list);
                comparer.AddKey(first, TkvCompareMode::cmStoredValue).LoadStored(storage, count, *list);
                ExpectSortAgreesWithCompare(comparer, *list, random);
            }
}

// Long lists of amounts take the radix passes: as whole cents in narrow
// pairs, as whole cents too far apart for them, as ten-thousandths when one
// amount has more than two decimals, and as the doubles' own bits when one
// is no whole number of ten-thousandths. The order must stay that of the
// general comparison.
TEST(RecordComparer, LongListsOfVaryingAmountsAgreeWithTheGeneralComparison)
{
    enum Amounts { NarrowCents, WideCents, FourDecimals, NotAllUnits };
    for (Amounts kind : {NarrowCents, WideCents, FourDecimals, NotAllUnits}) {
        SCOPED_TRACE(kind);
        std::mt19937 random(5);
        Ledger ledger;
        const char *items[] = {"餐饮", "工资", "", "a"};
        for (int i = 0; i < 70000; ++i) {
            const int pick = int(random() % 40);
            if (pick == 0)
                ledger.Add(Variant::null(), items[random() % 4]);
            else if (pick == 1)
                ledger.storage.AppendRecord(); // never written
            else if (pick == 2)
                ledger.Add(random() % 2 ? 0.0 : -0.0, items[random() % 4]);
            else if (pick < 8)
                ledger.Add(12.5, items[random() % 4]); // many equal amounts
            else if (kind == WideCents && pick < 12)
                ledger.Add(double(std::int64_t(random() % 2000000) - 1000000) * 1000003 / 100,
                           items[random() % 4]);
            else if (kind == FourDecimals && pick < 12)
                ledger.Add(double(std::int64_t(random() % 20000000) - 10000000) / 10000, items[random() % 4]);
            else if (kind == NotAllUnits && pick < 12)
                ledger.Add(double(std::int64_t(random() % 2000000) - 1000000) / 100 + 0.00001,
                           items[random() % 4]);
            else
                ledger.Add(double(std::int64_t(random() % 2000000) - 1000000) / 100, items[random() % 4]);
        }
        std::vector<int> all = ledger.All();
        std::vector<int> part;
        for (int r : all)
            if (r % 3 != 0)
                part.push_back(r); // a filtered list
        for (TkvDataSortOrder first : {soAscending, soDescending})
            for (TkvDataSortOrder second : {soAscending, soDescending})
                for (const std::vector<int> *list : {&all, &part})
                    for (bool twoKeys : {false, true}) {
                        TkvRecordComparer comparer;
                        if (twoKeys)
                            comparer.AddKey(first, TkvCompareMode::cmStoredValue)
                                .LoadStored(ledger.storage, ledger.item, *list);
                        comparer.AddKey(second, TkvCompareMode::cmStoredValue)
                            .LoadStored(ledger.storage, ledger.amount, *list);
                        ExpectSortAgreesWithCompare(comparer, *list, random);
                    }
    }
}

// A sort that keeps only its first keys (a group build's) lets the others'
// columns go while it runs: the order is the full comparison's all the same,
// on every fast path (few items, amounts in pairs, a list already in the
// items' order), and the kept key still compares afterwards.
TEST(RecordComparer, ASortKeepingOnlyTheGroupKeysGivesTheSameOrder)
{
    std::mt19937 random(11);
    Ledger ledger;
    const char *items[] = {"餐饮", "工资", "", "a", "expense 10", "expense 2"};
    for (int i = 0; i < 70000; ++i) {
        if (random() % 50 == 0)
            ledger.storage.AppendRecord(); // never written
        else
            ledger.Add(random() % 30 == 0 ? Variant::null() : Variant(double(random() % 500000) / 100),
                       items[random() % 6]);
    }
    std::vector<int> all = ledger.All();
    std::vector<int> shuffled = all;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (TkvDataSortOrder first : {soAscending, soDescending}) {
        // In the order of the items alone, each item's records shuffled (a
        // grouped list whose order inside the groups is sorted again).
        std::vector<int> grouped = shuffled;
        TkvRecordComparer items;
        items.AddKey(first, TkvCompareMode::cmStoredValue).LoadStored(ledger.storage, ledger.item, all);
        std::stable_sort(grouped.begin(), grouped.end(),
                         [&](int a, int b) { return items.CompareKey(0, a, b) < 0; });
        for (TkvDataSortOrder second : {soAscending, soDescending})
            for (const std::vector<int> *list : {&all, &shuffled, &grouped})
                for (int kept : {0, 1}) {
                    TkvRecordComparer comparer;
                    comparer.AddKey(first, TkvCompareMode::cmStoredValue)
                        .LoadStored(ledger.storage, ledger.item, *list);
                    comparer.AddKey(second, TkvCompareMode::cmStoredValue)
                        .LoadStored(ledger.storage, ledger.amount, *list);
                    std::vector<int> general = *list, fast = *list;
                    std::sort(general.begin(), general.end(),
                              [&](int a, int b) { return comparer.Compare(a, b) < 0; });
                    comparer.Sort(fast, kept);
                    EXPECT_EQ(fast, general) << first << second << kept;
                    ASSERT_EQ(comparer.KeyCount(), kept);
                    if (kept == 1) {
                        EXPECT_TRUE(std::is_sorted(fast.begin(), fast.end(), [&](int a, int b) {
                            return comparer.CompareKey(0, a, b) < 0;
                        }));
                    }
                }
    }
}

// Short texts (every one within a key's prefix) are ordered by their
// prefixes alone; a prefix of another, the empty text and Nulls among them.
TEST(RecordComparer, ShortTextsAgreeWithTheGeneralComparison)
{
    std::mt19937 random(13);
    Ledger ledger;
    const char *items[] = {"餐饮", "工资", "工", "", "a", "ab", "abcdefgh", "abcdefg", "B"};
    for (int i = 0; i < 5000; ++i) {
        if (random() % 30 == 0)
            ledger.Add(double(random() % 7), nullptr);
        else
            ledger.Add(double(random() % 7), items[random() % 9]);
    }
    for (TkvDataSortOrder first : {soAscending, soDescending})
        for (bool twoKeys : {false, true}) {
            TkvRecordComparer comparer;
            ledger.Stored(comparer, ledger.item, first);
            if (twoKeys)
                ledger.Stored(comparer, ledger.amount, soDescending);
            ExpectSortAgreesWithCompare(comparer, ledger.All(), random);
        }
}

TEST(RecordComparer, WithoutKeysAListComesBackInRecordOrder)
{
    std::mt19937 random(9);
    TkvRecordComparer comparer;
    std::vector<int> most, few, twice;
    for (int r = 0; r < 5000; ++r) {
        if (r % 4 != 1)
            most.push_back(r); // a grouped list being ungrouped
        if (r % 700 == 3)
            few.push_back(r);
    }
    twice = most;
    twice.push_back(2); // listed twice stays listed twice
    for (std::vector<int> *list : {&most, &few, &twice}) {
        std::vector<int> expected = *list;
        std::sort(expected.begin(), expected.end());
        std::shuffle(list->begin(), list->end(), random);
        comparer.Sort(*list);
        EXPECT_EQ(*list, expected);
    }
}

// A TEXT column (the remark) is loaded into a variant column. Its text must
// sort by the byte-string path, read in place, and still in the order of the
// variant comparison; one value of another kind falls back to that comparison.
TEST(RecordComparer, TextInAVariantColumnSortsAsBytesInTheVariantOrder)
{
    std::mt19937 random(11);
    TkvDataStorage storage;
    TkvValueDef *remark = storage.ValueDefs().Add(TkvVariantValueType::Instance(), true, nullptr, false);
    const char *texts[] = {"超市", "周末家教", "", "a", "B", "ab", "abcdefghij", "abcdefghi", "季度奖"};
    for (int i = 0; i < 3000; ++i) {
        const int r = storage.AppendRecord();
        const int pick = int(random() % 12);
        if (pick == 11)
            continue; // never written
        if (pick == 10)
            storage.SetValue(r, remark, Variant::null());
        else if (pick == 9) // text that came as UTF-16: compares by its code-page form
            storage.SetValue(r, remark, Variant(QString::fromUtf8(texts[random() % 9])));
        else
            storage.SetValue(r, remark, Variant::fromUtf8(texts[random() % 9]));
    }
    std::vector<int> all(storage.RecordCount());
    std::iota(all.begin(), all.end(), 0);
    auto variantOrder = [&](TkvDataSortOrder order) {
        std::vector<int> list = all;
        std::stable_sort(list.begin(), list.end(), [&](int a, int b) {
            int result = storage.CompareRecords(a, b, remark);
            return (order == soDescending ? -result : result) < 0;
        });
        return list;
    };
    for (TkvDataSortOrder order : {soAscending, soDescending}) {
        TkvRecordComparer comparer;
        comparer.AddKey(order, TkvCompareMode::cmStoredValue).LoadStored(storage, remark, all);
        EXPECT_EQ(comparer.Key(0).ColumnKind(), TkvSortKey::Column::Bytes);
        std::vector<int> list = all;
        std::shuffle(list.begin(), list.end(), random);
        comparer.Sort(list);
        EXPECT_EQ(list, variantOrder(order));
        // Group boundaries and the value a group row shows.
        for (std::size_t i = 1; i < list.size(); ++i)
            ASSERT_EQ(comparer.CompareKey(0, list[i - 1], list[i]) == 0,
                      storage.CompareRecords(list[i - 1], list[i], remark) == 0);
        const Variant shown = comparer.Key(0).ComparedValue(list.back());
        EXPECT_EQ(CompareVariants(shown, storage.GetValue(list.back(), remark)), 0);
        // Bisection with a text probe and with a probe of another kind.
        if (order == soAscending) {
            const int found = comparer.LocateByKeys(list, {Variant::fromUtf8("超市")});
            ASSERT_GE(found, 0);
            EXPECT_EQ(storage.GetValue(found, remark).toString(), QString::fromUtf8("超市"));
            EXPECT_EQ(comparer.LocateByKeys(list, {Variant(5)}), -1);
        }
    }

    // A number among the texts: the variant comparison decides again.
    storage.SetValue(5, remark, Variant(42));
    TkvRecordComparer mixed;
    mixed.AddKey(soAscending, TkvCompareMode::cmStoredValue).LoadStored(storage, remark, all);
    EXPECT_EQ(mixed.Key(0).ColumnKind(), TkvSortKey::Column::Generic);
    EXPECT_EQ(mixed.Key(0).ComparedValue(5).toInt32(), 42);
}

TEST(RecordComparer, DescendingThenAscendingKeys)
{
    Ledger ledger;
    ledger.Add(1, "b");
    ledger.Add(2, "a");
    ledger.Add(3, "b");
    ledger.Add(4, "a");
    TkvRecordComparer comparer;
    ledger.Stored(comparer, ledger.item, soDescending);
    ledger.Stored(comparer, ledger.amount, soAscending);
    EXPECT_EQ(ledger.Sorted(comparer), "0 2 1 3");
}

TEST(RecordComparer, OnCompareDecides)
{
    Ledger ledger;
    for (double a : {1, 2, 3})
        ledger.Add(a, "x");
    TkvRecordComparer comparer;
    TkvSortKey &key = comparer.AddKey(soAscending, TkvCompareMode::cmValue);
    int calls = 0;
    key.SetHandler([&](int, int, const Variant &v1, const Variant &v2, int &compare) {
        ++calls;
        compare = v2.toInt32() - v1.toInt32(); // reversed
    });
    key.LoadValues(TkvFloatValueType::Instance(), 3, ledger.All(),
                   [&](int r) { return ledger.storage.GetValue(r, ledger.amount); });
    EXPECT_EQ(ledger.Sorted(comparer), "2 1 0");
    EXPECT_GT(calls, 0);
}

TEST(RecordComparer, LocateByKeysBisectsTheSortedList)
{
    Ledger ledger;
    const char *items[] = {"b", "a", "c", "a", "b"};
    for (int i = 0; i < 5; ++i)
        ledger.Add(double(i % 2), items[i]);
    TkvRecordComparer comparer;
    ledger.Stored(comparer, ledger.item, soDescending);
    ledger.Stored(comparer, ledger.amount, soAscending);
    std::vector<int> list = ledger.All();
    comparer.Sort(list); // c/0, b/0, b/0, a/1, a/1: records 2 0 4 1 3
    EXPECT_EQ(comparer.LocateByKeys(list, {Variant::fromUtf8("c")}), 2);
    int b = comparer.LocateByKeys(list, {Variant::fromUtf8("b")});
    EXPECT_TRUE(b == 0 || b == 4);
    int a = comparer.LocateByKeys(list, {Variant::fromUtf8("a"), Variant(1.0)});
    EXPECT_TRUE(a == 1 || a == 3);
    EXPECT_EQ(comparer.LocateByKeys(list, {Variant::fromUtf8("b"), Variant(7.0)}), -1);
    EXPECT_EQ(comparer.LocateByKeys(list, {Variant::fromUtf8("z")}), -1);
    EXPECT_EQ(comparer.LocateByKeys({}, {Variant::fromUtf8("a")}), -1);
}

TEST(RecordComparer, EmptyAndSingleListsSortWithoutComplaint)
{
    Ledger ledger;
    TkvRecordComparer comparer;
    ledger.Stored(comparer, ledger.amount, soAscending);
    std::vector<int> none;
    comparer.Sort(none);
    EXPECT_TRUE(none.empty());
}

} // namespace
