#include "app/ImportPreview.h"
#include "app/ImportDialog.h"
#include "core/Utf8.h"
#include "exchange/Importer.h"
#include "ledger/LedgerFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringEncoder>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>

namespace kestrum {
namespace {

QByteArray Gbk(const char *text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(QString::fromUtf8(text));
}

class ImportPreviewTest : public testing::Test {
protected:
    QString write(const char *name, const QByteArray &bytes) { return test::WriteTestFile(dir, name, bytes); }

    //! The preview's rows as "line kind date amount item|..." ("line !reason" for a bad one).
    static QString rows(const TImportPreview &preview)
    {
        QStringList texts;
        for (const TPreviewRow &row : preview.Rows())
            texts << (row.Problem.isEmpty()
                          ? QStringList{QString::number(row.Line), row.Kind, row.Date, row.Amount, row.Item}
                                .join(' ')
                          : QString::number(row.Line) + " !");
        return texts.join('|');
    }

    static void scan(TImportPreview &preview)
    {
        TJobProgress progress;
        preview.SetScan(TImportPreview::ScanAll([&] { return preview.MakeSource(); }, QString(), progress));
    }

    QTemporaryDir dir;
};

TEST_F(ImportPreviewTest, ReadsAHeaderedCsvFileAsItWillComeIn)
{
    const QString path = write("bank.csv", "日期,金额,项目,备注\n"
                                           "2024-01-10,-12.50,午饭,和同事\n"
                                           "2024-01-15,\"1,000.00\",工资,\n");
    TImportPreview preview(path);
    EXPECT_EQ(preview.Format(), ffCsv);
    EXPECT_TRUE(preview.HasCsvSettings());
    EXPECT_EQ(preview.EncodingText(), "UTF-8");
    EXPECT_EQ(preview.SeparatorText(), utf8("逗号"));
    ASSERT_EQ(preview.ColumnCount(), 4);
    EXPECT_EQ(preview.ColumnHeader(1), utf8("金额"));
    EXPECT_EQ(preview.ColumnRole(0), crDate);
    EXPECT_EQ(preview.ColumnRole(1), crAmount);
    EXPECT_EQ(preview.ColumnRole(2), crItem);
    EXPECT_EQ(preview.ColumnRole(3), crRemark);
    EXPECT_EQ(rows(preview), utf8("2 支出 2024-01-10 12.50 午饭|3 收入 2024-01-15 1000.00 工资"));
    EXPECT_EQ(preview.Rows()[0].Remark, utf8("和同事"));
    EXPECT_TRUE(preview.Problems().isEmpty());
    EXPECT_TRUE(preview.CanImport());
    EXPECT_TRUE(preview.KindRuleApplies());
}

TEST_F(ImportPreviewTest, ChangingAColumnsRoleReadsThePreviewAgain)
{
    const QString path = write("plain.csv", "2024-03-01;8.50;Kaffee\n2024-03-02;20;Brot\n");
    TImportPreview preview(path);
    EXPECT_EQ(preview.SeparatorText(), utf8("分号"));
    EXPECT_EQ(preview.ColumnHeader(2), utf8("第3列"));

    preview.SetColumnRole(2, crRemark);
    EXPECT_EQ(preview.ColumnRole(2), crRemark);
    EXPECT_EQ(preview.Rows().at(0).Remark, "Kaffee");
    EXPECT_EQ(preview.Rows().at(0).Item, "");

    // One column per role: giving the date role to another column takes it from the first.
    preview.SetColumnRole(2, crDate);
    EXPECT_EQ(preview.ColumnRole(0), crIgnore);
    EXPECT_EQ(preview.ColumnRole(2), crDate);
    EXPECT_FALSE(preview.CanImport()) << "the dates of column 3 do not read";

    preview.SetColumnRole(0, crDate);
    preview.SetColumnRole(2, crItem);
    preview.SetKindRule(ckAllExpense);
    EXPECT_EQ(rows(preview), utf8("1 支出 2024-03-01 8.50 Kaffee|2 支出 2024-03-02 20.00 Brot"));
}

TEST_F(ImportPreviewTest, TheKindRuleOnlyAppliesWithoutATypeColumn)
{
    TImportPreview preview(write("typed.csv", "类型,金额,日期\n收入,5,2024-01-01\n支出,7,2024-01-02\n"));
    EXPECT_EQ(preview.ColumnRole(0), crType);
    EXPECT_FALSE(preview.KindRuleApplies());
    EXPECT_EQ(rows(preview), utf8("2 收入 2024-01-01 5.00 |3 支出 2024-01-02 7.00 "));
    preview.SetColumnRole(0, crIgnore);
    EXPECT_TRUE(preview.KindRuleApplies());
}

TEST_F(ImportPreviewTest, BadRecordsBlockTheImportUntilTheUserSkipsThem)
{
    TImportPreview preview(write("bad.csv", "日期,金额,项目\n"
                                            "2024-02-30,5,x\n"
                                            "2024-02-01,12..5,y\n"
                                            "2024-02-02,3,z\n"));
    EXPECT_EQ(rows(preview), "2 !|3 !|4 " + utf8("收入") + " 2024-02-02 3.00 z");
    EXPECT_FALSE(preview.Rows()[0].Problem.isEmpty());
    EXPECT_FALSE(preview.CanImport());

    scan(preview);
    EXPECT_EQ(preview.Scan().Expense + preview.Scan().Income, 1);
    EXPECT_EQ(preview.Scan().BadCount, 2);
    ASSERT_EQ(preview.Scan().BadRecords.size(), 2u);
    EXPECT_EQ(preview.Scan().BadRecords[1].Line, 3);
    EXPECT_TRUE(preview.ImportBlocker().contains(utf8("跳过错误的行")));
    EXPECT_TRUE(preview.Summary().contains("2"));

    preview.SetSkipBadRows(true);
    EXPECT_TRUE(preview.CanImport());
    EXPECT_TRUE(preview.Summary().contains(utf8("将跳过")));
    EXPECT_EQ(preview.Options().BadRecords, bpSkip);
}

TEST_F(ImportPreviewTest, TheScanCountsTheWholeFileNotOnlyThePreviewRows)
{
    QByteArray text = "日期,金额,项目\n";
    for (int day = 0; day < 5000; ++day)
        text +=
            QDate(2020, 1, 1).addDays(day).toString(Qt::ISODate).toUtf8() + (day % 3 ? ",-1" : ",2") + ",x\n";
    text += "2033-13-01,1,bad\n";
    TImportPreview preview(write("long.csv", text), 20);
    EXPECT_EQ(preview.Rows().size(), 20u);
    EXPECT_TRUE(preview.CanImport()) << "the bad line is past the preview";
    scan(preview);
    EXPECT_EQ(preview.Scan().Income, 1667);
    EXPECT_EQ(preview.Scan().Expense, 3333);
    ASSERT_EQ(preview.Scan().BadCount, 1);
    EXPECT_EQ(preview.Scan().BadRecords[0].Line, 5002);
    EXPECT_FALSE(preview.CanImport());

    // A change of the choices forgets the counts of the old ones.
    preview.SetColumnRole(2, crRemark);
    EXPECT_FALSE(preview.Scan().Done);
}

TEST_F(ImportPreviewTest, ACancelledScanLeavesNoCounts)
{
    TImportPreview preview(write("many.csv", QByteArray("2024-01-01,1,x\n").repeated(10000)));
    TJobProgress progress;
    progress.RequestCancel();
    const TImportScan scan =
        TImportPreview::ScanAll([&] { return preview.MakeSource(); }, QString(), progress);
    EXPECT_FALSE(scan.Done);
    EXPECT_EQ(scan.Income + scan.Expense, 0);
}

TEST_F(ImportPreviewTest, QifFilesPreviewWithoutColumns)
{
    TImportPreview preview(
        write("bank.qif", "!Type:Bank\nD01/10/2024\nT-12.50\nP午饭\n^\nD01/15/2024\nT1000\nP工资\n^\n"));
    EXPECT_EQ(preview.Format(), ffQif);
    EXPECT_FALSE(preview.HasCsvSettings());
    EXPECT_EQ(preview.ColumnCount(), 0);
    EXPECT_EQ(rows(preview), utf8("2 支出 2024-01-10 12.50 午饭|6 收入 2024-01-15 1000.00 工资"));
}

// Guards against a HomeBank file being previewed as a CSV table that has no date column.
TEST_F(ImportPreviewTest, HomeBankFilesPreviewWithCategoriesAsItemsAndScanWhole)
{
    const QString path =
        write("home.xhb", "<?xml version=\"1.0\"?>\n<homebank v=\"1.4\">\n"
                          "<cat key=\"1\" name=\"餐饮\"/>\n<cat key=\"2\" parent=\"1\" name=\"午饭\"/>\n"
                          "<ope date=\"739000\" amount=\"-12.5\" account=\"1\" category=\"2\"/>\n"
                          "<ope date=\"739001\" amount=\"-100\" account=\"1\" dst_account=\"2\"/>\n"
                          "<ope date=\"739002\" amount=\"1000\" account=\"2\" category=\"1\"/>\n"
                          "</homebank>\n");
    TImportPreview preview(path);
    EXPECT_EQ(preview.Format(), ffHomeBank);
    EXPECT_FALSE(preview.HasCsvSettings());
    EXPECT_EQ(rows(preview), utf8("5 支出 2024-04-24 12.50 餐饮:午饭|7 收入 2024-04-26 1000.00 餐饮"));
    scan(preview);
    EXPECT_EQ(preview.Scan().Income, 1);
    EXPECT_EQ(preview.Scan().Expense, 1);
    EXPECT_TRUE(preview.CanImport());
}

// Guards against the HomeBank preview offering no choice of the field that gives the item.
TEST_F(ImportPreviewTest, TheDialogLetsTheUserPickTheHomeBankItemAndShowsTheEffect)
{
    const QString path =
        write("home.xhb", "<?xml version=\"1.0\"?>\n<homebank v=\"1.4\">\n"
                          "<pay key=\"1\" name=\"食堂\"/>\n<cat key=\"1\" name=\"餐饮\"/>\n"
                          "<ope date=\"739000\" amount=\"-12.5\" account=\"1\" category=\"1\" "
                          "payee=\"1\" wording=\"午饭\"/>\n"
                          "</homebank>\n");
    TImportPreview preview(path);
    TImportDialog dialog(preview);
    dialog.RunScan = [](TImportPreview &p) { scan(p); };
    dialog.Rescan();
    ASSERT_FALSE(dialog.ItemSourceCombo->isHidden());
    QStringList names;
    for (int i = 0; i < dialog.ItemSourceCombo->count(); ++i)
        names << dialog.ItemSourceCombo->itemText(i);
    EXPECT_EQ(names.join('/'), utf8("类别/收付款人/备注"));
    EXPECT_EQ(dialog.ItemSourceCombo->currentText(), utf8("类别"));
    EXPECT_EQ(rows(preview), utf8("5 支出 2024-04-24 12.50 餐饮"));
    dialog.ItemSourceCombo->setCurrentIndex(2);
    EXPECT_EQ(preview.ItemSource(), qiMemo);
    EXPECT_EQ(rows(preview), utf8("5 支出 2024-04-24 12.50 午饭"));
    EXPECT_EQ(preview.Rows()[0].Remark, utf8("食堂；餐饮"));
    EXPECT_EQ(dialog.PreviewTable->item(0, 4)->text(), utf8("午饭"));
}

TEST_F(ImportPreviewTest, FilesThatHoldNoEntriesAreRefusedWithTheirName)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        const char *says;
    } cases[] = {
        {"empty.csv", "", "空"},
        {"binary.csv", QByteArray("\x01\x02\x00\x03\xff\x00", 6), "格式"},
        {"ledger.csv", QByteArray("SQLite format 3\0......", 22), "SQLite"},
    };
    for (const Case &c : cases) {
        const QString path = write(c.name, c.bytes);
        try {
            TImportPreview preview(path);
            ADD_FAILURE() << c.name << " was taken";
        } catch (const EImportError &error) {
            const QString message = QString::fromUtf8(error.what());
            EXPECT_TRUE(message.contains(path)) << message.toStdString();
            EXPECT_TRUE(message.contains(utf8(c.says))) << message.toStdString();
            if (c.bytes.isEmpty())
                continue;
            // Guards against a refusal that names only some of the formats the import reads.
            for (const char *format :
                 {"CSV", "支付宝", "微信支付", "xlsx", "QIF", "OFX", "HomeBank", "Access"})
                EXPECT_TRUE(message.contains(utf8(format))) << format << ": " << message.toStdString();
        }
    }
    EXPECT_THROW(TImportPreview(dir.filePath("missing.csv")), EImportError);
    try {
        TImportPreview preview(dir.filePath("missing.csv"));
    } catch (const EImportError &error) {
        const QString message = QString::fromUtf8(error.what());
        EXPECT_TRUE(message.contains(dir.filePath("missing.csv"))) << error.what();
        EXPECT_TRUE(message.contains(utf8("文件不存在")))
            << "the reason in the user's words: " << error.what();
    }
}

TEST_F(ImportPreviewTest, AnAccessFileThatCannotBeReadIsRefusedWithItsName)
{
    QByteArray jet(2048, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    const QString path = write("old.mdb", jet);
    try {
        TImportPreview preview(path);
        ADD_FAILURE() << "a broken Access file was taken";
    } catch (const EImportError &error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(path)) << error.what();
    }
}

TEST_F(ImportPreviewTest, DialogShowsTheMappingAndFollowsTheUsersPicks)
{
    TImportPreview preview(write("d.csv", "日期,金额,项目\n2024-01-10,-3,a\nbad,1,b\n"));
    TImportDialog dialog(preview);
    int scans = 0;
    dialog.RunScan = [&](TImportPreview &scanned) {
        ++scans;
        scan(scanned);
    };
    dialog.Rescan();
    EXPECT_EQ(scans, 1);
    ASSERT_EQ(dialog.MappingTable->columnCount(), 3);
    EXPECT_EQ(dialog.MappingTable->horizontalHeaderItem(1)->text(), utf8("金额"));
    EXPECT_EQ(dialog.MappingCombo(1)->currentText(), CsvRoleCaption(crAmount));
    EXPECT_EQ(dialog.PreviewTable->rowCount(), 2);
    EXPECT_EQ(dialog.PreviewTable->item(0, 3)->text(), "3.00");
    EXPECT_FALSE(dialog.PreviewTable->item(1, 6)->text().isEmpty()) << "the bad row says why";
    EXPECT_FALSE(dialog.ImportButton->isEnabled());
    EXPECT_EQ(dialog.SkippedTable->rowCount(), 1);
    EXPECT_EQ(dialog.SkippedTable->item(0, 0)->text(), "3");

    dialog.SkipBadRowsCheck->setChecked(true);
    EXPECT_TRUE(dialog.ImportButton->isEnabled());
    dialog.ImportDuplicatesCheck->setChecked(true);
    EXPECT_TRUE(preview.ImportDuplicates());

    // Picking a role in a column's box reads the file again and scans it again.
    QComboBox *itemBox = dialog.MappingCombo(2);
    itemBox->setCurrentIndex(itemBox->findData(int(crRemark)));
    EXPECT_EQ(preview.ColumnRole(2), crRemark);
    EXPECT_EQ(dialog.PreviewTable->item(0, 5)->text(), "a");
    EXPECT_EQ(scans, 2);

    dialog.KindRuleCombo->setCurrentIndex(dialog.KindRuleCombo->findData(int(ckAllIncome)));
    EXPECT_EQ(dialog.PreviewTable->item(0, 1)->text(), utf8("收入"));
}

// Regression: a short GBK file that is valid UTF-8 was read as UTF-8 ("ҽҩ"), and a QIF file's encoding could
// not be changed.
TEST_F(ImportPreviewTest, AnEncodingJudgedByTheTextIsShownAndCanBeChanged)
{
    TImportPreview csv(write("gbk.csv", Gbk("-12.50,2024-01-02,医药\n-3,2024-01-03,鞋\n")));
    EXPECT_EQ(csv.Encoding(), ceGb18030);
    EXPECT_EQ(rows(csv), utf8("1 支出 2024-01-02 12.50 医药|2 支出 2024-01-03 3.00 鞋"));
    ASSERT_EQ(csv.Notes().size(), 1);
    EXPECT_TRUE(csv.Notes()[0].contains(utf8("按 GB18030 读是“医药 / 鞋”，按 UTF-8 读是“ҽҩ / Ь”")))
        << csv.Notes()[0].toStdString();
    csv.SetEncoding(ceUtf8);
    EXPECT_EQ(rows(csv), utf8("1 支出 2024-01-02 12.50 ҽҩ|2 支出 2024-01-03 3.00 Ь"));

    TImportPreview qif(write("gbk.qif", Gbk("!Type:Bank\nD1/13/2024\nT-5\nP医药\n^\n")));
    EXPECT_TRUE(qif.HasEncodingChoice());
    EXPECT_EQ(qif.Encoding(), ceGb18030);
    EXPECT_EQ(rows(qif), utf8("2 支出 2024-01-13 5.00 医药"));
    qif.SetEncoding(ceUtf8);
    EXPECT_EQ(qif.Encoding(), ceUtf8);
    EXPECT_EQ(rows(qif), utf8("2 支出 2024-01-13 5.00 ҽҩ"));
    EXPECT_EQ(qif.SourceDescription(), utf8("QIF（UTF-8）"));
}

// Regression: QIF dates that read either way were taken month first without a word, and the dialog had no
// choice.
TEST_F(ImportPreviewTest, QifDatesThatReadEitherWayAreSaidSoAndTheOrderCanBePicked)
{
    TImportPreview preview(
        write("dates.qif", "!Type:Bank\nD05/02/2024\nT-5\nPa\n^\nD03/04/2024\nT-6\nPb\n^\n"));
    EXPECT_EQ(rows(preview),
              "2 " + utf8("支出") + " 2024-05-02 5.00 a|6 " + utf8("支出") + " 2024-03-04 6.00 b");
    ASSERT_EQ(preview.Notes().size(), 1);
    EXPECT_TRUE(preview.Notes()[0].contains(utf8("请改选日期顺序")));
    TImportDialog dialog(preview);
    dialog.RunScan = [](TImportPreview &scanned) { scan(scanned); };
    EXPECT_TRUE(dialog.DateOrderCombo->isEnabled());
    EXPECT_TRUE(dialog.EncodingCombo->isEnabled());
    EXPECT_FALSE(dialog.SeparatorCombo->isEnabled());
    EXPECT_FALSE(dialog.NotesLabel->isHidden());
    dialog.DateOrderCombo->setCurrentIndex(dialog.DateOrderCombo->findData(int(qdDayFirst)));
    EXPECT_EQ(preview.DateOrder(), qdDayFirst);
    EXPECT_EQ(dialog.PreviewTable->item(0, 2)->text(), "2024-02-05");
    EXPECT_TRUE(preview.Notes().isEmpty()) << "the order is the user's now";
}

// Regression: QIF opening balances and transfers between the file's accounts came in as income and expense.
TEST_F(ImportPreviewTest, QifOpeningBalancesAndTransfersAreListedLeftOutAndCanBeTakenIn)
{
    TImportPreview preview(write("accounts.qif", "!Account\nNChecking\nTBank\n^\n!Type:Bank\n"
                                                 "D1/13/2024\nT1000\nPOpening Balance\nL[Checking]\n^\n"
                                                 "D1/14/2024\nT-200\nPTo savings\nL[Savings]\n^\n"
                                                 "D1/15/2024\nT-5\nPBus\n^\n"));
    const auto notes = [&] {
        QStringList texts;
        for (const TPreviewRow &row : preview.Rows())
            texts << QString::number(row.Line) + QStringLiteral(":") + preview.RowNote(row);
        return texts.join('|');
    };
    EXPECT_EQ(notes(), utf8("6:期初余额，不导入|11:转到“Savings”，不导入|16:"));
    TImportDialog dialog(preview);
    dialog.RunScan = [](TImportPreview &scanned) { scan(scanned); };
    dialog.Rescan();
    EXPECT_EQ(preview.Scan().Income + preview.Scan().Expense, 1);
    EXPECT_TRUE(dialog.NotesLabel->text().contains(utf8("没有导入1条期初余额（第6行）")))
        << dialog.NotesLabel->text().toStdString();
    EXPECT_EQ(dialog.PreviewTable->item(0, 6)->text(), utf8("期初余额，不导入"));
    EXPECT_FALSE(dialog.ImportTransfersCheck->isHidden());

    dialog.ImportTransfersCheck->setChecked(true);
    EXPECT_TRUE(preview.ImportTransfers());
    EXPECT_EQ(notes(), utf8("6:期初余额，仍将导入|11:转到“Savings”，仍将导入|16:"));
    EXPECT_EQ(preview.Scan().Income, 1);
    EXPECT_EQ(preview.Scan().Expense, 2);
}

// Regression: with a file of many columns (every payment app's bill) the scroll bar covered the row of role
// choices, so the user could not see or change what a column was read as.
TEST_F(ImportPreviewTest, BillShowsItsRoleChoicesAboveTheScrollBarAndItsLeftOutRowsInTheNotes)
{
    TImportPreview preview(write(
        "wechat.csv",
        "微信支付账单明细,,,,,,,,,,\n"
        "----------------------微信支付账单明细列表--------------------,,,,,,,,,,\n"
        "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n"
        "2024-03-28 12:01:02,商户消费,瑞幸咖啡,生椰拿铁,支出,¥15.90,零钱,支付成功,42\t,10\t,/\n"
        "2024-03-26 10:00:00,零钱提现,招商银行(1234),/,/,¥500.00,招商银行(1234),提现已到账,10\t,/\t,/\n"));
    EXPECT_EQ(preview.SourceDescription(), utf8("微信支付账单（UTF-8，逗号分隔）"));
    EXPECT_EQ(rows(preview), "4 " + utf8("支出 2024-03-28 12:01:02 15.90 瑞幸咖啡"));
    TImportDialog dialog(preview);
    dialog.RunScan = [](TImportPreview &scanned) { scan(scanned); };
    dialog.Rescan();
    EXPECT_TRUE(dialog.NotesLabel->text().contains(utf8("有1条纪录不计收支")))
        << dialog.NotesLabel->text().toStdString();
    QTableWidget &table = *dialog.MappingTable;
    ASSERT_EQ(table.columnCount(), 11);
    QWidget *combo = table.cellWidget(0, 0);
    ASSERT_TRUE(combo);
    // What is left of the table under its header's names and over a scroll bar holds a row of choices.
    const int room = table.height() - table.horizontalHeader()->sizeHint().height() -
                     table.style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 2 * table.frameWidth();
    EXPECT_GE(room, combo->sizeHint().height());
}

// Regression: a QIF file's categories were dropped (the payee became the item) and could not be chosen.
TEST_F(ImportPreviewTest, TheDialogLetsTheUserPickWhichQifFieldGivesTheItemAndShowsTheEffect)
{
    TImportPreview preview(write("cats.qif",
                                 "!Type:Bank\nD2024-01-13\nT-25.5\nP华联超市\nLFood:Groceries\n^\n"
                                 "D2024-01-14\nT-3\nP地铁\n^\n"));
    const auto items = [&preview] {
        QStringList texts;
        for (const TPreviewRow &row : preview.Rows())
            texts << row.Item + "|" + row.Remark;
        return texts.join(';');
    };
    EXPECT_EQ(items(), utf8("Food:Groceries|华联超市;地铁|"));
    TImportDialog dialog(preview);
    dialog.RunScan = [](TImportPreview &scanned) { scan(scanned); };
    ASSERT_FALSE(dialog.ItemSourceCombo->isHidden());
    // The file has no memo: only the fields it has are offered.
    ASSERT_EQ(dialog.ItemSourceCombo->count(), 2);
    EXPECT_EQ(dialog.ItemSourceCombo->itemText(0), utf8("类别"));
    EXPECT_EQ(dialog.ItemSourceCombo->itemText(1), utf8("收付款人"));
    dialog.ItemSourceCombo->setCurrentIndex(1);
    EXPECT_EQ(preview.ItemSource(), qiPayee);
    EXPECT_EQ(items(), utf8("华联超市|Food:Groceries;地铁|"));
    EXPECT_EQ(dialog.PreviewTable->item(0, 4)->text(), utf8("华联超市"));
    EXPECT_EQ(preview.MakeSource()->Description(), utf8("QIF（UTF-8）"));

    TImportPreview csv(write("plain.csv", "日期,金额,项目\n2024-01-10,-12.50,午饭\n"));
    TImportDialog csvDialog(csv);
    csvDialog.RunScan = [](TImportPreview &scanned) { scan(scanned); };
    EXPECT_TRUE(csvDialog.ItemSourceCombo->isHidden());
}

// Regression: an encoding the file is not in showed its error twice in red, or escaped the dialog.
TEST_F(ImportPreviewTest, AnEncodingThatFailsIsSaidOnceAndWhole)
{
    TImportPreview preview(write("gbk.csv", Gbk("日期,金额,项目\n2024-01-02,-12.50,医药费\n")));
    TImportDialog dialog(preview);
    dialog.RunScan = [](TImportPreview &scanned) { scan(scanned); };
    for (const TCsvEncoding encoding : {ceUtf8, ceUtf16}) {
        dialog.EncodingCombo->setCurrentIndex(dialog.EncodingCombo->findData(int(encoding)));
        const QString problem = dialog.ProblemLabel->text();
        EXPECT_FALSE(dialog.ProblemLabel->isHidden());
        EXPECT_TRUE(problem.contains(encoding == ceUtf8 ? utf8("不是有效的 UTF-8") : utf8("UTF-16")))
            << problem.toStdString();
        const QString shown = dialog.NotesLabel->text() + "\n" + dialog.SummaryLabel->text() + "\n" + problem;
        EXPECT_EQ(shown.count(problem), 1) << shown.toStdString();
        EXPECT_FALSE(dialog.ImportButton->isEnabled());
    }
}

// A file of several accounts with a category column, as Skrooge exports one.
const QByteArray SkroogeCsv =
    "\"date\";\"account\";\"mode\";\"payee\";\"comment\";\"amount\";\"category\"\n"
    "\"2022-01-03\";\"Cheque\";\"Other\";\"Corner Pharma\";\"my pills\";\"-20.00\";\"Health-care > "
    "Prescriptions\"\n"
    "\"2022-01-05\";\"Cheque\";\"Card\";\"Cafe Noir\";\"espresso\";\"-2.50\";\"Food > Restaurants\"\n"
    "\"2022-01-05\";\"Cheque\";\"Card\";\"Cafe Noir\";\"espresso\";\"-2.50\";\"Food > Restaurants\"\n"
    "\"2022-01-29\";\"Saving\";\"Other\";\"Me\";\"for hard time\";\"20.00\";\"Savings\"\n"
    "\"2022-01-29\";\"Cheque\";\"Other\";\"Me\";\"for hard time\";\"-20.00\";\"Savings\"\n";

TEST_F(ImportPreviewTest, ACsvWithCategoriesOffersTheItemChoiceAndItsTransfers)
{
    TImportPreview preview(write("skrooge.csv", SkroogeCsv));
    ASSERT_TRUE(preview.HasItemChoice());
    EXPECT_EQ(preview.ItemChoices(), (std::vector<TQifItemSource>{qiCategory, qiPayee, qiMemo}));
    EXPECT_EQ(rows(preview), utf8("2 支出 2022-01-03 20.00 Health-care:Prescriptions|3 支出 2022-01-05 2.50 "
                                  "Food:Restaurants|4 支出 2022-01-05 2.50 Food:Restaurants"));
    preview.SetItemSource(qiPayee);
    EXPECT_EQ(preview.Rows()[0].Item, "Corner Pharma");
    EXPECT_EQ(preview.Rows()[0].Remark, "my pills；Health-care:Prescriptions");
    ASSERT_TRUE(preview.HasTransferChoice());
    preview.SetImportTransfers(true);
    EXPECT_EQ(preview.Rows().size(), 5u);
}

TEST_F(ImportPreviewTest, LikelyDuplicatesAreSkippedUnlessTheUserKeepsThemOneByOne)
{
    const QString ledger = dir.filePath("Vantorel.mdb");
    CreateLedgerDatabase(ledger);
    {
        TImportPreview first(write("first.qif",
                                   "!Type:Bank\nD2022-01-03\nT-20\nPCorner Pharma\nMOther  my pills\n"
                                   "LHealth-care:Prescriptions\n^\nD2022-01-05\nT-2.5\nPCafe Noir\n"
                                   "MCard  espresso\nLFood:Restaurants\n^\n"));
        ASSERT_EQ(ImportEntries(ledger, *first.MakeSource()).Added(), 2);
    }
    TImportPreview preview(write("skrooge.csv", SkroogeCsv));
    preview.SetLedgerPath(ledger);
    TImportDialog dialog(preview);
    dialog.RunScan = [](TImportPreview &scanned) {
        TJobProgress progress;
        scanned.SetScan(
            TImportPreview::ScanAll([&] { return scanned.MakeSource(); }, scanned.LedgerPath(), progress));
    };
    dialog.Rescan();
    // The pharmacy and one of the two coffees are in the ledger; the second coffee is a coffee of its own.
    ASSERT_EQ(preview.DuplicateEntries().size(), 2u);
    EXPECT_EQ(preview.DuplicateEntries()[1].Entry.Line, 3);
    EXPECT_EQ(preview.DuplicatesSkipped(), 2);
    ASSERT_EQ(dialog.DuplicatesTable->rowCount(), 2);
    EXPECT_FALSE(dialog.DuplicatesTable->isHidden());
    EXPECT_EQ(dialog.DuplicatesTable->item(0, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(dialog.PreviewTable->item(1, 6)->text(), utf8("账本中已有，将跳过"));

    dialog.DuplicatesTable->item(1, 0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(preview.IsDuplicateKept(preview.DuplicateEntries()[1].Ordinal));
    EXPECT_EQ(dialog.PreviewTable->item(1, 6)->text(), utf8("账本中已有，仍将导入"));
    EXPECT_TRUE(dialog.SummaryLabel->text().contains(utf8("1条仍将导入，1条将跳过")));

    const TImportResult result = ImportEntries(ledger, *preview.MakeSource(), preview.Options());
    EXPECT_EQ(result.Added(), 2); // the second coffee, and the first as the user kept it
    EXPECT_EQ(result.DuplicatesSkipped, 1);
    EXPECT_EQ(result.DuplicatesKept, 1);

    // Reading the file another way numbers its entries anew: no pick is carried over.
    preview.SetItemSource(qiPayee);
    EXPECT_TRUE(preview.Options().KeptDuplicates.empty());
}

} // namespace
} // namespace kestrum
