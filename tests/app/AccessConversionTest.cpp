// Converting an old Access ledger at start: the question, the answer, and the
// files afterwards. The boxes are answered by a hook: no display is needed.
#include "app/AccessConversion.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "ledger/LedgerFile.h"
#include "support/JetFileWriter.h"
#include "ui/MessageBox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <optional>
#include <sqlite3.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

//! Answers every box with the button `answer` and keeps "icon|text" of each.
class TAnswering {
public:
    explicit TAnswering(int answer)
    {
        FPrevious = SetMessageBoxHook([this, answer](const TMessageBoxRequest &request) {
            Boxes << QStringLiteral("%1|%2").arg(request.Icon).arg(request.Text);
            return request.Buttons.size() > 1 ? answer : 0;
        });
    }
    ~TAnswering() { SetMessageBoxHook(FPrevious); }
    QStringList Boxes;

private:
    TMessageBoxHook FPrevious;
};

constexpr int Yes = 0, No = 1;

class AccessConversion : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return FDir.filePath(name); }
    QString Ledger() const { return Path(QStringLiteral("Vantorel.mdb")); }

    void WriteOldLedger(std::vector<TJetRow> income, std::vector<TJetRow> expense)
    {
        ASSERT_TRUE(WriteJet4File(Ledger(), {OldLedgerTable("gain", std::move(income), jtMoney),
                                             OldLedgerTable("expen", std::move(expense))}));
    }

    QByteArray Digest(const QString &path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }

    QStringList Files() const { return QDir(FDir.path()).entryList(QDir::Files, QDir::Name); }

    //! The rows of a table of the new ledger, one line each.
    std::string Rows(const char *sql) const
    {
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(Ledger().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        std::string out;
        sqlite3_exec(
            db, sql,
            [](void *target, int columns, char **values, char **) {
                auto &text = *static_cast<std::string *>(target);
                for (int i = 0; i < columns; ++i)
                    text += std::string(values[i] ? values[i] : "NULL") + (i + 1 < columns ? "|" : "\n");
                return 0;
            },
            &out, nullptr);
        sqlite3_close(db);
        return out;
    }

    QTemporaryDir FDir;
};

} // namespace

TEST_F(AccessConversion, NothingIsAskedWithoutAnAccessFile)
{
    TAnswering answering(Yes);
    EXPECT_EQ(OfferAccessConversion(Ledger()).Outcome, TAccessConversionOutcome::NotAccess) << "no file at all";
    CreateLedgerDatabase(Ledger());
    const QByteArray before = Digest(Ledger());
    EXPECT_EQ(OfferAccessConversion(Ledger()).Outcome, TAccessConversionOutcome::NotAccess) << "a ledger of this program";
    EXPECT_TRUE(answering.Boxes.isEmpty());
    EXPECT_EQ(Digest(Ledger()), before);
}

TEST_F(AccessConversion, NoLeavesEverythingAsItWas)
{
    WriteOldLedger({{TJetValue::FromCurrency(10000), Day(2024, 1, 1), Text("a"), Text("b")}}, {});
    const QByteArray before = Digest(Ledger());
    TAnswering answering(No);
    EXPECT_EQ(OfferAccessConversion(Ledger()).Outcome, TAccessConversionOutcome::Declined);
    ASSERT_EQ(answering.Boxes.size(), 1);
    EXPECT_EQ(answering.Boxes[0].toStdString(),
              "2|Vantorel.mdb 是旧版 Access 账本。要把它转换为新账本吗？原文件将改名保留。");
    EXPECT_EQ(Files(), QStringList{QStringLiteral("Vantorel.mdb")});
    EXPECT_EQ(Digest(Ledger()), before);
}

TEST_F(AccessConversion, YesKeepsTheOriginalAsideAndBringsEveryEntryOver)
{
    WriteOldLedger({{TJetValue::FromCurrency(35000000), Day(2023, 5, 1), Text("工资"), Text("五月")},
                    {TJetValue::FromCurrency(12345), Day(2023, 5, 20), Text("利息"), TJetValue::Null()}},
                   {{Num(18.5), Day(2023, 5, 2), Text("午饭"), TJetValue::Null()},
                    {Num(18.5), Day(2023, 5, 2), Text("午饭"), TJetValue::Null()},
                    {TJetValue::Null(), Day(2023, 5, 3), Text("记不清"), Text("金额忘了")}});
    const QByteArray original = Digest(Ledger());
    TAnswering answering(Yes);
    const TAccessConversion conversion = OfferAccessConversion(Ledger());
    ASSERT_EQ(conversion.Outcome, TAccessConversionOutcome::Converted) << answering.Boxes.join("\n").toStdString();
    EXPECT_EQ(conversion.Income, 2);
    EXPECT_EQ(conversion.Expense, 3) << "repeated entries of the old ledger are its own entries";
    EXPECT_EQ(conversion.KeptAs, Path(QStringLiteral("Vantorel.access.mdb")));
    ASSERT_EQ(answering.Boxes.size(), 2);
    EXPECT_EQ(answering.Boxes[1].toStdString(),
              "1|已转换 2 条收入和 3 条支出记录。原文件已改名为 Vantorel.access.mdb。\n"
              "1 条记录没有金额，照原样转换为空金额（不当作 0）：expen 表第 3 行。\n"
              "1 个金额多于两位小数，已四舍五入到分。");

    EXPECT_EQ(Files(), (QStringList{QStringLiteral("Vantorel.access.mdb"), QStringLiteral("Vantorel.mdb")}));
    EXPECT_EQ(Digest(conversion.KeptAs), original) << "the original must stay as it was";
    EXPECT_TRUE(CheckLedgerDatabase(Ledger()).Usable);
    EXPECT_EQ(Rows("SELECT 本次进帐, 进帐时间, 进帐人, 备注 FROM gain ORDER BY id"),
              "3500.0|2023-05-01 00:00:00|工资|五月\n"
              "1.23|2023-05-20 00:00:00|利息|NULL\n");
    EXPECT_EQ(Rows("SELECT 消费金额, 消费日期, 消费者, 备注 FROM expen ORDER BY id"),
              "18.5|2023-05-02 00:00:00|午饭|NULL\n"
              "18.5|2023-05-02 00:00:00|午饭|NULL\n"
              "NULL|2023-05-03 00:00:00|记不清|金额忘了\n")
        << "a missing amount stays missing, not 0.00";
}

TEST_F(AccessConversion, AnOriginalNameThatIsTakenIsNeverOverwritten)
{
    QFile taken(Path(QStringLiteral("Vantorel.access.mdb")));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("an earlier original");
    taken.close();
    WriteOldLedger({}, {{Num(1), Day(2024, 2, 2), Text("x"), TJetValue::Null()}});
    const QByteArray original = Digest(Ledger());
    TAnswering answering(Yes);
    const TAccessConversion conversion = OfferAccessConversion(Ledger());
    ASSERT_EQ(conversion.Outcome, TAccessConversionOutcome::Converted);
    EXPECT_EQ(conversion.KeptAs, Path(QStringLiteral("Vantorel.access-2.mdb")));
    EXPECT_EQ(Digest(conversion.KeptAs), original);
    QFile earlier(Path(QStringLiteral("Vantorel.access.mdb")));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "an earlier original");
    EXPECT_EQ(AccessOriginalName(Ledger()), Path(QStringLiteral("Vantorel.access-3.mdb")));
}

// Regression: one refund or one undated entry refused the whole old ledger.
TEST_F(AccessConversion, RefundsAndUndatedEntriesComeOverAsTheOldFileHoldsThem)
{
    WriteOldLedger({{TJetValue::FromCurrency(10000), Day(2024, 1, 1), Text("ok"), TJetValue::Null()}},
                   {{Num(-5), Day(2024, 1, 2), Text("退货"), TJetValue::Null()},
                    {Num(5), TJetValue::Null(), Text("无日期"), TJetValue::Null()}});
    TAnswering answering(Yes);
    const TAccessConversion conversion = OfferAccessConversion(Ledger());
    ASSERT_EQ(conversion.Outcome, TAccessConversionOutcome::Converted) << answering.Boxes.join("\n").toStdString();
    ASSERT_EQ(answering.Boxes.size(), 2);
    EXPECT_EQ(answering.Boxes[1].toStdString(),
              "1|已转换 1 条收入和 2 条支出记录。原文件已改名为 Vantorel.access.mdb。\n"
              "1 条记录没有日期，照原样转换为空日期：expen 表第 2 行。\n"
              "1 条记录的金额是负数（如退款），照原样转换：expen 表第 1 行。");
    EXPECT_EQ(Rows("SELECT 消费金额, 消费日期, 消费者 FROM expen ORDER BY id"),
              "-5.0|2024-01-02 00:00:00|退货\n"
              "5.0|NULL|无日期\n");
}

TEST_F(AccessConversion, AFailureSaysWhyAndLeavesTheFilesAsTheyWere)
{
    // A row that cannot come over stops the whole conversion.
    WriteOldLedger({{TJetValue::FromCurrency(10000), Day(2024, 1, 1), Text("ok"), TJetValue::Null()}},
                   {{Num(1e300), Day(2024, 1, 2), Text("太多"), TJetValue::Null()},
                    {Num(5), TJetValue::FromDate(1e9), Text("日期不对"), TJetValue::Null()}});
    const QByteArray before = Digest(Ledger());
    {
        TAnswering answering(Yes);
        EXPECT_EQ(OfferAccessConversion(Ledger()).Outcome, TAccessConversionOutcome::Failed);
        ASSERT_EQ(answering.Boxes.size(), 2);
        EXPECT_EQ(answering.Boxes[1].toStdString(), "4|转换没有完成，Vantorel.mdb 保持原样。\n"
                                                    "2 条记录无法转换：\n"
                                                    "expen 表第 1 行：金额太大（1e+300）\n"
                                                    "expen 表第 2 行：日期不对（1000000000）");
        EXPECT_EQ(Files(), QStringList{QStringLiteral("Vantorel.mdb")}) << "nothing may be left behind";
        EXPECT_EQ(Digest(Ledger()), before);
    }
    // An Access file that is no ledger of the old program.
    ASSERT_TRUE(QFile::remove(Ledger()));
    ASSERT_TRUE(WriteJet4File(Ledger(), {OldLedgerTable("gain", {})}));
    const QByteArray other = Digest(Ledger());
    TAnswering answering(Yes);
    EXPECT_EQ(OfferAccessConversion(Ledger()).Outcome, TAccessConversionOutcome::Failed);
    ASSERT_EQ(answering.Boxes.size(), 2);
    EXPECT_TRUE(answering.Boxes[1].contains(QStringLiteral("没有表 expen")))
        << answering.Boxes[1].toStdString();
    EXPECT_EQ(Files(), QStringList{QStringLiteral("Vantorel.mdb")});
    EXPECT_EQ(Digest(Ledger()), other);
}

TEST_F(AccessConversion, AtEveryStepOfPuttingTheNewLedgerInPlaceALedgerSitsAtItsPath)
{
    // Guards against a conversion stopped between moving the original aside
    // and moving the new ledger in, which left no ledger at its path.
    const auto isSqlite = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
    };
    const QString kept = Path(QStringLiteral("Vantorel.access.mdb"));
    for (const std::optional<TAccessReplaceStep> failing :
         {std::optional(TAccessReplaceStep::KeepOriginal), std::optional(TAccessReplaceStep::ReplaceLedger),
          std::optional<TAccessReplaceStep>()}) {
        SCOPED_TRACE(failing ? int(*failing) : -1);
        ASSERT_TRUE(!QFile::exists(Ledger()) || QFile::remove(Ledger()));
        ASSERT_TRUE(!QFile::exists(kept) || QFile::remove(kept));
        WriteOldLedger({{TJetValue::FromCurrency(10000), Day(2024, 1, 1), Text("工资"), TJetValue::Null()}},
                       {{Num(5), Day(2024, 1, 2), Text("茶"), TJetValue::Null()}});
        const QByteArray original = Digest(Ledger());
        // What a crash at each step would leave behind.
        QStringList seen;
        SetAccessReplaceHookForTests([&](TAccessReplaceStep step) {
            const bool old = Digest(Ledger()) == original;
            const bool keptWhole = Digest(kept) == original;
            seen << QStringLiteral("%1:%2%3")
                        .arg(int(step))
                        .arg(old                  ? "old"
                             : isSqlite(Ledger()) ? "new"
                                                  : "none")
                        .arg(keptWhole ? "+kept" : "");
            if (failing && step == *failing)
                throw Exception("磁盘已满");
        });
        TAnswering answering(Yes);
        const TAccessConversion conversion = OfferAccessConversion(Ledger());
        SetAccessReplaceHookForTests({});
        if (failing) {
            EXPECT_EQ(conversion.Outcome, TAccessConversionOutcome::Failed);
            EXPECT_TRUE(answering.Boxes.last().contains(QStringLiteral("磁盘已满")));
            EXPECT_EQ(Files(), QStringList{QStringLiteral("Vantorel.mdb")}) << "nothing may be left behind";
            EXPECT_EQ(Digest(Ledger()), original);
        } else {
            ASSERT_EQ(conversion.Outcome, TAccessConversionOutcome::Converted);
            EXPECT_EQ(conversion.KeptAs, kept);
            EXPECT_EQ(Digest(kept), original);
            EXPECT_TRUE(isSqlite(Ledger()));
            EXPECT_EQ(Rows("SELECT 消费金额, 消费者 FROM expen"), "5.0|茶\n");
            EXPECT_EQ(Files(),
                      (QStringList{QStringLiteral("Vantorel.access.mdb"), QStringLiteral("Vantorel.mdb")}));
        }
        const QString expected = !failing                                       ? "0:old,1:old+kept"
                                 : *failing == TAccessReplaceStep::KeepOriginal ? "0:old"
                                                                                : "0:old,1:old+kept";
        EXPECT_EQ(seen.join(QLatin1Char(',')), expected);
    }
}
