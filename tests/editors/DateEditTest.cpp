// The date edit with a fixed clock: words, kept times of day, the invalid
// date text and the drop-down calendar.
#include "editors/DateEdit.h"
#include "EditorTestSupport.h"
#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "editors/DateEditFormatController.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

class DateEditTest : public BoundEditorFixture {
protected:
    void SetUp() override
    {
        BoundEditorFixture::SetUp();
        // Wednesday 31 January 2024.
        SetDateClock([] { return EncodeDate(2024, 1, 31) + EncodeTime(10, 0, 0); });
    }
    void TearDown() override
    {
        SetDateClock(nullptr);
        BoundEditorFixture::TearDown();
    }
    static std::string Value(const TkvCustomDateEdit &edit)
    {
        double date = edit.Date();
        return date == NullDate ? "null" : FormatDateTime("yyyy-mm-dd hh:nn", date).toStdString();
    }
};

TEST_F(DateEditTest, WordsAreCompletedByTheMaskAndParsedOnEnter)
{
    TkvDateEdit edit;
    edit.DoEnter();
    Type(edit, "今");
    EXPECT_EQ(edit.Text().toStdString(), "今天");
    Type(edit, "+3");
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(Value(edit), "2024-02-03 00:00");
    EXPECT_EQ(edit.Text().toStdString(), "2024-2-3");
    edit.SelectAll();
    Type(edit, "星");
    EXPECT_EQ(edit.Text().toStdString(), "星期");
    Type(edit, "二");
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(Value(edit), "2024-02-06 00:00");
}

TEST_F(DateEditTest, TypedDateKeepsTheTimeOfDayOfTheValue)
{
    TkvDateEdit edit;
    edit.SetDate(EncodeDate(2024, 1, 5) + EncodeTime(8, 15, 0));
    edit.DoEnter();
    // While focused the text is fitted to the date mask, which has no time.
    EXPECT_EQ(edit.Text().toStdString(), "2024-1-5");
    edit.SelectAll();
    Type(edit, "2024-3-5");
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(Value(edit), "2024-03-05 08:15");
    edit.Properties().SetSaveTime(false);
    EXPECT_EQ(Value(edit), "2024-03-05 00:00");
}

TEST_F(DateEditTest, UnparsableDateReportsAndDateOnErrorReplacesIt)
{
    TkvDateEdit edit;
    edit.DoEnter();
    Type(edit, "2024-2-30");
    Press(edit, Qt::Key_Return);
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(FErrors[0], "错误的日期");
    EXPECT_EQ(edit.Text().toStdString(), "2024-2-30");
    edit.Properties().SetDateOnError(deToday);
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(Value(edit), "2024-01-31 00:00");
    edit.SelectAll();
    Press(edit, Qt::Key_Delete);
    Press(edit, Qt::Key_Return);
    EXPECT_TRUE(edit.EditValue().isNull());
}

TEST_F(DateEditTest, CalendarPageDownOnTheLastOfJanuaryAndChoosing)
{
    TkvDateEdit edit;
    edit.SetDate(EncodeDate(2024, 1, 31) + EncodeTime(9, 0, 0));
    edit.DoEnter();
    edit.DropDown();
    TkvPopupCalendar *calendar = edit.Calendar();
    EXPECT_EQ(calendar->Model().FirstWeekDay(), 1);
    EXPECT_EQ(DayOfWeek(calendar->Model().DayAt(0, 0)), 2); // Monday first
    calendar->HandleKey(Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", calendar->Model().SelectedDate()).toStdString(), "2024-02-29");
    calendar->HandleKey(Qt::Key_Return, Qt::NoModifier);
    EXPECT_FALSE(edit.DroppedDown());
    // The chosen day takes the time of day the value had.
    EXPECT_EQ(Value(edit), "2024-02-29 09:00");
    EXPECT_TRUE(edit.HasPendingChange());
    edit.DropDown();
    edit.Calendar()->ChooseClear();
    EXPECT_EQ(Value(edit), "null");
    edit.DropDown();
    edit.Calendar()->HandleKey(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(edit.DroppedDown());
    EXPECT_EQ(Value(edit), "null");
}

TEST_F(DateEditTest, BoundEditorStoresTodayTypedAsAWord)
{
    TkvDBDateEdit edit;
    edit.DataBinding().SetDataSource(&FSource);
    edit.DataBinding().SetDataField(QString::fromUtf8("进帐时间"));
    edit.DoEnter();
    edit.SelectAll();
    Type(edit, "今");
    Press(edit, Qt::Key_Return);
    EXPECT_TRUE(FErrors.empty());
    EXPECT_EQ(FQuery->State(), dsEdit);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", Field("进帐时间").Value().toDate()).toStdString(), "2024-01-31");
}

TEST_F(DateEditTest, TimeOfDayKeptIsTheShownRecordsNotAnEarlierOnes)
{
    RawExec(FPath, "UPDATE gain SET 进帐时间 = '2006-07-01 10:30:00' WHERE 进帐人 = '工资'");
    FQuery->Close();
    FQuery->Open();
    TkvDBDateEdit edit;
    edit.DataBinding().SetDataSource(&FSource);
    edit.DataBinding().SetDataField(QString::fromUtf8("进帐时间"));
    auto stored = [&] {
        return FormatDateTime("yyyy-mm-dd hh:nn", Field("进帐时间").Value().toDate()).toStdString();
    };
    // The first record carries 10:30: a new day typed there keeps it.
    edit.DoEnter();
    edit.SelectAll();
    Type(edit, "2006-7-3");
    Press(edit, Qt::Key_Return);
    edit.DoExit();
    FQuery->Post();
    EXPECT_EQ(stored(), "2006-07-03 10:30");
    // The second record is at midnight, so a word typed there stays at
    // midnight, whether the editor kept the focus or was left and entered.
    FQuery->Next();
    edit.DoEnter();
    edit.SelectAll();
    Type(edit, "明");
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(stored(), "2024-02-01 00:00");
    FQuery->Cancel();
    FQuery->First();
    EXPECT_EQ(edit.SavedTime(), EncodeTime(10, 30, 0));
    FQuery->Next();
    EXPECT_EQ(edit.SavedTime(), 0.0);
    edit.SelectAll();
    Type(edit, "今");
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(stored(), "2024-01-31 00:00");
    EXPECT_TRUE(FErrors.empty());
}

// Guards against a pending invalid date that a post made while the editor keeps the focus drops.
TEST_F(DateEditTest, APostWhileTheEditorHoldsAnInvalidDateFailsWithItsError)
{
    TkvDBDateEdit edit;
    edit.DataBinding().SetDataSource(&FSource);
    edit.DataBinding().SetDataField(QString::fromUtf8("进帐时间"));
    edit.DoEnter();
    edit.SelectAll();
    Type(edit, "2024-2-30");
    ASSERT_EQ(FQuery->State(), dsEdit);
    try {
        FQuery->Post(); // a save that does not move the focus
        ADD_FAILURE() << "the post went through";
    } catch (const EkvEditValidationError &error) {
        EXPECT_STREQ(error.what(), "错误的日期");
    }
    EXPECT_EQ(FQuery->State(), dsEdit);
    EXPECT_EQ(edit.Text().toStdString(), "2024-2-30");
    EXPECT_EQ(RawValue(FPath, "SELECT 进帐时间 FROM gain WHERE id = 1").substr(0, 10), "2006-07-01");
    // Moving the record set on posts too, and fails the same way.
    EXPECT_THROW(FQuery->Next(), EkvEditValidationError);
    EXPECT_EQ(edit.Text().toStdString(), "2024-2-30");
    edit.SelectAll();
    Type(edit, "2024-2-29");
    FQuery->Post();
    EXPECT_EQ(RawValue(FPath, "SELECT 进帐时间 FROM gain WHERE id = 1").substr(0, 10), "2024-02-29");
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(DateEditTest, WithoutSaveTimeAssignedAndReloadedValuesAreCutToTheDay)
{
    TkvDateEdit edit;
    edit.Properties().SetSaveTime(false);
    edit.SetEditValue(Variant::fromDate(EncodeDate(2024, 1, 5) + EncodeTime(8, 15, 0)));
    EXPECT_DOUBLE_EQ(edit.EditValue().toDate(), EncodeDate(2024, 1, 5));
    EXPECT_EQ(edit.SavedTime(), 0);

    RawExec(FPath, "UPDATE gain SET 进帐时间 = '2006-07-01 10:30:00' WHERE 进帐人 = '工资'");
    FQuery->Close();
    FQuery->Open();
    TkvDBDateEdit bound;
    bound.Properties().SetSaveTime(false);
    bound.DataBinding().SetDataSource(&FSource);
    bound.DataBinding().SetDataField(QString::fromUtf8("进帐时间"));
    EXPECT_DOUBLE_EQ(bound.EditValue().toDate(), EncodeDate(2006, 7, 1));
    bound.DoEnter();
    EXPECT_DOUBLE_EQ(bound.EditValue().toDate(), EncodeDate(2006, 7, 1));
}

TEST_F(DateEditTest, TodayAndClearButtonsActBeforeThePopupCloses)
{
    TkvDateEdit edit;
    edit.SetDate(EncodeDate(2024, 1, 5));
    std::vector<std::string> atClose;
    edit.Properties().OnCloseUp = [&](TkvCustomEdit *) { atClose.push_back(Value(edit)); };
    edit.DoEnter();
    edit.DropDown();
    edit.Calendar()->ChooseToday();
    EXPECT_FALSE(edit.DroppedDown());
    edit.DropDown();
    edit.Calendar()->ChooseClear();
    EXPECT_FALSE(edit.DroppedDown());
    // A day chosen with Enter closes the calendar first.
    edit.DropDown();
    edit.Calendar()->HandleKey(Qt::Key_Right, Qt::NoModifier);
    edit.Calendar()->HandleKey(Qt::Key_Return, Qt::NoModifier);
    EXPECT_EQ(atClose, (std::vector<std::string>{"2024-01-31 00:00", "null", "null"}));
    EXPECT_EQ(Value(edit), "2024-02-01 00:00");
}

TEST_F(DateEditTest, ANarrowUnfocusedEditorShowsItsTextFromTheStart)
{
    TkvDateEdit edit;
    edit.resize(90, 21);
    edit.SetDate(EncodeDate(2016, 1, 1) + EncodeTime(0, 5, 15));
    EXPECT_EQ(edit.InnerEdit()->cursorPosition(), 0);
    edit.DoEnter();
    Press(edit, Qt::Key_End);
    EXPECT_GT(edit.InnerEdit()->cursorPosition(), 0);
    edit.DoExit();
    EXPECT_EQ(edit.InnerEdit()->cursorPosition(), 0);
    // The first character is drawn at the left edge, not scrolled away.
    EXPECT_LT(edit.InnerEdit()->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 10);
}

TEST_F(DateEditTest, ARegionalSettingsChangeRebuildsTheMaskAndTheText)
{
    TkvDateEdit edit;
    edit.SetDate(EncodeDate(2024, 1, 5));
    EXPECT_EQ(edit.Text().toStdString(), "2024-1-5");
    const QString oldMask = edit.Properties().EditMask();

    // The platform's broadcast alone rebuilds the controller and tells its
    // listeners (every date editor's properties among them).
    int rebuilds = 0;
    const int listener = TkvFormatController::Instance().AddListener([&rebuilds] { ++rebuilds; });
    QEvent localeChange(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&edit, &localeChange);
    EXPECT_EQ(rebuilds, 1);
    TkvFormatController::Instance().RemoveListener(listener);

    RegionalSettings settings = RegionalSettings::simplifiedChinese();
    settings.shortDateFormat = "dd/MM/yyyy";
    settings.dateSeparator = '/';
    setRegionalSettings(settings);
    QCoreApplication::sendEvent(&edit, &localeChange);

    EXPECT_NE(edit.Properties().EditMask(), oldMask);
    EXPECT_EQ(edit.Properties().EditMask(), TkvFormatController::Instance().RegExprDateEditMask());
    EXPECT_TRUE(TkvFormatController::Instance().RegExprDateEditMask().contains("'/'"));
    EXPECT_EQ(edit.Text().toStdString(), "05/01/2024");
    edit.DoEnter();
    edit.SelectAll();
    Type(edit, "07/02/2024");
    EXPECT_EQ(edit.Text().toStdString(), "07/02/2024");
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(Value(edit), "2024-02-07 00:00");

    setRegionalSettings(RegionalSettings::simplifiedChinese());
    QCoreApplication::sendEvent(&edit, &localeChange);
    EXPECT_EQ(edit.Properties().EditMask(), oldMask);
}

} // namespace
} // namespace kestrum::test
