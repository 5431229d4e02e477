// Reading real Jet 4 files through libmdb: files written by the test writer
// the way Access lays them out, read back value by value.
#include "exchange/JetMdbFile.h"

#include "core/DateTime.h"
#include "exchange/ForeignEntry.h"
#include "exchange/ForeignFormat.h"
#include "exchange/JetFileHeader.h"
#include "exchange/JetLedgerSource.h"
#include "support/JetFileWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace kestrum;
using namespace kestrum::test;

namespace {

std::string Shown(const TJetValue &value)
{
    switch (value.Kind) {
    case TJetValue::jvNull:
        return "null";
    case TJetValue::jvText:
        return "'" + value.Text + "'";
    case TJetValue::jvNumber:
        return QString::number(value.Number, 'g', 15).toStdString();
    case TJetValue::jvCurrency:
        return "$" + std::to_string(value.Currency);
    case TJetValue::jvDate:
        return "@" + FormatDateTime("yyyy-mm-dd hh:nn:ss", value.Number).toStdString();
    }
    return "?";
}

std::string ReadTable(TJetTableSource &source, const std::string &table)
{
    std::unique_ptr<TJetRowCursor> cursor = source.OpenTable(table);
    std::string out;
    for (const std::string &column : cursor->Columns())
        out += column + "|";
    out += "\n";
    TJetRow row;
    while (cursor->Next(row)) {
        for (const TJetValue &value : row)
            out += Shown(value) + " ";
        out += "\n";
    }
    return out;
}

class JetMdbFile : public ::testing::Test {
protected:
    QString Path(const char *name) const { return FDir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir FDir;
};

} // namespace

TEST_F(JetMdbFile, ReadsEveryColumnTypeWithChineseNamesAndNulls)
{
    const TJetTableDef table{"gain",
                             {{"id", jtLong},
                              {"本次进帐", jtMoney},
                              {"比例", jtDouble},
                              {"进帐时间", jtDateTime},
                              {"进帐人", jtText},
                              {"备注", jtMemo}},
                             {{Num(1), TJetValue::FromCurrency(50001234), Num(0.375), Day(2024, 1, 10),
                               Text("工资"), Text("一月的工资\n第二行")},
                              {Num(2), TJetValue::FromCurrency(-250000), Num(-1e-3),
                               Day(1899, 12, 29, 6, 0, 0), Text("Refund"), TJetValue::Null()},
                              {Num(3), TJetValue::Null(), TJetValue::Null(), TJetValue::Null(),
                               TJetValue::Null(), Text("只有备注")}}};
    ASSERT_TRUE(WriteJet4File(Path("a.mdb"), {table}));
    TJetMdbFile file(Path("a.mdb"));
    EXPECT_EQ(file.Description(), "Access 2000 (Jet 4)");
    EXPECT_TRUE(file.HasTable("gain"));
    EXPECT_TRUE(file.HasTable("GAIN")) << "Jet table names ignore case";
    EXPECT_FALSE(file.HasTable("expen"));
    EXPECT_EQ(ReadTable(file, "gain"), "id|本次进帐|比例|进帐时间|进帐人|备注|\n"
                                       "1 $50001234 0.375 @2024-01-10 00:00:00 '工资' '一月的工资\n第二行' \n"
                                       "2 $-250000 -0.001 @1899-12-29 06:00:00 'Refund' null \n"
                                       "3 null null null null '只有备注' \n");
    EXPECT_THROW(file.OpenTable("expen"), EImportError);
}

TEST_F(JetMdbFile, ReadsTablesThatSpanManyPagesInOrder)
{
    std::vector<TJetRow> income, expense;
    for (int i = 0; i < 700; ++i) {
        income.push_back({Num(i + 0.5), Day(2020, 1 + i % 12, 1 + i % 28),
                          Text(("收入" + std::to_string(i)).c_str()),
                          Text(std::string(i % 50, 'r').c_str())});
        expense.push_back({Num(i), Day(2021, 1, 1), Text("支出"), TJetValue::Null()});
    }
    ASSERT_TRUE(
        WriteJet4File(Path("big.mdb"), {OldLedgerTable("gain", income), OldLedgerTable("expen", expense)}));
    TJetMdbFile file(Path("big.mdb"));
    std::unique_ptr<TJetRowCursor> cursor = file.OpenTable("gain");
    EXPECT_EQ(cursor->RowCount(), 700);
    TJetRow row;
    int count = 0;
    while (cursor->Next(row)) {
        ASSERT_EQ(row.at(0).Number, count + 1);
        ASSERT_EQ(row.at(1).Number, count + 0.5);
        ASSERT_EQ(row.at(3).Text, "收入" + std::to_string(count));
        ++count;
    }
    EXPECT_EQ(count, 700);
    cursor = file.OpenTable("expen");
    count = 0;
    while (cursor->Next(row))
        ++count;
    EXPECT_EQ(count, 700);
}

TEST_F(JetMdbFile, TablesOpenedTogetherAreReadOneAfterTheOther)
{
    // Guards against a table opened later freeing what an earlier one reads.
    std::vector<TJetRow> income, expense;
    for (int i = 0; i < 300; ++i) {
        income.push_back(
            {Num(i), Day(2022, 1, 1), Text(("收" + std::to_string(i)).c_str()), TJetValue::Null()});
        expense.push_back(
            {Num(i), Day(2022, 1, 2), Text(("支" + std::to_string(i)).c_str()), TJetValue::Null()});
    }
    ASSERT_TRUE(
        WriteJet4File(Path("two.mdb"), {OldLedgerTable("gain", income), OldLedgerTable("expen", expense)}));
    TJetMdbFile file(Path("two.mdb"));
    std::unique_ptr<TJetRowCursor> gain = file.OpenTable("gain");
    std::unique_ptr<TJetRowCursor> expen = file.OpenTable("expen");
    std::unique_ptr<TJetRowCursor> again = file.OpenTable("GAIN");
    for (TJetRowCursor *cursor : {gain.get(), expen.get(), again.get()}) {
        TJetRow row;
        int count = 0;
        const std::string prefix = cursor == expen.get() ? "支" : "收";
        while (cursor->Next(row)) {
            ASSERT_EQ(row.at(3).Text, prefix + std::to_string(count));
            ++count;
        }
        EXPECT_EQ(count, 300);
    }
}

TEST_F(JetMdbFile, AnOldLedgerBecomesEntriesAndTheFileIsLeftUntouched)
{
    ASSERT_TRUE(WriteJet4File(
        Path("Vantorel.mdb"),
        {OldLedgerTable("gain",
                        {{TJetValue::FromCurrency(35000000), Day(2023, 5, 1), Text("工资"), Text("五月")}},
                        jtMoney),
         OldLedgerTable("expen", {{Num(18.5), Day(2023, 5, 2, 12, 15), Text("午饭"), TJetValue::Null()},
                                  {Num(-2), Day(2023, 5, 3), Text("退款"), TJetValue::Null()}})}));
    const auto digest = [this] {
        QFile file(Path("Vantorel.mdb"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    };
    const QByteArray before = digest();
    EXPECT_TRUE(IsJetFile(Path("Vantorel.mdb")));

    std::unique_ptr<TEntrySource> source = OpenJetLedgerSource(Path("Vantorel.mdb"));
    std::string out;
    TForeignEntry entry;
    TBadRecord bad;
    for (TEntrySource::TStep step; (step = source->Next(entry, bad)) != TEntrySource::esEnd;) {
        if (step == TEntrySource::esBad)
            out += "! " + bad.Reason.toStdString() + "\n";
        else
            out += std::to_string(entry.Kind) + " " + std::to_string(entry.Cents) + " " +
                   entry.Date.toString(Qt::ISODate).toStdString() + " " + std::to_string(entry.Seconds) +
                   " " + entry.Item + " " + entry.Remark + "\n";
    }
    EXPECT_EQ(out, "0 350000 2023-05-01 0 工资 五月\n"
                   "1 1850 2023-05-02 44100 午饭 \n"
                   "1 -200 2023-05-03 0 退款 \n");
    source.reset();
    EXPECT_EQ(digest(), before) << "reading changed the Access file";
}

TEST_F(JetMdbFile, TheImportOpensAnOldLedgerLikeAnyForeignFile)
{
    ASSERT_TRUE(WriteJet4File(Path("old.mdb"), {OldLedgerTable("gain", {}),
                                                OldLedgerTable("expen", {{Num(3), Day(2020, 2, 29),
                                                                          Text("茶"), TJetValue::Null()}})}));
    EXPECT_EQ(DetectForeignFormatOfFile(Path("old.mdb")), ffAccess);
    std::unique_ptr<TEntrySource> source = OpenEntrySource(Path("old.mdb"));
    TForeignEntry entry;
    TBadRecord bad;
    ASSERT_EQ(source->Next(entry, bad), TEntrySource::esEntry);
    EXPECT_EQ(entry.Kind, ekExpense);
    EXPECT_EQ(entry.Cents, 300);
    EXPECT_EQ(entry.Date, QDate(2020, 2, 29));
    EXPECT_EQ(source->Next(entry, bad), TEntrySource::esEnd);
    EXPECT_EQ(source->Description().toStdString(), "Access 2000 (Jet 4)");
}

TEST_F(JetMdbFile, FilesThatAreNoJetDatabaseAreRefused)
{
    EXPECT_THROW(TJetMdbFile(Path("missing.mdb")), EImportError);
    QFile sqlite(Path("ledger.mdb"));
    ASSERT_TRUE(sqlite.open(QIODevice::WriteOnly));
    sqlite.write(QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0'));
    sqlite.close();
    EXPECT_FALSE(IsJetFile(Path("ledger.mdb")));
    EXPECT_THROW(TJetMdbFile(Path("ledger.mdb")), EImportError);
    EXPECT_THROW(OpenJetLedgerSource(Path("ledger.mdb")), EImportError);
}

TEST(JetMdbFileCorpus, DamagedFilesAreReadOrRefusedButNeverCrash)
{
    // Guards against damaged files the fuzzer found (a table definition whose
    // columns cannot be read, or whose page map is missing, crashed the
    // reader): each one either reads to its end or is refused with an import
    // error.
    const QDir corpus(QStringLiteral(KESTRUM_JET_CORPUS));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 2);
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        try {
            std::unique_ptr<TEntrySource> source = OpenJetLedgerSource(corpus.filePath(name));
            TForeignEntry entry;
            TBadRecord bad;
            int steps = 0;
            while (source->Next(entry, bad) != TEntrySource::esEnd)
                ASSERT_LT(++steps, 1000000);
        } catch (const EImportError &) {
        }
    }
}

TEST_F(JetMdbFile, AReadThatKillsLibmdbIsRefusedAndTheFileIsLeftUntouched)
{
    // Guards against a damaged Access file taking the whole program down
    // inside libmdb. Run as a death test: should the reader still die, only
    // this test fails.
    ASSERT_TRUE(
        WriteJet4File(Path("old.mdb"),
                      {OldLedgerTable("gain", {{Num(1), Day(2023, 1, 1), Text("工资"), TJetValue::Null()}}),
                       OldLedgerTable("expen", {{Num(2), Day(2023, 1, 2), Text("茶"), TJetValue::Null()}})}));
    QFile original(Path("old.mdb"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    // Exits with 3 when the read was refused with `refusal` in the message.
    const auto readAll = [this](const char *dyingAt, const char *refusal) {
        SetJetReadHookForTests([dyingAt](const std::string &table) {
            if (table == dyingAt)
                std::raise(SIGSEGV);
        });
        try {
            std::unique_ptr<TEntrySource> source = OpenJetLedgerSource(Path("old.mdb"));
            TForeignEntry entry;
            TBadRecord bad;
            while (source->Next(entry, bad) != TEntrySource::esEnd) {
            }
        } catch (const EImportError &error) {
            std::_Exit(std::string(error.what()).find(refusal) != std::string::npos ? 3 : 2);
        }
        std::_Exit(0);
    };
    EXPECT_EXIT(readAll("", "无法读取"), ::testing::ExitedWithCode(3), "") << "dying on opening the file";
    EXPECT_EXIT(readAll("expen", "表 expen"), ::testing::ExitedWithCode(3), "") << "dying on a table";
    EXPECT_EXIT(readAll("none", "-"), ::testing::ExitedWithCode(0), "") << "nothing dies: all is read";

    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), before) << "the Access file changed";
}

TEST(JetFileHeader, RecognisesJetAndAceHeadersOnly)
{
    const auto header = [](const char *name, std::size_t length = 20) {
        QByteArray bytes(4, '\0');
        bytes.append(name, qsizetype(std::strlen(name) + 1));
        bytes.append(QByteArray(32, '\x01'));
        return IsJetHeader(reinterpret_cast<const unsigned char *>(bytes.constData()), length);
    };
    EXPECT_TRUE(header("Standard Jet DB"));
    EXPECT_TRUE(header("Standard ACE DB"));
    EXPECT_FALSE(header("Standard Jet DB", 19)) << "a file cut short inside the name";
    EXPECT_FALSE(header("Standard Jet DBX")) << "the name ends with a zero byte";
    EXPECT_FALSE(header("standard jet db"));
    EXPECT_FALSE(header("SQLite format 3"));
    EXPECT_FALSE(IsJetFile(QStringLiteral("/nonexistent/Vantorel.mdb")));
}
