// The filter builder dialog over a real ledger grid: a condition entered with
// keys and typed text filters the grid's rows, files open and save through
// the dialog with one message per failure, and the dialog keeps its place.
#include "support/DbTestSupport.h"
#include "editors/CustomEdit.h"
#include "filter/DataFilterCriteria.h"
#include "filterdialogs/FilterBuilderDialog.h"
#include "filterdialogs/FilterLink.h"
#include "grid/Grid.h"
#include "grid/GridColumn.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridFilterLink.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridViewData.h"
#include "ui/MessageBox.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace kestrum::test {
namespace {

class FilterBuilderLedgerTest : public LedgerFixture {
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
        View = Grid.CreateView<TkvGridDBTableView>();
        View->BeginLoading();
        for (const char *field : {"本次进帐", "进帐人", "进帐时间"})
            View->CreateColumn("")->DataBinding()->SetFieldName(QString::fromUtf8(field));
        View->Columns(1)->SetCaption(QString::fromUtf8("进帐项"));
        View->DBDataController()->SetDataSource(&Source);
        View->EndLoading();
        Grid.RootLevel().Add()->SetGridView(View);
        Grid.resize(800, 300);
        Query.Open();
        Link = std::make_unique<TkvGridFilterLink>(*View);
        Options.OnApplyFilter = [this] { View->Filter()->SetActive(true); };
        TfmFilterControlDialog::ForgetPosition();
    }
    void TearDown() override
    {
        TfmFilterControlDialog::FileChooser() = nullptr;
        Query.Close();
    }

    int GridRows() const { return View->ViewData().RecordCount(); }

    //! Types a text into the control's focused value: the first character
    //! opens the editor, the rest go to the editor.
    static void TypeValue(TkvFilterControl &control, const QString &text)
    {
        for (int i = 0; i < text.size(); ++i) {
            QWidget *target =
                i == 0 ? static_cast<QWidget *>(&control) : control.ValueEditor()->InnerWidget();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, 1));
            QApplication::sendEvent(target, &press);
            ASSERT_NE(control.ValueEditor(), nullptr);
        }
        QTest::keyClick(control.ValueEditor()->InnerWidget(), Qt::Key_Return);
    }

    TDbQuery Query;
    TDbDataSource Source;
    TkvGrid Grid;
    TkvGridDBTableView *View = nullptr;
    std::unique_ptr<TkvGridFilterLink> Link;
    TkvFilterBuilderOptions Options;
    QTemporaryDir Dir;
};

TEST_F(FilterBuilderLedgerTest, AConditionEnteredWithKeysFiltersTheGridOnOk)
{
    ASSERT_EQ(GridRows(), 3);
    bool ran = false;
    Options.OnShow = [&](TfmFilterControlDialog &dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Orvane 搜索器 - [untitled.flt]");
        EXPECT_EQ(dialog.size(), QSize(526, 363));
        QTimer::singleShot(0, [&] {
            ran = true;
            TkvFilterControl &control = dialog.FilterControl();
            // The lists answer as a user would: the item column, then "等于".
            control.OnChoose = [](const TkvFilterControlActivation &activation, const QRect &) {
                EXPECT_EQ(activation.What, TkvFilterControlActivation::Kind::List);
                for (const TkvFilterControlListEntry &entry : activation.ListEntries)
                    if (entry.Caption == QString::fromUtf8("进帐项") ||
                        entry.Caption == QString::fromUtf8("等于"))
                        return entry.Code;
                return -1;
            };
            control.setFocus();
            QTest::keyClick(&control, Qt::Key_Down);
            QTest::keyClick(&control, Qt::Key_Return); // the footer link adds a condition
            QTest::keyClick(&control, Qt::Key_Return); // its field list
            EXPECT_EQ(control.Model().RowsText().toStdString(), "与 <根>\n  进帐项 类似 <空>");
            QTest::keyClick(&control, Qt::Key_Right);
            QTest::keyClick(&control, Qt::Key_Space); // its operator list
            QTest::keyClick(&control, Qt::Key_Right);
            TypeValue(control, QString::fromUtf8("工资"));
            EXPECT_EQ(control.ValueEditor(), nullptr) << "Enter posted the value";
            EXPECT_EQ(control.Model().RowsText().toStdString(), "与 <根>\n  进帐项 等于 工资");
            EXPECT_FALSE(control.grab().isNull());
            dialog.btOk->click();
        });
    };
    EXPECT_TRUE(ShowFilterBuilderDialog(*Link, &Grid, Options));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(View->Filter()->Active());
    EXPECT_EQ(GridRows(), 2);
    EXPECT_EQ(View->Filter()->CaptionText().toStdString(), "(进帐项 = 工资)");
}

// The field list offered hidden columns and those that cannot be filtered, and a
// new condition started on the first column whatever column was focused.
TEST_F(FilterBuilderLedgerTest, TheFieldListOffersShownFilterableColumnsAndStartsOnTheFocusedOne)
{
    auto *remark = View->CreateColumn("");
    remark->DataBinding()->SetFieldName(QString::fromUtf8("备注"));
    View->Columns(0)->SetVisible(false);             // the amount is not shown
    View->Columns(2)->Options().SetFiltering(false); // the date may not be filtered
    TkvFilterControlModel model;
    model.SetLink(Link.get());
    TkvFilterControlConditionRow *first = model.AddCondition(model.Root());
    EXPECT_EQ(model.FieldText(*first).toStdString(), "进帐项") << "the first column offered";
    const TkvFilterControlActivation list = model.ActivatePart({first, TkvFilterControlPartKind::Field, -1});
    std::string captions;
    for (const TkvFilterControlListEntry &entry : list.ListEntries)
        captions += entry.Caption.toStdString() + ";";
    EXPECT_EQ(captions, "进帐项;备注;");
    View->Controller().SetFocusedItem(remark);
    TkvFilterControlConditionRow *second = model.AddCondition(model.Root());
    EXPECT_EQ(model.FieldText(*second).toStdString(), "备注") << "the focused column";
    View->Controller().SetFocusedItem(View->Columns(2));
    EXPECT_EQ(model.FieldText(*model.AddCondition(model.Root())).toStdString(), "进帐项");
    // A condition on a column no longer offered still shows as it is.
    View->Filter()->AppendCondition(nullptr, View->Columns(0), ocGreater, Variant(50.0),
                                    QStringLiteral("50"));
    model.SetLink(Link.get());
    EXPECT_EQ(model.RowsText().toStdString(), "与 <根>\n  本次进帐 大于 50");
}

TEST_F(FilterBuilderLedgerTest, AValueTheColumnCannotHoldKeepsTheDialogOpen)
{
    TMessageBoxRecorder boxes;
    TfmFilterControlDialog dialog(*Link, &Grid, Options);
    TkvFilterControlModel &model = dialog.FilterControl().Model();
    model.ActivatePart(
        {nullptr, TkvFilterControlPartKind::FooterLink, -1}); // a condition on the amount, "等于"
    model.SetFocus({model.Rows()[1], TkvFilterControlPartKind::Value, 0});
    dialog.show();
    TypeValue(dialog.FilterControl(), QStringLiteral("abc"));
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].endsWith(QString::fromUtf8("|错误值."))) << boxes.Boxes()[0].toStdString();
    ASSERT_NE(dialog.FilterControl().ValueEditor(), nullptr) << "the editor stays for a correction";
    dialog.btOk->click();
    EXPECT_EQ(boxes.Boxes().size(), 2);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(View->Filter()->IsEmptyTree());
    EXPECT_EQ(GridRows(), 3);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(View->Filter()->IsEmptyTree());
}

TEST_F(FilterBuilderLedgerTest, FilesOpenAndSaveThroughTheDialogWithOneMessagePerFailure)
{
    TMessageBoxRecorder boxes;
    TfmFilterControlDialog dialog(*Link, &Grid, Options);
    TkvFilterControlModel &model = dialog.FilterControl().Model();
    model.Root().SetBoolCode(bcNotAnd);
    TkvFilterControlGroupRow *group = model.AddGroup(model.Root());
    model.PostValue(*static_cast<TkvFilterControlConditionRow *>(group->Rows(0)), 0, Variant(5.0),
                    QStringLiteral("5"));
    const QString rows = model.RowsText();
    const QString saved = Dir.filePath(QStringLiteral("saved.flt"));
    QString answer = saved;
    TfmFilterControlDialog::FileChooser() = [&](TfmFilterControlDialog &, bool) { return answer; };
    dialog.btSave->click();
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Orvane 搜索器 - [saved.flt]");
    ASSERT_TRUE(QFile::exists(saved));

    const QString bad = Dir.filePath(QStringLiteral("bad.flt"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xFF\xFF\xFF\xFF\x00\x05\x00\x00\x00\x01");
    file.close();
    answer = bad;
    model.ClearRows();
    dialog.btOpen->click();
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes()[0].endsWith(QStringLiteral("|Stream read error.")))
        << boxes.Boxes()[0].toStdString();
    EXPECT_EQ(model.RowsText().toStdString(), "与 <根>");
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Orvane 搜索器 - [saved.flt]");

    answer = saved;
    dialog.btOpen->click();
    EXPECT_EQ(boxes.Boxes().size(), 1);
    EXPECT_EQ(model.RowsText(), rows);
    answer = QString();
    dialog.btOpen->click(); // cancelled
    EXPECT_EQ(model.RowsText(), rows);
    answer = Dir.filePath(QStringLiteral("no/such/folder/x.flt"));
    dialog.btSave->click();
    EXPECT_EQ(boxes.Boxes().size(), 2);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Orvane 搜索器 - [saved.flt]");
}

TEST_F(FilterBuilderLedgerTest, ClicksOnPartsActLikeEnter)
{
    TfmFilterControlDialog dialog(*Link, &Grid, Options);
    TkvFilterControl &control = dialog.FilterControl();
    dialog.show();
    const auto clickOn = [&](const TkvFilterControlFocus &part) {
        for (const TkvFilterControlPartInfo &info : control.Parts())
            if (info.Part == part) {
                EXPECT_EQ(control.PartAt(info.Bounds.center()), part);
                QTest::mouseClick(&control, Qt::LeftButton, {}, info.Bounds.center());
                return;
            }
        ADD_FAILURE() << "no such part";
    };
    clickOn({nullptr, TkvFilterControlPartKind::FooterLink, -1});
    EXPECT_EQ(control.Model().RowsText().toStdString(), "与 <根>\n  本次进帐 等于 <空>");
    std::vector<int> shown;
    control.OnChoose = [&](const TkvFilterControlActivation &activation, const QRect &) {
        shown.push_back(int(activation.What));
        return activation.What == TkvFilterControlActivation::Kind::Menu
                   ? int(TkvFilterControlMenuCommand::AddGroup)
                   : 2;
    };
    TkvFilterControlRow *condition = control.Model().Rows()[1];
    clickOn({condition, TkvFilterControlPartKind::Field, -1});
    EXPECT_EQ(control.Model().RowsText().toStdString(), "与 <根>\n  进帐时间 等于 <空>");
    clickOn({&control.Model().Root(), TkvFilterControlPartKind::Button, -1});
    EXPECT_EQ(control.Model().Root().Count(), 2) << "the root menu's second entry adds a group";
    EXPECT_EQ(shown, (std::vector<int>{int(TkvFilterControlActivation::Kind::List),
                                       int(TkvFilterControlActivation::Kind::Menu)}));
    clickOn({condition, TkvFilterControlPartKind::Value, 0});
    ASSERT_NE(control.ValueEditor(), nullptr);
    EXPECT_TRUE(control.ValueEditor()->isVisible());
    QTest::keyClick(control.ValueEditor()->InnerWidget(), Qt::Key_Escape);
    EXPECT_EQ(control.ValueEditor(), nullptr);
    EXPECT_TRUE(dialog.isVisible()) << "Esc in the editor only closes the editor";
}

TEST_F(FilterBuilderLedgerTest, TheDialogComesBackWhereItWasClosed)
{
    QRect first;
    {
        TfmFilterControlDialog dialog(*Link, &Grid, Options);
        first = dialog.geometry();
        EXPECT_EQ(first.size(), QSize(526, 363));
        EXPECT_EQ(dialog.minimumSize(), QSize(520, 165));
        dialog.show();
        dialog.setGeometry(QRect(first.topLeft() + QPoint(10, 20), QSize(600, 400)));
        dialog.btCancel->click();
    }
    TfmFilterControlDialog again(*Link, &Grid, Options);
    EXPECT_EQ(again.geometry().size(), QSize(600, 400));
}

} // namespace
} // namespace kestrum::test
