// The HomeBank reader over HomeBank's own sample ledger and hand-made files
// with splits, transfers and damaged parts.
#include "exchange/HomeBankReader.h"
#include "exchange/ForeignFormat.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace kestrum {
namespace {

const QString Example = QStringLiteral(KESTRUM_HOMEBANK_DIR "/example.xhb");

std::string HomeBank(const QByteArray &text, QStringList *notes = nullptr)
{
    try {
        THomeBankEntrySource source(text);
        std::string out = ReadAll(source);
        if (notes)
            *notes = source.Notes();
        return out;
    } catch (const EImportError &e) {
        return std::string("error: ") + e.what();
    }
}

// Guards against a HomeBank file being taken for a CSV table and refused.
TEST(HomeBankSample, TheSampleLedgerGivesItsIncomeAndExpensesWithCategoriesAsItems)
{
    EXPECT_EQ(DetectForeignFormatOfFile(Example), ffHomeBank);
    std::unique_ptr<TEntrySource> source = OpenEntrySource(Example);
    EXPECT_EQ(source->Description(), QStringLiteral("HomeBank"));
    TForeignEntry entry;
    TBadRecord bad;
    int income = 0, expense = 0;
    std::int64_t incomeCents = 0, expenseCents = 0;
    std::map<std::string, int> items;
    std::vector<std::string> firstThree;
    QDate first, last;
    for (TEntrySource::TStep step; (step = source->Next(entry, bad)) != TEntrySource::esEnd;) {
        ASSERT_EQ(step, TEntrySource::esEntry) << bad.Line << " " << bad.Reason.toStdString();
        (entry.Kind == ekIncome ? income : expense) += 1;
        (entry.Kind == ekIncome ? incomeCents : expenseCents) += entry.Cents;
        ++items[entry.Item];
        if (firstThree.size() < 3)
            firstThree.push_back(entry.Date.toString(Qt::ISODate).toStdString() + " " +
                                 std::to_string(entry.Cents) + " " + entry.Item + "|" + entry.Remark);
        if (!first.isValid() || entry.Date < first)
            first = entry.Date;
        if (!last.isValid() || entry.Date > last)
            last = entry.Date;
    }
    EXPECT_DOUBLE_EQ(source->Progress(), 1.0);
    // 214 transactions, of which 26 are the two sides of 13 transfers.
    EXPECT_EQ(income, 27);
    EXPECT_EQ(expense, 161);
    EXPECT_EQ(incomeCents, 1712540);
    EXPECT_EQ(expenseCents, 1639230);
    // Day 738156 of GLib's count (day 1 = 0001-01-01) is 2022-01-01.
    EXPECT_EQ(first, QDate(2022, 1, 1));
    EXPECT_EQ(last, QDate(2023, 3, 14));
    EXPECT_EQ(firstThree[0], "2022-01-27 500 Wage & Salary:Bonus|World Company；my bonus");
    EXPECT_EQ(items["Wage & Salary:Net Pay"], 14);
    EXPECT_EQ(items["Bills:Cable/Satellite Television"], 13);
    EXPECT_EQ(items["Automobile:Gasoline"], 18);
    EXPECT_EQ(items["Alimony"], 14);
    EXPECT_EQ(items.size(), 15u) << "14 categories and one transaction without one, named by its payee";
    EXPECT_EQ(items.count("Savings"), 0u) << "the transfers' category";

    const QStringList notes = source->Notes();
    ASSERT_EQ(notes.size(), 3) << notes.join('|').toStdString();
    EXPECT_EQ(notes[0].toStdString(), "没有导入3个账户的期初余额（“Cheque account” 50.00、“Saving account” "
                                      "1000.00、“Japan account” 500.00）：那是账户里原有的钱，不是收入");
    EXPECT_TRUE(notes[1].startsWith(QStringLiteral("没有导入26条账户之间的转账（第73、74、")))
        << notes[1].toStdString();
    EXPECT_EQ(notes[2].toStdString(),
              "账户“Japan account”的13条纪录不是以文件的主货币计的，按原金额导入，没有换算");
}

const QByteArray Lists =
    "<?xml version=\"1.0\"?>\n"
    "<homebank v=\"1.4\">\n"
    "<properties title=\"家\" curr=\"1\"/>\n"
    "<account key=\"1\" curr=\"1\" name=\"现金\" initial=\"0\"/>\n"
    "<account key=\"2\" curr=\"1\" name=\"招商银行\" initial=\"-12.5\"/>\n"
    "<pay key=\"1\" name=\"永辉超市\"/>\n"
    "<pay key=\"2\" name=\"公司\"/>\n"
    "<cat key=\"1\" name=\"餐饮\"/>\n"
    "<cat key=\"2\" parent=\"1\" name=\"买菜\"/>\n"
    "<cat key=\"3\" name=\"日用\"/>\n"
    "<cat key=\"4\" name=\"工资 &amp; 奖金\"/>\n"
    "<cat key=\"5\" parent=\"2\" name=\"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三"
    "四五六七八九十一二三四五六七八九十\"/>\n"
    "<cat key=\"6\" parent=\"7\" name=\"圈A\"/>\n"
    "<cat key=\"7\" parent=\"6\" name=\"圈B\"/>\n";

TEST(HomeBankFiles, SplitsGiveOneEntryPerPartAndTransfersOpeningBalancesAndVoidsAreListed)
{
    QStringList notes;
    EXPECT_EQ(
        HomeBank(Lists + "<ope date=\"739000\" amount=\"-80.3\" account=\"1\" payee=\"1\" wording=\"周末\" "
                         "flags=\"256\" scat=\"2||3\" samt=\"-60.2||-20.1\" smem=\"||纸巾\"/>\n"
                         "<ope date=\"739001\" amount=\"-100\" account=\"1\" dst_account=\"2\" kxfer=\"1\" "
                         "category=\"3\"/>\n"
                         "<ope date=\"739001\" amount=\"100\" account=\"2\" dst_account=\"1\" kxfer=\"1\"/>\n"
                         "<ope date=\"739002\" amount=\"50\" account=\"1\" paymode=\"5\"/>\n"
                         "<ope date=\"739003\" amount=\"8000\" account=\"2\" payee=\"2\" category=\"4\" "
                         "wording=\"三月\"/>\n"
                         "<ope date=\"739004\" amount=\"-9\" account=\"1\" st=\"4\" category=\"3\"/>\n"
                         "<ope date=\"739005\" amount=\"-3\" account=\"1\" payee=\"1\"/>\n"
                         "<ope date=\"739006\" amount=\"-1.01\" account=\"1\" category=\"5\"/>\n"
                         "<ope date=\"739007\" amount=\"-2\" account=\"1\" category=\"6\" wording=\"圈\"/>\n"
                         "</homebank>\n",
                 &notes),
        "E6020 2024-04-24 餐饮:买菜|永辉超市；周末@15; E2010 2024-04-24 日用|永辉超市；纸巾@15; "
        "I800000 2024-04-27 工资 & 奖金|公司；三月@19; E300 2024-04-29 永辉超市|永辉超市@21; "
        "E101 2024-04-30 餐饮:买菜:一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十"
        "一二三四五六七八九十一二三四|@22; "
        "E200 2024-05-01 圈B:圈A|圈@23");
    EXPECT_EQ(notes.join('|').toStdString(),
              "没有导入1个账户的期初余额（“招商银行” -12.50）：那是账户里原有的钱，不是收入|"
              "没有导入3条账户之间的转账（第16、17、18行）：钱只是换了账户，不是收入或支出|"
              "没有导入1条已作废的纪录（第20行）|"
              "1条拆分纪录按各部分导入为2条纪录|"
              "1条纪录的类别超过50个字，作为项目时截短了");
}

// Guards against a HomeBank file always taking the category as the item, where QIF lets the user choose.
TEST(HomeBankFiles, ThePayeeOrTheMemoGivesTheItemWhenAskedAndTheOthersGoToTheRemark)
{
    const QByteArray file = Lists + "<ope date=\"739000\" amount=\"-80.3\" account=\"1\" payee=\"1\" "
                                    "wording=\"周末\" flags=\"256\" scat=\"2||3\" samt=\"-60.2||-20.1\" "
                                    "smem=\"||纸巾\"/>\n"
                                    "<ope date=\"739003\" amount=\"8000\" account=\"2\" category=\"4\"/>\n"
                                    "<ope date=\"739005\" amount=\"-3\" account=\"1\" payee=\"1\"/>\n"
                                    "</homebank>\n";
    const auto read = [&file](TQifItemSource item) {
        THomeBankEntrySource source(file, item);
        return ReadAll(source);
    };
    EXPECT_EQ(read(qiPayee),
              "E6020 2024-04-24 永辉超市|周末；餐饮:买菜@15; E2010 2024-04-24 永辉超市|纸巾；日用@15; "
              "I800000 2024-04-27 工资 & 奖金|@16; E300 2024-04-29 永辉超市|@17");
    EXPECT_EQ(read(qiMemo),
              "E6020 2024-04-24 周末|永辉超市；餐饮:买菜@15; E2010 2024-04-24 纸巾|永辉超市；日用@15; "
              "I800000 2024-04-27 工资 & 奖金|@16; E300 2024-04-29 永辉超市|@17");
}

TEST(HomeBankFiles, ABadTransactionIsABadRecordAndADamagedFileIsRefusedWithItsLine)
{
    EXPECT_EQ(
        HomeBank(Lists + "<ope date=\"0\" amount=\"-1\" account=\"1\"/>\n"
                         "<ope date=\"739000\" amount=\"abc\" account=\"1\"/>\n"
                         "<ope date=\"739000\" amount=\"-3\" samt=\"-1||x\" account=\"1\"/>\n"
                         "<ope date=\"739000\" amount=\"1e300\" account=\"1\"/>\n"
                         "<ope date=\"739000\" amount=\"-1\" account=\"1\"/>\n"
                         "</homebank>\n"),
        "!15 日期无效：“0”; !16 金额无效：“abc”; !17 拆分的第2部分金额无效：“x”; !18 金额无效：“1e300”; "
        "E100 2024-04-24 |@19");
    // Cut off part way: nothing is read, and the message names the line.
    EXPECT_EQ(HomeBank(Lists + "<ope date=\"739000\" amount=\"-1\" account=\"1\"/>\n<ope date=\"7"),
              "error: 第16行：不是有效的 HomeBank 文件：Premature end of document.");
    EXPECT_EQ(HomeBank("<?xml version=\"1.0\"?>\n<gnucash/>\n"),
              "error: 第2行：不是 HomeBank 文件：文件的根元素是“gnucash”，不是 homebank");
    EXPECT_EQ(HomeBank("  \n"), "error: 文件是空的");
    EXPECT_EQ(DetectForeignFormat("<?xml version=\"1.0\"?>\n<homebank v=\"1.3\">"), ffHomeBank);
    EXPECT_EQ(DetectForeignFormat("\xEF\xBB\xBF<homebank v=\"1.3\">"), ffHomeBank);
    EXPECT_EQ(DetectForeignFormat("date,amount\n2024-01-01,<homebank>\n"), ffCsv);
    EXPECT_EQ(DetectForeignFormat("garbage", QStringLiteral("x.xhb")), ffHomeBank) << "its reader says why";
}

} // namespace
} // namespace kestrum
