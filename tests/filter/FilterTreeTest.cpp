// The tree: building it, tidying it when conditions go, the operator a leaf
// gets, and the change path with nested batches.
#include "FilterFixture.h"

namespace kestrum::testing_filter {
namespace {

class FilterTreeTest : public FilterFixture {
protected:
    FilterTreeTest()
    {
        Filter->OnChanged = [this](TkvFilterCriteria *) { ++Changes; };
    }
    int Changes = 0;
};

TEST_F(FilterTreeTest, EmptyTreeAndEmptyInnerList)
{
    EXPECT_TRUE(Filter->IsEmptyTree());
    Filter->AppendSubList(nullptr, bcOr);
    EXPECT_FALSE(Filter->IsEmptyTree()); // a root holding an empty inner list is not empty
    Filter->Root().SetBoolOperatorKind(bcNotOr);
    Filter->ClearTree();
    EXPECT_TRUE(Filter->IsEmptyTree());
    EXPECT_EQ(Filter->Root().BoolOperatorKind(), bcAnd);
}

TEST_F(FilterTreeTest, RemovingConditionsTidiesTheirListsOnce)
{
    // Or-list of two leaves: the other leaf moves to the end of the root.
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 5.0, "5");
    TkvFilterCriteriaItemList *orList = Filter->AppendSubList(nullptr, bcOr);
    Filter->AppendCondition(orList, Item(), ocEqual, Text("工资"), "工资");
    TkvFilterCriteriaItem *date = Filter->AppendCondition(orList, Date(), ocToday, Variant::null(), "");
    Filter->AppendCondition(nullptr, Amount(), ocLess, 50.0, "50");
    Filter->RemoveConditionsOf(Controller.GetItemField(2));
    ASSERT_EQ(Filter->Root().Count(), 3);
    EXPECT_EQ(Filter->Root().Items(2), date);
    EXPECT_EQ(date->Parent(), &Filter->Root());

    // A list left empty goes; tidying does not climb further up, so the
    // outer list keeps its one remaining child.
    Filter->ClearTree();
    TkvFilterCriteriaItemList *outer = Filter->AppendSubList(nullptr, bcAnd);
    TkvFilterCriteriaItemList *inner = outer->AppendSubList(bcOr);
    Filter->AppendCondition(inner, Item(), ocEqual, Text("a"), "a");
    Filter->AppendCondition(outer, Amount(), ocGreater, 1.0, "1");
    Filter->RemoveConditionsOf(Item()); // an item resolves to its field
    ASSERT_EQ(Filter->Root().Count(), 1);
    EXPECT_EQ(Filter->Root().Items(0), outer);
    EXPECT_EQ(outer->Count(), 1);
    EXPECT_EQ(Filter->FindConditionOf(Controller.GetItemField(2)), nullptr);

    // Nothing to remove: no change path.
    const int before = Changes;
    Filter->RemoveConditionsOf(Controller.GetItemField(1));
    EXPECT_EQ(Changes, before);
}

TEST_F(FilterTreeTest, FindConditionOfGoesDepthFirstInListOrder)
{
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcOr);
    TkvFilterCriteriaItem *nested = Filter->AppendCondition(list, Item(), ocEqual, Text("a"), "a");
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("b"), "b");
    EXPECT_EQ(Filter->FindConditionOf(Controller.GetItemField(2)), nested);
}

TEST_F(FilterTreeTest, OperatorChoiceFollowsTheNullTest)
{
    auto cls = [](const TkvFilterCriteriaItem *item) { return std::string(item->Operator().ClassName()); };
    TkvFilterCriteriaItem *eq = Filter->AppendCondition(nullptr, Item(), ocEqual, Variant::null(), "");
    TkvFilterCriteriaItem *like = Filter->AppendCondition(nullptr, Item(), ocLike, Variant::null(), "");
    TkvFilterCriteriaItem *ne = Filter->AppendCondition(nullptr, Item(), ocNotEqual, Variant::null(), "x");
    TkvFilterCriteriaItem *notLike = Filter->AppendCondition(nullptr, Item(), ocNotLike, Variant::null(), "");
    TkvFilterCriteriaItem *less = Filter->AppendCondition(nullptr, Item(), ocLess, Variant::null(), "");
    TkvFilterCriteriaItem *empty = Filter->AppendCondition(nullptr, Item(), ocEqual, Text(""), "");
    EXPECT_EQ(cls(eq), "TkvFilterNullOperator");
    EXPECT_EQ(cls(like), "TkvFilterNullOperator");
    EXPECT_EQ(cls(ne), "TkvFilterNotNullOperator");
    EXPECT_EQ(cls(notLike), "TkvFilterNotNullOperator");
    EXPECT_EQ(cls(less), "TkvFilterLessOperator");
    EXPECT_EQ(cls(empty), "TkvFilterEqualOperator");
    EXPECT_EQ(eq->DisplayValue().toStdString(), "空");
    EXPECT_EQ(ne->DisplayValue().toStdString(), "x"); // a given display value stays

    // Soft Null makes the empty text a Null value.
    Filter->SetOptions({fcoSoftNull});
    EXPECT_EQ(cls(empty), "TkvFilterNullOperator");
    Filter->SetOptions({});
    EXPECT_EQ(cls(empty), "TkvFilterEqualOperator");

    const char *dates[] = {"Yesterday", "Today",     "Tomorrow", "LastWeek", "LastMonth", "LastYear",
                           "ThisWeek",  "ThisMonth", "ThisYear", "NextWeek", "NextMonth", "NextYear"};
    for (int code = ocYesterday; code <= ocNextYear; ++code) {
        TkvFilterCriteriaItem *item =
            Filter->AppendCondition(nullptr, Date(), TkvFilterOperatorCode(code), Variant::null(), "");
        EXPECT_EQ(cls(item), std::string("TkvFilter") + dates[code - ocYesterday] + "Operator");
    }
}

TEST_F(FilterTreeTest, NestedBatchesRunTheChangePathOnce)
{
    Filter->BeginBatch();
    Filter->BeginBatch();
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 5.0, "5");
    Filter->SetActive(true);
    Filter->EndBatch();
    EXPECT_EQ(Changes, 0);
    Filter->EndBatch();
    EXPECT_EQ(Changes, 1);
    Filter->SetActive(true); // no effective change
    EXPECT_EQ(Changes, 1);
    Filter->SetOptions({fcoCaseInsensitive});
    EXPECT_EQ(Changes, 2);
}

TEST_F(FilterTreeTest, RemovingAFieldRemovesItsConditions)
{
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("a"), "a");
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 5.0, "5");
    Controller.DetachItem(Item());
    ASSERT_EQ(Filter->Root().Count(), 1);
    EXPECT_EQ(static_cast<TkvFilterCriteriaItem *>(Filter->Root().Items(0))->ItemLink(),
              Controller.GetItemField(0));
}

TEST_F(FilterTreeTest, AssignCopiesSettingsAndTreeMatchedByItemID)
{
    Filter->SetOptions({fcoCaseInsensitive, fcoSoftCompare});
    Filter->SetPercentWildcard("*");
    Filter->SetMaxValueListCount(7);
    Filter->SetDateTimeFormat("yyyy-mm-dd");
    Filter->SetActive(true);
    Filter->Root().SetBoolOperatorKind(bcNotOr);
    Filter->AppendCondition(nullptr, Item(), ocLike, Text("工*"), "工*");
    Filter->AppendCondition(nullptr, Amount(), ocBetween, Variant::fromArray({1, 5}), "1;5");

    // A second controller whose columns are in another order: the IDs decide.
    ColumnsOwner owner;
    TkvCustomDataController other(&owner);
    other.AttachItem(&owner.Columns[2]);
    other.AttachItem(&owner.Columns[0]);
    TkvDataFilterCriteria copy(other);
    copy.Assign(*Filter);
    EXPECT_TRUE(copy.Options() == (TkvFilterCriteriaOptions{fcoCaseInsensitive, fcoSoftCompare}));
    EXPECT_EQ(copy.PercentWildcard(), "*");
    EXPECT_EQ(copy.MaxValueListCount(), 7);
    EXPECT_EQ(copy.DateTimeFormat(), "yyyy-mm-dd");
    EXPECT_TRUE(copy.Active());
    EXPECT_EQ(copy.Root().BoolOperatorKind(), bcNotOr);
    ASSERT_EQ(copy.Root().Count(), 2);
    EXPECT_EQ(static_cast<TkvFilterCriteriaItem *>(copy.Root().Items(0))->ItemLink(), other.GetItemField(0));
    EXPECT_EQ(static_cast<TkvFilterCriteriaItem *>(copy.Root().Items(1))->ItemLink(), other.GetItemField(1));
    EXPECT_EQ(copy.SaveToBytes(), Filter->SaveToBytes());
}

} // namespace
} // namespace kestrum::testing_filter
