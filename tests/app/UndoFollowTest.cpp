// An undo or redo shows its entries on the pages without reading them all
// again: each row it wrote comes back, goes or changes where reading the
// page again would show it, in a plain, a sorted, a grouped and a month
// list, with the current entry and the footer total right; a list whose
// order the keys do not give is read again instead.
#include "EntryGridProbe.h"
#include "LedgerFileFixture.h"
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "app/RowFollowing.h"
#include "app/UndoCommands.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"
#include "data/DbDataController.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "grid/GridTableView.h"
#include "support/FakeShell.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstring>
#include <vector>

namespace kestrum {
namespace {

constexpr int AmountColumn = 0;
constexpr int ItemColumn = 1;

class UndoFollowTest : public testing::Test {
protected:
    UndoFollowTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        file.AddIncome(100, "2024-01-10", "工资");
        file.AddIncome(20, "2024-01-12", "红包");
        file.AddIncome(3, "2024-01-15", "利息");
        file.AddIncome(400, "2024-02-01", "工资");
        file.AddIncome(50, "2024-02-03", "奖金");
        file.AddIncome(6, "2024-02-09", "利息");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([](const std::exception &) {});
        previousHook = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
            boxes << request.Text;
            return 0;
        });
        window.resize(900, 600);
        window.show();
        QApplication::processEvents();
        sqlite3_trace_v2(data.ADOConnection1.Handle(), SQLITE_TRACE_STMT, CountFullReads, &fullReads);
    }
    ~UndoFollowTest() override
    {
        sqlite3_trace_v2(data.ADOConnection1.Handle(), 0, nullptr, nullptr);
        SetMessageBoxHook(previousHook);
    }

    //! Counts the runs of the income page's own statement: each reads every row.
    static int CountFullReads(unsigned, void *context, void *statement, void *)
    {
        const char *sql = sqlite3_sql(static_cast<sqlite3_stmt *>(statement));
        if (sql && (std::strcmp(sql, "select * from gain") == 0 ||
                    std::strncmp(sql, "select * from gain where", 24) == 0))
            ++*static_cast<int *>(context);
        return 0;
    }

    TEntryPage &page() { return *static_cast<TEntryPage *>(window.IncomePage); }
    TkvCustomDataController &controller() { return *page().View->DBDataController(); }
    TDbQuery &query() { return data.ADOQuery1; }
    TUndoCommands &commands() { return *window.UndoCommands; }

    //! The grid's rows by item and amount ("+" a group row), "*" the focused one.
    std::string Rows()
    {
        TkvCustomDataController &list = controller();
        std::string text;
        for (int r = 0; r < list.RowCount(); ++r) {
            const TkvRowInfo row = list.GetRowInfo(r);
            text += (r ? "," : "") + std::string(r == list.FocusedRowIndex() ? "*" : "") +
                    (row.IsGroupRow ? "+" : "") +
                    list.GetDisplayText(row.RecordIndex, ItemColumn).toStdString();
            if (!row.IsGroupRow)
                text += list.GetDisplayText(row.RecordIndex, AmountColumn).toStdString();
        }
        return text;
    }
    //! The record set's rows in its own order, by amount.
    std::string QueryRows()
    {
        std::string text;
        const TBookmark current = query().GetBookmark();
        query().First();
        while (!query().Eof()) {
            text +=
                (text.empty() ? "" : ",") + query().FieldByName(utf8("本次进帐"))->AsString().toStdString();
            query().Next();
        }
        query().GotoBookmark(current);
        return text;
    }
    //! Puts the record set on the row whose item and amount match.
    void Go(const char *item, double amount)
    {
        ASSERT_TRUE(query().Locate(utf8("进帐人;本次进帐"),
                                   Variant::fromArray({Variant(utf8(item)), Variant(amount)})));
    }
    void Undo()
    {
        commands().UpdateItems();
        commands().Undo();
    }
    void Redo()
    {
        commands().UpdateItems();
        commands().Redo();
    }
    //! The page shows what it shows after reading every row again.
    void ExpectAsReadAgain()
    {
        const std::string followed = Rows();
        const QString footer = probe::GridFooter(page());
        query().Refresh();
        QApplication::processEvents();
        EXPECT_EQ(followed, Rows());
        EXPECT_EQ(footer, probe::GridFooter(page()));
    }

    test::OffscreenSizeHintsFilter sizeHints;
    TLedgerFile file;
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
    QStringList boxes;
    TMessageBoxHook previousHook;
    int fullReads = 0;
};

TEST_F(UndoFollowTest, AnUndoneDeleteBringsTheEntriesBackAtTheirPlacesWithoutReadingThePage)
{
    // Guards against entries put back by an undo standing last, after the newer ones.
    Go("利息", 6);
    query().Delete();
    QApplication::processEvents(); // an action of its own
    Go("红包", 20);
    query().Delete();
    query().Delete(); // the next one, 利息 3, as the grid deletes selected rows
    QApplication::processEvents();
    Go("奖金", 50);
    EXPECT_EQ(Rows(), "工资100,工资400,*奖金50");
    fullReads = 0;
    Undo(); // the two deleted in one go
    EXPECT_EQ(fullReads, 0);
    EXPECT_EQ(Rows(), "工资100,红包20,利息3,工资400,*奖金50");
    EXPECT_EQ(QueryRows(), "100,20,3,400,50");
    EXPECT_EQ(query().FieldByName(utf8("进帐人"))->AsString(), utf8("奖金"));
    EXPECT_EQ(probe::GridFooter(page()), "573.00");
    Undo(); // 利息 6, the last one
    EXPECT_EQ(Rows(), "工资100,红包20,利息3,工资400,*奖金50,利息6");
    EXPECT_EQ(probe::GridFooter(page()), "579.00");
    Redo();
    Redo();
    EXPECT_EQ(fullReads, 0);
    EXPECT_EQ(Rows(), "工资100,工资400,*奖金50");
    EXPECT_EQ(probe::GridFooter(page()), "550.00");
    ExpectAsReadAgain();
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

TEST_F(UndoFollowTest, ASortedAndAGroupedListShowTheEntriesWhereReadingThemAgainWould)
{
    DataSortingOf(controller())->ApplySortOrder(AmountColumn, soDescending);
    Go("红包", 20);
    query().Delete();
    Go("工资", 100);
    query().Edit();
    query().FieldByName(utf8("本次进帐"))->SetValue(Variant(7.0));
    query().Post();
    Go("奖金", 50);
    fullReads = 0;
    Undo(); // the amount goes back to 100: the entry moves up
    Undo(); // 红包 comes back between 奖金 and 利息
    EXPECT_EQ(fullReads, 0);
    EXPECT_EQ(Rows(), "工资400,工资100,*奖金50,红包20,利息6,利息3");
    EXPECT_EQ(probe::GridFooter(page()), "579.00");

    TkvDataControllerGroups &groups = *DataGroupsOf(controller());
    groups.PlaceInGrouping(ItemColumn, 0);
    groups.FullExpand();
    Go("利息", 3);
    EXPECT_EQ(Rows(), "+工资,工资400,工资100,+红包,红包20,+奖金,奖金50,+利息,利息6,*利息3");
    Redo(); // 红包 goes, its group with it
    Redo(); // 工资 100 becomes 7
    EXPECT_EQ(fullReads, 0);
    const std::string after = Rows();
    EXPECT_EQ(after.find(utf8("红包").toStdString()), std::string::npos) << after;
    EXPECT_NE(after.find("工资7"), std::string::npos) << after;
    ExpectAsReadAgain();
    fullReads = 0;
    Go("利息", 3);
    Undo();
    Undo();
    EXPECT_EQ(fullReads, 0);
    // The group 红包 is made again, folded as a fresh read makes it.
    EXPECT_EQ(Rows(), "+工资,工资400,工资100,+红包,+奖金,奖金50,+利息,利息6,*利息3");
    EXPECT_EQ(probe::GridFooter(page()), "579.00");
    ExpectAsReadAgain();
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

TEST_F(UndoFollowTest, AMonthShownFollowsItsOwnEntriesAndLeavesOtherMonthsOut)
{
    Go("红包", 20);
    query().Delete(); // January
    page().YearEdit->setText("2024");
    page().MonthCombo->setCurrentText("2");
    QTest::mouseClick(page().ShowButton, Qt::LeftButton);
    Go("工资", 400);
    query().Delete();
    Go("利息", 6);
    fullReads = 0;
    Undo(); // 工资 400 comes back first in February
    EXPECT_EQ(Rows(), "工资400,奖金50,*利息6");
    Undo(); // 红包 goes back into January, not shown
    EXPECT_EQ(fullReads, 0);
    EXPECT_EQ(Rows(), "工资400,奖金50,*利息6");
    EXPECT_EQ(probe::GridFooter(page()), "456.00");
    ExpectAsReadAgain();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "6");
}

TEST_F(UndoFollowTest, AListInAnOrderTheKeysDoNotGiveIsReadAgain)
{
    TLedgerData::ReplaceAndReopen(
        query(), QStringLiteral("select * from gain where 本次进帐 > 0 order by 本次进帐"), {});
    Go("红包", 20);
    query().Delete();
    fullReads = 0;
    Undo();
    EXPECT_GT(fullReads, 0);
    EXPECT_EQ(QueryRows(), "3,6,20,50,100,400");
    EXPECT_EQ(probe::GridFooter(page()), "579.00");
}

TEST_F(UndoFollowTest, MoreRowsThanAReadingOfThePageCostsAreReadAsAWhole)
{
    std::vector<std::int64_t> keys;
    for (std::int64_t key = 1; key <= std::int64_t(FollowFewRows); ++key)
        keys.push_back(key);
    fullReads = 0;
    EXPECT_TRUE(FollowWrittenRows(query(), keys));
    EXPECT_EQ(fullReads, 0);
    keys.push_back(std::int64_t(FollowFewRows) + 1);
    EXPECT_FALSE(FollowWrittenRows(query(), keys));
    EXPECT_GT(fullReads, 0);
    EXPECT_EQ(QueryRows(), "100,20,3,400,50,6");
}

} // namespace
} // namespace kestrum
