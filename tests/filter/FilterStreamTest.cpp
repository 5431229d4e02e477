// The criteria stream: exact bytes, the older format, links by item ID,
// round trips of every value kind, and malformed input.
#include "FilterFixture.h"

#include "core/Errors.h"

#include <vector>

namespace kestrum::testing_filter {
namespace {

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes += char(v);
    return bytes;
}

class FilterStreamTest : public FilterFixture {};

TEST_F(FilterStreamTest, EmptyCriteriaIsNineBytes)
{
    EXPECT_EQ(Hex(Filter->SaveToBytes()), "FF FF FF FF 00 00 00 00 00");
    Filter->Root().SetBoolOperatorKind(bcOr);
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("x"), "x");
    Filter->LoadFromBytes(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(Filter->IsEmptyTree());
    EXPECT_EQ(Filter->Root().BoolOperatorKind(), bcAnd);
}

TEST_F(FilterStreamTest, LeafBytes)
{
    Filter->Root().SetBoolOperatorKind(bcNotOr);
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcOr);
    Filter->AppendCondition(list, Item(), ocEqual, Text("工资"), "工资");
    Filter->AppendCondition(nullptr, Amount(), ocGreater, Variant::fromInt8(5), "5");
    EXPECT_EQ(Hex(Filter->SaveToBytes()),
              "FF FF FF FF 03 02 00 00 00 "                                  // marker, not-or, two children
              "01 01 01 00 00 00 "                                           // list: or, one child
              "00 00 04 00 00 00 B9 A4 D7 CA 09 00 00 00 06 04 B9 A4 D7 CA " // 工资 on column ID 9
              "00 04 01 00 00 00 35 04 00 00 00 02 05"); // amount > 5: an 8-bit value stays type 2
}

TEST_F(FilterStreamTest, OlderFormatWithoutRootBoolCode)
{
    Filter->Root().SetBoolOperatorKind(bcOr);
    Filter->LoadFromBytes(Bytes({1, 0, 0, 0, 0, ocLess, 1, 0, 0, 0, '9', 4, 0, 0, 0, 2, 9}));
    EXPECT_EQ(Filter->Root().BoolOperatorKind(), bcAnd);
    ASSERT_EQ(Filter->Root().Count(), 1);
    const auto *leaf = static_cast<const TkvFilterCriteriaItem *>(Filter->Root().Items(0));
    EXPECT_EQ(leaf->ItemLink(), Controller.GetItemField(0));
    EXPECT_EQ(leaf->OperatorKind(), ocLess);
    EXPECT_EQ(debugString(leaf->Value()), "ShortInt(9)");
}

TEST_F(FilterStreamTest, UnknownItemIDGivesALeafWithoutLink)
{
    Add(1.0, Day(2024, 1, 1), Text("a"));
    Add(Variant::null(), Variant::null(), Variant::null());
    Filter->LoadFromBytes(
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 0, 0, ocEqual, 0, 0, 0, 0, 77, 0, 0, 0, 0}));
    ASSERT_EQ(Filter->Root().Count(), 1);
    EXPECT_EQ(static_cast<const TkvFilterCriteriaItem *>(Filter->Root().Items(0))->ItemLink(), nullptr);
    Filter->SetActive(true);
    EXPECT_EQ(Rows(), "0,1"); // its record value is Null, equal to the Null leaf value
}

TEST_F(FilterStreamTest, WriteReadWriteKeepsTheBytes)
{
    const Variant values[] = {
        Variant::fromInt8(5),
        Variant::fromInt16(-300),
        Variant(70000),
        Variant(std::int64_t(-7)),
        Variant(2.5),
        Variant::fromFloat32(1.5f),
        Variant(Currency{5}),
        Day(2024, 2, 29),
        Variant(true),
        Text("工资"),
        Variant(u"工资"),
        Variant::fromNarrow(std::string(300, 'x')),
        Variant::null(),
        Variant(),
        Variant::fromArray({1, Text("a"), Variant::null()}),
    };
    for (const Variant &value : values)
        Filter->AppendCondition(nullptr, Item(), ocInList, value, "v");
    Filter->AppendSubList(Filter->AppendSubList(nullptr, bcNotAnd), bcOr);
    const std::string first = Filter->SaveToBytes();
    TkvDataFilterCriteria copy(Controller);
    copy.LoadFromBytes(first);
    const std::string second = copy.SaveToBytes();
    EXPECT_EQ(Hex(second), Hex(first));
    copy.LoadFromBytes(second);
    EXPECT_EQ(Hex(copy.SaveToBytes()), Hex(first));
}

// Reading a stream whose root is not "and" once ran the change path on the old tree first.
TEST_F(FilterStreamTest, ARootOtherThanAndIsReadWithOneChangeOnTheNewTree)
{
    Add(Variant(1.0), Day(2024, 7, 1), Text("a"));
    Add(Variant(2.0), Day(2024, 7, 2), Text("b"));
    Add(Variant(3.0), Day(2024, 7, 3), Text("c"));
    Filter->Root().SetBoolOperatorKind(bcOr);
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("b"), "b");
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("c"), "c");
    const std::string stream = Filter->SaveToBytes();
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("a"), "a");
    Filter->SetActive(true);
    ASSERT_EQ(Rows(), "0");
    std::vector<std::string> seen;
    Filter->OnChanged = [&](TkvFilterCriteria *criteria) {
        seen.push_back(criteria->CaptionText().toStdString() + " | " + Rows());
    };
    Filter->LoadFromBytes(stream);
    EXPECT_EQ(seen, std::vector<std::string>{"(进帐项 = b) 或 (进帐项 = c) | 1,2"});
    seen.clear();
    Filter->ClearTree();
    Filter->LoadFromBytes(Bytes({0xFF, 0xFF, 0xFF, 0xFF, bcNotAnd, 0, 0, 0, 0}));
    EXPECT_EQ(Filter->Root().BoolOperatorKind(), bcNotAnd);
    EXPECT_EQ(seen.size(), 2u) << "one for the clear, one for the read";
}

TEST_F(FilterStreamTest, MalformedStreamChangesNothing)
{
    Filter->Root().SetBoolOperatorKind(bcOr);
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("x"), "x");
    const std::string before = Filter->SaveToBytes();
    int changes = 0;
    Filter->OnChanged = [&](TkvFilterCriteria *) { ++changes; };
    const std::string cases[] = {
        Bytes({0xFF, 0xFF, 0xFF}),                                                    // short marker
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 0}),                               // bool code 4
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0}),             // second child missing
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 0, 2}),                            // node kind 2
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 0, 0, 24}),                        // operator code 24
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}), // text past the end
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 7}), // variant type 7
        Bytes({0xFE, 0xFF, 0xFF, 0xFF}), // negative child count
    };
    for (const std::string &bytes : cases) {
        try {
            Filter->LoadFromBytes(bytes);
            ADD_FAILURE() << "accepted " << Hex(bytes);
        } catch (const EReadError &error) {
            EXPECT_STREQ(error.what(), "Stream read error");
        }
        EXPECT_EQ(Filter->SaveToBytes(), before) << Hex(bytes);
    }
    EXPECT_EQ(changes, 0);
}

} // namespace
} // namespace kestrum::testing_filter
