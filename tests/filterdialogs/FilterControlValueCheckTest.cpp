// The check a value gets before it goes into the builder: by the item's
// type, with like taking any text and an empty text for a number being Null.
#include "filterdialogs/FilterControlValueCheck.h"
#include "FilterControlTestLink.h"
#include "filterdialogs/FilterControlCriteria.h"

#include <gtest/gtest.h>

namespace kestrum::testing_filter {
namespace {

using Check = TkvFilterControlValueCheck;

class FilterControlValueCheckTest : public FilterFixture {
protected:
    TestFilterLink Link{*Filter};
};

TEST_F(FilterControlValueCheckTest, AValueFitsByTheItemsType)
{
    const TkvValueTypeClass number = TkvFloatValueType::Instance();
    const TkvValueTypeClass date = TkvDateTimeValueType::Instance();
    EXPECT_TRUE(Check::FitsItem(Text("12.5"), number, false));
    EXPECT_FALSE(Check::FitsItem(Text("abc"), number, false));
    EXPECT_TRUE(Check::FitsItem(Text("abc"), number, true)) << "like takes any text";
    EXPECT_TRUE(Check::FitsItem(Text(""), number, false)) << "an empty text is Null";
    EXPECT_TRUE(Check::FitsItem(Variant::null(), date, false));
    EXPECT_FALSE(Check::FitsItem(Text("2024-13-45"), date, false));
    EXPECT_TRUE(Check::FitsItem(Text("abc"), nullptr, false));

    const Variant amount = Check::AsItemKind(Text("12.5"), number);
    EXPECT_EQ(amount.type(), VarType::Float64);
    EXPECT_EQ(amount.toDouble(), 12.5);
    EXPECT_EQ(Check::AsItemKind(Text("2024-7-5"), date).type(), VarType::Date);
    EXPECT_EQ(Check::AsItemKind(Text("x"), TkvStringValueType::Instance()).toString(), QStringLiteral("x"));
}

TEST_F(FilterControlValueCheckTest, ACriteriaIsCheckedLeafByLeafAndElementByElement)
{
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("abc"), "abc");
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcOr);
    Filter->AppendCondition(list, Amount(), ocLike, Text("abc"), "abc");
    Filter->AppendCondition(list, Amount(), ocInList, Variant::fromArray({Text("1"), Text("2")}), "1, 2");
    EXPECT_NO_THROW(Check(&Link).CheckValues(*Filter));
    EXPECT_NO_THROW(Check(nullptr).CheckValues(*Filter));

    Filter->AppendCondition(list, Amount(), ocInList, Variant::fromArray({Text("1"), Text("x")}), "1, x");
    EXPECT_THROW(Check(&Link).CheckValues(*Filter), EkvFilterControlValueError);
    Filter->RemoveConditionsOf(Amount());
    Filter->AppendCondition(nullptr, Date(), ocEqual, Text("x"), "x");
    EXPECT_THROW(Check(&Link).CheckValues(*Filter), EkvFilterControlValueError);
    // Items the link does not have are left to whoever resolves them.
    Link.FItemCount = 1;
    EXPECT_NO_THROW(Check(&Link).CheckValues(*Filter));
}

} // namespace
} // namespace kestrum::testing_filter
