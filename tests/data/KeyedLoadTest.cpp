// A controller fills its records while its record set opens, and the record
// set then keeps only keys: the records must hold what reading each row
// through the record set's fields gives, now and after a reload.
#include "IncomeControllerFixture.h"

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

class KeyedLoad : public IncomeControllerFixture {
protected:
    void SetUp() override
    {
        IncomeControllerFixture::SetUp();
        AddGain(8600, "2024-07-10 00:00:00", "工资", "七月的工资");
        AddGain(1500.25, "2024-07-28 12:30:00", "Salary");
        AddGain(0, "2024-08-01", "", "");
        // Cells of kinds their columns do not declare, as another tool may write them.
        RawExec(FPath, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (7, 45000.5, 42, 3.5)");
        RawExec(FPath, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (NULL, NULL, NULL, NULL)");
    }

    //! Every record's values as "type:text" per item, one line a record.
    static std::string Records(const TkvGridDBDataController &controller)
    {
        std::string text;
        for (int r = 0; r < controller.RecordCount(); ++r) {
            for (int i = 0; i < controller.ItemCount(); ++i) {
                const Variant value = controller.GetValue(r, i);
                text += std::to_string(int(value.type())) + ":" +
                        (value.isNull() ? std::string("NULL") : value.toString().toStdString()) + "|" +
                        controller.GetDisplayText(r, i).toStdString() + ";";
            }
            text += '\n';
        }
        return text;
    }

    //! The same rows read by a controller whose record set keeps every value
    //! (a filter set before opening keeps the full copy).
    std::string RecordsOfAFullCopy()
    {
        TDbQuery query;
        TDbDataSource source;
        int columns[4] = {};
        TkvGridDBDataController controller;
        query.SetConnection(&FConnection);
        query.AddSQL("select * from gain");
        query.SetFilter("[id] > 0");
        query.SetFiltered(true);
        source.SetDataSet(&query);
        const char *names[] = {"本次进帐", "进帐时间", "进帐人", "备注"};
        for (int i = 0; i < 4; ++i) {
            controller.AttachItem(&columns[i]);
            controller.ChangeFieldName(i, QString::fromUtf8(names[i]));
        }
        controller.SetDataSource(&source);
        query.Open();
        EXPECT_FALSE(query.KeepsKeysOnly());
        return Records(controller);
    }
};

TEST_F(KeyedLoad, RecordsFilledAsTheRecordSetOpensHoldWhatItsFieldsRead)
{
    BindIncome("select * from gain");
    Query.Open();
    ASSERT_TRUE(Query.KeepsKeysOnly());
    ASSERT_EQ(Controller.RecordCount(), 5);
    EXPECT_EQ(Records(Controller), RecordsOfAFullCopy());
    EXPECT_EQ(Controller.GetValue(0, 2).toString(), QStringLiteral("工资"));
    EXPECT_TRUE(Controller.GetValue(1, 3).isNull());
    EXPECT_EQ(Controller.FocusedRecordIndex(), 0);
    EXPECT_EQ(Query.RecNo(), 1);
}

TEST_F(KeyedLoad, ReloadReadsTheRowsKeptByKeyAgain)
{
    Controller.SetKeyFieldNames("id");
    BindIncome("select * from gain");
    Query.Open();
    ASSERT_TRUE(Query.KeepsKeysOnly());
    // Focus follows the record set both ways through the key.
    Controller.ChangeFocusedRecordIndex(3);
    EXPECT_EQ(Query.RecNo(), 4);
    Query.Prior();
    EXPECT_EQ(Controller.FocusedRecordIndex(), 2);

    Query.Edit();
    Query.FieldByName("进帐人")->SetAsString("奖金");
    Query.Post();
    AddGain(99, "2024-09-01 00:00:00", "红包", "新");
    Query.Refresh(); // every record is read again
    ASSERT_TRUE(Query.KeepsKeysOnly());
    ASSERT_EQ(Controller.RecordCount(), 6);
    EXPECT_EQ(Controller.GetValue(2, 2).toString(), QStringLiteral("奖金"));
    EXPECT_EQ(Controller.GetValue(5, 3).toString(), QStringLiteral("新"));
    EXPECT_EQ(Controller.FocusedRecordIndex(), Query.RecNo() - 1);
    EXPECT_EQ(Records(Controller), RecordsOfAFullCopy());
}

} // namespace
} // namespace kestrum::test
