// The filter builder's rows: building a criteria from them and them from a
// criteria, the operator and value rules, and applying to the link.
#include "filterdialogs/FilterControlModel.h"
#include "FilterControlTestLink.h"

#include <gtest/gtest.h>

namespace kestrum::testing_filter {
namespace {

class FilterControlModelTest : public FilterFixture {
protected:
    FilterControlModelTest() { Model.SetLink(&Link); }
    using FilterFixture::Add;

    std::string RowsText() const { return Model.RowsText().toStdString(); }
    TkvFilterControlConditionRow &Condition(int displayIndex)
    {
        return *static_cast<TkvFilterControlConditionRow *>(Model.Rows().at(std::size_t(displayIndex)));
    }
    //! A condition on an item with an operator, its values posted as texts.
    TkvFilterControlConditionRow &Add(TkvFilterControlGroupRow &group, int item, TkvFilterDialogOperator op,
                                      std::initializer_list<const char *> values = {})
    {
        TkvFilterControlConditionRow &condition = *Model.AddCondition(group);
        Model.SetConditionItem(condition, item);
        Model.SetConditionOperator(condition, op);
        int index = 0;
        for (const char *value : values) {
            if (index >= int(condition.Values.size()))
                Model.AddValue(condition);
            Model.PostValue(condition, index++, Text(value), QString::fromUtf8(value));
        }
        return condition;
    }
    const TkvFilterCriteriaItem &Leaf(int index)
    {
        return *static_cast<TkvFilterCriteriaItem *>(Model.Criteria().Root().Items(index));
    }

    TestFilterLink Link{*Filter};
    TkvFilterControlModel Model;
};

TEST_F(FilterControlModelTest, ANewConditionTakesTheFirstItemAndItsLowestOperator)
{
    EXPECT_EQ(RowsText(), "与 <根>");
    Model.AddCondition(Model.Root());
    // The amount is a number: no "类似", so the lowest code, "等于", with one empty value.
    EXPECT_EQ(RowsText(), "与 <根>\n  金额 等于 <空>");
    EXPECT_FALSE(Condition(1).SupportedOperators.Contains(fdoLike));
    EXPECT_TRUE(Condition(1).SupportedOperators.Contains(fdoInList));
    EXPECT_FALSE(Condition(1).SupportedOperators.Contains(fdoToday));
    Model.SetNullString(QStringLiteral("(none)"));
    EXPECT_EQ(RowsText(), "与 <根>\n  金额 等于 (none)");
}

TEST_F(FilterControlModelTest, ChangingTheFieldBetweenTextAndDateSwapsLikeForEqual)
{
    TkvFilterControlConditionRow &condition = *Model.AddCondition(Model.Root());
    Model.ChooseListEntry({&condition, TkvFilterControlPartKind::Field, -1}, 2);
    EXPECT_EQ(condition.Operator, fdoLike);
    Model.ChooseListEntry({&condition, TkvFilterControlPartKind::Field, -1}, 1);
    EXPECT_EQ(condition.Operator, fdoEqual);
    EXPECT_FALSE(condition.SupportedOperators.Contains(fdoLike));
    EXPECT_TRUE(condition.SupportedOperators.Contains(fdoNextYear));
    const TkvFilterControlActivation list =
        Model.ActivatePart({&condition, TkvFilterControlPartKind::Operator, -1});
    ASSERT_EQ(list.What, TkvFilterControlActivation::Kind::List);
    EXPECT_EQ(list.ListEntries.front().Caption.toStdString(), "等于");
    EXPECT_EQ(list.ListEntries.back().Caption.toStdString(), "明年");
    EXPECT_EQ(list.CurrentEntry, 0);
    Model.ChooseListEntry({&condition, TkvFilterControlPartKind::Field, -1}, 2);
    EXPECT_EQ(condition.Operator, fdoLike);
}

TEST_F(FilterControlModelTest, OperatorsAdjustTheNumberOfValues)
{
    TkvFilterControlConditionRow &condition = Add(Model.Root(), 2, fdoInList, {"a", "b", "c"});
    Model.SetConditionOperator(condition, fdoNotInList);
    EXPECT_EQ(condition.Values.size(), 3u) << "list operators keep their values";
    Model.SetConditionOperator(condition, fdoBetween);
    EXPECT_EQ(condition.Values.size(), 2u);
    Model.SetConditionOperator(condition, fdoEqual);
    EXPECT_EQ(RowsText(), "与 <根>\n  进帐项 等于 a");
    Model.SetConditionOperator(condition, fdoBetween);
    EXPECT_EQ(RowsText(), "与 <根>\n  进帐项 取范围 a, <空>");
    Model.SetConditionOperator(condition, fdoBlanks);
    EXPECT_TRUE(condition.Values.empty());
    Model.SetConditionOperator(condition, fdoInList);
    EXPECT_EQ(condition.Values.size(), 1u) << "a list has at least one value";
}

TEST_F(FilterControlModelTest, BetweenIsStoredLowFirstWhateverTheEnteredOrder)
{
    Add(Model.Root(), 0, fdoBetween, {"20", "10"});
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(debugString(Leaf(0).Value()), "Array[Double(10), Double(20)]");
    EXPECT_EQ(Leaf(0).DisplayValue().toStdString(), "10;20");
    EXPECT_EQ(Leaf(0).OperatorKind(), ocBetween);
}

// Typed texts used to order as texts, so 9 .. 10 came out as 10 .. 9 and matched nothing.
TEST_F(FilterControlModelTest, BetweenOnANumberItemOrdersTypedTextsAsNumbers)
{
    Add(Model.Root(), 0, fdoBetween, {"9", "10"});
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Leaf(0).DisplayValue().toStdString(), "9;10");
}

TEST_F(FilterControlModelTest, EqualEndsOfARangeComeOutReversed)
{
    TkvFilterControlConditionRow &condition = Add(Model.Root(), 2, fdoBetween);
    Model.PostValue(condition, 0, Text("x"), QStringLiteral("first"));
    Model.PostValue(condition, 1, Text("x"), QStringLiteral("second"));
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Leaf(0).DisplayValue().toStdString(), "second;first");
}

TEST_F(FilterControlModelTest, InListKeepsEveryValueInOrder)
{
    Add(Model.Root(), 2, fdoInList, {"a", "b", "c"});
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Leaf(0).OperatorKind(), ocInList);
    EXPECT_EQ(Leaf(0).Value().elements().size(), 3u);
    EXPECT_EQ(Leaf(0).DisplayValue().toStdString(), "a;b;c");
}

TEST_F(FilterControlModelTest, BlanksAreEqualWithNullAndShowNoValuePart)
{
    TkvFilterControlConditionRow &condition = Add(Model.Root(), 2, fdoBlanks);
    for (const TkvFilterControlFocus &part : Model.RowParts(&condition))
        EXPECT_NE(part.Part, TkvFilterControlPartKind::Value);
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Leaf(0).OperatorKind(), ocEqual);
    EXPECT_TRUE(Leaf(0).Value().isNull());
    EXPECT_EQ(Leaf(0).DisplayValue().toStdString(), "空");
    EXPECT_EQ(Model.FilterCaption().toStdString(), "(进帐项 = 空)");
}

TEST_F(FilterControlModelTest, EmptyValuesReadAsNullAndTheirTextAsEmpty)
{
    TkvFilterControlConditionRow &amount = Add(Model.Root(), 0, fdoLess);
    Model.PostValue(amount, 0, Text(""), QString());
    EXPECT_TRUE(amount.Values[0].Value.isNull()) << "an empty text is no number";
    Add(Model.Root(), 2, fdoEqual, {""});
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Leaf(0).DisplayValue().toStdString(), "空");
    EXPECT_TRUE(Leaf(1).Value().isString()) << "text items keep the empty text";
    EXPECT_EQ(Leaf(1).DisplayValue().toStdString(), "");
}

// An empty text value showed as a part two pixels wide that no click could reach.
TEST_F(FilterControlModelTest, AnEmptyTextValueShowsTheNullString)
{
    Add(Model.Root(), 2, fdoEqual, {""});
    EXPECT_EQ(RowsText(), "与 <根>\n  进帐项 等于 <空>");
    TkvFilterControlConditionRow &item = Condition(1);
    Model.PostValue(item, 0, Text("a"), QString());
    EXPECT_EQ(RowsText(), "与 <根>\n  进帐项 等于 a") << "a value without a display text shows its own text";
}

TEST_F(FilterControlModelTest, AValueTheItemCannotHoldIsRefused)
{
    TkvFilterControlConditionRow &condition = Add(Model.Root(), 0, fdoEqual, {"5"});
    EXPECT_THROW(Model.PostValue(condition, 0, Text("abc"), QStringLiteral("abc")),
                 EkvFilterControlValueError);
    EXPECT_EQ(RowsText(), "与 <根>\n  金额 等于 5") << "the old value stays";
    TkvFilterControlConditionRow &date = Add(Model.Root(), 1, fdoGreater);
    EXPECT_THROW(Model.PostValue(date, 0, Text("no date"), QStringLiteral("no date")),
                 EkvFilterControlValueError);
    // A pending edit that fails stops the build before anything changes.
    Model.OnPostEdit = [] { throw EkvFilterControlValueError(); };
    EXPECT_THROW(Model.BuildCriteria(), EkvFilterControlValueError);
    EXPECT_TRUE(Model.Criteria().IsEmptyTree());
}

TEST_F(FilterControlModelTest, GroupsBuildInnerListsWithTheirBoolCodes)
{
    Model.Root().SetBoolCode(bcOr);
    Add(Model.Root(), 2, fdoEqual, {"工资"});
    TkvFilterControlGroupRow *group = Model.AddGroup(Model.Root());
    group->SetBoolCode(bcNotOr);
    Model.SetConditionOperator(Condition(3), fdoGreater);
    Model.PostValue(Condition(3), 0, Text("10"), QStringLiteral("10"));
    Add(*group, 1, fdoToday);
    EXPECT_EQ(RowsText(),
              "或 <根>\n  进帐项 等于 工资\n  不是所有 按以下定义搜索\n    金额 大于 10\n    日期 今天");
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Model.FilterCaption().toStdString(), "(进帐项 = 工资) 或 (非 ((金额 > 10) 或 (日期 今天)))");
    EXPECT_EQ(Model.FilterText().left(42).toStdString(), "(item = '工资') OR (NOT ((amount > 10) OR ((");
}

TEST_F(FilterControlModelTest, RowsFromACriteriaMirrorItsTree)
{
    Filter->BeginBatch();
    Filter->Root().SetBoolOperatorKind(bcNotAnd);
    Filter->AppendCondition(nullptr, Item(), ocEqual, Variant::null(), QString());
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcOr);
    Filter->AppendCondition(list, Amount(), ocBetween, Variant::fromArray({Variant(1.0), Variant(2.0)}),
                            QStringLiteral("1.0;2.0"));
    Filter->AppendCondition(list, Item(), ocNotInList, Variant::fromArray({Text("a"), Text("b")}),
                            QStringLiteral("A;B"));
    // The builder gives a condition without a value the display text "空".
    Filter->AppendCondition(list, Date(), ocLastMonth, Variant::null(), QString::fromUtf8("空"));
    Filter->EndBatch();
    Model.SetLink(&Link);
    EXPECT_EQ(RowsText(), "不是 <根>\n  进帐项 为空\n  或 按以下定义搜索\n    金额 取范围 1.0, 2.0\n"
                          "    进帐项 不在之中 A, B\n    日期 前一月");
    // And back: the same stream.
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Model.Criteria().SaveToBytes(), Filter->SaveToBytes());
}

// A filter file whose text value is no text in the code page used to throw
// out of building the criteria.
TEST_F(FilterControlModelTest, ValuesThatAreNoTextStillBuild)
{
    const Variant bytes = Variant::fromNarrow(NarrowString("\xFF\xFE"));
    Filter->AppendCondition(nullptr, Item(), ocLess, bytes, QString());
    Filter->AppendCondition(nullptr, Item(), ocInList, Variant::fromArray({bytes}), QString());
    Model.SetLink(&Link);
    // Shown as no value is, so that the part can still be clicked.
    EXPECT_EQ(RowsText(), "与 <根>\n  进帐项 小于 <空>\n  进帐项 在之中 <空>");
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(Leaf(0).DisplayValue().toStdString(), "");
}

TEST_F(FilterControlModelTest, AConditionOnAnUnknownItemCannotBeShown)
{
    Add(Model.Root(), 2, fdoEqual, {"x"});
    Filter->AppendCondition(nullptr, nullptr, ocEqual, Text("y"), QStringLiteral("y"));
    EXPECT_THROW(Model.BuildRowsFromCriteria(*Filter), EkvFilterControlError);
    EXPECT_EQ(RowsText(), "与 <根>\n  进帐项 等于 x") << "the rows stay as they were";
    Link.FItemCount = 0;
    TkvFilterCriteria empty;
    EXPECT_THROW(Model.BuildRowsFromCriteria(empty), EkvFilterControlError);
}

TEST_F(FilterControlModelTest, DeletingTheLastRowOfNestedGroupsTakesTheGroupsButNotTheRoot)
{
    TkvFilterControlGroupRow *outer = Model.AddGroup(Model.Root());
    TkvFilterControlGroupRow *inner = Model.AddGroup(*outer);
    Model.DeleteRow(outer->Rows(0)); // the outer group's own condition
    ASSERT_EQ(outer->Count(), 1);
    Model.DeleteRow(inner->Rows(0));
    EXPECT_EQ(RowsText(), "与 <根>");
    EXPECT_EQ(Model.Focus().Part, TkvFilterControlPartKind::FooterLink);
    Model.DeleteRow(&Model.Root());
    EXPECT_EQ(RowsText(), "与 <根>");
}

TEST_F(FilterControlModelTest, RowButtonMenusAddDeleteAndClear)
{
    TkvFilterControlActivation menu =
        Model.ActivatePart({&Model.Root(), TkvFilterControlPartKind::Button, -1});
    ASSERT_EQ(menu.What, TkvFilterControlActivation::Kind::Menu);
    ASSERT_EQ(menu.MenuItems.size(), 3u);
    EXPECT_EQ(menu.MenuItems[2].Caption.toStdString(), "全部清除");
    EXPECT_FALSE(menu.MenuItems[2].Visible) << "nothing to clear in an empty root";
    Model.ExecuteMenuCommand(&Model.Root(), TkvFilterControlMenuCommand::AddGroup);
    TkvFilterControlRow *condition = Model.Rows()[2];
    // A condition row's "添加条件" adds to its own group.
    Model.ExecuteMenuCommand(condition, TkvFilterControlMenuCommand::AddCondition);
    EXPECT_EQ(RowsText(), "与 <根>\n  与 按以下定义搜索\n    金额 等于 <空>\n    金额 等于 <空>");
    menu = Model.ActivatePart({condition, TkvFilterControlPartKind::Button, -1});
    EXPECT_EQ(menu.MenuItems[2].Caption.toStdString(), "删除行");
    EXPECT_TRUE(
        Model.ActivatePart({&Model.Root(), TkvFilterControlPartKind::Button, -1}).MenuItems[2].Visible);
    Model.Root().SetBoolCode(bcOr);
    Model.ExecuteMenuCommand(&Model.Root(), TkvFilterControlMenuCommand::ClearAll);
    EXPECT_EQ(RowsText(), "与 <根>");
}

TEST_F(FilterControlModelTest, TheFooterLinkAddsToTheGroupOfTheLastRow)
{
    Model.ActivatePart({nullptr, TkvFilterControlPartKind::FooterLink, -1});
    TkvFilterControlGroupRow *group = Model.AddGroup(Model.Root());
    Model.ActivatePart({nullptr, TkvFilterControlPartKind::FooterLink, -1});
    EXPECT_EQ(group->Count(), 2);
    Model.DeleteRow(group->Rows(0));
    Model.DeleteRow(group->Rows(0));
    Model.AddGroup(Model.Root());
    Model.DeleteRow(Model.Rows().back()); // leaves nothing: the group goes too
    Model.ActivatePart({nullptr, TkvFilterControlPartKind::FooterLink, -1});
    EXPECT_EQ(RowsText(), "与 <根>\n  金额 等于 <空>\n  金额 等于 <空>");
}

TEST_F(FilterControlModelTest, ApplyCopiesTheTreeIntoTheLinkAndNotAndFiltersTheRows)
{
    Add(Variant(100.0), Day(2024, 7, 1), Text("工资"));
    Add(Variant(20.0), Day(2024, 7, 2), Text("红包"));
    Add(Variant(7.0), Day(2024, 7, 3), Text("工资"));
    Model.Root().SetBoolCode(bcNotAnd);
    Add(Model.Root(), 2, fdoEqual, {"工资"});
    Add(Model.Root(), 0, fdoGreater, {"50"});
    int applied = 0;
    Model.OnApplyFilter = [&] {
        ++applied;
        Filter->SetActive(true);
    };
    Model.ApplyFilter();
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(Filter->Root().BoolOperatorKind(), bcNotAnd);
    EXPECT_EQ(Rows(), "1,2") << "not (工资 and > 50) drops only the first record";
    EXPECT_EQ(RowsText(), "不是 <根>\n  进帐项 等于 工资\n  金额 大于 50");
}

// The builder's criteria once took the link's change handler along with its
// settings, so the grid heard every edit made in the builder.
TEST_F(FilterControlModelTest, TheLinksListenersHearOnlyTheApply)
{
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("a"), QStringLiteral("a"));
    Filter->SetOptions({fcoCaseInsensitive});
    int changes = 0;
    Filter->OnChanged = [&](TkvFilterCriteria *) { ++changes; };
    Model.SetLink(&Link);
    EXPECT_TRUE(Model.Criteria().Options().Contains(fcoCaseInsensitive));
    Add(Model.Root(), 0, fdoLess, {"5"});
    ASSERT_TRUE(Model.BuildCriteria());
    EXPECT_EQ(changes, 0);
    Model.ApplyFilter();
    EXPECT_EQ(changes, 1);
}

TEST_F(FilterControlModelTest, AFailedApplyShowsTheLinksCriteriaAgain)
{
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("old"), QStringLiteral("old"));
    Model.SetLink(&Link);
    Model.ChooseListEntry({Model.Rows()[1], TkvFilterControlPartKind::Operator, -1}, fdoNotEqual);
    Model.OnApplyFilter = [] { throw Exception("refused"); };
    EXPECT_THROW(Model.ApplyFilter(), Exception);
    EXPECT_EQ(RowsText(), "与 <根>\n  进帐项 不等于 old") << "what the link's criteria now holds";
    Model.OnApplyFilter = nullptr;
    Model.OnPostEdit = [] { throw EkvFilterControlValueError(); };
    Model.ChooseListEntry({Model.Rows()[1], TkvFilterControlPartKind::Operator, -1}, fdoLess);
    EXPECT_THROW(Model.ApplyFilter(), EkvFilterControlValueError);
    EXPECT_EQ(Leaf(0).OperatorKind(), ocNotEqual) << "a refused value changes nothing";
    EXPECT_EQ(static_cast<TkvFilterCriteriaItem *>(Filter->Root().Items(0))->OperatorKind(), ocNotEqual);
}

TEST_F(FilterControlModelTest, DisabledOperatorsAreNeverOffered)
{
    Model.SetDisabledOperators({fdoLike, fdoNotLike, fdoBetween, fdoNotBetween, fdoInList, fdoNotInList});
    TkvFilterControlConditionRow &condition = *Model.AddCondition(Model.Root());
    Model.SetConditionItem(condition, 2);
    EXPECT_EQ(condition.Operator, fdoEqual) << "like is off, so the text item starts with equal";
    EXPECT_FALSE(condition.SupportedOperators.Contains(fdoInList));
    Model.ChooseListEntry({&condition, TkvFilterControlPartKind::Operator, -1}, fdoBetween);
    EXPECT_EQ(condition.Operator, fdoEqual);
}

} // namespace
} // namespace kestrum::testing_filter
