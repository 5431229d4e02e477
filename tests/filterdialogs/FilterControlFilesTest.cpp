// The builder's file class on its own: an opened file fills both the rows and
// the model's criteria; a refused one leaves both as they were.
#include "filterdialogs/FilterControlFiles.h"
#include "FilterControlTestLink.h"
#include "filterdialogs/FilterControlModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrum::testing_filter {
namespace {

class FilterControlFilesTest : public FilterFixture {
protected:
    FilterControlFilesTest()
    {
        Saved.SetLink(&Link);
        TkvFilterControlConditionRow &item = *Saved.AddCondition(Saved.Root());
        Saved.SetConditionItem(item, 2);
        Saved.PostValue(item, 0, Text("工%"), QString::fromUtf8("工%"));
        TkvFilterControlGroupRow *group = Saved.AddGroup(Saved.Root());
        group->SetBoolCode(bcNotOr);
        auto &amount = *static_cast<TkvFilterControlConditionRow *>(group->Rows(0));
        Saved.PostValue(amount, 0, Text("10"), QStringLiteral("10"));
        Opened.SetLink(&Link);
        Opened.AddCondition(Opened.Root());
    }

    QString PathOf(const char *name) const { return Dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir Dir;
    TestFilterLink Link{*Filter};
    TkvFilterControlModel Saved;
    TkvFilterControlModel Opened;
};

TEST_F(FilterControlFilesTest, AnOpenedFileFillsTheRowsAndTheCriteria)
{
    const QString path = PathOf("a.flt");
    ASSERT_TRUE(TkvFilterControlFiles(Saved).Save(path));
    ASSERT_TRUE(TkvFilterControlFiles(Opened).Open(path));
    EXPECT_EQ(Opened.RowsText().toStdString(), Saved.RowsText().toStdString());
    EXPECT_EQ(Opened.Criteria().SaveToBytes(), Saved.Criteria().SaveToBytes());
    EXPECT_EQ(Opened.FilterCaption(), Saved.FilterCaption());
}

TEST_F(FilterControlFilesTest, ARefusedFileLeavesRowsAndCriteria)
{
    ASSERT_TRUE(Opened.BuildCriteria());
    const QString rows = Opened.RowsText();
    const std::string criteria = Opened.Criteria().SaveToBytes();
    const QString path = PathOf("bad.flt");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\xFF\xFF\xFF\xFF\x00\x01", 6);
    }
    const TkvFilterFileResult result = TkvFilterControlFiles(Opened).Open(path);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.Message.toStdString(), "Stream read error");
    EXPECT_EQ(Opened.RowsText(), rows);
    EXPECT_EQ(Opened.Criteria().SaveToBytes(), criteria);

    TkvFilterControlModel unlinked;
    EXPECT_EQ(TkvFilterControlFiles(unlinked).Open(path).Message.toStdString(),
              "Can't build filter from source");
}

} // namespace
} // namespace kestrum::testing_filter
