// ".flt" files: a saved filter opens to the same bytes, and every kind of
// bad file or bad place is refused with a message while nothing is lost.
#include "filterdialogs/FilterFile.h"
#include "FilterControlTestLink.h"
#include "support/DbTestSupport.h"
#include "filterdialogs/FilterControlModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrum::testing_filter {
namespace {

class FilterFileTest : public FilterFixture {
protected:
    FilterFileTest()
    {
        Model.SetLink(&Link);
        Model.Root().SetBoolCode(bcOr);
        TkvFilterControlConditionRow &item = *Model.AddCondition(Model.Root());
        Model.SetConditionItem(item, 2);
        Model.PostValue(item, 0, Text("工%"), QString::fromUtf8("工%"));
        TkvFilterControlGroupRow *group = Model.AddGroup(Model.Root());
        auto &amount = *static_cast<TkvFilterControlConditionRow *>(group->Rows(0));
        Model.SetConditionOperator(amount, fdoBetween);
        Model.PostValue(amount, 0, Text("10"), QStringLiteral("10"));
        Model.PostValue(amount, 1, Text("20"), QStringLiteral("20"));
    }

    QString PathOf(const char *name) const { return Dir.filePath(QString::fromUtf8(name)); }
    void WriteRaw(const QString &path, const std::string &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), qint64(bytes.size()));
    }
    std::string ReadRaw(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "<unreadable>";
        const QByteArray data = file.readAll();
        return std::string(data.constData(), std::size_t(data.size()));
    }

    QTemporaryDir Dir;
    TestFilterLink Link{*Filter};
    TkvFilterControlModel Model;
};

TEST_F(FilterFileTest, ASavedFilterOpensToTheSameBytes)
{
    const QString path = PathOf("a.flt");
    ASSERT_TRUE(Model.SaveFilterFile(path)) << Model.SaveFilterFile(path).Message.toStdString();
    const std::string saved = ReadRaw(path);
    EXPECT_EQ(saved, Model.WriteTreeStream());
    const std::string rows = Model.RowsText().toStdString();
    Model.ClearRows();
    ASSERT_TRUE(Model.OpenFilterFile(path));
    EXPECT_EQ(Model.RowsText().toStdString(), rows);
    ASSERT_TRUE(Model.SaveFilterFile(PathOf("b.flt")));
    EXPECT_EQ(ReadRaw(PathOf("b.flt")), saved);
}

TEST_F(FilterFileTest, AnEmptyTreeSavesTheNineByteCriteria)
{
    Model.ClearRows();
    const QString path = PathOf("empty.flt");
    ASSERT_TRUE(Model.SaveFilterFile(path));
    EXPECT_EQ(ReadRaw(path), std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00\x00", 9));
    Model.AddCondition(Model.Root());
    ASSERT_TRUE(Model.OpenFilterFile(path));
    EXPECT_EQ(Model.RowsText().toStdString(), "与 <根>");
}

TEST_F(FilterFileTest, BadFilesAreRefusedAndTheRowsStay)
{
    const QString good = PathOf("good.flt");
    ASSERT_TRUE(Model.SaveFilterFile(good));
    const std::string bytes = ReadRaw(good);
    const std::string rows = Model.RowsText().toStdString();
    std::string unknownColumn = bytes;
    // The first leaf's item ID (the item column's 9) becomes one no column has.
    const std::size_t id = unknownColumn.find(std::string("\x09\x00\x00\x00", 4));
    ASSERT_NE(id, std::string::npos);
    unknownColumn[id] = '\x63';
    const struct {
        const char *Name;
        std::string Bytes;
        const char *Message;
    } cases[] = {
        {"empty", "", "Stream read error"},
        {"truncated", bytes.substr(0, bytes.size() - 3), "Stream read error"},
        {"marker only", bytes.substr(0, 4), "Stream read error"},
        {"foreign", "[Filter]\r\nText=amount > 10\r\n", "Stream read error"},
        {"trailing", bytes + "x", "Stream read error"},
        {"unknown column", unknownColumn, "Can't build filter from source"},
    };
    for (const auto &bad : cases) {
        const QString path = PathOf("bad.flt");
        WriteRaw(path, bad.Bytes);
        const TkvFilterFileResult result = Model.OpenFilterFile(path);
        EXPECT_FALSE(result) << bad.Name;
        EXPECT_EQ(result.Message.toStdString(), bad.Message) << bad.Name;
        EXPECT_EQ(Model.RowsText().toStdString(), rows) << bad.Name;
        EXPECT_EQ(ReadRaw(path), bad.Bytes) << bad.Name << ": nothing written";
    }
    const TkvFilterFileResult missing = Model.OpenFilterFile(PathOf("missing.flt"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Message.left(18).toStdString(), "Cannot open file \"");
    EXPECT_FALSE(Model.OpenFilterFile(Dir.path()));
    EXPECT_EQ(Model.RowsText().toStdString(), rows);
}

// Values read from a filter file went in without the check typed values get.
TEST_F(FilterFileTest, AValueThatDoesNotFitItsColumnIsRefusedWhenOpened)
{
    const std::string rows = Model.RowsText().toStdString();
    const auto fileWith = [&](TkvFilterOperatorCode code, const Variant &value) {
        TkvFilterControlCriteria criteria(&Link);
        criteria.AppendCondition(nullptr, Link.ItemLink(2), ocEqual, Text("工资"), QString::fromUtf8("工资"));
        criteria.AppendCondition(nullptr, Link.ItemLink(0), code, value, QStringLiteral("x"));
        const QString path = PathOf("values.flt");
        WriteRaw(path, criteria.SaveToBytes());
        return path;
    };
    for (const auto &[code, value] : {std::pair{ocNotEqual, Text("abc")},
                                      std::pair{ocBetween, Variant::fromArray({Text("5"), Text("abc")})},
                                      std::pair{ocInList, Variant::fromArray({Variant(1.0), Text("x")})}}) {
        const TkvFilterFileResult result = Model.OpenFilterFile(fileWith(code, value));
        EXPECT_FALSE(result) << int(code);
        EXPECT_EQ(result.Message.toStdString(), "错误值") << int(code);
        EXPECT_EQ(Model.RowsText().toStdString(), rows) << int(code);
    }
    // A text that is a number fits an amount, as it does when typed.
    ASSERT_TRUE(Model.OpenFilterFile(fileWith(ocNotEqual, Text("12.5"))));
    EXPECT_EQ(Model.RowsText().toStdString(), "与 <根>\n  进帐项 等于 工资\n  金额 不等于 x");
    EXPECT_THROW(Model.ReadTreeStream(ReadRaw(fileWith(ocLess, Text("abc")))), EkvFilterControlValueError);
}

TEST_F(FilterFileTest, AFilterNeedsItemsToOpen)
{
    const QString path = PathOf("a.flt");
    ASSERT_TRUE(Model.SaveFilterFile(path));
    Link.FItemCount = 0;
    const TkvFilterFileResult result = Model.OpenFilterFile(path);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.Message.toStdString(), "Can't build filter from source");
}

TEST_F(FilterFileTest, SavingWhereNothingCanBeWrittenFailsAndKeepsTheOldFile)
{
    const QString gone = PathOf("gone/a.flt");
    const TkvFilterFileResult vanished = Model.SaveFilterFile(gone);
    EXPECT_FALSE(vanished);
    EXPECT_EQ(vanished.Message.left(20).toStdString(), "Cannot create file \"");
    EXPECT_FALSE(QFile::exists(gone));

    const QString path = PathOf("locked.flt");
    WriteRaw(path, "old bytes");
    test::ReadOnlyFile readOnly(path);
    if (!readOnly.Works())
        GTEST_SKIP() << "files cannot be made read-only here";
    // The folder takes new files: only the file itself refuses writing.
    QFile::setPermissions(Dir.path(), QFile::permissions(Dir.path()) | QFile::WriteOther | QFile::WriteGroup);
    const TkvFilterFileResult locked = Model.SaveFilterFile(path);
    EXPECT_FALSE(locked);
    EXPECT_EQ(locked.Message.left(20).toStdString(), "Cannot create file \"");
    EXPECT_EQ(ReadRaw(path), "old bytes");
}

TEST_F(FilterFileTest, AValueThatDoesNotFitIsRefusedBeforeAnythingIsWritten)
{
    const QString path = PathOf("a.flt");
    Model.OnPostEdit = [] { throw EkvFilterControlValueError(); };
    EXPECT_THROW(Model.SaveFilterFile(path), EkvFilterControlValueError);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(FilterStreamParse, OnlyOneWholeStreamReadsAndAFailureKeepsTheCriteria)
{
    TkvFilterCriteria criteria;
    criteria.Root().SetBoolOperatorKind(bcOr);
    EXPECT_TRUE(ParseFilterStream(std::string("\xFF\xFF\xFF\xFF\x02\x00\x00\x00\x00", 9), criteria));
    EXPECT_EQ(criteria.Root().BoolOperatorKind(), bcNotAnd);
    EXPECT_FALSE(ParseFilterStream(std::string("\xFF\xFF\xFF\xFF\x01\x00\x00\x00\x00\x00", 10), criteria));
    EXPECT_EQ(criteria.Root().BoolOperatorKind(), bcNotAnd) << "a stream with bytes after it changes nothing";
    EXPECT_FALSE(ParseFilterStream(std::string("\xFF\xFF\xFF\xFF\x07\x00\x00\x00\x00", 9), criteria));
    EXPECT_EQ(criteria.Root().BoolOperatorKind(), bcNotAnd);
}

} // namespace
} // namespace kestrum::testing_filter
