// Editing through a record set: states, notifications to data links in
// order, write-through to the file, bookmarks, positions and filters.
#include "support/EngineLedger.h"

#include "db/DbErrors.h"

namespace kestrum::test {
namespace {

class Editing : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        if (NotSetUp())
            return;
        AddGain(8600, "2024-07-10 00:00:00", "工资");
        AddGain(1500.5, "2024-07-28 00:00:00", "奖金", "季度奖");
        AddGain(300, "2024-08-02 00:00:00", "兼职");
        // In key order: a server keeps no order of its own, and moves a changed row.
        FQuery = OpenQuery("select * from gain order by id");
        FSource.SetDataSet(FQuery.get());
        FLink.SetDataSource(&FSource);
        FLog.clear();
    }

    std::string TakeLog()
    {
        std::string log;
        std::swap(log, FLog);
        return log;
    }

    TDbField *Field(const char *name) { return FQuery->FieldByName(QString::fromUtf8(name)); }

    std::unique_ptr<TDbQuery> FQuery;
    TDbDataSource FSource;
    std::string FLog;
    RecordingLink FLink{&FLog};
};

TEST_P(Editing, InsertPostNotifiesInOrderAndWritesThrough)
{
    FQuery->Next();
    EXPECT_EQ(TakeLog(), "check scroll(1)");
    FQuery->Insert();
    EXPECT_EQ(TakeLog(), "check editing:1 changed");
    EXPECT_EQ(FQuery->State(), dsInsert);
    EXPECT_FALSE(FQuery->Eof()); // inserted before the current row, not appended
    Field("本次进帐")->SetText("12.5");
    Field("进帐时间")->SetValue(Variant::fromDate(45499.25)); // 2024-07-26 06:00
    Field("进帐人")->SetAsString("红包");
    EXPECT_EQ(TakeLog(), "record(本次进帐) record(进帐时间) record(进帐人)");
    EXPECT_TRUE(FQuery->Modified());
    FQuery->Post();
    EXPECT_EQ(TakeLog(), "update check editing:0 changed");
    EXPECT_EQ(FQuery->State(), dsBrowse);
    // The new row stands where it was inserted and is current.
    EXPECT_EQ(FQuery->RecNo(), 2);
    EXPECT_EQ(Field("进帐人")->AsString(), "红包");
    EXPECT_GT(Field("id")->AsInteger(), 3);
    EXPECT_EQ(Rows(*FQuery, {"进帐人"}), "工资|红包|奖金|兼职");
    // Stored as any tool reads it: ISO date text and the amount as a number.
    EXPECT_EQ(Cells("SELECT 进帐时间, 本次进帐 FROM gain WHERE 进帐人='红包'"), "2024-07-26 06:00:00|12.5");
    if (!OnServer()) { // a file keeps a type with each value: a REAL, not text
        EXPECT_EQ(Value("SELECT typeof(本次进帐) FROM gain WHERE 进帐人='红包'"), "real");
    }
}

TEST_P(Editing, AppendGoesToTheEndAndCancelReturnsToTheRowBefore)
{
    FQuery->Next();
    TakeLog();
    FQuery->Append();
    EXPECT_TRUE(FQuery->Eof());
    EXPECT_EQ(FQuery->RecordCount(), 4);
    EXPECT_EQ(FLink.ActiveRecord(), 0);
    FQuery->Cancel();
    EXPECT_EQ(TakeLog(), "check editing:1 changed check editing:0 changed");
    EXPECT_EQ(FQuery->RecNo(), 2);
    EXPECT_EQ(FQuery->RecordCount(), 3);
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "3");
}

TEST_P(Editing, EditPostUpdatesOnlyThisRow)
{
    FQuery->Last();
    TakeLog();
    FQuery->Edit();
    EXPECT_EQ(TakeLog(), "check editing:1 record()");
    Field("本次进帐")->SetAsFloat(350);
    Field("备注")->SetAsString("周末\n家教");
    FQuery->Post();
    EXPECT_EQ(Column("SELECT 本次进帐 FROM gain ORDER BY id"), "8600.0,1500.5,350.0");
    EXPECT_EQ(Value("SELECT 备注 FROM gain WHERE id=3"), "周末\n家教");
    EXPECT_EQ(Field("本次进帐")->AsFloat(), 350);
}

TEST_P(Editing, CancelDropsTheChanges)
{
    FQuery->Edit();
    Field("进帐人")->SetAsString("改了");
    EXPECT_EQ(Field("进帐人")->AsString(), "改了");
    FQuery->Cancel();
    EXPECT_EQ(Field("进帐人")->AsString(), "工资");
    EXPECT_EQ(Value("SELECT 进帐人 FROM gain WHERE id=1"), "工资");
}

TEST_P(Editing, PendingEditorValuesAreCollectedBeforeThePost)
{
    std::string otherLog;
    RecordingLink other(&otherLog, "other:");
    other.SetDataSource(&FSource);
    FLink.OnUpdateData = [&] { Field("进帐人")->SetAsString("从编辑器"); };
    FQuery->Edit();
    otherLog.clear();
    TakeLog();
    FQuery->Post();
    // The writing link does not hear its own change; the other one does.
    EXPECT_EQ(TakeLog(), "update check editing:0 changed");
    EXPECT_EQ(otherLog, "other:record(进帐人) other:update other:check other:editing:0 other:changed");
    EXPECT_EQ(Value("SELECT 进帐人 FROM gain WHERE id=1"), "从编辑器");
}

TEST_P(Editing, DeleteKeepsTheNextRowAndTheLastDeletionFocusesTheNewLast)
{
    FQuery->Next();
    TakeLog();
    FQuery->Delete();
    EXPECT_EQ(TakeLog(), "check changed");
    EXPECT_EQ(Field("进帐人")->AsString(), "兼职");
    FQuery->Delete();
    EXPECT_EQ(Field("进帐人")->AsString(), "工资");
    EXPECT_EQ(FQuery->RecNo(), 1);
    FQuery->Delete();
    EXPECT_TRUE(FQuery->IsEmpty());
    EXPECT_TRUE(FQuery->Bof() && FQuery->Eof());
    EXPECT_THROW(FQuery->Delete(), EDatabaseError);
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "0");
}

TEST_P(Editing, EditOnAnEmptyRecordSetInserts)
{
    auto empty = OpenQuery("select * from expen");
    empty->Edit();
    EXPECT_EQ(empty->State(), dsInsert);
}

TEST_P(Editing, CheckBrowseModePostsAModifiedRecordAndCancelsAnUntouchedOne)
{
    FQuery->Insert();
    FQuery->CheckBrowseMode();
    EXPECT_EQ(FQuery->State(), dsBrowse);
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "3");
    FQuery->Insert();
    Field("进帐人")->SetAsString("利息");
    FQuery->Insert(); // a second insert posts the pending one first
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "4");
    EXPECT_EQ(FQuery->State(), dsInsert);
}

TEST_P(Editing, ClosingDropsAPendingRecord)
{
    FQuery->Insert();
    Field("进帐人")->SetAsString("丢掉");
    TakeLog();
    FQuery->Close();
    EXPECT_EQ(TakeLog(), "active:0 editing:0");
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "3");
    EXPECT_EQ(FQuery->FieldCount(), 0);
}

TEST_P(Editing, FieldValuesAreCheckedWhenSet)
{
    EXPECT_THROW(Field("进帐人")->SetAsString("x"), EDatabaseError); // browsing
    FQuery->Edit();
    EXPECT_THROW(Field("本次进帐")->SetText("abc"), EDatabaseError);
    EXPECT_THROW(Field("进帐时间")->SetText("not a date"), EDatabaseError);
    EXPECT_THROW(Field("进帐人")->SetAsString(QString(51, QChar(0x5de5))), EDatabaseError);
    EXPECT_THROW(Field("id")->SetAsInteger(99), EDatabaseError);
    EXPECT_EQ(Field("本次进帐")->AsFloat(), 8600); // nothing changed by the refused values
    Field("进帐人")->SetAsString(QString(50, QChar(0x5de5)));
    Field("进帐时间")->SetText("2024-7-5");
    EXPECT_EQ(Field("进帐时间")->AsDateTime(), 45478.0);
    Field("本次进帐")->SetText("");
    EXPECT_TRUE(Field("本次进帐")->IsNull());
    FQuery->Post();
    EXPECT_EQ(Cells("SELECT 本次进帐, 进帐时间 FROM gain WHERE id=1"), "NULL|2024-07-05 00:00:00");
}

TEST_P(Editing, MovesReportTheirDistanceAndSetTheEndFlags)
{
    FQuery->Last();
    EXPECT_TRUE(FQuery->Eof());
    FQuery->Next();
    EXPECT_EQ(FQuery->MoveBy(-5), -2);
    EXPECT_TRUE(FQuery->Bof());
    FQuery->MoveBy(2);
    EXPECT_FALSE(FQuery->Eof()); // landing on the last row is not passing it
    EXPECT_EQ(TakeLog(), "check scroll(2) check check scroll(-2) check scroll(2)");
    EXPECT_TRUE(FQuery->Locate("进帐人", Variant(QStringLiteral("奖金"))));
    EXPECT_EQ(FQuery->RecNo(), 2);
    EXPECT_TRUE(FQuery->Locate("进帐人;本次进帐",
                               Variant::fromArray({Variant(QStringLiteral("兼职")), Variant(300.0)})));
    EXPECT_EQ(FQuery->RecNo(), 3);
    EXPECT_FALSE(FQuery->Locate("进帐人", Variant(QStringLiteral("奖"))));
    EXPECT_TRUE(FQuery->Locate("进帐人", Variant(QStringLiteral("奖")), loPartialKey));
}

TEST_P(Editing, LinkWindowFollowsTheCurrentRow)
{
    FLink.SetBufferCount(2);
    EXPECT_EQ(FLink.RecordCount(), 2);
    EXPECT_EQ(FLink.ActiveRecord(), 0);
    FQuery->Next();
    EXPECT_EQ(FLink.ActiveRecord(), 1);
    FQuery->Next();
    EXPECT_EQ(FLink.ActiveRecord(), 1);
    EXPECT_EQ(FLink.FirstRecord(), 1);
    FQuery->First();
    EXPECT_EQ(FLink.ActiveRecord(), 0);
    EXPECT_EQ(FLink.FirstRecord(), 0);
}

TEST_P(Editing, BookmarksSurviveRefreshAndReopenWhileTheRowExists)
{
    FQuery->Next();
    TBookmark second = FQuery->GetBookmark();
    FQuery->Last();
    const TBookmark third = FQuery->GetBookmark();
    EXPECT_EQ(FQuery->CompareBookmarks(second, third), -1);
    EXPECT_EQ(FQuery->CompareBookmarks(third, second), 1);
    EXPECT_EQ(FQuery->CompareBookmarks(second, second), 0);
    EXPECT_EQ(FQuery->CompareBookmarks(TBookmark(), second), -1);
    FQuery->Refresh();
    ASSERT_TRUE(FQuery->BookmarkValid(second));
    FQuery->GotoBookmark(second);
    EXPECT_EQ(Field("进帐人")->AsString(), "奖金");
    // Another month's statement still finds the row by its key.
    FQuery->Close();
    FQuery->SetSQL({"select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c "});
    FQuery->ParamByName("b")->SetValue(Variant(QStringLiteral("2024")));
    FQuery->ParamByName("c")->SetValue(Variant(QStringLiteral("7")));
    FQuery->Open();
    EXPECT_TRUE(FQuery->BookmarkValid(second));
    EXPECT_FALSE(FQuery->BookmarkValid(third));
    EXPECT_THROW(FQuery->GotoBookmark(third), EDatabaseError);
    // A row deleted by another program is gone after a refresh.
    Exec("DELETE FROM gain WHERE 进帐人='奖金'");
    FQuery->Refresh();
    EXPECT_FALSE(FQuery->BookmarkValid(second));
    FQuery->FreeBookmark(second);
    EXPECT_TRUE(second.IsNull());
}

TEST_P(Editing, ExpressionRowsHaveBookmarksUntilReloaded)
{
    auto sums = OpenQuery("select 进帐人, sum(本次进帐) as s from gain group by 进帐人");
    EXPECT_FALSE(sums->CanModify());
    sums->Next();
    const TBookmark mark = sums->GetBookmark();
    sums->First();
    sums->GotoBookmark(mark);
    EXPECT_EQ(sums->RecNo(), 2);
    sums->Refresh();
    EXPECT_FALSE(sums->BookmarkValid(mark));
    EXPECT_THROW(sums->Edit(), EDatabaseError);
}

TEST_P(Editing, DisabledControlsHoldBackNotificationsUntilTheOutermostEnable)
{
    FQuery->DisableControls();
    FQuery->DisableControls();
    EXPECT_TRUE(FQuery->ControlsDisabled());
    FQuery->Next();
    FQuery->Next();
    FQuery->EnableControls();
    EXPECT_EQ(TakeLog(), "");
    FQuery->EnableControls();
    EXPECT_EQ(TakeLog(), "changed");
    EXPECT_FALSE(FQuery->ControlsDisabled());
    EXPECT_EQ(FLink.ActiveRecord(), 0);

    // A state change while disabled is told when enabled.
    FQuery->DisableControls();
    FQuery->Edit();
    FQuery->EnableControls();
    EXPECT_EQ(TakeLog(), "editing:1 changed");
    FQuery->Cancel();
    TakeLog();

    // Closed and reopened while disabled: the layout is rebuilt.
    FQuery->DisableControls();
    FQuery->Close();
    FQuery->Open();
    FQuery->EnableControls();
    EXPECT_EQ(TakeLog(), "layout");
}

TEST_P(Editing, DataSourceSwitchesAndAutoEdit)
{
    FSource.SetEnabled(false);
    EXPECT_EQ(TakeLog(), "active:0");
    EXPECT_EQ(FSource.State(), dsInactive);
    FQuery->Next();
    EXPECT_EQ(TakeLog(), "");
    FSource.SetEnabled(true);
    TakeLog();
    FSource.SetAutoEdit(false);
    EXPECT_FALSE(FLink.Edit());
    FSource.SetAutoEdit(true);
    EXPECT_TRUE(FLink.Edit());
    EXPECT_EQ(FQuery->State(), dsEdit);
    FQuery->Cancel();
    TakeLog();
    FLink.ConsumeFocus = true;
    std::string otherLog;
    RecordingLink other(&otherLog);
    other.SetDataSource(&FSource);
    otherLog.clear();
    Field("进帐人")->FocusControl();
    EXPECT_EQ(TakeLog(), "focus(进帐人)");
    EXPECT_EQ(otherLog, ""); // the first link took the request
}

TEST_P(Editing, FilterShowsMatchingRows)
{
    FQuery->SetFilter("本次进帐 > 1000 and not (进帐人 = '工资')");
    FQuery->SetFiltered(true);
    EXPECT_EQ(Rows(*FQuery, {"进帐人"}), "奖金");
    FQuery->SetFilter("[进帐人] like '%职' or 备注 is not null");
    EXPECT_EQ(Rows(*FQuery, {"进帐人"}), "奖金|兼职");
    FQuery->SetFilter("进帐时间 >= '2024-7-28'");
    EXPECT_EQ(Rows(*FQuery, {"进帐人"}), "奖金|兼职");
    EXPECT_THROW(FQuery->SetFilter("nosuchfield = 1"), EDatabaseError);
    FQuery->SetFiltered(false);
    EXPECT_EQ(FQuery->RecordCount(), 3);
}

TEST_P(Editing, ReopenMakesNewFieldsAndTellsFreeNotifications)
{
    TDbField *old = Field("进帐人");
    int freed = 0;
    old->AddFreeNotification([&](TDbField *) { ++freed; });
    FQuery->Close();
    EXPECT_EQ(FQuery->FindField("进帐人"), nullptr);
    FQuery->Open();
    EXPECT_EQ(freed, 1);
    EXPECT_NE(FQuery->FindField("进帐人"), nullptr);
    EXPECT_EQ(FQuery->FindField("进帐人"), FQuery->FieldByName("进帐人"));
    EXPECT_THROW(FQuery->FieldByName("nothing"), EDatabaseError);
}

//! Writes down what each data-set change says about its row.
class RowChangeLink : public TDbDataLink {
public:
    std::string Log;

protected:
    void DataSetChanged() override
    {
        static const char *const kinds[] = {"updated", "inserted", "deleted", "insert-cancelled",
                                            "edit-cancelled"};
        const TDbRowChange *change = RowChange();
        Log += Log.empty() ? "" : " ";
        Log += change ? std::string(kinds[change->Kind]) + "@" + std::to_string(change->Position) : "all";
    }
};

// A post, a cancel and a delete name their one row, so that a list can follow
// it without reading every row; anything else says that all may have changed.
TEST_P(Editing, RowChangesNameTheirRow)
{
    RowChangeLink link;
    link.SetDataSource(&FSource);
    FQuery->Next();
    FQuery->Edit();
    Field("进帐人")->SetAsString("年终奖");
    FQuery->Post();
    FQuery->Edit();
    FQuery->Cancel();
    FQuery->Insert();
    FQuery->Cancel();
    FQuery->Append();
    Field("本次进帐")->SetText("1");
    FQuery->Post();
    FQuery->First();
    FQuery->Delete();
    FQuery->Refresh();
    // Moves, starting an insert and a refresh say "all" (a move as a change of the row shown).
    EXPECT_EQ(link.Log,
              "all updated@1 edit-cancelled@1 all insert-cancelled@1 all inserted@3 all deleted@0 all");
    EXPECT_EQ(Rows(*FQuery, {"进帐人"}), "年终奖|兼职|");
}

// The key index behind bookmarks follows inserted and deleted rows.
TEST_P(Editing, BookmarksFollowInsertedAndDeletedRows)
{
    FQuery->Next();
    const TBookmark second = FQuery->GetBookmark();
    ASSERT_TRUE(FQuery->BookmarkValid(second)); // the index is built here
    FQuery->Append();
    Field("进帐人")->SetAsString("新");
    FQuery->Post();
    const TBookmark added = FQuery->GetBookmark();
    FQuery->First();
    ASSERT_TRUE(FQuery->BookmarkValid(added));
    FQuery->GotoBookmark(added);
    EXPECT_EQ(Field("进帐人")->AsString(), "新");
    FQuery->GotoBookmark(second);
    FQuery->Delete();
    EXPECT_FALSE(FQuery->BookmarkValid(second));
    EXPECT_TRUE(FQuery->BookmarkValid(added));
    EXPECT_EQ(FQuery->BookmarkAt(0), FQuery->BookmarkAt(0));
    EXPECT_TRUE(FQuery->BookmarkAt(99).IsNull());
}

// Whether the statement still selects the current row, asked for that row
// alone, with the statement's own parameters.
TEST_P(Editing, StatementIsAskedWhetherItStillSelectsTheCurrentRow)
{
    auto query = OpenQuery("select * from gain where 本次进帐 > :least ;");
    query->Close();
    query->ParamByName("least")->SetValue(Variant(QStringLiteral("1000")));
    query->Open();
    ASSERT_EQ(query->RecordCount(), 2);
    EXPECT_TRUE(query->StatementSelectsCurrentRow());
    query->Edit();
    query->FieldByName(QString::fromUtf8("本次进帐"))->SetValue(Variant(5.0));
    query->Post();
    EXPECT_FALSE(query->StatementSelectsCurrentRow()); // stored, but no longer selected
    EXPECT_EQ(query->RecordCount(), 2);                // until the statement runs again
    query->Refresh();
    EXPECT_EQ(query->RecordCount(), 1);
    EXPECT_TRUE(query->StatementSelectsCurrentRow());

    // A result without the table's key cannot be asked.
    auto sums = OpenQuery("select 进帐人, sum(本次进帐) from gain group by 进帐人");
    EXPECT_FALSE(sums->StatementSelectsCurrentRow());
}

KESTRUM_ON_BOTH_ENGINES(Editing);

} // namespace
} // namespace kestrum::test
