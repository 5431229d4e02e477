// A record set whose rows a data link takes as they are read keeps only each
// row's key and hash: its values, writes and conflict checks must be those of
// a record set that keeps every value.
#include "support/DbTestSupport.h"

#include "db/DbErrors.h"
#include "db/DbRowReader.h"
#include "db/RowSink.h"
#include "db/RowStore.h"

#include <map>
#include <vector>

namespace kestrum::test {
namespace {

//! Takes the rows of its record set as text, one string a row ("k:v,..."
//! per cell: kind letter and value).
class TakingLink : public TDbDataLink, public TDbRowSink {
public:
    bool Accept = true;
    int Begun = 0;
    std::vector<std::string> Rows;
    bool Complete = false;

    bool BeginRows(TDbQuery &query) override
    {
        ++Begun;
        EXPECT_GT(query.FieldCount(), 0); // the fields are made first
        Rows.clear();
        return Accept;
    }
    void TakeRow(int position, const TDbRowReader &row) override
    {
        EXPECT_EQ(position, int(Rows.size()));
        Rows.push_back(Describe(row));
    }
    void EndRows(TDbQuery &, bool complete) override { Complete = complete; }

    static std::string Describe(const TDbRowReader &row)
    {
        std::string text;
        for (int c = 0; c < row.ColumnCount(); ++c) {
            if (c > 0)
                text += ',';
            switch (row.Kind(c)) {
            case TDbCellKind::Null:
                text += "n";
                break;
            case TDbCellKind::Integer:
                text += "i" + std::to_string(row.Integer(c));
                break;
            case TDbCellKind::Float:
                text += "f" + std::to_string(row.Float(c));
                break;
            case TDbCellKind::Text:
                text += "t" + std::string(row.Bytes(c));
                break;
            case TDbCellKind::Blob:
                text += "b" + std::to_string(row.Bytes(c).size());
                break;
            }
        }
        return text;
    }
};

class KeyedRows : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        AddGain(8600, "2024-07-10 00:00:00", "工资", "七月");
        AddGain(1500, "2024-07-28 12:30:00", "奖金");
        // Cells of kinds their columns do not declare, as another tool may write them.
        RawExec(FPath,
                "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES ('12a', 45000, 42, x'00ff')");
    }

    //! A record set on sql whose rows the link takes.
    std::unique_ptr<TDbQuery> OpenTaken(const QString &sql)
    {
        auto query = std::make_unique<TDbQuery>();
        query->SetConnection(&FConnection);
        query->SetSQL({sql});
        FSource.SetDataSet(query.get());
        FLink.SetDataSource(&FSource);
        query->Open();
        return query;
    }

    void TearDown() override { FLink.SetDataSource(nullptr); }

    //! Every field of the current row: type and text of its value.
    static std::string CurrentRow(TDbQuery &query)
    {
        std::string text;
        for (int i = 0; i < query.FieldCount(); ++i) {
            const Variant value = query.Fields(i)->Value();
            text += std::to_string(int(value.type())) + ":" +
                    (value.isNull() ? std::string("NULL") : value.toString().toStdString()) + ";";
        }
        return text;
    }

    static std::vector<std::string> AllRows(TDbQuery &query)
    {
        std::vector<std::string> rows;
        for (query.First(); !query.Eof(); query.Next())
            rows.push_back(CurrentRow(query));
        return rows;
    }

    TDbDataSource FSource;
    TakingLink FLink;
};

TEST_F(KeyedRows, TakenRowsAreKeptByKeyAndReadBackAsAFullCopyReadsThem)
{
    auto full = OpenQuery("select * from gain");
    auto keyed = OpenTaken("select * from gain");
    EXPECT_FALSE(full->KeepsKeysOnly());
    ASSERT_TRUE(keyed->KeepsKeysOnly());
    ASSERT_EQ(FLink.Rows.size(), 3u);
    EXPECT_TRUE(FLink.Complete);
    // The sink sees the kinds SQLite returned.
    EXPECT_EQ(FLink.Rows[2], "i3,t12a,i45000,t42,b2");
    EXPECT_EQ(FLink.Rows[1], "i2,f1500.000000,t2024-07-28 12:30:00,t奖金,n");

    EXPECT_EQ(AllRows(*keyed), AllRows(*full));
    // Finding rows by key and by value, without and with moving.
    for (TDbQuery *query : {full.get(), keyed.get()}) {
        EXPECT_EQ(query->FindRowPosition("id", Variant(2)), 1);
        EXPECT_EQ(query->FindRowPosition("id", Variant(QStringLiteral("3"))), 2);
        EXPECT_EQ(query->FindRowPosition("id", Variant(7)), -1);
        EXPECT_EQ(query->FindRowPosition("进帐人", Variant(QStringLiteral("奖金"))), 1);
        EXPECT_EQ(query->Lookup("id", Variant(1), "备注").toString(), QStringLiteral("七月"));
        ASSERT_TRUE(query->Locate("id", Variant(3)));
        EXPECT_EQ(query->FieldByName("进帐人")->AsString(), QStringLiteral("42"));
        EXPECT_EQ(query->FieldByName("本次进帐")->Value().toString(), QStringLiteral("12a"));
    }
    EXPECT_EQ(CurrentRow(*keyed), CurrentRow(*full));
    // A filter set later keeps the same rows.
    full->SetFilter("[进帐人] = '奖金'");
    full->SetFiltered(true);
    keyed->SetFilter("[进帐人] = '奖金'");
    keyed->SetFiltered(true);
    EXPECT_EQ(keyed->RecordCount(), 1);
    EXPECT_EQ(AllRows(*keyed), AllRows(*full));
}

TEST_F(KeyedRows, WriteOfARowAnotherProgramChangedOrDeletedIsRefusedAsForAFullCopy)
{
    auto mine = OpenTaken("select * from gain");
    ASSERT_TRUE(mine->KeepsKeysOnly());
    RawExec(FPath, "UPDATE gain SET 备注 = 'theirs' WHERE id = 1");
    mine->Edit();
    mine->FieldByName("本次进帐")->SetAsFloat(1);
    try {
        mine->Post();
        FAIL() << "the stale update was written";
    } catch (const EDbRowConflict &e) {
        EXPECT_NE(e.message().find("这条记录在读出之后已被其他程序修改或删除，因此未能保存"),
                  std::string::npos);
    }
    EXPECT_EQ(RawValue(FPath, "SELECT 本次进帐 || '/' || 备注 FROM gain WHERE id=1"), "8600.0/theirs");
    EXPECT_EQ(mine->State(), dsEdit);
    mine->Cancel();
    EXPECT_THROW(mine->Delete(), EDbRowConflict);
    EXPECT_EQ(RawValue(FPath, "SELECT count(*) FROM gain"), "3");

    // A row deleted by another program is refused too.
    RawExec(FPath, "DELETE FROM gain WHERE id = 2");
    mine->Next();
    mine->Edit();
    mine->FieldByName("进帐人")->SetAsString("x");
    EXPECT_THROW(mine->Post(), EDbRowConflict);
    mine->Cancel();
    EXPECT_THROW(mine->Delete(), EDbRowConflict);

    // An untouched row saves, twice (the kept hash follows the write), then deletes.
    mine->Last();
    for (const char *item : {"利息", "红包"}) {
        mine->Edit();
        mine->FieldByName("进帐人")->SetAsString(item);
        mine->Post();
        EXPECT_EQ(RawValue(FPath, "SELECT 进帐人 FROM gain WHERE id = 3"), item);
        EXPECT_EQ(mine->FieldByName("进帐人")->AsString().toStdString(), item);
    }
    mine->Delete();
    EXPECT_EQ(RawValue(FPath, "SELECT count(*) FROM gain WHERE id = 3"), "0");

    // After a refresh the row another program changed is the one read: it saves.
    mine->Refresh();
    EXPECT_TRUE(mine->KeepsKeysOnly());
    ASSERT_EQ(mine->RecordCount(), 1);
    mine->First();
    EXPECT_EQ(mine->FieldByName("备注")->AsString(), QStringLiteral("theirs"));
    mine->Edit();
    mine->FieldByName("本次进帐")->SetAsFloat(2);
    mine->Post();
    EXPECT_EQ(RawValue(FPath, "SELECT 本次进帐 FROM gain WHERE id = 1"), "2.0");

    // An inserted row is kept by key and saves again.
    mine->Append();
    mine->FieldByName("进帐人")->SetAsString("新");
    mine->Post();
    mine->Edit();
    mine->FieldByName("备注")->SetAsString("改");
    mine->Post();
    EXPECT_EQ(RawValue(FPath, "SELECT 进帐人 || 备注 FROM gain WHERE id = 4"), "新改");
}

// Guards against a saved row being read from the file again (failing when
// another program took the table away) instead of as the write read it back.
TEST_F(KeyedRows, ASavedRowShowsWhatTheWriteReadBackEvenWhenTheFileCannotBeReadAfter)
{
    auto mine = OpenTaken("select * from gain");
    ASSERT_TRUE(mine->KeepsKeysOnly());
    mine->Edit();
    mine->FieldByName("备注")->SetAsString("saved");
    mine->Post();
    RawExec(FPath, "ALTER TABLE gain RENAME TO gain_moved");
    EXPECT_EQ(mine->FieldByName("备注")->AsString(), QStringLiteral("saved"));
    EXPECT_EQ(mine->FieldByName("进帐人")->AsString(), QStringLiteral("工资"));
    // Another row must be asked of the file, which says why it cannot answer.
    mine->Next();
    EXPECT_THROW(mine->FieldByName("进帐人")->AsString(), EDatabaseError);
}

TEST_F(KeyedRows, ResultsWithoutAKeyOrWithoutATakerKeepEveryValue)
{
    auto sums = OpenTaken("select 进帐人, sum(本次进帐) as s from gain group by 进帐人 order by 进帐人");
    EXPECT_FALSE(sums->KeepsKeysOnly());
    EXPECT_EQ(FLink.Begun, 0);
    EXPECT_EQ(Rows(*sums, {"进帐人", "s"}), "42,12|奖金,1500|工资,8600");
    sums.reset();

    auto expression = OpenTaken("select id, 本次进帐 * 2 as twice from gain order by id");
    EXPECT_FALSE(expression->KeepsKeysOnly());
    EXPECT_EQ(Rows(*expression, {"id", "twice"}), "1,17200|2,3000|3,24");
    expression.reset();

    FLink.Accept = false;
    auto declined = OpenTaken("select * from gain");
    EXPECT_EQ(FLink.Begun, 1);
    EXPECT_FALSE(declined->KeepsKeysOnly());
    EXPECT_EQ(Rows(*declined, {"进帐人"}), "工资|奖金|42");
}

TEST_F(KeyedRows, VisibleRowsAreReadAgainOnceEachWithTheirValues)
{
    auto keyed = OpenTaken("select * from gain where 进帐人 <> 'none'");
    ASSERT_TRUE(keyed->KeepsKeysOnly());
    RawExec(FPath, "UPDATE gain SET 进帐人 = 'none' WHERE id = 1;"
                   "UPDATE gain SET 备注 = 'theirs' WHERE id = 2; DELETE FROM gain WHERE id = 3");
    std::map<int, std::string> rows;
    keyed->ReadVisibleRows([&](int position, const TDbRowReader &row) {
        EXPECT_TRUE(rows.emplace(position, TakingLink::Describe(row)).second) << "position " << position;
    });
    ASSERT_EQ(rows.size(), 3u);
    // The statement no longer selects row 1: it is read by its key.
    EXPECT_EQ(rows[0], "i1,f8600.000000,t2024-07-10 00:00:00,tnone,t七月");
    EXPECT_EQ(rows[1], "i2,f1500.000000,t2024-07-28 12:30:00,t奖金,ttheirs");
    EXPECT_EQ(rows[2], "i3,n,n,n,n"); // gone from the table: its key alone

    auto full = OpenQuery("select * from gain");
    std::vector<std::string> fullRows;
    full->ReadVisibleRows([&](int position, const TDbRowReader &row) {
        EXPECT_EQ(position, int(fullRows.size()));
        fullRows.push_back(TakingLink::Describe(row));
    });
    EXPECT_EQ(fullRows, (std::vector<std::string>{rows[0], rows[1]}));
}

} // namespace
} // namespace kestrum::test
