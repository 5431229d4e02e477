// The bill exports of the payment apps (Alipay in GBK, WeChat Pay in UTF-8),
// read as they come, preamble and all, and imported into a ledger.
#include "exchange/PaymentBill.h"
#include "exchange/CsvReader.h"
#include "exchange/Importer.h"
#include "ledger/LedgerFile.h"

#include "ExchangeTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

QByteArray Bill(const char *name)
{
    QFile file(QStringLiteral(KESTRUM_BILLS_DIR "/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

std::string Read(const QByteArray &bytes)
{
    try {
        TCsvEntrySource source(bytes);
        return ReadAll(source);
    } catch (const EImportError &e) {
        return std::string("error: ") + e.what();
    }
}

//! Sums of a read: "income count/cents expense count/cents".
struct TTotals {
    int Income = 0, Expense = 0;
    std::int64_t IncomeCents = 0, ExpenseCents = 0;
};

TTotals Totals(TEntrySource &source)
{
    TTotals totals;
    TForeignEntry entry;
    TBadRecord bad;
    for (TEntrySource::TStep step; (step = source.Next(entry, bad)) != TEntrySource::esEnd;) {
        EXPECT_EQ(step, TEntrySource::esEntry) << bad.Line << " " << bad.Reason.toStdString();
        if (entry.Kind == ekIncome) {
            ++totals.Income;
            totals.IncomeCents += entry.Cents;
        } else {
            ++totals.Expense;
            totals.ExpenseCents += entry.Cents;
        }
    }
    return totals;
}

// Guards against a payment app's bill being refused at its preamble ("no date column").
TEST(PaymentBills, AlipayBillInGbkIsReadWithoutAnyMapping)
{
    const QByteArray bytes = Bill("alipay.csv");
    EXPECT_EQ(Read(bytes), "E4550 2024-03-28+68531 餐饮美食|肯德基宅急送订单；肯德基@22; "
                           "I20000 2024-03-27+33300 转账红包|转账；张三@23; "
                           "E-3990 2024-03-25+72000 日用百货|退款-洗衣液 2瓶装；某某家居旗舰店@25; "
                           "E7980 2024-03-24+36000 日用百货|洗衣液 2瓶装；某某家居旗舰店@26; "
                           "E2340 2024-03-22+66600 交通出行|快车订单；滴滴出行@29; "
                           "I850000 2024-03-20+32400 收入|3月工资；杭州某某科技有限公司；工资@31; "
                           "E800 2024-03-19+27910 餐饮美食|早餐；早餐铺@32; "
                           "E23120 2024-03-18+75600 充值缴费|电费；国家电网@33");
    TCsvEntrySource source(bytes);
    EXPECT_EQ(source.Description().toStdString(), "支付宝账单（GB18030，逗号分隔）");
    const TTotals totals = Totals(source);
    EXPECT_EQ(totals.Income, 2);
    EXPECT_EQ(totals.IncomeCents, 870000);
    EXPECT_EQ(totals.Expense, 6);
    EXPECT_EQ(totals.ExpenseCents, 34800);
    EXPECT_EQ(
        source.Notes().join('|').toStdString(),
        "没有读取的列：对方账号、收/付款方式、商家订单号|"
        "有2条纪录不计收支（充值、提现、自己账户间的转账、理财、还款等），不是收入或支出，没有导入（第24、30"
        "行）|"
        "跳过了2笔已关闭或已全额退款的交易：第27行（某某女装店，199.00，退款成功，退的是第28行的交易）、"
        "第28行（某某女装店，199.00，交易关闭）|"
        "有1条退款按负数的支出导入（第25行）");
}

// Guards against the older Alipay export (交易号…资金状态, a summary after the rows) being refused.
TEST(PaymentBills, OlderAlipayBillWithItsSummaryIsReadLikeTheNewerOne)
{
    const QByteArray bytes = Bill("alipay-old.csv");
    EXPECT_EQ(Read(bytes), "E2350 2016-12-31+72611 全家便利店|便利店购物；全家便利店@6; "
                           "I10000 2016-12-30+32400 张三|还钱；张三；午饭钱@7; "
                           "E3580 2016-12-27+64800 美团外卖|晚餐；美团外卖@10");
    TCsvEntrySource source(bytes);
    EXPECT_EQ(source.Description().toStdString(), "支付宝账单（GB18030，逗号分隔）");
    const TTotals totals = Totals(source);
    EXPECT_EQ(totals.Income, 1);
    EXPECT_EQ(totals.ExpenseCents, 5930);
    EXPECT_EQ(
        source.Notes().join('|').toStdString(),
        "没有读取的列：商家订单号、付款时间、最近修改时间、交易来源地、服务费（元）、成功退款（元）、"
        "资金状态|"
        "有1条纪录不计收支（充值、提现、自己账户间的转账、理财、还款等），不是收入或支出，没有导入（第9行）|"
        "跳过了1笔已关闭或已全额退款的交易：第8行（某某旗舰店，399.00，交易关闭）");
}

TEST(PaymentBills, WechatBillWithYenAmountsAndDashedTitleIsReadWithoutAnyMapping)
{
    const QByteArray bytes = Bill("wechat.csv");
    EXPECT_EQ(Read(bytes), "E1590 2024-03-28+43262 瑞幸咖啡|生椰拿铁；瑞幸咖啡@18; "
                           "I6600 2024-03-27+72000 李四|微信红包；李四@19; "
                           "E-2000 2024-03-24+57600 某某超市|购物；某某超市@22; "
                           "E8800 2024-03-24+50400 某某超市|购物；某某超市@23; "
                           "E10000 2024-03-22+28800 王五|转账；王五；房租分摊@26; "
                           "E850 2024-03-20+25200 早餐店|收款方备注:二维码收款；早餐店@28; "
                           "E4200 2024-03-19+45000 "
                           "上海某某某某某某某某某某餐饮管理有限公司第一百二十三分店（人民广场地铁站出口旁边"
                           "的那一家店铺，营业时|"
                           "工作餐；上海某某某某某某某某某某餐饮管理有限公司第一百二十三分店（人民广场地铁站"
                           "出口旁边的那一家店铺，营业时间早七点至晚十点）@29; "
                           "I2000 2024-03-18+68400 王五|微信红包；王五@30");
    TCsvEntrySource source(bytes);
    EXPECT_EQ(source.Description().toStdString(), "微信支付账单（UTF-8，逗号分隔）");
    const TTotals totals = Totals(source);
    EXPECT_EQ(totals.Income, 2);
    EXPECT_EQ(totals.IncomeCents, 8600);
    EXPECT_EQ(totals.Expense, 6);
    EXPECT_EQ(totals.ExpenseCents, 23440);
    EXPECT_EQ(source.Notes().join('|').toStdString(),
              "没有读取的列：支付方式、商户单号|"
              "有3条纪录不计收支（充值、提现、自己账户间的转账、理财、还款等），不是收入或支出，没有导入（第2"
              "0、21、27行）|"
              "跳过了2笔已关闭或已全额退款的交易：第24行（某某餐厅，35."
              "00，已全额退款）、第25行（某某餐厅，35.00，已全额退款）|"
              "有1条退款按负数的支出导入（第22行）");
}

TEST(PaymentBills, PreviewFindsTheHeaderAfterThePreambleAndMapsTheBillsColumns)
{
    const TCsvPreview alipay = PreviewCsv(Bill("alipay.csv"));
    EXPECT_TRUE(alipay.Problems.isEmpty()) << alipay.Problems.join('|').toStdString();
    ASSERT_GE(alipay.Headers.size(), 9);
    EXPECT_EQ(alipay.Headers[1].toStdString(), "交易分类");
    QStringList roles;
    for (const TCsvColumnRole role : alipay.Options.Mapping)
        roles += CsvRoleCaption(role);
    EXPECT_EQ(roles.join(',').toStdString(),
              "日期,项目,忽略,忽略,备注,类型,金额,忽略,忽略,忽略,忽略,忽略,忽略");
    EXPECT_EQ(alipay.Rows.size(), 12);

    const TCsvPreview wechat = PreviewCsv(Bill("wechat.csv"));
    EXPECT_TRUE(wechat.Problems.isEmpty()) << wechat.Problems.join('|').toStdString();
    roles.clear();
    for (const TCsvColumnRole role : wechat.Options.Mapping)
        roles += CsvRoleCaption(role);
    EXPECT_EQ(roles.join(',').toStdString(), "日期,忽略,项目,备注,类型,金额,忽略,忽略,忽略,忽略,忽略");
    EXPECT_EQ(wechat.Rows.size(), 13);
}

TEST(PaymentBills, BankCsvAfterLongTitleStillFindsItsHeader)
{
    QByteArray text;
    for (int i = 1; i <= 15; ++i)
        text += "账户明细查询 第" + QByteArray::number(i) + "行说明\n";
    text += "交易日期,摘要,交易金额,备注\n2024-01-05,超市,-12.50,\n";
    EXPECT_EQ(Read(text), "E1250 2024-01-05 超市|@17");
}

TEST(PaymentBills, RowsWithAnUnknownDirectionOrBadAmountAreBadRecordsNotGuesses)
{
    const QByteArray text = "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态\n"
                            "2024-03-01 10:00:00,商户消费,店,面,支出,¥abc,零钱,支付成功\n"
                            "2024-03-02 10:00:00,商户消费,店,面,支出,¥5.00,零钱,支付成功\n";
    EXPECT_EQ(Read(text), "!2 金额无法识别：“¥abc”; E500 2024-03-02+36000 店|面；店@3");
}

TEST(PaymentBills, ImportIsOneActionWithTheSkippedRowsInTheReport)
{
    QTemporaryDir dir;
    const QString ledger = dir.filePath("Vantorel.mdb");
    CreateLedgerDatabase(ledger);
    TCsvEntrySource source(Bill("wechat.csv"));
    const TImportResult result = ImportEntries(ledger, source);
    ASSERT_EQ(result.Outcome, ioImported);
    EXPECT_EQ(result.IncomeAdded, 2);
    EXPECT_EQ(result.ExpenseAdded, 6);
    const QStringList report = result.Report();
    ASSERT_EQ(report.size(), 5) << report.join('|').toStdString();
    EXPECT_EQ(report[0].toStdString(), "从微信支付账单（UTF-8，逗号分隔）导入了8条纪录：收入2条，支出6条");
    EXPECT_TRUE(report[3].startsWith(QStringLiteral("注意：跳过了2笔已关闭或已全额退款的交易")));
}

TEST(PaymentBills, RowsAreSortedByDirectionAndState)
{
    using namespace exchange;
    struct TCase {
        const char *Direction, *State, *TradeType, *Goods;
        TBillRowClass Expected;
    };
    const TCase cases[] = {
        {"支出", "支付成功", "商户消费", "咖啡", brExpense},
        {" 收入 ", "已存入零钱", "微信红包", "/", brIncome},
        {"/", "提现已到账", "零钱提现", "/", brNeutral},
        {"不计收支", "交易成功", "投资理财", "余额宝-自动转入", brNeutral},
        {"", "交易成功", "", "", brNeutral},
        // A trade refunded in part stays the expense it was; its refund is a row of its own.
        {"支出", "已退款(¥20.00)", "商户消费", "购物", brExpense},
        {"收入", "已退款", "商户消费-退款", "购物", brRefund},
        {"不计收支", "退款成功", "日用百货", "退款-洗衣液", brRefund},
        {"不计收支", "交易成功", "退款", "洗衣液", brRefund},
        {"支出", "交易关闭", "服饰装扮", "连衣裙", brClosed},
        {"支出", "已全额退款", "商户消费", "午餐", brClosed},
        {"收入", "已全额退款", "商户消费-退款", "午餐", brClosed},
        {"支出", "支付失败", "商户消费", "午餐", brClosed},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(ClassifyBillRow(c.Direction, c.State, c.TradeType, c.Goods), c.Expected)
            << c.Direction << " " << c.State << " " << c.TradeType << " " << c.Goods;
}

} // namespace
} // namespace kestrum
