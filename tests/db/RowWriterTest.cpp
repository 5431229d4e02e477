// Which results can be written back, and writes that find the row changed by
// another program since it was read.
#include "RowFixture.h"

#include "db/DbErrors.h"
#include "db/RowWriter.h"

namespace kestrum::test {
namespace {

class RowWriter : public RowFixture {
protected:
    //! A writer described by the statement's columns, and its rows.
    std::unique_ptr<TDbRowStore> Describe(const QString &sql)
    {
        std::vector<TDbColumnInfo> columns;
        auto store = Read(sql, columns);
        FWriter.Describe(FConnection.Handle(), columns);
        return store;
    }

    TDbRowWriter FWriter;
};

TEST_F(RowWriter, OnlyAResultOfOneTableWithItsKeyAndNoColumnTwiceIsWritable)
{
    RawExec(FPath, "CREATE TABLE u (code TEXT PRIMARY KEY, name TEXT);");
    Describe("select name, id from t");
    EXPECT_TRUE(FWriter.Writable());
    EXPECT_EQ(FWriter.Table(), "t");
    EXPECT_EQ(FWriter.KeyField(), 1);
    Describe("select name from t");
    EXPECT_FALSE(FWriter.Writable()); // no key to find the row again
    Describe("select id, name, name from t");
    EXPECT_FALSE(FWriter.Writable());
    EXPECT_EQ(FWriter.KeyField(), 0);
    Describe("select id, n + 1 from t");
    EXPECT_FALSE(FWriter.Writable());
    Describe("select t.id, u.name from t join u");
    EXPECT_FALSE(FWriter.Writable());
    Describe("select * from u");
    EXPECT_FALSE(FWriter.Writable()); // a text key is no row id
}

TEST_F(RowWriter, AnInsertReturnsTheRowAsTheFileStoredIt)
{
    Describe("select id, name, n from t");
    const TDbRowStore row =
        FWriter.Insert(FConnection, {1}, {Variant(), Variant(QStringLiteral("f")), Variant()},
                       {ftAutoInc, ftWideString, ftInteger});
    EXPECT_EQ(row.Integer(0, 0), 6);
    EXPECT_EQ(row.Bytes(0, 1), "f");
    EXPECT_EQ(row.Integer(0, 2), 5) << "the column's default";
    EXPECT_EQ(RawValue(FPath, "select count(*) from t"), "6");
}

TEST_F(RowWriter, ARowAnotherProgramChangedIsNeitherUpdatedNorDeleted)
{
    const auto store = Describe("select id, name, n from t");
    RawExec(FPath, "UPDATE t SET n = 40 WHERE id = 2;");
    const std::vector<TFieldType> types{ftAutoInc, ftWideString, ftInteger};
    EXPECT_THROW(FWriter.Update(FConnection, *store, 1, {1},
                                {Variant(), Variant(QStringLiteral("x")), Variant()}, types),
                 EDbRowConflict);
    EXPECT_THROW(FWriter.Delete(FConnection, *store, 1), EDbRowConflict);
    EXPECT_EQ(RawValue(FPath, "select name || n from t where id = 2"), "b40");

    // A row still as it was read is written, and read back.
    const TDbRowStore row = FWriter.Update(FConnection, *store, 2, {1},
                                           {Variant(), Variant(QStringLiteral("x")), Variant()}, types);
    EXPECT_EQ(row.Bytes(0, 1), "x");
    FWriter.Delete(FConnection, *store, 3);
    EXPECT_EQ(RawValue(FPath, "select group_concat(name) from t"), "a,b,x,e");
}

} // namespace
} // namespace kestrum::test
