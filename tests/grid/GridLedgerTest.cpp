// The income grid as the ledger configures it, over a record set of a
// ledger file: captions and widths from the fields, the footer total, group
// sums, and a click that moves the record set.
#include "GridTestSource.h"

#include "core/RegionalSettings.h"
#include "data/DataControllerGroups.h"
#include "data/DataGroups.h"
#include "data/DataSummary.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridNavigatorButtons.h"
#include "support/DbTestSupport.h"
#include "support/OffscreenSizeHintsFilter.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class GridLedgerTest : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddGain(100, "2006-07-05", "工资");
        AddGain(20.5, "2006-07-06", "红包");
        AddGain(7, "2006-07-09", "工资");
        Query.SetConnection(&FConnection);
        Query.AddSQL("select * from gain");
        Source.SetDataSet(&Query);

        // The page's configuration, in the order a stored layout applies it.
        View = Grid.CreateView<TkvGridDBTableView>();
        View->BeginLoading();
        Amount = View->CreateColumn("kvGrid1DBTableView1DBColumn");
        Amount->DataBinding()->SetFieldName(QString::fromUtf8("本次进帐"));
        Item = View->CreateColumn("kvGrid1DBTableView1DBColumn1");
        Item->DataBinding()->SetFieldName(QString::fromUtf8("进帐人"));
        Item->SetCaption(QString::fromUtf8("进帐项"));
        Item->SetWidth(128);
        Date = View->CreateColumn("kvGrid1DBTableView1DBColumn2");
        Date->DataBinding()->SetFieldName(QString::fromUtf8("进帐时间"));
        Remark = View->CreateColumn("kvGrid1DBTableView1DBColumn3");
        Remark->DataBinding()->SetFieldName(QString::fromUtf8("备注"));
        Remark->SetWidth(500);
        View->DBDataController()->SetDataSource(&Source);
        TkvDataSummary &summary = *View->Summary();
        // Both items sum the amount field shown in the amount column; the record-set
        // item's FieldName names the same field when the summary makes such items.
        for (TkvDataSummaryItems *items :
             {static_cast<TkvDataSummaryItems *>(&summary.FooterSummaryItems()),
              static_cast<TkvDataSummaryItems *>(&summary.DefaultGroupSummaryItems())}) {
            TkvDataSummaryItem *item = items->Add();
            item->SetKind(skSum);
            if (auto *named = dynamic_cast<TkvDBDataSummaryItem *>(item))
                named->SetFieldName(QString::fromUtf8("本次进帐"));
            SetSummaryItemColumn(*item, Amount);
        }
        View->OptionsView().SetFooter(true);
        View->EndLoading();
        Grid.RootLevel().Add()->SetGridView(View);
        Grid.resize(1100, 300);
        Query.Open();
    }

    void TearDown() override { Query.Close(); }

    TDbQuery Query;
    TDbDataSource Source;
    TkvGrid Grid;
    TkvGridDBTableView *View = nullptr;
    TkvGridDBColumn *Amount = nullptr;
    TkvGridDBColumn *Item = nullptr;
    TkvGridDBColumn *Date = nullptr;
    TkvGridDBColumn *Remark = nullptr;
};

} // namespace

TEST_F(GridLedgerTest, CaptionsAndWidthsComeFromTheFieldsUnlessAssigned)
{
    const int digit = QFontMetrics(View->Font()).horizontalAdvance(QLatin1Char('0'));
    TDbField *amountField = Query.FieldByName(QString::fromUtf8("本次进帐"));
    TDbField *dateField = Query.FieldByName(QString::fromUtf8("进帐时间"));
    EXPECT_EQ(Amount->Caption().toStdString(), "本次进帐");
    EXPECT_EQ(Amount->Width(), std::max(20, digit * amountField->DisplayWidth() + 4));
    EXPECT_EQ(Item->Caption().toStdString(), "进帐项");
    EXPECT_EQ(Item->Width(), 128);
    EXPECT_EQ(Date->Caption().toStdString(), "进帐时间");
    EXPECT_EQ(Date->Width(), std::max(20, digit * dateField->DisplayWidth() + 4));
    EXPECT_EQ(Remark->Caption().toStdString(), "备注");
    EXPECT_EQ(Remark->Width(), 500);
    EXPECT_EQ(Date->EffectiveEditorItem(), TkvGridEditorItemKind::Date);
    EXPECT_EQ(Amount->FooterAlignmentHorz(), TkvGridAlignmentHorz::RightJustify);
}

TEST_F(GridLedgerTest, FooterShowsTheTotalAndGroupRowsTheirSums)
{
    ASSERT_EQ(View->ViewData().RecordCount(), 3);
    EXPECT_EQ(View->ViewInfo().FooterCells()[0].Text.toStdString(), "127.50");
    Item->SetGroupIndex(0);
    const std::string rows = LaidOutRows(*View);
    EXPECT_NE(rows.find("G0:进帐项 : 工资 (SUM=107.00)"), std::string::npos) << rows;
    EXPECT_NE(rows.find("G0:进帐项 : 红包 (SUM=20.50)"), std::string::npos) << rows;
}

// A new entry begun and given up at the start, in the middle and at the end,
// and rows deleted first, last and alone, leave every other row where it was,
// with the focus, the footer total and bookmarks following.
TEST_F(GridLedgerTest, NewEntriesGivenUpAndDeletedRowsLeaveTheOtherRowsInPlace)
{
    for (int i = 1; i <= 4; ++i)
        AddGain(i, "2006-08-01", ("r" + std::to_string(i)).c_str());
    Query.Refresh();
    TkvGridRowSource &rows = View->DataController();
    // The rows' items as the grid shows them, and the focused row's.
    auto shown = [&] {
        std::string text;
        for (int row = 0; row < rows.RowCount(); ++row)
            text += (row ? "," : "") +
                    rows.DisplayText(rows.GetRowInfo(row).RecordIndex, Item->Index()).toStdString();
        const int focused = rows.FocusedRowIndex();
        return text + " @" +
               (focused < 0
                    ? "-"
                    : rows.DisplayText(rows.GetRowInfo(focused).RecordIndex, Item->Index()).toStdString());
    };
    auto footer = [&] {
        View->ViewInfo().Calculate();
        return View->ViewInfo().FooterCells()[0].Text.toStdString();
    };
    const std::string all = "工资,红包,工资,r1,r2,r3,r4";
    ASSERT_EQ(shown(), all + " @工资");
    EXPECT_EQ(footer(), "137.50");
    Query.First();
    Query.MoveBy(4);
    const TBookmark r2 = Query.GetBookmark();

    for (const int at : {0, 3, 7}) {
        Query.First();
        if (at == 7)
            Query.Append();
        else {
            Query.MoveBy(at);
            Query.Insert();
        }
        EXPECT_EQ(rows.RowCount(), 8) << "at " << at;
        Query.FieldByName(QString::fromUtf8("进帐人"))->SetAsString(QStringLiteral("new"));
        Query.Cancel();
        // The focus goes back to the row it was on before.
        const char *focused[] = {"工资", "", "", "r1", "", "", "", "工资"};
        EXPECT_EQ(shown(), all + " @" + focused[at]) << "at " << at;
        EXPECT_EQ(footer(), "137.50") << "at " << at;
    }
    // Many in a row at one place, then elsewhere.
    for (int i = 0; i < 50; ++i) {
        Query.First();
        Query.MoveBy(i % 3 == 2 ? 5 : 2);
        Query.Insert();
        Query.Cancel();
    }
    EXPECT_EQ(shown(), all + " @工资"); // the third row, where the last one was begun
    Query.GotoBookmark(r2);
    EXPECT_EQ(shown(), all + " @r2");

    Query.First();
    Query.Delete();
    EXPECT_EQ(shown(), "红包,工资,r1,r2,r3,r4 @红包");
    EXPECT_EQ(footer(), "37.50");
    Query.Last();
    Query.Delete();
    EXPECT_EQ(shown(), "红包,工资,r1,r2,r3 @r3");
    EXPECT_EQ(footer(), "33.50");
    Query.GotoBookmark(r2);
    EXPECT_EQ(shown(), "红包,工资,r1,r2,r3 @r2");
    Query.Delete();
    EXPECT_EQ(shown(), "红包,工资,r1,r3 @r3");
    EXPECT_FALSE(Query.BookmarkValid(r2));
    for (int i = 0; i < 3; ++i)
        Query.Delete();
    EXPECT_EQ(shown(), "红包 @红包");
    Query.Delete();
    EXPECT_EQ(shown(), " @-");
    Query.Insert();
    Query.Cancel();
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(RawValue(FPath, "select count(*) from gain"), "0");
}

// Deleting the entry that was last in the file from a list sorted and
// grouped by item: the row the focus left named a record past the end and
// the grid's repaint of it raised "List index out of bounds".
TEST_F(GridLedgerTest, DeletingTheLastEntryOfASortedGroupedListMovesTheFocusOn)
{
    for (int i = 1; i <= 4; ++i)
        AddGain(i, "2006-08-01", i % 2 ? "工资" : "红包");
    Query.Refresh();
    Item->SetSortOrder(TkvGridSortMark::Ascending);
    Item->SetGroupIndex(0);
    DataGroupsOf(*View->DBDataController())->FullExpand();
    Query.Last(); // 4 红包, the last record of the file
    ASSERT_EQ(Query.FieldByName(QString::fromUtf8("本次进帐"))->AsString().toStdString(), "4");
    EXPECT_NO_THROW(Query.Delete());
    View->ViewInfo().Calculate();
    EXPECT_EQ(View->ViewInfo().FooterCells()[0].Text.toStdString(), "133.50");
    const TkvDataGroups &groups = DataGroupsOf(*View->DBDataController())->DataGroups();
    ASSERT_EQ(groups.Count(), 2);
    EXPECT_EQ(groups.Item(0).SummaryValues.at(0).toDouble(), 111.0);
    EXPECT_EQ(groups.Item(1).SummaryValues.at(0).toDouble(), 22.5);
    // And again from the middle of the file, then its first entry.
    for (int move : {2, 0}) {
        Query.First();
        Query.MoveBy(move);
        EXPECT_NO_THROW(Query.Delete());
    }
    EXPECT_EQ(RawValue(FPath, "select count(*) from gain"), "4");
}

TEST_F(GridLedgerTest, ClickingARowMovesTheRecordSet)
{
    const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(2);
    ASSERT_NE(row, nullptr);
    View->Controller().MouseDown(TkvGridMouseButton::Left, View->ViewInfo().Cells(*row)[1].Bounds.center(),
                                 {}, false);
    EXPECT_EQ(Query.RecNo(), 3);
    EXPECT_TRUE(View->ViewInfo().FindRow(2)->Focused);
    View->Controller().KeyDown(TkvGridKey::Up, {});
    EXPECT_EQ(Query.FieldByName(QString::fromUtf8("进帐人"))->AsString().toStdString(), "红包");
    // A scroll of the record set moves the grid's focus.
    Query.First();
    EXPECT_EQ(View->DataController().FocusedRowIndex(), 0);
    EXPECT_TRUE(View->ViewInfo().FindRow(0)->Focused);
}

// The view's navigator asked "Delete record?" with no parent window.
TEST_F(GridLedgerTest, TheNavigatorsDeleteQuestionIsAskedOverTheGrid)
{
    TkvNavigatorControlButtons &buttons = View->NavigatorButtons();
    buttons.SetConfirmDelete(true);
    ASSERT_TRUE(buttons.IsButtonEnabled(nbDelete));
    OffscreenSizeHintsFilter sizeHints; // the box is a real window
    QWidget *boxParent = nullptr;
    QString asked;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible()) {
                boxParent = box->parentWidget();
                asked = box->text();
                box->reject();
            }
    });
    answer.start(10);
    buttons.ClickButton(nbDelete);
    answer.stop();
    EXPECT_EQ(asked.toStdString(), "Delete record?");
    EXPECT_EQ(boxParent, &Grid);
    EXPECT_EQ(View->ViewData().RecordCount(), 3) << "the question was not answered with OK";
}
