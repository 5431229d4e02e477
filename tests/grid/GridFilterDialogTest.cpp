// The custom filter dialog opened for a column of the income grid over a
// ledger file: what OK and Cancel do to the grid's rows and its criteria.
#include "core/RegionalSettings.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"
#include "support/DbTestSupport.h"
#include "editors/CustomEdit.h"
#include "editors/DateEditProperties.h"
#include "editors/MaskEditProperties.h"
#include "filter/DataFilterCriteria.h"
#include "filterdialogs/FilterBuilderDialog.h"
#include "filterdialogs/FilterDialog.h"
#include "grid/Grid.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridFilterDialogs.h"
#include "grid/GridFilterLink.h"
#include "grid/GridTableView.h"
#include "support/OffscreenSizeHintsFilter.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class GridFilterDialogTest : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddGain(100, "2006-07-05", "工资");
        AddGain(20.5, "2006-07-06", "红包");
        AddGain(7, "2006-07-09", "工资");
        AddGain(55, "2006-07-11", "奖金");
        Query.SetConnection(&FConnection);
        Query.AddSQL("select * from gain");
        Source.SetDataSet(&Query);

        View = Grid.CreateView<TkvGridDBTableView>();
        View->BeginLoading();
        Amount = View->CreateColumn("kvGrid1DBTableView1DBColumn");
        Amount->DataBinding()->SetFieldName(QString::fromUtf8("本次进帐"));
        Item = View->CreateColumn("kvGrid1DBTableView1DBColumn1");
        Item->DataBinding()->SetFieldName(QString::fromUtf8("进帐人"));
        Item->SetCaption(QString::fromUtf8("进帐项"));
        Date = View->CreateColumn("kvGrid1DBTableView1DBColumn2");
        Date->DataBinding()->SetFieldName(QString::fromUtf8("进帐时间"));
        View->DBDataController()->SetDataSource(&Source);
        View->EndLoading();
        Grid.RootLevel().Add()->SetGridView(View);
        Grid.resize(800, 300);
        Query.Open();
        Filter = View->Filter();
        ASSERT_NE(Filter, nullptr);
        Filter->OnChanged = [this](TkvFilterCriteria *) { ++Changes; };
    }

    void TearDown() override { Query.Close(); }

    //! The item texts of the grid's rows, "工资,工资".
    std::string Items() const
    {
        std::string text;
        const TkvGridRowSource &rows = View->DataController();
        for (int row = 0; row < rows.RowCount(); ++row)
            text += (row ? "," : "") +
                    rows.DisplayText(rows.GetRowInfo(row).RecordIndex, Item->Index()).toStdString();
        return text;
    }

    //! Opens the column's dialog and lets `act` work on it once it is showing.
    bool OpenDialog(TkvGridColumn *column, std::function<void(TkvFilterDialog &)> act)
    {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            auto *dialog = dynamic_cast<TkvFilterDialog *>(modal);
            if (auto *builder = dynamic_cast<TfmFilterControlDialog *>(modal)) {
                BuilderShown = true;
                if (OnBuilder)
                    OnBuilder(*builder);
                if (builder->isVisible())
                    builder->reject();
                return;
            }
            if (!dialog)
                return;
            shown = true;
            act(*dialog);
            if (dialog->isVisible())
                dialog->reject(); // never leave a test hanging in the modal loop
        });
        const bool result = ShowGridColumnFilterDialog(*View, *column, nullptr);
        Shown = shown;
        return result;
    }

    static void Choose(QComboBox *box, const char *caption)
    {
        box->setCurrentIndex(box->findText(QString::fromUtf8(caption)));
    }
    static void Type(TkvCustomEdit &edit, const char *utf8)
    {
        for (QChar ch : QString::fromUtf8(utf8))
            edit.ProcessKey(ch.unicode() < 128 ? ch.toUpper().unicode() : int(Qt::Key_unknown),
                            Qt::NoModifier, QString(ch));
    }

    OffscreenSizeHintsFilter SizeHints;
    TDbQuery Query;
    TDbDataSource Source;
    TkvGrid Grid;
    TkvGridDBTableView *View = nullptr;
    TkvGridDBColumn *Amount = nullptr;
    TkvGridDBColumn *Item = nullptr;
    TkvGridDBColumn *Date = nullptr;
    TkvDataFilterCriteria *Filter = nullptr;
    int Changes = 0;
    bool Shown = false;
    bool BuilderShown = false;
    std::function<void(TfmFilterControlDialog &)> OnBuilder;
};

} // namespace

TEST_F(GridFilterDialogTest, OkFiltersTheRowsAndSwitchesTheFilterOnInOneRefresh)
{
    ASSERT_EQ(Items(), "工资,红包,工资,奖金");
    const bool applied = OpenDialog(Item, [](TkvFilterDialog &dialog) {
        EXPECT_EQ(dialog.cbOperator1->currentText().toStdString(), "类似");
        EXPECT_EQ(dialog.lblColumnCaption->text().toStdString(), "进帐项 ");
        Choose(dialog.cbOperator1, "等于");
        Type(*dialog.Edit1, "工资");
        dialog.btnOK->click();
    });
    EXPECT_TRUE(Shown);
    EXPECT_TRUE(applied);
    EXPECT_TRUE(Filter->Active());
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Items(), "工资,工资");
    EXPECT_EQ(Filter->CaptionText().toStdString(), "(进帐项 = 工资)");
}

TEST_F(GridFilterDialogTest, TwoConditionsJoinedByOrReopenAsTheyWereEntered)
{
    ASSERT_TRUE(OpenDialog(Amount, [](TkvFilterDialog &dialog) {
        EXPECT_EQ(dialog.cbOperator1->currentText().toStdString(), "等于");
        Choose(dialog.cbOperator1, "小于");
        Type(*dialog.Edit1, "10");
        Choose(dialog.cbOperator2, "大于");
        Type(*dialog.Edit2, "60");
        dialog.rbOr->setChecked(true);
        dialog.btnOK->click();
    }));
    EXPECT_EQ(Items(), "工资,工资");

    // Reopened, the dialog shows both; "与" instead leaves no row.
    ASSERT_TRUE(OpenDialog(Amount, [](TkvFilterDialog &dialog) {
        EXPECT_EQ(dialog.cbOperator1->currentText().toStdString(), "小于");
        EXPECT_EQ(dialog.Edit1->DisplayText().toStdString(), "10");
        EXPECT_EQ(dialog.cbOperator2->currentText().toStdString(), "大于");
        EXPECT_EQ(dialog.Edit2->DisplayText().toStdString(), "60");
        EXPECT_TRUE(dialog.rbOr->isChecked());
        dialog.rbAnd->setChecked(true);
        dialog.btnOK->click();
    }));
    EXPECT_EQ(Items(), "");
}

TEST_F(GridFilterDialogTest, CancelChangesNeitherTheCriteriaNorTheRows)
{
    const std::string before = Filter->SaveToBytes();
    EXPECT_FALSE(OpenDialog(Item, [](TkvFilterDialog &dialog) {
        Type(*dialog.Edit1, "工%");
        dialog.btnCancel->click();
    }));
    EXPECT_TRUE(Shown);
    EXPECT_FALSE(Filter->Active());
    EXPECT_EQ(Changes, 0);
    EXPECT_EQ(Filter->SaveToBytes(), before);
    EXPECT_EQ(Items(), "工资,红包,工资,奖金");
}

TEST_F(GridFilterDialogTest, ACriteriaTooComplexForTheDialogOpensTheBuilderInstead)
{
    TkvGridFilterLink link(*View);
    Filter->AppendCondition(nullptr, link.ItemLink(Item->Index()), ocEqual, Variant("工资"), "工资");
    Filter->AppendCondition(nullptr, link.ItemLink(Amount->Index()), ocLess, Variant(50.0), "50");
    Filter->Root().SetBoolOperatorKind(bcOr);
    Changes = 0;
    EXPECT_FALSE(OpenDialog(Item, [](TkvFilterDialog &dialog) { dialog.btnOK->click(); }));
    EXPECT_FALSE(Shown);
    EXPECT_TRUE(BuilderShown) << "the builder shows what the custom dialog cannot";
    EXPECT_EQ(Changes, 0) << "cancelled";

    OnBuilder = [](TfmFilterControlDialog &builder) {
        EXPECT_EQ(builder.FilterControl().Model().Root().Count(), 2);
        builder.btOk->click();
    };
    EXPECT_TRUE(OpenDialog(Item, [](TkvFilterDialog &) {}));
    EXPECT_TRUE(Filter->Active()) << "the builder's OK switches the filter on";
    EXPECT_EQ(Filter->Root().BoolOperatorKind(), bcOr);
}

TEST_F(GridFilterDialogTest, TheLinkOffersTheColumnsWithTheirEditorsAndTypes)
{
    TkvGridFilterLink link(*View);
    ASSERT_EQ(link.ItemCount(), 3);
    EXPECT_EQ(link.ItemCaption(1).toStdString(), "进帐项");
    EXPECT_EQ(link.ItemFieldName(2).toStdString(), "进帐时间");
    EXPECT_EQ(link.ItemID(2), Date->ID());
    EXPECT_TRUE(link.ItemValueTypeClass(1)->IsStringType());
    EXPECT_FALSE(link.ItemValueTypeClass(0)->IsStringType());
    EXPECT_NE(dynamic_cast<TkvDateEditProperties *>(link.ItemProperties(2)), nullptr);
    EXPECT_NE(dynamic_cast<TkvMaskEditProperties *>(link.ItemProperties(1)), nullptr);
    EXPECT_EQ(link.IndexOfItemLink(link.ItemLink(2)), 2);
    EXPECT_EQ(&link.Criteria(), Filter);
    // The dialogs edit values with the editor the column's cells use.
    for (int index = 0; index < link.ItemCount(); ++index)
        EXPECT_EQ(link.ItemProperties(index), View->Columns(index)->GetProperties()) << index;
}
