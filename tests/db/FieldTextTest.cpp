// The texts of a field: numbers through the display and edit formats, strings
// through the edit mask, and the edit text that reads back to the same value.
#include "support/EngineLedger.h"

#include "db/DbErrors.h"
#include "db/NumberPattern.h"
#include "db/StandardMask.h"

namespace kestrum::test {
namespace {

class FieldText : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        if (NotSetUp())
            return;
        AddGain(1500.5, "2024-07-28 00:00:00", "13800138000", "季度奖");
        FQuery = OpenQuery("select * from gain");
    }

    TDbField &Amount() { return *FQuery->FieldByName(QString::fromUtf8("本次进帐")); }
    TDbField &Item() { return *FQuery->FieldByName(QString::fromUtf8("进帐人")); }

    std::unique_ptr<TDbQuery> FQuery;
};

TEST_P(FieldText, NumbersShowTheDisplayFormatAndEditTheEditFormat)
{
    TDbField &amount = Amount();
    EXPECT_EQ(amount.DisplayText(), "1500.5");
    EXPECT_EQ(amount.Text(), "1500.5");

    amount.SetDisplayFormat(QString::fromUtf8("#,##0.00 元"));
    amount.SetEditFormat("#,##0.00");
    EXPECT_EQ(amount.DisplayText(), QString::fromUtf8("1,500.50 元"));
    EXPECT_EQ(amount.Text(), "1,500.50");

    // The edit text reads back to the same value, and rounding is decimal.
    FQuery->Edit();
    amount.SetText(amount.Text());
    EXPECT_DOUBLE_EQ(amount.AsFloat(), 1500.5);
    amount.SetText("2,345.675");
    EXPECT_EQ(amount.Text(), "2,345.68");
    EXPECT_DOUBLE_EQ(amount.AsFloat(), 2345.675) << "the format shapes the text, never the value";
    amount.SetValue(Variant(-0.004));
    EXPECT_EQ(amount.Text(), "0.00") << "no minus sign before a zero";
    amount.SetEditFormat("0.00;(0.00)");
    amount.SetValue(Variant(-12.5));
    EXPECT_EQ(amount.Text(), "(12.50)");

    // Null has no text, whatever the formats.
    amount.Clear();
    EXPECT_EQ(amount.Text(), "");
    EXPECT_EQ(amount.DisplayText(), "");
    FQuery->Cancel();

    // The display format comes before the money form of a currency field.
    amount.SetCurrency(true);
    EXPECT_EQ(amount.DisplayText(), QString::fromUtf8("1,500.50 元"));
    amount.SetDisplayFormat(QString());
    EXPECT_EQ(amount.DisplayText(), QString::fromUtf8("￥1,500.50"));
}

// Guards against a grid cell showing an amount worked out by arithmetic as
// "316.78999999999996": without a display format a number shows fifteen digits.
TEST_P(FieldText, AnAmountWithABinaryRemainderShowsFifteenDigits)
{
    TDbField &amount = Amount();
    FQuery->Edit();
    amount.SetValue(Variant(31676 / 100.0 + 0.03));
    EXPECT_EQ(amount.DisplayText(), "316.79");
    EXPECT_EQ(amount.AsString(), "316.79");
    EXPECT_EQ(amount.Text(), "316.79");
    FQuery->Cancel();
}

// Guards against a currency field rounding by the double's binary value
// ("￥1.00" for 1.005) where the footer's currency pattern shows "￥1.01", and
// against "￥-0.00" for a negative amount that rounds to zero.
TEST_P(FieldText, ACurrencyFieldRoundsItsMoneyTextAsTheFooterDoes)
{
    TDbField &amount = Amount();
    amount.SetCurrency(true);
    FQuery->Edit();
    amount.SetValue(Variant(1.005));
    EXPECT_EQ(amount.DisplayText(), QString::fromUtf8("￥1.01"));
    EXPECT_EQ(amount.DisplayText(), FormatNumberPattern(QString::fromUtf8("￥,0.00"), 1.005));
    amount.SetValue(Variant(-0.001));
    EXPECT_EQ(amount.DisplayText(), QString::fromUtf8("￥0.00"));
    amount.SetValue(Variant(-1234567.5));
    EXPECT_EQ(amount.DisplayText(), QString::fromUtf8("￥-1,234,567.50"));
    FQuery->Cancel();
}

TEST_P(FieldText, GetTextHandlersSeeTheFormattedText)
{
    TDbField &amount = Amount();
    amount.SetEditFormat("0.000");
    QStringList seen;
    amount.OnGetText = [&seen](TDbField *, QString &text, bool displayText) {
        seen << QStringLiteral("%1:%2").arg(displayText ? "display" : "edit", text);
        text += "!";
    };
    EXPECT_EQ(amount.Text(), "1500.500!");
    EXPECT_EQ(seen.join(' '), "edit:1500.500");
}

TEST_P(FieldText, StringsShowTheirEditMask)
{
    TDbField &item = Item();
    item.SetEditMask("000-0000-0000;0;_");
    EXPECT_EQ(item.DisplayText(), "138-0013-8000");
    EXPECT_EQ(item.Text(), "13800138000") << "the edit text is the value; the editor masks it";

    FQuery->Edit();
    item.SetAsString("138-0013-8000");
    EXPECT_EQ(item.DisplayText(), "138-0013-8000") << "a value with its literals fills them in place";
    item.SetAsString("1380");
    EXPECT_EQ(item.DisplayText(), "138-0   -    ") << "unfilled places show as spaces";
    item.Clear();
    EXPECT_EQ(item.DisplayText(), "");
    FQuery->Cancel();

    // Only white space counts as no mask.
    item.SetEditMask("  ");
    EXPECT_EQ(item.DisplayText(), "13800138000");
    // Numbers and dates do not take a mask.
    Amount().SetEditMask("000");
    EXPECT_EQ(Amount().DisplayText(), "1500.5");
}

TEST(FieldFormats, MaskTextAndNumberPatterns)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    EXPECT_EQ(FormatMaskText("!(999)000-0000;1;_", "0105551234"), "(010)555-1234");
    EXPECT_EQ(FormatMaskText(">LL-00", "ab12"), "AB-12");
    EXPECT_EQ(FormatMaskText("", "as is"), "as is");
    EXPECT_EQ(FormatNumberPattern("#,##0.00", 1234567.891), "1,234,567.89");
    EXPECT_EQ(FormatNumberPattern("0.00", 1.005), "1.01");
    EXPECT_EQ(FormatNumberPattern("#.##", 0.5), ".5");
    EXPECT_EQ(FormatNumberPattern("0;-0;'zero'", 0.0), "zero");
    EXPECT_EQ(FormatNumberPattern("", 2.5), "2.5");
}

KESTRUM_ON_BOTH_ENGINES(FieldText);

} // namespace
} // namespace kestrum::test
