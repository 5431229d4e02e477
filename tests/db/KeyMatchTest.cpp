// How Locate and Lookup compare the values they look for with a row's fields.
#include "RowFixture.h"

#include "db/DbQuery.h"
#include "db/KeyMatch.h"

namespace kestrum::test {
namespace {

class KeyMatch : public RowFixture {
protected:
    void SetUp() override
    {
        RowFixture::SetUp();
        RawExec(FPath, "INSERT INTO t (name, n) VALUES (NULL, 7);");
        FQuery.SetConnection(&FConnection);
        FQuery.SetSQL({QStringLiteral("select id, name, n from t")});
        FQuery.Open();
    }

    //! The found of the rows the match finds, "" when it cannot be made.
    std::string Found(const QString &fields, const Variant &values, TLocateOptions options = 0)
    {
        const auto match = TDbKeyMatch::Make(FQuery, fields, values, options);
        if (!match)
            return "";
        std::string found;
        for (int slot = 0; slot < 6; ++slot)
            if (match->Matches(*FStore, slot))
                found += std::to_string(slot);
        return found;
    }

    TDbQuery FQuery;
    std::unique_ptr<TDbRowStore> FStore = nullptr;
};

TEST_F(KeyMatch, NumbersCompareAsNumbersTextAsTheOptionsSayAndAnEmptyValueFindsNull)
{
    FStore = Read("select id, name, n from t");
    EXPECT_EQ(Found("n", Variant("3")), "2");
    EXPECT_EQ(Found("n", Variant("drei")), "") << "a value no number field can hold matches nothing";
    EXPECT_EQ(Found("NAME", Variant()), "5");
    EXPECT_EQ(Found("name", Variant::null()), "5");
    EXPECT_EQ(Found("name", Variant("C")), "");
    EXPECT_EQ(Found("name", Variant("C"), loCaseInsensitive), "2");
    EXPECT_EQ(Found("name; n", Variant::fromArray({Variant("c"), Variant(3)})), "2");
    EXPECT_EQ(Found("name; n", Variant::fromArray({Variant("c"), Variant(4)})), "");
}

TEST_F(KeyMatch, UnknownNamesAndValuesThatDoNotFitTheNamesMakeNoMatch)
{
    EXPECT_FALSE(TDbKeyMatch::Make(FQuery, "nosuch", Variant(1), 0));
    EXPECT_FALSE(TDbKeyMatch::Make(FQuery, "name;n", Variant("c"), 0));
    EXPECT_FALSE(TDbKeyMatch::Make(FQuery, "", Variant("c"), 0));
    EXPECT_EQ(FQuery.FindRowPosition("n", Variant(4)), 3);
    EXPECT_EQ(FQuery.Lookup("n", Variant(4), "name").toString(), "d");
}

} // namespace
} // namespace kestrum::test
