// Two programs on one ledger, a file or a server's: what the other one
// saves shows on the entry page within a second (the month shown, its footer total), and the
// entry being typed on the page is left as it is.
#include "EntryGridProbe.h"
#include "LedgerFileFixture.h"
#include "app/ChangeWatch.h"
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "core/RegionalSettings.h"
#include "data/DbDataController.h"
#include "db/DbQuery.h"
#include "grid/GridTableView.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/ImageList.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace kestrum {
namespace {

class OtherWriterPageTest : public testing::TestWithParam<test::TEngine> {
protected:
    OtherWriterPageTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddIncome(1000, "2006-07-01", "工资");
        file.AddIncome(30.25, "2006-07-15", "利息");
        file.AddIncome(500, "2006-08-03", "奖金");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([](const std::exception &) {});
        income.resize(900, 500);
        income.show();
        income.YearEdit->setText("2006");
        income.MonthCombo->setCurrentText("7");
        QTest::mouseClick(income.ShowButton, Qt::LeftButton);
    }

    void SetUp() override { TLedgerFile::RequireLedger(file); }
    //! Another program's statement, on a connection of its own.
    void Other(const std::string &sql) const { file.Exec(sql); }
    //! Milliseconds until the page shows `rows` rows (-1: not within two seconds).
    int WaitForRows(int rows) const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 2000) {
            if (probe::GridRowCount(income) == rows)
                return int(clock.elapsed());
            QTest::qWait(10);
        }
        return -1;
    }

    test::OffscreenSizeHintsFilter sizeHints;
    TLedgerFile file{GetParam()};
    TLedgerData data;
    TImageList images{16, 16};
    TEntryPage income{IncomePageDescription(), data.DataSource1, &images};
};

TEST_P(OtherWriterPageTest, AnEntryAnotherProgramSavesShowsWithinASecondInTheMonthAndItsTotal)
{
    ASSERT_EQ(probe::GridRowCount(income), 2);
    EXPECT_EQ(probe::GridFooter(income), "1030.25");
    Other("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (19.75, '2006-07-20 00:00:00', '稿费')");
    const int delay = WaitForRows(3);
    EXPECT_GE(delay, 0);
    EXPECT_LT(delay, 1000);
    EXPECT_EQ(probe::GridFooter(income), "1050.00");

    // An entry of another month leaves the list as it is; a changed amount shows.
    Other("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (5, '2006-08-20 00:00:00', '红包')");
    Other("UPDATE gain SET 本次进帐 = 1100 WHERE 进帐人 = '工资'");
    QElapsedTimer clock;
    clock.start();
    while (probe::GridFooter(income) != "1150.00" && clock.elapsed() < 2000)
        QTest::qWait(10);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(probe::GridFooter(income), "1150.00");
    EXPECT_EQ(probe::GridRowCount(income), 3);
}

TEST_P(OtherWriterPageTest, TheEntryBeingTypedStaysUntilItIsGivenUp)
{
    TDbQuery &query = *income.DataSet();
    query.Edit();
    query.FieldByName("进帐人")->SetText(QString::fromUtf8("工资二"));
    Other("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (19.75, '2006-07-20 00:00:00', '稿费')");
    QTest::qWait(3 * FileChangeInterval);
    EXPECT_EQ(query.State(), dsEdit);
    EXPECT_EQ(query.FieldByName("进帐人")->AsString(), QString::fromUtf8("工资二"));
    EXPECT_EQ(probe::GridRowCount(income), 2);

    query.Cancel();
    EXPECT_GE(WaitForRows(3), 0);
    EXPECT_EQ(probe::GridFooter(income), "1050.00");
}

INSTANTIATE_TEST_SUITE_P(Engines, OtherWriterPageTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
