// The caption and the expression text in Chinese, with wildcards, ranges,
// lists, Nulls and dates.
#include "FilterFixture.h"

namespace kestrum::testing_filter {
namespace {

class FilterTextTest : public FilterFixture {
protected:
    std::string Caption() const { return Filter->CaptionText().toStdString(); }
    std::string Expression() const { return Filter->ExpressionText().toStdString(); }
};

TEST_F(FilterTextTest, ListsAndBoolWords)
{
    EXPECT_EQ(Caption(), "");
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("工资"), "工资");
    EXPECT_EQ(Caption(), "(进帐项 = 工资)");
    EXPECT_EQ(Expression(), "(item = '工资')");
    Filter->AppendCondition(nullptr, Amount(), ocGreater, 5, "5");
    Filter->Root().SetBoolOperatorKind(bcOr);
    EXPECT_EQ(Caption(), "(进帐项 = 工资) 或 (金额 > 5)");
    Filter->Root().SetBoolOperatorKind(bcNotAnd);
    EXPECT_EQ(Caption(), "非 ((进帐项 = 工资) 与 (金额 > 5))");
    EXPECT_EQ(Expression(), "NOT ((item = '工资') AND (amount > 5))");
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcNotOr);
    Filter->AppendCondition(list, Amount(), ocLess, 1, "1");
    EXPECT_EQ(Caption(), "非 ((进帐项 = 工资) 与 (金额 > 5) 与 (非 ((金额 < 1))))");
    Filter->SetOptions({fcoShowOperatorDescription});
    EXPECT_EQ(Caption(), "非 ((进帐项 等于 工资) 与 (金额 大于 5) 与 (非 ((金额 小于 1))))");
}

TEST_F(FilterTextTest, LikeWordsFollowThePattern)
{
    Filter->AppendCondition(nullptr, Item(), ocLike, Text("工%"), "工%");
    Filter->AppendCondition(nullptr, Item(), ocLike, Text("%资"), "%资");
    Filter->AppendCondition(nullptr, Item(), ocNotLike, Text("%%工%"), "%%工%");
    Filter->AppendCondition(nullptr, Item(), ocLike, Text("工_"), "工_");
    // Without descriptions the pattern is shown as it is after the word.
    EXPECT_EQ(Caption(),
              "(进帐项 开始于 工%) 与 (进帐项 结束于 %资) 与 (进帐项 不包含 %%工%) 与 (进帐项 类似 工_)");
    EXPECT_EQ(Expression(),
              "(item LIKE '工%') AND (item LIKE '%资') AND (item NOT LIKE '%%工%') AND (item LIKE '工_')");
    Filter->SetOptions({fcoShowOperatorDescription});
    EXPECT_EQ(Caption(),
              "(进帐项 开始于 工) 与 (进帐项 结束于 资) 与 (进帐项 不包含 工) 与 (进帐项 类似 工_)");
}

TEST_F(FilterTextTest, RangesListsAndNulls)
{
    Filter->AppendCondition(nullptr, Amount(), ocBetween, Variant::fromArray({10, 20}), "10;20");
    EXPECT_EQ(Caption(), "(金额 取范围 10 与 20)");
    EXPECT_EQ(Expression(), "(amount BETWEEN 10 AND 20)");
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Item(), ocNotInList,
                            Variant::fromArray({Text("工资"), Variant::null(), Text("红包")}),
                            " 工资 ;; 红包");
    EXPECT_EQ(Caption(), "(进帐项 不在之中 (工资, 空, 红包))");
    EXPECT_EQ(Expression(), "(item NOT IN ('工资', NULL, '红包'))");
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Amount(), ocNotBetween, Variant::fromArray({Variant::null(), 20}),
                            ";20");
    EXPECT_EQ(Caption(), "(金额 不在范围 空 与 20)");

    Filter->ClearTree();
    Filter->AppendCondition(nullptr, Item(), ocEqual, Variant::null(), "");
    Filter->AppendCondition(nullptr, Item(), ocNotLike, Variant::null(), "");
    EXPECT_EQ(Caption(), "(进帐项 = 空) 与 (进帐项 <> 空)");
    EXPECT_EQ(Expression(), "(item = NULL) AND (item <> NULL)");
    Filter->SetOptions({fcoShowOperatorDescription});
    EXPECT_EQ(Caption(), "(进帐项 为空) 与 (进帐项 不为空)");
}

TEST_F(FilterTextTest, DatesInExpressions)
{
    Filter->AppendCondition(nullptr, Date(), ocEqual, Variant::fromDate(EncodeDate(2024, 7, 5) + 0.5),
                            "2024-7-5 12:00");
    Filter->AppendCondition(nullptr, Date(), ocThisMonth, Variant::null(), "");
    EXPECT_EQ(Caption(), "(日期 = 2024-7-5 12:00) 与 (日期 本月)");
    EXPECT_EQ(Expression(),
              "(date = '2024-7-5 12:00:00') AND (('2024-7-1' <= date) AND (date < '2024-8-1'))");
    Filter->SetDateTimeFormat("yyyy/mm/dd");
    EXPECT_EQ(Expression(), "(date = '2024-07-05') AND (('2024-07-01' <= date) AND (date < '2024-08-01'))");
}

} // namespace
} // namespace kestrum::testing_filter

namespace kestrum::testing_filter {
namespace {

TEST_F(FilterTextTest, UndecodableBytesDoNotBreakTheTexts)
{
    // A stream may carry bytes that are no text in the code page.
    Filter->AppendCondition(nullptr, Item(), ocEqual, Variant::fromNarrow("a\xCA"), "x");
    Filter->AppendCondition(nullptr, Item(), ocLike, Variant::fromNarrow("%\xCA"), "y");
    EXPECT_EQ(Expression(), "(item = 'a\xEF\xBF\xBD') AND (item LIKE '%\xEF\xBF\xBD')");
    EXPECT_EQ(Caption(), "(进帐项 = x) 与 (进帐项 结束于 y)");
}

} // namespace
} // namespace kestrum::testing_filter
