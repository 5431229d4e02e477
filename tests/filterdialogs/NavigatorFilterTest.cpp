// The navigator's Filter button with the real filter builder: the builder
// over the record set's fields, the record-set filter it applies, and the
// last criteria it keeps until the record set closes.
#include "support/DbTestSupport.h"
#include "filterdialogs/FilterBuilderDialog.h"
#include "filterdialogs/FilterLink.h"
#include "filterdialogs/NavigatorFilterLink.h"
#include "navigator/DbNavigatorButtons.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace kestrum::test {
namespace {

class NavigatorFilterTest : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        AddGain(1, "2006-07-01", "a", "x");
        AddGain(2, "2006-07-02", "b", "y");
        AddGain(3, "2006-07-03", "c");
        FQuery = OpenQuery(QStringLiteral("select * from gain"));
        FSource.SetDataSet(FQuery.get());
        FButtons.SetDataSource(&FSource);
        InstallNavigatorFilterBuilder();
    }

    void TearDown() override
    {
        TkvDBNavigatorButtons::SetFilterDialog(nullptr);
        LedgerFixture::TearDown();
    }

    //! Clicks Filter and runs `act` on the builder once it is up.
    void ClickFilter(std::function<void(TfmFilterControlDialog &)> act)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = dynamic_cast<TfmFilterControlDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ran = true;
            act(*dialog);
            if (dialog->isVisible())
                dialog->btCancel->click();
        });
        FButtons.ClickButton(nbFilter);
        EXPECT_TRUE(ran);
    }

    //! Adds a condition on a field by caption with an operator and one value.
    static TkvFilterControlConditionRow &AddCondition(TkvFilterControlModel &model, const char *field,
                                                      TkvFilterDialogOperator op, const char *value = nullptr)
    {
        TkvFilterControlConditionRow &condition = *model.AddCondition(model.Root());
        for (int i = 0; i < model.Link()->ItemCount(); ++i)
            if (model.Link()->ItemCaption(i) == QString::fromUtf8(field))
                model.SetConditionItem(condition, i);
        model.SetConditionOperator(condition, op);
        if (value)
            model.PostValue(condition, 0, Variant::fromUtf8(value), QString::fromUtf8(value));
        return condition;
    }

    std::unique_ptr<TDbQuery> FQuery;
    TDbDataSource FSource;
    TkvDBNavigatorButtons FButtons;
};

TEST_F(NavigatorFilterTest, TheBuilderFiltersTheRecordSetAndKeepsItsCriteriaUntilClose)
{
    ClickFilter([](TfmFilterControlDialog &dialog) {
        TkvFilterControlModel &model = dialog.FilterControl().Model();
        EXPECT_EQ(model.Link()->ItemCount(), 5) << "every field of the record set";
        model.Root().SetBoolCode(bcOr);
        TkvFilterControlConditionRow &item = AddCondition(model, "进帐人", fdoEqual, "b");
        EXPECT_FALSE(item.SupportedOperators.Contains(fdoLike)) << "the record-set filter gets no like";
        EXPECT_FALSE(item.SupportedOperators.Contains(fdoBetween));
        EXPECT_FALSE(item.SupportedOperators.Contains(fdoInList));
        AddCondition(model, "备注", fdoBlanks);
        dialog.btOk->click();
    });
    EXPECT_TRUE(FQuery->Filtered());
    EXPECT_EQ(FQuery->Filter().toStdString(), "(进帐人 = 'b') OR (备注 IS NULL)");
    EXPECT_EQ(FQuery->RecordCount(), 2);
    EXPECT_FALSE(FButtons.FilterCriteria().isEmpty());

    ClickFilter([](TfmFilterControlDialog &dialog) {
        EXPECT_EQ(dialog.FilterControl().Model().RowsText().toStdString(),
                  "或 <根>\n  进帐人 等于 b\n  备注 为空")
            << "the last criteria comes back";
    });
    FQuery->Close();
    EXPECT_TRUE(FButtons.FilterCriteria().isEmpty());
    FQuery->Open();
    ClickFilter([](TfmFilterControlDialog &dialog) {
        EXPECT_EQ(dialog.FilterControl().Model().RowsText().toStdString(), "与 <根>");
    });
}

TEST_F(NavigatorFilterTest, AnApplyHandlerGetsTheTextAndEveryOperator)
{
    QStringList texts;
    FButtons.OnApplyFilter = [&](TkvDBNavigatorButtons *, const QString &text) { texts << text; };
    ClickFilter([](TfmFilterControlDialog &dialog) {
        TkvFilterControlModel &model = dialog.FilterControl().Model();
        TkvFilterControlConditionRow &item = AddCondition(model, "进帐人", fdoLike, "%b%");
        EXPECT_TRUE(item.SupportedOperators.Contains(fdoInList));
        dialog.btApply->click();
        // Cancel after Apply: what was applied stays.
    });
    EXPECT_EQ(texts.join(QLatin1Char('|')).toStdString(), "(进帐人 LIKE '%b%')");
    EXPECT_FALSE(FQuery->Filtered()) << "the handler decides what to do with the text";
}

TEST_F(NavigatorFilterTest, CancelAppliesNothing)
{
    ClickFilter([](TfmFilterControlDialog &dialog) {
        AddCondition(dialog.FilterControl().Model(), "进帐人", fdoEqual, "b");
        dialog.btCancel->click();
    });
    EXPECT_FALSE(FQuery->Filtered());
    EXPECT_EQ(FQuery->RecordCount(), 3);
    EXPECT_TRUE(FButtons.FilterCriteria().isEmpty());
}

} // namespace
} // namespace kestrum::test
