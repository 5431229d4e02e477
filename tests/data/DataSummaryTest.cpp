#include "data/DataSummary.h"

#include "core/DateTime.h"
#include "data/DataGroups.h"
#include "data/DataStorage.h"
#include "data/RecordComparer.h"
#include "data/SummaryCalculator.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace kestrum;

namespace {

TkvCustomDataField *fieldAt(int index)
{
    return reinterpret_cast<TkvCustomDataField *>(std::intptr_t(16 * (index + 1)));
}
int indexOf(const void *field)
{
    return int(reinterpret_cast<std::intptr_t>(field) / 16 - 1);
}
const void *column(int index)
{
    return reinterpret_cast<const void *>(std::intptr_t(1000 + index));
}

//! A summary host over a storage whose definitions stand for fields 0, 1, ...
//! Columns (linked items) 1000 + k resolve to field k.
class Host : public TkvSummaryHost {
public:
    TkvDataStorage storage;
    std::vector<TkvValueDef *> defs;
    std::vector<int> list;
    TkvDataGroups groups;
    bool grouped = false;
    bool typedReads = true;
    std::vector<int> selected;
    int changes = 0, redraws = 0;

    int AddColumn(TkvValueTypeClass type)
    {
        defs.push_back(storage.ValueDefs().Add(type, true, nullptr, false));
        return int(defs.size()) - 1;
    }
    int AddRecord(std::vector<Variant> values)
    {
        int r = storage.AppendRecord();
        for (std::size_t i = 0; i < values.size(); ++i)
            storage.SetValue(r, defs[i], values[i]);
        list.push_back(r);
        return r;
    }
    //! Groups by one column (ascending stored order).
    void GroupBy(int columnIndex)
    {
        TkvRecordComparer comparer;
        comparer.AddKey(soAscending, TkvCompareMode::cmStoredValue)
            .LoadStored(storage, defs[columnIndex], list);
        comparer.Sort(list);
        groups.Build({fieldAt(columnIndex)}, list,
                     [&](int level, int a, int b) { return comparer.CompareKey(level, a, b) == 0; });
        grouped = true;
    }

    const std::vector<int> &SummaryRecordList() const override { return list; }
    TkvDataGroups *SummaryDataGroups() override { return grouped ? &groups : nullptr; }
    bool IsRecordSelected(int recordIndex) const override
    {
        return std::find(selected.begin(), selected.end(), recordIndex) != selected.end();
    }
    Variant SummaryFieldValue(int recordIndex, TkvCustomDataField *field) const override
    {
        return storage.GetValue(recordIndex, defs[indexOf(field)]);
    }
    const TkvDataStorage *SummaryStorage() const override { return typedReads ? &storage : nullptr; }
    const TkvValueDef *SummaryValueDef(TkvCustomDataField *field) const override
    {
        return defs[indexOf(field)];
    }
    TkvCustomDataField *SummaryFieldByItem(const void *item) const override
    {
        int k = int(reinterpret_cast<std::intptr_t>(item)) - 1000;
        return k >= 0 && k < int(defs.size()) ? fieldAt(k) : nullptr;
    }
    void SummaryChanged(bool redrawOnly) override { ++(redrawOnly ? redraws : changes); }
    TkvCustomDataField *SummaryFieldByName(const QString &name) const override
    {
        return name == "amount" && !defs.empty() ? fieldAt(0) : nullptr;
    }
};

TkvDataSummaryItem *footer(TkvDataSummary &summary, int columnIndex, TkvSummaryKind kind)
{
    TkvDataSummaryItem *item = summary.FooterSummaryItems().Add();
    item->SetLinkedItem(column(columnIndex));
    item->SetKind(kind);
    return item;
}

// Footer texts of every item, "|"-separated, computed both without variants
// and through the variant rule; the two must agree.
std::string footerTexts(Host &host, TkvDataSummary &summary)
{
    std::string texts[2];
    for (int pass = 0; pass < 2; ++pass) {
        host.typedReads = pass == 0;
        summary.Recalculate();
        for (int i = 0; i < summary.FooterSummaryItems().Count(); ++i)
            texts[pass] += (i ? "|" : "") + summary.FooterText(i).toStdString();
    }
    host.typedReads = true;
    EXPECT_EQ(texts[0], texts[1]);
    return texts[1];
}

TEST(DataSummary, EmptyTableGivesNullValuesAndZeroCount)
{
    Host host;
    host.AddColumn(TkvFloatValueType::Instance());
    TkvDataSummary summary(&host);
    for (TkvSummaryKind kind : {skSum, skMin, skMax, skCount, skAverage})
        footer(summary, 0, kind);
    // Every value is Null except the count, which is 0 and shows "0".
    EXPECT_EQ(footerTexts(host, summary), "|||0|");
    EXPECT_TRUE(summary.FooterValues(0).isNull());
}

TEST(DataSummary, FooterNullRulesForEveryKind)
{
    Host host;
    host.AddColumn(TkvFloatValueType::Instance());
    TkvDataSummary summary(&host);
    for (TkvSummaryKind kind : {skSum, skMin, skMax, skCount, skAverage})
        footer(summary, 0, kind);
    host.AddRecord({Variant::null()});
    host.AddRecord({Variant::null()});
    // All Null, soNullIgnore off: the sum starts at 0, min/max stay Null, Nulls count.
    EXPECT_EQ(footerTexts(host, summary), "0.00|||2|AVG=0.00");
    summary.SetOptions(soNullIgnore);
    EXPECT_EQ(footerTexts(host, summary), "|||0|");
    summary.SetOptions(0);
    host.AddRecord({Variant(3.0)});
    host.AddRecord({Variant(6.0)});
    // Average divides by all four rows, Null rows included.
    EXPECT_EQ(footerTexts(host, summary), "9.00|MIN=3.00|MAX=6.00|4|AVG=2.25");
    summary.SetOptions(soNullIgnore);
    EXPECT_EQ(footerTexts(host, summary), "9.00|MIN=3.00|MAX=6.00|2|AVG=4.50");
}

TEST(DataSummary, CurrencySumsUseTheLocaleCurrencyPattern)
{
    Host host;
    host.AddColumn(TkvCurrencyValueType::Instance());
    TkvDataSummary summary(&host);
    footer(summary, 0, skSum);
    host.AddRecord({Variant(Currency::fromDouble(-1000.25))});
    host.AddRecord({Variant(Currency::fromDouble(-234.25))});
    EXPECT_EQ(footerTexts(host, summary), "-￥1,234.50");
    EXPECT_EQ(summary.FooterValues(0).type(), VarType::Currency);
}

TEST(DataSummary, GroupRowTextShowsTheSumInParentheses)
{
    Host host;
    host.AddColumn(TkvFloatValueType::Instance());
    host.AddColumn(TkvStringValueType::Instance());
    TkvDataSummary summary(&host);
    TkvDataSummaryItem *item = summary.DefaultGroupSummaryItems().Add();
    item->SetLinkedItem(column(0));
    item->SetKind(skSum);
    host.AddRecord({Variant(1000.25), Variant::fromUtf8("工资")});
    host.AddRecord({Variant(7.0), Variant::fromUtf8("餐饮")});
    host.AddRecord({Variant(234.25), Variant::fromUtf8("工资")});
    host.GroupBy(1);
    summary.Recalculate();
    EXPECT_EQ(summary.GroupRowSummary(0).toStdString(), "(SUM=7.00)");
    EXPECT_EQ(summary.GroupRowSummary(1).toStdString(), "(SUM=1234.50)");
    EXPECT_EQ(summary.GroupRowSummary(5), "");
    // A second item: separator and one space; an empty part keeps its separator.
    TkvDataSummaryItem *count = summary.DefaultGroupSummaryItems().Add();
    count->SetLinkedItem(column(1));
    count->SetKind(skCount);
    TkvDataSummaryItem *unresolved = summary.DefaultGroupSummaryItems().Add();
    unresolved->SetKind(skMax);
    summary.DefaultGroupSummaryItems().SetSeparator(";");
    summary.Recalculate();
    EXPECT_EQ(summary.GroupRowSummary(1).toStdString(), "(SUM=1234.50; COUNT=2; )");
    // Footer-positioned items leave the row text and show in the group footer.
    count->SetPosition(spFooter);
    EXPECT_EQ(summary.GroupRowSummary(1).toStdString(), "(SUM=1234.50; )");
    EXPECT_EQ(summary.GroupFooterText(1, 0, 1).toStdString(), "2");
    EXPECT_EQ(summary.GroupFooterItemIndexOf(0, column(1)), 1);
}

TEST(DataSummary, DateMinimumShowsThePrefixAndTheDate)
{
    Host host;
    host.AddColumn(TkvDateTimeValueType::Instance());
    host.AddColumn(TkvStringValueType::Instance());
    TkvDataSummary summary(&host);
    TkvDataSummaryItem *item = summary.DefaultGroupSummaryItems().Add();
    item->SetLinkedItem(column(0));
    item->SetKind(skMin);
    footer(summary, 0, skMin);
    host.AddRecord({Variant::fromDate(EncodeDate(2024, 7, 5)), Variant::fromUtf8("x")});
    host.AddRecord({Variant::fromDate(EncodeDate(2023, 12, 1)), Variant::fromUtf8("x")});
    host.GroupBy(1);
    summary.Recalculate();
    EXPECT_EQ(summary.GroupRowSummary(0).toStdString(), "(MIN=2023-12-1)");
    EXPECT_EQ(summary.FooterText(0).toStdString(), "MIN=2023-12-1");
}

TEST(DataSummary, FormatRepaintsWhileKindRecalculates)
{
    Host host;
    host.AddColumn(TkvFloatValueType::Instance());
    TkvDataSummary summary(&host);
    TkvDataSummaryItem *item = footer(summary, 0, skSum);
    host.AddRecord({Variant(2.5)});
    summary.Recalculate();
    host.changes = host.redraws = 0;
    item->SetFormat("0.0 'total'");
    EXPECT_EQ(host.changes, 0);
    EXPECT_EQ(host.redraws, 1);
    EXPECT_EQ(summary.FooterText(0).toStdString(), "2.5 total");
    item->SetKind(skCount);
    EXPECT_EQ(host.changes, 1);
}

TEST(DataSummary, OnSummaryCanTakeOverAndSelectedRecordsFilter)
{
    Host host;
    host.AddColumn(TkvIntegerValueType::Instance());
    TkvDataSummary summary(&host);
    footer(summary, 0, skSum);
    for (int v : {1, 2, 3, 4})
        host.AddRecord({Variant(v)});
    summary.FooterSummaryItems().OnSummary = [](TkvDataSummaryItems *,
                                                const TkvSummaryEventArguments &arguments,
                                                TkvSummaryEventOutArguments &out) {
        out.Handled = arguments.RecIndex == 1; // skip the second record
    };
    summary.Recalculate();
    EXPECT_EQ(summary.FooterValues(0).toInt32(), 8);
    summary.FooterSummaryItems().OnSummary = nullptr;
    summary.SetOptions(soSelectedRecords);
    host.selected = {0, 3};
    summary.Recalculate();
    EXPECT_EQ(summary.FooterValues(0).toInt32(), 5);
    EXPECT_EQ(summary.FooterValues(0).type(), VarType::Int32);
}

TEST(DataSummary, FieldNameChoosesTheSummedFieldOnceItResolves)
{
    Host host;
    TkvDataSummary summary(&host, true);
    auto *item = dynamic_cast<TkvDBDataSummaryItem *>(summary.FooterSummaryItems().Add());
    ASSERT_NE(item, nullptr);
    item->SetKind(skSum);
    item->SetFieldName("amount");   // before the field exists
    item->SetLinkedItem(column(1)); // shown in another column
    host.AddColumn(TkvFloatValueType::Instance());
    host.AddColumn(TkvStringValueType::Instance());
    host.AddRecord({Variant(2.0), Variant::fromUtf8("x")});
    host.AddRecord({Variant(3.5), Variant::fromUtf8("y")});
    summary.Recalculate();
    EXPECT_EQ(summary.FooterText(0).toStdString(), "5.50");
    EXPECT_EQ(summary.FooterItemIndexOf(column(1)), 0);
    summary.ForgetField(fieldAt(0));
    EXPECT_EQ(item->NamedField(), nullptr);
}

// Guards against footer and group sums of floating amounts that add doubles and miss the cent.
TEST(DataSummary, FloatingSumsAreExactToTheCentInFooterAndGroups)
{
    Host host;
    host.AddColumn(TkvFloatValueType::Instance());
    host.AddColumn(TkvStringValueType::Instance());
    TkvDataSummary summary(&host);
    footer(summary, 0, skSum);
    footer(summary, 0, skAverage);
    TkvDataSummaryItem *groupSum = summary.DefaultGroupSummaryItems().Add();
    groupSum->SetLinkedItem(column(0));
    groupSum->SetKind(skSum);
    host.AddRecord({Variant::null(), Variant::fromUtf8("b")}); // a Null start is a sum of 0
    host.AddRecord({Variant(1000000000.00), Variant::fromUtf8("b")});
    for (int i = 0; i < 999999; ++i)
        host.AddRecord({Variant(0.03), Variant::fromUtf8(i % 2 ? "a" : "b")});
    // Without variants and through the variant rule alike.
    EXPECT_EQ(footerTexts(host, summary), "1000029999.97|AVG=1000.03");
    EXPECT_EQ(summary.FooterValues(0).toDouble(), 1000029999.97);
    host.GroupBy(1);
    summary.Recalculate();
    EXPECT_EQ(summary.GroupRowSummary(0).toStdString(), "(SUM=14999.97)"); // 499999 rows of 0.03
    EXPECT_EQ(summary.GroupRowSummary(1).toStdString(), "(SUM=1000015000.00)");
}

// Guards against sub-cent amounts whose sum differs by a rounding step between summaries.
TEST(DataSummary, SubCentAmountsSumToTheirDecimalTotal)
{
    Host host;
    host.AddColumn(TkvFloatValueType::Instance());
    TkvDataSummary summary(&host);
    footer(summary, 0, skSum);
    TkvDataSummaryItem *exact = footer(summary, 0, skSum);
    exact->SetFormat("0.0000");
    for (double amount : {10.125, 0.1, 0.2, 0.0001, -0.3})
        host.AddRecord({Variant(amount)});
    EXPECT_EQ(footerTexts(host, summary), "10.13|10.1251");
    EXPECT_EQ(summary.FooterValues(0).toDouble(), 10.1251); // not 10.125100000000002
}

// A handler that reads the footer after every change (the page widens its
// column to the total) must not force a walk over every record: one record
// followed runs it as a recalculation does, with the new total.
TEST(DataSummary, FollowedRecordRunsTheAfterSummaryHandler)
{
    Host host;
    host.AddColumn(TkvFloatValueType::Instance());
    TkvDataSummary summary(&host);
    footer(summary, 0, skSum);
    footer(summary, 0, skCount);
    for (double amount : {1.25, 2.5, 4.0})
        host.AddRecord({Variant(amount)});
    std::vector<std::string> seen;
    summary.OnAfterSummary = [&seen](TkvDataSummary *sender) {
        seen.push_back(sender->FooterText(0).toStdString() + "|" + sender->FooterText(1).toStdString());
    };
    summary.Recalculate();
    ASSERT_EQ(seen, std::vector<std::string>{"7.75|3"});

    const std::vector<Variant> before{Variant(2.5), Variant(2.5)}, after{Variant(10.0), Variant(10.0)};
    host.storage.SetValue(1, host.defs[0], Variant(10.0));
    EXPECT_TRUE(summary.FollowFooterRecord(&before, &after));
    host.AddRecord({Variant(10.0)}); // a new record joins
    EXPECT_TRUE(summary.FollowFooterRecord(nullptr, &after));
    EXPECT_EQ(seen, (std::vector<std::string>{"7.75|3", "15.25|3", "25.25|4"}));
}

TEST(DataSummary, SummaryAddKeepsTypes)
{
    EXPECT_EQ(SummaryAdd(Variant(2147483647), Variant(1)).type(), VarType::Int64);
    EXPECT_EQ(SummaryAdd(Variant(1), Variant(Currency{5})).type(), VarType::Currency);
    EXPECT_EQ(SummaryAdd(Variant(1), Variant(0.5)).type(), VarType::Float64);
    EXPECT_EQ(SummaryAdd(Variant::fromDate(1), Variant(2)).type(), VarType::Date);
    EXPECT_EQ(SummaryAdd(Variant::fromUtf8("a"), Variant::fromUtf8("b")).toString(), "ab");
}

} // namespace
