// The text class on its own: dates go through the criteria's own format, and
// a list's text is the same whether asked of the whole tree or of the list.
#include "FilterFixture.h"

#include "filter/FilterCriteriaText.h"

namespace kestrum::testing_filter {
namespace {

//! Writes every date as a fixed word, so the test sees which format ran.
class MarkedDateCriteria : public TkvFilterCriteria {
public:
    QString FormatDateTime(double) const override { return QStringLiteral("day"); }
};

class FilterCriteriaTextTest : public FilterFixture {};

TEST_F(FilterCriteriaTextTest, DatesGoThroughTheCriteriasFormat)
{
    MarkedDateCriteria criteria;
    const TkvFilterCriteriaText text(criteria);
    const Variant date = Variant::fromDate(EncodeDate(2024, 7, 5) + 0.5);
    EXPECT_EQ(text.ValueExpression(date).toStdString(), "'day'");
    EXPECT_EQ(text.ValueExpression(Variant::null()).toStdString(), "NULL");
    EXPECT_EQ(criteria.ValueExpression(date).toStdString(), "'day'");

    EXPECT_EQ(TkvFilterCriteriaText::DateTimeText({}, EncodeDate(2024, 7, 5) + 0.5).toStdString(),
              "2024-7-5 12:00:00");
    EXPECT_EQ(TkvFilterCriteriaText::DateTimeText(QStringLiteral("yyyy/mm/dd"), EncodeDate(2024, 7, 5))
                  .toStdString(),
              "2024-07-05");
}

TEST_F(FilterCriteriaTextTest, AListReadsTheSameAloneAsInTheTree)
{
    Filter->AppendCondition(nullptr, Item(), ocEqual, Text("工资"), "工资");
    TkvFilterCriteriaItemList *list = Filter->AppendSubList(nullptr, bcOr);
    Filter->AppendCondition(list, Amount(), ocGreater, 5, "5");
    Filter->AppendCondition(list, Amount(), ocLess, 1, "1");
    const TkvFilterCriteriaText text(*Filter);
    EXPECT_EQ(text.ListText(*list, true).toStdString(), "(金额 > 5) 或 (金额 < 1)");
    EXPECT_EQ(text.ListText(*list, false).toStdString(), "(amount > 5) OR (amount < 1)");
    EXPECT_EQ(text.FilterText(false).toStdString(), "(item = '工资') AND ((amount > 5) OR (amount < 1))");
    EXPECT_EQ(text.FilterText(true), Filter->CaptionText());
}

} // namespace
} // namespace kestrum::testing_filter
