#include "ledger/LedgerLocation.h"
#include "ledger/LedgerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class LedgerLocation : public ::testing::Test {
protected:
    QTemporaryDir FRoot;
    QString FWork = FRoot.filePath(QStringLiteral("work"));
    QString FData = FRoot.filePath(QStringLiteral("data/kestrum"));

    void SetUp() override
    {
        ASSERT_TRUE(FRoot.isValid());
        ASSERT_TRUE(QDir().mkpath(FWork));
    }
};

TEST_F(LedgerLocation, ALedgerInTheWorkingFolderWinsElseTheDataFolder)
{
    // A program started from the desktop menu (working folder = home) made
    // its ledger wherever it was started instead of in the data folder.
    TLedgerChoice choice = ChooseLedger(QString(), FWork, FData);
    EXPECT_EQ(choice.Source, TLedgerSource::DataFolder);
    EXPECT_EQ(choice.LedgerPath, FData + "/Vantorel.mdb");
    EXPECT_EQ(choice.BackupFolder, FData + "/Vantorel.backups");

    CreateLedgerDatabase(FWork + "/Vantorel.mdb");
    choice = ChooseLedger(QString(), FWork, FData);
    EXPECT_EQ(choice.Source, TLedgerSource::WorkingFolder);
    EXPECT_EQ(choice.LedgerPath, FWork + "/Vantorel.mdb");
    EXPECT_EQ(choice.BackupFolder, FWork + "/Vantorel.backups");
}

TEST_F(LedgerLocation, ANamedFileWinsAndItsBackupsSitBesideIt)
{
    CreateLedgerDatabase(FWork + "/Vantorel.mdb");
    const TLedgerChoice choice = ChooseLedger(QStringLiteral("../usb/2025 账本.mdb"), FWork, FData);
    EXPECT_EQ(choice.Source, TLedgerSource::Argument);
    EXPECT_EQ(choice.LedgerPath, FRoot.filePath(QStringLiteral("usb/2025 账本.mdb")));
    EXPECT_EQ(choice.BackupFolder, FRoot.filePath(QStringLiteral("usb/2025 账本.backups")));
}

TEST_F(LedgerLocation, OnlyAFirstStartInTheDataFolderMakesALedger)
{
    // A missing file the user named is an error to report, not a new ledger.
    EXPECT_FALSE(PrepareLedger(ChooseLedger(QStringLiteral("typo.mdb"), FWork, FData)));
    EXPECT_FALSE(QFileInfo::exists(FWork + "/typo.mdb"));

    const TLedgerChoice first = ChooseLedger(QString(), FWork, FData);
    EXPECT_TRUE(PrepareLedger(first));
    EXPECT_TRUE(CheckLedgerDatabase(first.LedgerPath).Usable);
    // The next start finds it and leaves it as it is.
    EXPECT_FALSE(PrepareLedger(ChooseLedger(QString(), FWork, FData)));
}

TEST_F(LedgerLocation, AFirstStartWhereTheFolderCannotBeMadeSaysSo)
{
    QFile blocker(FRoot.filePath(QStringLiteral("data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should go
    blocker.close();
    EXPECT_THROW(PrepareLedger(ChooseLedger(QString(), FWork, FData)), std::exception);
}

TEST_F(LedgerLocation, TheToolUsesAndNamesTheSameLedgerAsTheProgram)
{
    // kestrum-db worked on Vantorel.mdb in the working folder only, and
    // nothing told which file a plain kestrum would open.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), FRoot.filePath(QStringLiteral("data")));
    const auto run = [&](const QStringList &arguments, int *code = nullptr) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(FWork);
        process.start(QStringLiteral(KESTRUM_DB_TOOL), arguments);
        process.waitForFinished(60000);
        if (code)
            *code = process.exitCode();
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    };
    int code = -1;
    QString where = run({QStringLiteral("where")}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(where.contains("ledger: " + FData + "/Vantorel.mdb (the user's data folder, not made yet)"))
        << where.toStdString();
    EXPECT_TRUE(where.contains("backups: " + FData + "/Vantorel.backups")) << where.toStdString();

    // Where a plain kestrum would make it on its first start.
    ASSERT_TRUE(QDir().mkpath(FData));
    CreateLedgerDatabase(FData + "/Vantorel.mdb");
    EXPECT_TRUE(run({QStringLiteral("check")}, &code).contains(FData + "/Vantorel.mdb: usable ledger"));
    EXPECT_EQ(code, 0);

    // init makes a ledger in the working folder, which then wins.
    run({QStringLiteral("init")}, &code);
    EXPECT_EQ(code, 0);
    where = run({QStringLiteral("where")});
    EXPECT_TRUE(where.contains("ledger: " + FWork + "/Vantorel.mdb (found in the working folder)"))
        << where.toStdString();
}

} // namespace
} // namespace kestrum
