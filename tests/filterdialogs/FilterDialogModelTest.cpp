// The custom filter dialog's logic over a controller's criteria, with plain
// value editors standing in for the real ones.
#include "filterdialogs/FilterDialogModel.h"
#include "filter/FilterFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kestrum {
namespace {

using testing_filter::Text;

//! A value editor that holds a value and its text, and records what the
//! dialog asked of it.
class PlainValueEditor : public TkvFilterDialogValueEditor {
public:
    void SetValue(const Variant &value) override
    {
        Value = value;
        DisplayText = value.isNull() ? QString() : value.displayText();
    }
    bool PostPendingInput() override
    {
        ++Posts;
        return !RefusePost;
    }
    void GetValue(Variant &value, QString &displayText) const override
    {
        value = Value;
        displayText = DisplayText;
    }
    void SetWildcardsAccepted(bool accepted, const QString &, const QString &) override
    {
        WildcardsAccepted = accepted;
    }
    void FocusEditor() override { ++Focused; }

    void Type(const char *utf8)
    {
        Value = Text(utf8);
        DisplayText = QString::fromUtf8(utf8);
    }

    Variant Value = Variant::null();
    QString DisplayText;
    bool WildcardsAccepted = true;
    bool RefusePost = false;
    int Posts = 0;
    int Focused = 0;
};

using Ops = TkvFilterDialogOperators;
const Ops TextOperators = Ops::Range(fdoEqual, fdoNonBlanks);
const Ops NumberOperators = Ops::Range(fdoEqual, fdoGreaterEqual) | Ops{fdoBlanks, fdoNonBlanks};
const Ops MemoOperators = Ops::Range(fdoLike, fdoNonBlanks);

class FilterDialogModelTest : public testing_filter::FilterFixture {
protected:
    FilterDialogModelTest()
    {
        Filter->OnChanged = [this](TkvFilterCriteria *) { ++Changes; };
    }

    //! A loaded dialog for a column.
    std::unique_ptr<TkvFilterDialogModel> Open(TkvDataItem item, Ops operators, TkvValueTypeClass valueType,
                                               const char *caption = "列")
    {
        auto model = std::make_unique<TkvFilterDialogModel>(*Filter, item, operators, valueType,
                                                            QString::fromUtf8(caption));
        model->SetValueEditors(&First, &Second);
        model->Load();
        return model;
    }

    TkvFilterItemLink FieldOf(TkvDataItem item) { return Filter->ResolveItemLink(item); }

    std::string Caption() { return Filter->CaptionText().toStdString(); }

    PlainValueEditor First;
    PlainValueEditor Second;
    int Changes = 0;
};

TEST_F(FilterDialogModelTest, ListsTheOfferedOperatorsInCodeOrderAndPreselectsByValueType)
{
    auto text = Open(Item(), TextOperators, TkvStringValueType::Instance());
    ASSERT_EQ(text->Operators().size(), 10u);
    EXPECT_EQ(text->Operators().front(), fdoEqual);
    EXPECT_EQ(text->Operators().back(), fdoNonBlanks);
    EXPECT_EQ(text->Operator1(), fdoLike);
    EXPECT_EQ(text->Operator2(), std::nullopt);
    EXPECT_TRUE(text->HintsVisible());
    EXPECT_TRUE(First.WildcardsAccepted);
    EXPECT_FALSE(Second.WildcardsAccepted);

    auto number = Open(Amount(), TextOperators, TkvFloatValueType::Instance());
    EXPECT_EQ(number->Operator1(), fdoEqual);
    EXPECT_FALSE(number->HintsVisible());
    EXPECT_FALSE(First.WildcardsAccepted);

    // Builder-only operators never reach the dialog's lists.
    auto date =
        Open(Date(), NumberOperators | Ops::Range(fdoBetween, fdoNextYear), TkvDateTimeValueType::Instance());
    EXPECT_EQ(date->Operators().size(), 8u);
    EXPECT_EQ(date->Operators().back(), fdoNonBlanks);

    // Neither like for a number nor equal for a memo: the first entry.
    auto memoOnNumber = Open(Amount(), MemoOperators, TkvFloatValueType::Instance());
    EXPECT_EQ(memoOnNumber->Operator1(), fdoLike);
    auto numberOnText = Open(Item(), NumberOperators, TkvStringValueType::Instance());
    EXPECT_EQ(numberOnText->Operator1(), fdoEqual);
    EXPECT_FALSE(numberOnText->HintsVisible());
}

TEST_F(FilterDialogModelTest, HintsAndWildcardsFollowEitherList)
{
    auto model = Open(Amount(), TextOperators, TkvFloatValueType::Instance());
    int shown = 0;
    model->OnChanged = [&] { ++shown; };
    EXPECT_FALSE(model->HintsVisible());
    EXPECT_TRUE(model->SelectOperator2(fdoNotLike));
    EXPECT_TRUE(model->HintsVisible());
    EXPECT_TRUE(Second.WildcardsAccepted);
    EXPECT_FALSE(First.WildcardsAccepted);
    EXPECT_TRUE(model->SelectOperator2(std::nullopt));
    EXPECT_FALSE(model->HintsVisible());
    EXPECT_FALSE(Second.WildcardsAccepted);
    EXPECT_EQ(shown, 2);
    // The first list has no empty entry; an operator not offered changes nothing.
    model->SetOperatorIndex1(-1);
    EXPECT_EQ(model->Operator1(), fdoEqual);
    auto numbers = Open(Amount(), NumberOperators, TkvFloatValueType::Instance());
    EXPECT_FALSE(numbers->SelectOperator1(fdoLike));
    EXPECT_EQ(numbers->Operator1(), fdoEqual);
}

TEST_F(FilterDialogModelTest, TextsCarryTheCaptionAndTheCriteriaWildcards)
{
    Filter->SetUnderscoreWildcard(QStringLiteral("?"));
    auto model = Open(Item(), TextOperators, TkvStringValueType::Instance(), "进帐项");
    EXPECT_EQ(model->ColumnCaptionText().toStdString(), "进帐项 ");
    EXPECT_EQ(model->SingleCharHintText().toStdString(), "使用 ? 代表单一字符");
    EXPECT_EQ(model->SeriesHintText().toStdString(), "使用 % 代表任意连续字符");
    EXPECT_EQ(TkvFilterDialogModel::CaptionText().toStdString(), "定制搜索");
    EXPECT_EQ(TkvFilterDialogModel::TitleText().toStdString(), "显示行：");
}

TEST_F(FilterDialogModelTest, ReopensAnOrListOfTwoWithBothConditions)
{
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcOr);
    Filter->AppendCondition(list, FieldOf(Amount()), ocGreater, Variant(100.0), "100");
    Filter->AppendCondition(list, FieldOf(Amount()), ocEqual, Variant::null(), "");
    auto model = Open(Amount(), TextOperators, TkvFloatValueType::Instance());
    EXPECT_EQ(model->Operator1(), fdoGreater);
    EXPECT_EQ(First.Value.toDouble(), 100.0);
    EXPECT_EQ(model->Operator2(), fdoBlanks);
    EXPECT_TRUE(Second.Value.isNull());
    EXPECT_TRUE(model->OrChecked());

    // An and-list reopens with "与"; a lone condition leaves the second list empty.
    list->SetBoolOperatorKind(bcAnd);
    EXPECT_FALSE(Open(Amount(), TextOperators, TkvFloatValueType::Instance())->OrChecked());
    Filter->ClearTree();
    Filter->AppendCondition(nullptr, FieldOf(Item()), ocNotLike, Text("a%"), "a%");
    auto lone = Open(Item(), TextOperators, TkvStringValueType::Instance());
    EXPECT_EQ(lone->Operator1(), fdoNotLike);
    EXPECT_EQ(First.DisplayText.toStdString(), "a%");
    EXPECT_TRUE(First.WildcardsAccepted);
    EXPECT_EQ(lone->Operator2(), std::nullopt);
}

TEST_F(FilterDialogModelTest, OkWritesTheTwoConditionsAsOneChangeAndKeepsOtherColumns)
{
    Filter->AppendCondition(nullptr, FieldOf(Item()), ocEqual, Text("工资"), "工资");
    Filter->AppendCondition(nullptr, FieldOf(Amount()), ocLess, Variant(5.0), "5");
    auto model = Open(Amount(), TextOperators, TkvFloatValueType::Instance(), "金额");
    model->SelectOperator1(fdoGreaterEqual);
    First.Type("10");
    model->SelectOperator2(fdoLessEqual);
    Second.Type("20");
    model->SetOrChecked(true);
    int lockedInHook = -1;
    model->OnApplying = [&] { lockedInHook = Filter->LockCount(); };
    Changes = 0;
    ASSERT_TRUE(model->Accept());
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(lockedInHook, 1);
    EXPECT_EQ(First.Posts, 1);
    EXPECT_EQ(Second.Posts, 1);
    EXPECT_EQ(Caption(), "(进帐项 = 工资) 与 ((金额 >= 10) 或 (金额 <= 20))");
    const auto *list = static_cast<const TkvFilterCriteriaItemList *>(Filter->Root().Items(1));
    EXPECT_EQ(list->BoolOperatorKind(), bcOr);
}

TEST_F(FilterDialogModelTest, BlanksStoreEqualWithNullAndTheTextForNothing)
{
    auto model = Open(Item(), TextOperators, TkvStringValueType::Instance(), "进帐项");
    model->SelectOperator1(fdoBlanks);
    First.Type("left over");
    ASSERT_TRUE(model->Accept());
    ASSERT_EQ(Filter->Root().Count(), 1);
    const auto *leaf = static_cast<const TkvFilterCriteriaItem *>(Filter->Root().Items(0));
    EXPECT_EQ(leaf->OperatorKind(), ocEqual);
    EXPECT_TRUE(leaf->Value().isNull());
    EXPECT_EQ(leaf->DisplayValue().toStdString(), "空");
    EXPECT_EQ(Caption(), "(进帐项 = 空)");
    Filter->SetOptions({fcoShowOperatorDescription});
    EXPECT_EQ(Caption(), "(进帐项 为空)");
}

TEST_F(FilterDialogModelTest, AnEmptyValueMeansNothingForColumnsWithoutText)
{
    // Number column: the empty text becomes Null, and equal with Null tests blanks.
    auto number = Open(Amount(), TextOperators, TkvFloatValueType::Instance(), "金额");
    First.Type("");
    ASSERT_TRUE(number->Accept());
    const auto *leaf = static_cast<const TkvFilterCriteriaItem *>(Filter->Root().Items(0));
    EXPECT_TRUE(leaf->Value().isNull());
    EXPECT_EQ(leaf->DisplayValue().toStdString(), "空");

    // Text column: the empty text stays a value to compare with.
    auto text = Open(Item(), TextOperators, TkvStringValueType::Instance(), "进帐项");
    text->SelectOperator1(fdoEqual);
    First.Type("");
    ASSERT_TRUE(text->Accept());
    leaf = Filter->FindConditionOf(FieldOf(Item()));
    ASSERT_NE(leaf, nullptr);
    EXPECT_TRUE(leaf->Value().isString());
    EXPECT_EQ(leaf->DisplayValue().toStdString(), "空");
}

TEST_F(FilterDialogModelTest, LettersForAnIntegerColumnAreWrongExceptAsAPattern)
{
    Filter->AppendCondition(nullptr, FieldOf(Amount()), ocGreater, Variant(1.0), "1");
    const std::string before = Filter->SaveToBytes();
    auto model = Open(Amount(), TextOperators, TkvIntegerValueType::Instance());
    ASSERT_EQ(model->Operator1(), fdoGreater);
    model->SelectOperator1(fdoEqual);
    First.Type("abc");
    Changes = 0;
    try {
        model->Accept();
        FAIL() << "letters for an integer column were taken";
    } catch (const EkvFilterValueError &error) {
        EXPECT_STREQ(error.what(), "错误值");
    }
    EXPECT_EQ(First.Focused, 1);
    EXPECT_EQ(Changes, 0);
    EXPECT_EQ(Filter->SaveToBytes(), before);

    model->SelectOperator1(fdoLike);
    ASSERT_TRUE(model->Accept());
    EXPECT_EQ(Filter->FindConditionOf(FieldOf(Amount()))->Value().toString().toStdString(), "abc");
}

TEST_F(FilterDialogModelTest, AWrongSecondValueFocusesTheSecondEditor)
{
    auto model = Open(Amount(), TextOperators, TkvIntegerValueType::Instance());
    First.Type("12");
    model->SelectOperator2(fdoLess);
    Second.Type("x1");
    EXPECT_THROW(model->Accept(), EkvFilterValueError);
    EXPECT_EQ(First.Focused, 0);
    EXPECT_EQ(Second.Focused, 1);
    EXPECT_TRUE(Filter->IsEmptyTree());
    // A blank test takes no value, so what is left in the editor does not matter.
    model->SelectOperator2(fdoNonBlanks);
    EXPECT_TRUE(model->Accept());
    EXPECT_EQ(Filter->ConditionCount(), 2);
}

TEST_F(FilterDialogModelTest, AnEditorRefusingItsInputLeavesTheCriteriaAlone)
{
    auto model = Open(Item(), TextOperators, TkvStringValueType::Instance());
    First.Type("x");
    First.RefusePost = true;
    Changes = 0;
    EXPECT_FALSE(model->Accept());
    EXPECT_EQ(Changes, 0);
    EXPECT_TRUE(Filter->IsEmptyTree());
}

TEST(FilterDialogValueCheck, ConvertsEmptyTextAndRejectsWhatTheTypeCannotHold)
{
    Variant value = Variant(QString());
    CheckFilterDialogValue(value, fdoEqual, TkvDateTimeValueType::Instance());
    EXPECT_TRUE(value.isNull());
    value = Variant(QString());
    CheckFilterDialogValue(value, fdoEqual, TkvStringValueType::Instance());
    EXPECT_TRUE(value.isString());
    value = Variant(QStringLiteral("12"));
    EXPECT_NO_THROW(CheckFilterDialogValue(value, fdoLess, TkvIntegerValueType::Instance()));
    value = Variant(QStringLiteral("99999"));
    EXPECT_THROW(CheckFilterDialogValue(value, fdoLess, TkvSmallintValueType::Instance()),
                 EkvFilterValueError);
    value = Variant(QStringLiteral("a_"));
    EXPECT_NO_THROW(CheckFilterDialogValue(value, fdoNotLike, TkvIntegerValueType::Instance()));
    value = Variant(QStringLiteral("anything"));
    EXPECT_NO_THROW(CheckFilterDialogValue(value, fdoEqual, nullptr));
}

class SimpleCriteriaTest : public testing_filter::FilterFixture {
protected:
    TkvFilterItemLink A() { return Filter->ResolveItemLink(Amount()); }
    TkvFilterItemLink I() { return Filter->ResolveItemLink(Item()); }
    void Leaf(TkvFilterCriteriaItemList *list, TkvFilterItemLink link, TkvFilterOperatorCode code = ocEqual)
    {
        Filter->AppendCondition(list, link, code, Variant(1.0), "1");
    }
};

TEST_F(SimpleCriteriaTest, OneConditionOrOnePairPerColumnUnderAnAndRoot)
{
    EXPECT_TRUE(IsSimpleFilterCriteria(*Filter));
    Leaf(nullptr, A(), ocNotLike);
    Leaf(nullptr, I());
    EXPECT_TRUE(IsSimpleFilterCriteria(*Filter));

    Filter->Root().SetBoolOperatorKind(bcOr);
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter));
    Filter->Root().SetBoolOperatorKind(bcAnd);

    Leaf(nullptr, A(), ocLess); // a second root condition on the amount
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter));

    Filter->ClearTree();
    Filter->AppendCondition(nullptr, A(), ocBetween, Variant::fromArray({Variant(1.0), Variant(2.0)}), "1;2");
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter));
}

TEST_F(SimpleCriteriaTest, APairMustBeTwoConditionsOnOneUnusedColumnJoinedByAndOrOr)
{
    TkvFilterCriteriaItemList *pair = Filter->AppendSubList(nullptr, bcOr);
    Leaf(pair, A());
    Leaf(pair, A(), ocGreater);
    Leaf(nullptr, I());
    EXPECT_TRUE(IsSimpleFilterCriteria(*Filter));

    pair->SetBoolOperatorKind(bcNotAnd);
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter));
    pair->SetBoolOperatorKind(bcAnd);
    EXPECT_TRUE(IsSimpleFilterCriteria(*Filter));

    Leaf(pair, A()); // three conditions
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter));

    Filter->ClearTree();
    Leaf(nullptr, A());
    TkvFilterCriteriaItemList *later = Filter->AppendSubList(nullptr, bcOr);
    Leaf(later, A());
    Leaf(later, A());
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter)); // the amount was used before

    Filter->ClearTree();
    TkvFilterCriteriaItemList *mixed = Filter->AppendSubList(nullptr, bcOr);
    Leaf(mixed, A());
    Leaf(mixed, I());
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter));

    Filter->ClearTree();
    TkvFilterCriteriaItemList *nested = Filter->AppendSubList(nullptr, bcOr);
    Leaf(nested, A());
    nested->AppendSubList(bcAnd);
    EXPECT_FALSE(IsSimpleFilterCriteria(*Filter));
}

} // namespace
} // namespace kestrum
