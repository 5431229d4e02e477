// Which navigator buttons are enabled in which record-set state, and what
// their clicks do, over a real ledger file.
#include "navigator/DbNavigatorButtons.h"
#include "support/DbTestSupport.h"
#include "ui/MessageBox.h"

namespace kestrum::test {
namespace {

class DBNavigatorButtonsTest : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        FButtons.OnStateChanged = [this] { ++FStateChanges; };
    }

    void OpenGain()
    {
        FQuery = OpenQuery(QStringLiteral("select * from gain"));
        FSource.SetDataSet(FQuery.get());
        FButtons.SetDataSource(&FSource);
    }

    //! The enabled buttons as a string of their indexes in hex ("0123456789abcde").
    std::string Enabled() const
    {
        std::string result;
        for (int index = 0; index < kvNavigatorButtonCount; ++index)
            if (FButtons.IsButtonEnabled(index))
                result += "0123456789abcde"[index];
        return result;
    }

    std::unique_ptr<TDbQuery> FQuery;
    TDbDataSource FSource;
    TkvDBNavigatorButtons FButtons;
    int FStateChanges = 0;
};

TEST_F(DBNavigatorButtonsTest, ClosedRecordSetDisablesEveryButton)
{
    EXPECT_EQ(Enabled(), "") << "no data source";
    AddGain(1, "2006-07-01", "a");
    OpenGain();
    EXPECT_EQ(Enabled(), "345678bce");
    FQuery->Close();
    EXPECT_EQ(Enabled(), "");
}

TEST_F(DBNavigatorButtonsTest, EmptyRecordSetAllowsInsertButNotDelete)
{
    OpenGain();
    EXPECT_FALSE(FButtons.IsButtonEnabled(nbDelete));
    EXPECT_TRUE(FButtons.IsButtonEnabled(nbInsert));
    FButtons.ClickButton(nbInsert);
    EXPECT_EQ(FQuery->State(), dsInsert);
    EXPECT_TRUE(FButtons.IsButtonEnabled(nbPost));
    EXPECT_TRUE(FButtons.IsButtonEnabled(nbCancel));
    EXPECT_FALSE(FButtons.IsButtonEnabled(nbEdit));
    EXPECT_GT(FStateChanges, 0);
    FButtons.ClickButton(nbCancel);
    EXPECT_EQ(FQuery->State(), dsBrowse);
    EXPECT_EQ(FQuery->RecordCount(), 0);
}

TEST_F(DBNavigatorButtonsTest, MoveButtonsFollowThePosition)
{
    for (const char *item : {"a", "b", "c"})
        AddGain(1, "2006-07-01", item);
    OpenGain();
    EXPECT_EQ(Enabled(), "345678bce") << "at the first row";
    FButtons.ClickButton(nbNext);
    EXPECT_EQ(Enabled(), "012345678bce");
    FButtons.ClickButton(nbLast);
    EXPECT_EQ(Enabled(), "012678bce");
    EXPECT_EQ(FQuery->FieldByName(QString::fromUtf8("进帐人"))->AsString(), QStringLiteral("c"));
    FButtons.SetPageSize(2);
    FButtons.ClickButton(nbPriorPage);
    EXPECT_EQ(FQuery->RecNo(), 1);
}

TEST_F(DBNavigatorButtonsTest, AnsweringCancelToTheConfirmationDeletesNothing)
{
    AddGain(1, "2006-07-01", "a");
    OpenGain();
    TMessageBoxRequest asked;
    TMessageBoxHook previous = SetMessageBoxHook([&](const TMessageBoxRequest &request) {
        asked = request;
        return 1; // "Cancel"
    });
    FButtons.ClickButton(nbDelete);
    EXPECT_EQ(asked.Text, QStringLiteral("Delete record?"));
    EXPECT_EQ(asked.Caption, QStringLiteral("Confirm"));
    EXPECT_EQ(asked.Icon, miQuestion);
    EXPECT_EQ(asked.Buttons, QStringList({QStringLiteral("OK"), QStringLiteral("Cancel")}));
    EXPECT_EQ(FQuery->RecordCount(), 1);
    EXPECT_EQ(RawValue(FPath, "SELECT count(*) FROM gain"), "1");

    SetMessageBoxHook([](const TMessageBoxRequest &) { return 0; }); // "OK"
    FButtons.ClickButton(nbDelete);
    SetMessageBoxHook(std::move(previous));
    EXPECT_EQ(RawValue(FPath, "SELECT count(*) FROM gain"), "0");
    EXPECT_FALSE(FButtons.IsButtonEnabled(nbDelete));
}

TEST_F(DBNavigatorButtonsTest, WithoutConfirmDeleteNoBoxIsShown)
{
    AddGain(1, "2006-07-01", "a");
    OpenGain();
    FButtons.SetConfirmDelete(false);
    TMessageBoxRecorder boxes;
    FButtons.ClickButton(nbDelete);
    EXPECT_TRUE(boxes.Boxes().isEmpty());
    EXPECT_EQ(FQuery->RecordCount(), 0);
}

TEST_F(DBNavigatorButtonsTest, DisabledButtonStaysDisabledInEveryState)
{
    AddGain(1, "2006-07-01", "a");
    OpenGain();
    FButtons.Post().SetEnabled(false);
    FButtons.Insert().SetEnabled(false);
    EXPECT_FALSE(FButtons.IsButtonEnabled(nbInsert));
    FQuery->Edit();
    EXPECT_FALSE(FButtons.IsButtonEnabled(nbPost));
    EXPECT_TRUE(FButtons.IsButtonEnabled(nbCancel));
    FButtons.SetOwnerEnabled(false);
    EXPECT_FALSE(FButtons.IsButtonEnabled(nbCancel)) << "a disabled navigator disables all";
}

TEST_F(DBNavigatorButtonsTest, PostAndCancelEndTheEdit)
{
    AddGain(1, "2006-07-01", "a");
    OpenGain();
    FButtons.ClickButton(nbEdit);
    EXPECT_EQ(FQuery->State(), dsEdit);
    FQuery->FieldByName(QString::fromUtf8("进帐人"))->SetText(QStringLiteral("b"));
    FButtons.ClickButton(nbPost);
    EXPECT_EQ(FQuery->State(), dsBrowse);
    EXPECT_EQ(RawValue(FPath, "SELECT 进帐人 FROM gain"), "b");
    FButtons.ClickButton(nbEdit);
    FQuery->FieldByName(QString::fromUtf8("进帐人"))->SetText(QStringLiteral("c"));
    FButtons.ClickButton(nbCancel);
    EXPECT_EQ(FQuery->FieldByName(QString::fromUtf8("进帐人"))->AsString(), QStringLiteral("b"));
}

TEST_F(DBNavigatorButtonsTest, BookmarkIsKeptUntilTheRecordSetCloses)
{
    for (const char *item : {"a", "b"})
        AddGain(1, "2006-07-01", item);
    OpenGain();
    EXPECT_FALSE(FButtons.IsButtonEnabled(nbGotoBookmark));
    FButtons.ClickButton(nbSaveBookmark);
    EXPECT_TRUE(FButtons.IsButtonEnabled(nbGotoBookmark));
    FButtons.ClickButton(nbLast);
    FButtons.ClickButton(nbGotoBookmark);
    EXPECT_EQ(FQuery->RecNo(), 1);
    FQuery->Close();
    FQuery->Open();
    EXPECT_FALSE(FButtons.HasBookmark());
}

TEST_F(DBNavigatorButtonsTest, OwnHandlersAndOnButtonClickCanReplaceTheAction)
{
    AddGain(1, "2006-07-01", "a");
    OpenGain();
    std::string calls;
    FButtons.Insert().OnClick = [&](TkvNavigatorButton *button) {
        calls += "own" + std::to_string(button->Index());
    };
    FButtons.OnButtonClick = [&](TkvCustomNavigatorButtons *, int index, bool &done) {
        calls += " event" + std::to_string(index);
        done = index == nbEdit;
    };
    FButtons.ClickButton(nbInsert);
    FButtons.ClickButton(nbEdit);
    EXPECT_EQ(calls, "own6 event8");
    EXPECT_EQ(FQuery->State(), dsBrowse);
}

TEST_F(DBNavigatorButtonsTest, FilterAppliesTheBuildersTextToTheRecordSet)
{
    for (const char *item : {"a", "b"})
        AddGain(1, "2006-07-01", item);
    OpenGain();
    EXPECT_TRUE(FButtons.IsButtonEnabled(nbFilter));
    bool extended = true;
    TkvDBNavigatorButtons::SetFilterDialog([&](QWidget *, TkvNavigatorFilterRequest &request) {
        extended = request.ExtendedOperators;
        *request.Criteria = QByteArray("criteria");
        request.FilterText = QString::fromUtf8("[进帐人] = 'b'");
        return true;
    });
    FButtons.ClickButton(nbFilter);
    TkvDBNavigatorButtons::SetFilterDialog(nullptr);
    EXPECT_FALSE(extended);
    EXPECT_TRUE(FQuery->Filtered());
    EXPECT_EQ(FQuery->RecordCount(), 1);
    EXPECT_EQ(FButtons.FilterCriteria(), QByteArray("criteria"));
    FQuery->Close();
    EXPECT_TRUE(FButtons.FilterCriteria().isEmpty()) << "closing forgets the last criteria";
}

TEST_F(DBNavigatorButtonsTest, WithoutAnInstalledBuilderFilterOnlyRunsItsEvent)
{
    AddGain(1, "2006-07-01", "a");
    OpenGain();
    int shown = 0;
    FButtons.OnShowFilterDialog = [&](TkvDBNavigatorButtons *, bool &) { ++shown; };
    FButtons.ClickButton(nbFilter);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(FQuery->Filtered());
    EXPECT_TRUE(FButtons.FilterCriteria().isEmpty());
}

} // namespace
} // namespace kestrum::test
