// What the user reads when a file cannot be imported or exported: the file
// named, the reason given, and all of it in the program's language.
#include "exchange/ExchangeMessages.h"
#include "core/Errors.h"
#include "exchange/CsvExporter.h"
#include "exchange/CsvReader.h"
#include "exchange/ForeignFormat.h"
#include "exchange/Importer.h"
#include "ledger/LedgerFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class ExchangeMessages : public ::testing::Test {
protected:
    QTemporaryDir Dir;

    QString Path(const QString &name) const { return Dir.filePath(name); }

    QString Write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
};

//! The words left once the file's path and the names of formats and
//! encodings are taken out: none may be English.
QString EnglishIn(QString message, const QString &path)
{
    message.remove(path);
    static const QRegularExpression names(
        QStringLiteral("CSV|QIF|SQLite|Access|UTF-(8|16)|GB18030|NUL|BOM|!Type"));
    message.remove(names);
    static const QRegularExpression words(QStringLiteral("[A-Za-z]{2,}"));
    const QRegularExpressionMatch match = words.match(message);
    return match.hasMatch() ? match.captured() : QString();
}

template <typename Call> QString FailureOf(Call call)
{
    try {
        call();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    }
    ADD_FAILURE() << "no error";
    return {};
}

TEST_F(ExchangeMessages, AFileThatCannotBeImportedIsNamedWithItsReason)
{
    struct Case {
        QString path;
        const char *says;
    } cases[] = {
        {Path("missing.csv"), "文件不存在"},
        {Dir.path(), "文件夹"},
        {Write("empty.csv", ""), "是空的"},
        {Write("binary.csv", QByteArray("\x01\x02\x00\x03\xff\x00", 6)), "不是文本文件"},
        {Write("ledger.csv", QByteArray("SQLite format 3\0......", 22)), "SQLite 数据库"},
    };
    for (const Case &c : cases) {
        const QString message = FailureOf([&] { OpenEntrySource(c.path); });
        EXPECT_TRUE(message.contains(QStringLiteral("“") + c.path + QStringLiteral("”")))
            << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.says))) << message.toStdString();
        EXPECT_EQ(EnglishIn(message, c.path), QString()) << message.toStdString();
    }
    const QString missing = FailureOf([&] { TCsvEntrySource::FromFile(Path("gone.csv")); });
    EXPECT_TRUE(missing.startsWith(QStringLiteral("无法打开“"))) << missing.toStdString();
    EXPECT_EQ(EnglishIn(missing, Path("gone.csv")), QString()) << missing.toStdString();
}

TEST_F(ExchangeMessages, BadRowsNameTheirLineAndValue)
{
    TCsvEntrySource source(
        QByteArray("日期,金额,项目\n2024-01-05,1,a\n2024-02-30,2,b\n2024-01-07,12..5,c\n"));
    TForeignEntry entry;
    TBadRecord bad;
    QStringList reasons;
    for (TEntrySource::TStep step; (step = source.Next(entry, bad)) != TEntrySource::esEnd;)
        if (step == TEntrySource::esBad)
            reasons << exchange::LineText(bad.Line, bad.Reason);
    EXPECT_EQ(reasons.join('|').toStdString(),
              "第3行：日期不存在：“2024-02-30”|第4行：金额无法识别：“12..5”");
    EXPECT_EQ(exchange::LineText(0, QStringLiteral("x")).toStdString(), "x") << "no line to name";
}

TEST_F(ExchangeMessages, AnExportThatCannotBeWrittenSaysWhyAndLeavesFilesAlone)
{
    const QString ledger = Path("Vantorel.mdb");
    CreateLedgerDatabase(ledger);

    const QString nowhere = Path("no/such/folder/out.csv");
    QString message = FailureOf([&] { ExportCsv(ledger, nowhere); });
    EXPECT_TRUE(message.contains(nowhere)) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("文件夹不存在"))) << message.toStdString();
    EXPECT_EQ(EnglishIn(message, nowhere), QString()) << message.toStdString();

    const QString kept = Write("kept.csv", "mine");
    message = FailureOf([&] { ExportCsv(ledger, kept); });
    EXPECT_TRUE(message.contains(QStringLiteral("已经存在"))) << message.toStdString();
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "mine");

    TExportOptions backwards;
    backwards.From = QDate(2024, 3, 1);
    backwards.To = QDate(2024, 2, 1);
    message = FailureOf([&] { ExportCsv(ledger, Path("range.csv"), backwards); });
    EXPECT_EQ(message.toStdString(), "起始日期2024-03-01晚于结束日期2024-02-01");
    EXPECT_FALSE(QFile::exists(Path("range.csv")));
}

TEST_F(ExchangeMessages, ALedgerThatCannotBeUsedIsNamedInChinese)
{
    const QString missing = Path("none.mdb");
    QString message = FailureOf([&] { ExportCsv(missing, Path("a.csv")); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("无法打开账本“") + missing)) << message.toStdString();
    EXPECT_EQ(EnglishIn(message, missing), QString()) << message.toStdString();
    EXPECT_FALSE(QFile::exists(missing)) << "a look is no reason to make a ledger";

    const QString text = Write("notes.mdb", QByteArray(4096, 'x'));
    message = FailureOf([&] { ExportCsv(text, Path("b.csv")); });
    EXPECT_TRUE(message.contains(QStringLiteral("不是数据库"))) << message.toStdString();
    EXPECT_EQ(EnglishIn(message, text), QString()) << message.toStdString();

    TCsvEntrySource source(QByteArray("日期,金额\n2024-01-05,1\n"));
    message = FailureOf([&] { ImportEntries(text, source); });
    EXPECT_TRUE(message.contains(QStringLiteral("不是数据库"))) << message.toStdString();
    EXPECT_EQ(EnglishIn(message, text), QString()) << message.toStdString();
}

} // namespace
} // namespace kestrum
