// The stream class on its own: a read replaces the tree in one change and
// makes its leaves through the criteria, a failed read changes nothing.
#include "FilterFixture.h"

#include "core/Errors.h"
#include "filter/FilterCriteriaStream.h"

namespace kestrum::testing_filter {
namespace {

class FilterCriteriaStreamTest : public FilterFixture {
protected:
    FilterCriteriaStreamTest()
    {
        Filter->Root().SetBoolOperatorKind(bcOr);
        Filter->AppendCondition(nullptr, Item(), ocLike, Text("工%"), "工%");
        TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcNotAnd);
        Filter->AppendCondition(list, Amount(), ocGreater, 5, "5");
        Filter->AppendCondition(list, Date(), ocThisMonth, Variant::null(), "");
        Filter->OnChanged = [this](TkvFilterCriteria *) { ++ChangeCount; };
    }

    int ChangeCount = 0;
};

TEST_F(FilterCriteriaStreamTest, AReadReplacesTheTreeInOneChange)
{
    const std::string bytes = TkvFilterCriteriaStream::SaveToBytes(*Filter);
    EXPECT_EQ(bytes, Filter->SaveToBytes());
    const QString caption = Filter->CaptionText();
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Amount(), ocEqual, 1, "1");
    ChangeCount = 0;
    const std::uint64_t generation = Filter->Generation();

    TkvFilterCriteriaStream(*Filter).LoadFromBytes(bytes);
    EXPECT_EQ(ChangeCount, 1);
    EXPECT_GT(Filter->Generation(), generation);
    EXPECT_EQ(Filter->CaptionText(), caption);
    // The leaves are the criteria's own, linked to its columns by ID.
    ASSERT_NE(Filter->FindConditionOf(Date()), nullptr);
    EXPECT_EQ(Filter->FindConditionOf(Date())->ItemLink(), Filter->ResolveItemLink(Date()));
    EXPECT_EQ(Filter->ConditionCount(), 3);
}

TEST_F(FilterCriteriaStreamTest, AFailedReadChangesNothing)
{
    const std::string bytes = TkvFilterCriteriaStream::SaveToBytes(*Filter);
    ChangeCount = 0;
    const std::uint64_t generation = Filter->Generation();
    for (std::size_t cut : {std::size_t(3), std::size_t(9), bytes.size() - 1}) {
        const std::string part = bytes.substr(0, cut); // the reader holds a view of it
        BinaryReader reader(part);
        EXPECT_THROW(TkvFilterCriteriaStream(*Filter).Read(reader), EReadError) << cut;
    }
    EXPECT_EQ(ChangeCount, 0);
    EXPECT_EQ(Filter->Generation(), generation);
    EXPECT_EQ(TkvFilterCriteriaStream::SaveToBytes(*Filter), bytes);
}

} // namespace
} // namespace kestrum::testing_filter
