// The navigator bar as a widget: it sizes itself, clicks with the mouse,
// and hands record-set errors to the error handler.
#include "support/DbTestSupport.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "navigator/Navigator.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTest>

namespace kestrum::test {
namespace {

class NavigatorWidgetTest : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        AddGain(1, "2006-07-01", "a");
        FQuery = OpenQuery(QStringLiteral("select * from gain"));
        FSource.SetDataSet(FQuery.get());
        for (int index = 0; index < kvNavigatorButtonCount; ++index)
            FNavigator.Buttons().Button(index).SetVisible(index == nbInsert || index == nbDelete ||
                                                          index == nbPost || index == nbCancel);
        FNavigator.ButtonsChanged();
        // A hidden widget gets its resize event when shown; deliver it now.
        QSize old = FNavigator.size();
        FNavigator.resize(178, 25);
        QResizeEvent resized(FNavigator.size(), old);
        QCoreApplication::sendEvent(&FNavigator, &resized);
        FNavigator.SetDataSource(&FSource);
    }

    QPoint CenterOf(int index) { return FNavigator.ViewInfo().ButtonBounds(index).center(); }

    std::unique_ptr<TDbQuery> FQuery;
    TDbDataSource FSource;
    QWidget FForm;
    TkvDBNavigator FNavigator{&FForm};
};

TEST_F(NavigatorWidgetTest, NewBarIsTwentyFiveHighNotATabStopAndCutsItsWidth)
{
    EXPECT_EQ(FNavigator.height(), 25);
    EXPECT_FALSE(FNavigator.TabStop());
    EXPECT_EQ(FNavigator.width(), 176);
}

TEST_F(NavigatorWidgetTest, ClickingInsertThenCancelFollowsTheRecordSet)
{
    EXPECT_FALSE(FNavigator.ButtonShownEnabled(nbPost));
    QTest::mouseClick(&FNavigator, Qt::LeftButton, Qt::NoModifier, CenterOf(nbInsert));
    EXPECT_EQ(FQuery->State(), dsInsert);
    EXPECT_TRUE(FNavigator.ButtonShownEnabled(nbPost));
    EXPECT_TRUE(FNavigator.ButtonShownEnabled(nbCancel));
    QTest::mouseClick(&FNavigator, Qt::LeftButton, Qt::NoModifier, CenterOf(nbCancel));
    EXPECT_EQ(FQuery->State(), dsBrowse);
    EXPECT_FALSE(FNavigator.ButtonShownEnabled(nbPost));
}

TEST_F(NavigatorWidgetTest, DisablingTheNavigatorDisablesItsButtons)
{
    EXPECT_TRUE(FNavigator.ButtonShownEnabled(nbInsert));
    FNavigator.setEnabled(false);
    EXPECT_FALSE(FNavigator.ButtonShownEnabled(nbInsert));
    FNavigator.setEnabled(true);
    EXPECT_TRUE(FNavigator.ButtonShownEnabled(nbInsert));
}

TEST_F(NavigatorWidgetTest, RecordSetErrorsReachTheErrorHandler)
{
    std::vector<std::string> errors;
    TkvCustomNavigator::SetExceptionHandler(
        [&](const std::exception &error) { errors.push_back(error.what()); });
    FQuery->Edit();
    // Another program deletes the row under the edit: the post fails.
    RawExec(FPath, "DELETE FROM gain");
    FQuery->FieldByName(QString::fromUtf8("进帐人"))->SetText(QStringLiteral("b"));
    FNavigator.ClickButton(nbPost);
    TkvCustomNavigator::SetExceptionHandler(nullptr);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(FQuery->State(), dsEdit) << "the failed post leaves the record as it was";
}

TEST_F(NavigatorWidgetTest, ClosingTheRecordSetDisablesEverything)
{
    FQuery->Close();
    for (int index : {nbInsert, nbDelete, nbPost, nbCancel})
        EXPECT_FALSE(FNavigator.ButtonShownEnabled(index));
}

// Guards against a bar that kept its old layout, enabling and hint after a
// button was hidden, disabled, given an image or a new hint.
TEST_F(NavigatorWidgetTest, ButtonSettingsLayTheBarOutAgainAtOnce)
{
    EXPECT_EQ(FNavigator.ViewInfo().LayoutText(), QStringLiteral("6:0+44 7:44+44 9:88+44 10:132+44"));
    FNavigator.Buttons().Delete().SetVisible(false);
    // 176 - 3 * 17 = 125 = 3 * 41 + 2.
    EXPECT_EQ(FNavigator.ViewInfo().LayoutText(), QStringLiteral("6:0+58 9:58+58 10:116+58"));

    TImageList images(16, 16);
    FNavigator.Buttons().SetImages(&images);
    FNavigator.Buttons().Cancel().SetImageIndex(0);
    // 174 - (17 + 17 + 21) = 119 = 3 * 39 + 2.
    EXPECT_EQ(FNavigator.ViewInfo().LayoutText(), QStringLiteral("6:0+56 9:56+56 10:112+60"));

    EXPECT_TRUE(FNavigator.ButtonShownEnabled(nbInsert));
    FNavigator.Buttons().Insert().SetEnabled(false);
    EXPECT_FALSE(FNavigator.ButtonShownEnabled(nbInsert));
    FNavigator.Buttons().Insert().SetEnabled(true);
    EXPECT_TRUE(FNavigator.ButtonShownEnabled(nbInsert));

    OffscreenSizeHintsFilter offscreenRaise{"raise()"};
    FNavigator.SetShowHint(true);
    QMouseEvent move(QEvent::MouseMove, QPointF(CenterOf(nbInsert)),
                     QPointF(FNavigator.mapToGlobal(CenterOf(nbInsert))), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&FNavigator, &move);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !FNavigator.ShownHint().isEmpty(); }, 3000));
    EXPECT_EQ(FNavigator.ShownHint(), QStringLiteral("Insert record"));
    FNavigator.Buttons().Insert().SetHint(QStringLiteral("add"));
    EXPECT_EQ(FNavigator.ShownHint(), QStringLiteral("add"));
    FNavigator.Buttons().Insert().SetVisible(false);
    EXPECT_EQ(FNavigator.ShownHint(), QString()) << "the hint goes with its button";
    FNavigator.Buttons().SetImages(nullptr);
}

// Guards against the bar painting a lighter rectangle over its parent's background.
TEST_F(NavigatorWidgetTest, BarShowsItsParentsBackgroundBetweenTheGlyphs)
{
    QPalette palette = FForm.palette();
    palette.setColor(QPalette::Window, QColor(200, 0, 200));
    FForm.setPalette(palette);
    FForm.setAutoFillBackground(true);
    FForm.resize(300, 60);
    FNavigator.move(10, 10);
    const QImage image = FForm.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(FNavigator.geometry().topLeft() + QPoint(1, 1))), QColor(200, 0, 200));
}

TEST_F(NavigatorWidgetTest, DataSourceGoingAwayDisablesTheBar)
{
    auto source = std::make_unique<TDbDataSource>();
    source->SetDataSet(FQuery.get());
    FNavigator.SetDataSource(source.get());
    EXPECT_TRUE(FNavigator.ButtonShownEnabled(nbInsert));
    source.reset();
    EXPECT_EQ(FNavigator.DataSource(), nullptr);
    EXPECT_FALSE(FNavigator.ButtonShownEnabled(nbInsert));
}

} // namespace
} // namespace kestrum::test
