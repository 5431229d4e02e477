#include "app/MainWindow.h"
#include "app/AboutBox.h"
#include "app/LedgerData.h"
#include "app/StatisticsPage.h"
#include "core/Utf8.h"
#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"
#include "support/FakeShell.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace kestrum {
namespace {

class MainWindowTest : public testing::Test {
protected:
    MainWindowTest()
    {
        window.SetClock([this] { return today; });
        window.SetAboutBox(&about);
    }

    QString activeCaption() const { return window.PqPageControl1->ActivePage()->Caption(); }

    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
    TForm2 about{&shell};
    QDate today{2024, 3, 14};
    TMessageBoxRecorder boxes;
};

TEST_F(MainWindowTest, WindowCarriesItsDesignedCaptionSizeAndFont)
{
    EXPECT_EQ(window.windowTitle(), "Kestrum");
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(window.normalGeometry().size(), QSize(865, 583));
    EXPECT_EQ(window.font().pixelSize(), 13);
    EXPECT_EQ(QFontInfo(window.font()).family(), "AR PL UMing CN");
    EXPECT_EQ(window.ImageList1.Count(), 5);
    EXPECT_EQ(window.ImageList1.Size(), QSize(16, 16));
}

TEST_F(MainWindowTest, ThreeTabsVisibleAndTheSettingsTabHidden)
{
    TPqPageControl *pages = window.PqPageControl1;
    QStringList captions;
    for (int i = 0; i < pages->PageCount(); ++i)
        captions << pages->Pages(i)->Caption() + ':' + QString::number(pages->Pages(i)->ImageIndex()) +
                        (pages->Pages(i)->TabVisible() ? "" : "(hidden)");
    EXPECT_EQ(captions.join(' '), utf8("收入进帐:0 消费记账:2 综合统计:1 系统设置:3(hidden)"));
    EXPECT_EQ(pages->Model().TabCount(), 3);
    EXPECT_EQ(pages->FixedDimension(), 22);
    EXPECT_EQ(pages->ActivePage(), window.TabSheet2);
    EXPECT_EQ(window.StatisticsPage->parentWidget(), window.TabSheet3);
}

TEST_F(MainWindowTest, CtrlTabCyclesOverTheThreeVisiblePages)
{
    QString visited;
    for (int i = 0; i < 4; ++i) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
        QApplication::sendEvent(window.StatisticsPage->ComboBox1, &event);
        visited += activeCaption() + ' ';
    }
    EXPECT_EQ(visited, utf8("消费记账 综合统计 收入进帐 消费记账 "));
}

TEST_F(MainWindowTest, MenuCarriesItsItemsAndSwitchesPages)
{
    QStringList items;
    for (QMenu *menu : {window.N1, window.N4, window.N6}) {
        items << menu->title() + ':';
        for (QAction *action : menu->actions())
            items << (action->isSeparator() ? "-" : action->text()) + (action->icon().isNull() ? "" : "*");
    }
    EXPECT_EQ(
        items.join(' '),
        utf8("录入: 进帐纪录* 消费纪录* 回收站... 定期收支... 预算... - 撤销 重做 - 导入... 导出... - 退出 "
             "统计: 综合统计* 关于: 关于Mirelo"));

    window.N2->trigger();
    EXPECT_EQ(window.PqPageControl1->ActivePage(), window.TabSheet1);
    window.N5->trigger();
    EXPECT_EQ(window.PqPageControl1->ActivePage(), window.TabSheet3);
    window.N3->trigger();
    EXPECT_EQ(window.PqPageControl1->ActivePage(), window.TabSheet2);
}

TEST_F(MainWindowTest, ShowOpensTheMainPageAndSetsPickersToToday)
{
    today = QDate(2031, 11, 5); // past the last listed year
    window.show();
    EXPECT_EQ(shell.Requests(), QStringList{"open http://www.mirelo.example/"});
    const TStatisticsPage &page = *window.StatisticsPage;
    EXPECT_EQ(page.ComboBox1->currentText() + '-' + page.ComboBox2->currentText() + ' ' +
                  page.ComboBox3->currentText(),
              "2031-11 2031");
    EXPECT_TRUE(boxes.Boxes().isEmpty());
    window.hide();
}

TEST_F(MainWindowTest, FailedShellAtShowReportsOnceAndTheWindowWorks)
{
    shell.SetResult(ShellNoAssociation);
    window.show();
    EXPECT_EQ(boxes.Boxes(), QStringList{ApplicationTitle() + utf8("|www.mirelo.example无法定位。")});
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.StatisticsPage->ComboBox2->currentText(), "3") << "the pickers are still set";
    window.N5->trigger();
    EXPECT_EQ(window.PqPageControl1->ActivePage(), window.TabSheet3);
    window.hide();
}

TEST_F(MainWindowTest, ExitClosesAndOpensThePageOfTheDay)
{
    window.show();
    shell.ClearRequests();
    window.N9->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(shell.Requests(), QStringList{"open http://news.mirelo.example/kestrum/"}) << "on the 14th";

    today = QDate(2024, 3, 15);
    window.show();
    shell.ClearRequests();
    window.close();
    EXPECT_EQ(shell.Requests(), QStringList{"open http://www.mirelo.example/"}) << "on the 15th";
}

TEST_F(MainWindowTest, FailedShellAtCloseNamesTheMakerAndStillCloses)
{
    window.show();
    shell.SetResult(ShellFileNotFound);
    boxes.Clear();
    window.N9->trigger();
    EXPECT_EQ(boxes.Boxes(),
              QStringList{ApplicationTitle() + utf8("|米瑞罗工作室网址：news.mirelo.example")});
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, AboutBoxIsShownOnceAndComesBackToTheFront)
{
    auto aboutBoxes = [] {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += qobject_cast<TForm2 *>(widget) && widget->isVisible();
        return count;
    };
    EXPECT_FALSE(about.isVisible()) << "created hidden";
    window.N7->trigger();
    window.N7->trigger();
    EXPECT_EQ(aboutBoxes(), 1);
    EXPECT_FALSE(about.isModal());
    about.close();
    EXPECT_EQ(aboutBoxes(), 0) << "closing hides the box";
    window.N7->trigger();
    EXPECT_EQ(aboutBoxes(), 1);
    about.hide();
}

TEST(AboutBox, ContentsAndTheVisitButton)
{
    TFakeShell shell(ShellNoAssociation);
    TForm2 about(&shell);
    EXPECT_EQ(about.windowTitle(), utf8("关于Mirelo"));
    EXPECT_TRUE(about.windowFlags() & Qt::Tool);
    EXPECT_EQ(about.geometry(), QRect(271, 286, 378, 172));
    EXPECT_EQ(about.PqLabel2->text() + '|' + about.PqLabel1->text() + '|' + about.PqLabel3->text(),
              utf8("Kestrum|构筑和谐家庭!|开发: 米瑞罗工作室\nwww.mirelo.example"));
    EXPECT_TRUE(about.PqLabel2->font().bold());
    EXPECT_EQ(about.PqLabel2->font().pixelSize(), 11);
    EXPECT_EQ(about.font().pixelSize(), 12);
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(72, 122));
    EXPECT_EQ(about.Image2->pixmap().size(), QSize(72, 122));
    EXPECT_NE(about.Image1->pixmap().toImage(), about.Image2->pixmap().toImage());
    EXPECT_EQ(about.mwButton1->text(), utf8("访问我们"));
    EXPECT_EQ(about.mwButton1->pos(), QPoint(272, 112));

    TMessageBoxRecorder boxes;
    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    about.show();
    about.mwButton1->click();
    EXPECT_EQ(shell.Requests(), QStringList{"open http://www.mirelo.example/"});
    EXPECT_EQ(boxes.Boxes(), QStringList{ApplicationTitle() + utf8("|浏览器无法定位。")});
    EXPECT_TRUE(about.isVisible()) << "the box stays open";
}

} // namespace
} // namespace kestrum
