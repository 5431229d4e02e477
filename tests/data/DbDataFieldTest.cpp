// Record-set fields as the controller stores them: lookups and the display
// text of blob-like and Boolean fields.
#include "TenIncomesFixture.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class DbDataFieldTest : public test::TenIncomesOn<test::EngineFixture> {};

TEST_P(DbDataFieldTest, LookupFieldsShowTheLookedUpValueAndAreEditedByKey)
{
    Exec("CREATE TABLE kinds (label VARCHAR(20), kind VARCHAR(20));"
         "INSERT INTO kinds VALUES ('工资', '劳动'), ('利息', '投资'), ('分红', '投资');");
    std::unique_ptr<TDbQuery> kinds = OpenQuery("select * from kinds");
    TDbLookupFieldDef lookup;
    lookup.FieldName = QString::fromUtf8("类别");
    lookup.KeyFields = QString::fromUtf8("进帐人");
    lookup.LookupDataSet = kinds.get();
    lookup.LookupKeyFields = "label";
    lookup.LookupResultField = "kind";
    Query.AddLookupField(lookup);
    int kindColumn = 0;
    Controller.AttachItem(&kindColumn);
    Controller.ChangeFieldName(4, QString::fromUtf8("类别"));
    Query.Open();
    TDbField *kind = Query.FieldByName(QString::fromUtf8("类别"));
    ASSERT_TRUE(kind->IsLookup());
    EXPECT_FALSE(kind->CanModify());
    EXPECT_EQ(Rows(Controller, 4), "*劳动,,投资,,,,投资,,,");
    // The key field is bound as the lookup's sub-field and loaded with it.
    auto *field = Controller.GetItemDBField(4);
    ASSERT_EQ(field->SubFields().size(), 1u);
    EXPECT_EQ(Controller.GetFieldValue(2, field->SubFields().front()).toString().toStdString(), "利息");

    Controller.ChangeFocusedRowIndex(1);
    EXPECT_EQ(Controller.ReadEditValue(4, TkvDataEditValueSource::evsKey).toString().toStdString(), "红包");
    EXPECT_TRUE(Controller.WriteEditValue(4, Variant::fromUtf8("分红"), TkvDataEditValueSource::evsKey));
    EXPECT_EQ(Controller.GetDisplayText(1, 4).toStdString(), "投资"); // shown before the post
    Controller.Post();
    EXPECT_EQ(Rows(Controller, 2), "工资,*分红,利息,奖金,稿费,租金,分红,退税,补贴,礼金");
    EXPECT_EQ(Rows(Controller, 4), "劳动,*投资,投资,,,,投资,,,");
    // Reopening makes the lookup field again.
    Query.Close();
    Query.Open();
    EXPECT_EQ(Controller.GetDisplayText(0, 4).toStdString(), "劳动");
}

TEST_P(DbDataFieldTest, BlobAndBooleanFieldsStoreTheirTextWhenTheOwnerAsks)
{
    struct Owner : IkvDataControllerOwner {
        bool Wants = false;
        bool WantsDisplayText(TkvDataItem) const override { return Wants; }
    } owner;
    TkvGridDBDataController controller(&owner);
    int column = 0;
    controller.AttachItem(&column);
    controller.ChangeFieldName(0, QString::fromUtf8("备注"));
    controller.SetDataSource(&Source);
    Query.Open();
    ASSERT_EQ(Query.FieldByName(QString::fromUtf8("备注"))->DataType(), ftMemo);
    EXPECT_FALSE(controller.GetItemTextStored(0));
    owner.Wants = true;
    controller.BindFields();
    EXPECT_TRUE(controller.GetItemTextStored(0));
    Query.FieldByName(QString::fromUtf8("备注"))->OnGetText = [](TDbField *, QString &text, bool) {
        text = "[" + text + "]";
    };
    Query.Refresh();
    EXPECT_EQ(controller.GetDisplayText(0, 0).toStdString(), "[]");
}

INSTANTIATE_TEST_SUITE_P(Engines, DbDataFieldTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
