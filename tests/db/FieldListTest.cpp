// The fields made for a result: types, the key, names that repeat, lookups,
// and field objects that outlive a close.
#include "RowFixture.h"

#include "db/FieldList.h"

namespace kestrum::test {
namespace {

using FieldList = RowFixture;

TEST_F(FieldList, TheKeyIsAReadOnlyCounterAndRepeatedNamesGetASuffix)
{
    std::vector<TDbColumnInfo> columns;
    const auto store = Read(
        "select t.id, t.name, u.name, u.name, t.n * 2 as twice from t join t as u on u.id = t.id", columns);
    TDbFieldList fields;
    fields.AddLookup({QStringLiteral("Shown"), ftWideString, QStringLiteral("id"), nullptr, {}, {}});
    fields.Build(nullptr, columns, *store, 0);
    EXPECT_EQ(fields.Names().join(','), "id,name,name_1,name_2,twice");
    EXPECT_EQ(fields.At(0)->DataType(), ftAutoInc);
    EXPECT_TRUE(fields.At(0)->ReadOnly());
    EXPECT_FALSE(fields.At(1)->ReadOnly());
    EXPECT_TRUE(fields.At(4)->ReadOnly()) << "an expression has no column to write to";
    EXPECT_EQ(fields.TypeOf(4), ftInteger) << "typed by the values read";
    EXPECT_EQ(fields.Find("NAME_2"), fields.At(3));
    ASSERT_EQ(fields.LookupCount(), 1);
    EXPECT_EQ(fields.Find("shown"), fields.LookupAt(0));
    EXPECT_EQ(fields.Types().size(), 5u);
}

TEST_F(FieldList, RetiredFieldsStayReadableUntilTheNextBuild)
{
    std::vector<TDbColumnInfo> columns;
    const auto store = Read("select id, name from t", columns);
    TDbFieldList fields;
    fields.Build(nullptr, columns, *store, 0);
    TDbField *held = fields.At(1);
    fields.Retire();
    EXPECT_EQ(fields.Count(), 0);
    EXPECT_EQ(fields.Find("name"), nullptr);
    EXPECT_EQ(held->FieldName(), "name"); // a listener may still ask
}

} // namespace
} // namespace kestrum::test
