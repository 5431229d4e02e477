// A save that fails while the grid moves to another row: another program
// changed the same entry first, or the database refuses the update. The
// error reaches the error box, the move is abandoned and the typed entry
// stays in edit state with its values, nothing written.
#include "EntryGridProbe.h"
#include "LedgerFileFixture.h"
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "core/RegionalSettings.h"
#include "db/DbQuery.h"
#include "editors/CalcEdit.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>

namespace kestrum {
namespace {

using test::OffscreenSizeHintsFilter;

class RowMoveFailureTest : public testing::TestWithParam<test::TEngine> {
protected:
    RowMoveFailureTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddIncome(1000, "2006-07-01", "工资");
        file.AddIncome(30.25, "2006-07-15", "利息");
        file.AddIncome(500, "2006-08-03", "奖金");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([](const std::exception &error) { ADD_FAILURE() << error.what(); });
        income.resize(900, 500);
        income.show();
    }

    //! Focuses row 1 from the grid and types a new amount into its editor.
    void EditSecondRow()
    {
        ASSERT_TRUE(probe::ClickGridRow(income, 1));
        ASSERT_EQ(probe::GridFocusedRow(income), 1);
        item = query().FieldByName(QString::fromUtf8("进帐人"))->AsString().toStdString();
        income.AmountEdit->DoEnter();
        income.AmountEdit->SelectAll();
        for (char ch : std::string("42"))
            QTest::keyClick(income.AmountEdit->InnerWidget(), ch);
        income.AmountEdit->DoExit();
        ASSERT_EQ(query().State(), dsEdit);
    }

    //! The entry stays where it was, in edit state, with what was typed.
    void ExpectEntryKept()
    {
        EXPECT_EQ(probe::GridFocusedRow(income), 1);
        EXPECT_EQ(query().State(), dsEdit);
        EXPECT_EQ(query().FieldByName(QString::fromUtf8("进帐人"))->AsString().toStdString(), item);
        EXPECT_EQ(query().FieldByName(QString::fromUtf8("本次进帐"))->AsFloat(), 42);
        EXPECT_EQ(income.AmountEdit->DisplayText(), "42");
    }

    void SetUp() override { TLedgerFile::RequireLedger(file); }
    std::string stored(const std::string &sql) const { return file.Scalar(sql); }
    TDbQuery &query() const { return *income.DataSet(); }

    OffscreenSizeHintsFilter sizeHints;
    TLedgerFile file{GetParam()};
    TLedgerData data;
    TImageList images{16, 16};
    TEntryPage income{IncomePageDescription(), data.DataSource1, &images};
    TMessageBoxRecorder boxes;
    std::string item;
};

TEST_P(RowMoveFailureTest, RowChangedByAnotherProgramStopsAClickOnAnotherRow)
{
    EditSecondRow();
    file.Exec("UPDATE gain SET 本次进帐 = 9000 WHERE 进帐人 = '" + item + "'");
    ASSERT_TRUE(probe::ClickGridRow(income, 2));
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains("这条记录在读出之后已被其他程序修改或删除"))
        << boxes.Boxes()[0].toStdString();
    ExpectEntryKept();
    EXPECT_EQ(stored("SELECT 本次进帐 FROM gain WHERE 进帐人 = '" + item + "'"), "9000.0");

    // The grid goes on working: Down fails the same way, then the entry can be
    // dropped and the other row reached.
    probe::PressGridKey(income, Qt::Key_Down);
    ASSERT_EQ(boxes.Boxes().size(), 2);
    ExpectEntryKept();
    query().Cancel();
    ASSERT_TRUE(probe::ClickGridRow(income, 2));
    EXPECT_EQ(probe::GridFocusedRow(income), 2);
    EXPECT_EQ(boxes.Boxes().size(), 2);
}

TEST_P(RowMoveFailureTest, UpdateRefusedByTheDatabaseStopsTheDownKey)
{
    if (file.OnServer())
        file.Exec("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                  "RAISE EXCEPTION 'disk full'; END $$; CREATE TRIGGER refuse BEFORE UPDATE ON gain "
                  "FOR EACH ROW EXECUTE FUNCTION refuse()");
    else
        file.Exec("CREATE TRIGGER refuse BEFORE UPDATE ON gain BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    EditSecondRow();
    probe::PressGridKey(income, Qt::Key_Down);
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].contains("disk full")) << boxes.Boxes()[0].toStdString();
    ExpectEntryKept();
    EXPECT_EQ(stored("SELECT 本次进帐 FROM gain WHERE 进帐人 = '" + item + "'"), "30.25");
}

INSTANTIATE_TEST_SUITE_P(Engines, RowMoveFailureTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
