// Moving the open window to another ledger file: settling first, the close
// backup of the old file, the start checks of the new one, and backups shown
// for reading only.
#include "app/LedgerSwitcher.h"
#include "app/LedgerData.h"
#include "app/LedgerSafekeeping.h"
#include "app/RecentLedgers.h"
#include "core/RegionalSettings.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "ui/MessageBox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

QByteArray Digest(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

class LedgerSwitching : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        ASSERT_TRUE(FDir.isValid());
        FHome = FDir.filePath("Vantorel.mdb");
        FOther = FDir.filePath("usb/去年.mdb");
        ASSERT_TRUE(QDir().mkpath(FDir.filePath("usb")));
        CreateDemoDatabase(FHome, 2024, 2024);
        CreateLedgerDatabase(FOther);
        FSafekeeping = std::make_unique<TLedgerSafekeeping>(FHome);
        FSafekeeping->WaitForStartBackup();
        FData = std::make_unique<TLedgerData>(FHome);
        FData->Loaded(onError());
        FSwitcher = std::make_unique<TLedgerSwitcher>(*FData, FSafekeeping);
        FSwitcher->SetErrorHandler(onError());
    }
    void TearDown() override
    {
        FSwitcher.reset();
        FData.reset();
        FSafekeeping.reset();
    }

    TLedgerData::TErrorHandler onError()
    {
        return [this](const std::exception &error) { FErrors << QString::fromUtf8(error.what()); };
    }

    QTemporaryDir FDir;
    QString FHome, FOther;
    QStringList FErrors;
    TMessageBoxRecorder FBoxes;
    std::unique_ptr<TLedgerSafekeeping> FSafekeeping;
    std::unique_ptr<TLedgerData> FData;
    std::unique_ptr<TLedgerSwitcher> FSwitcher;
};

TEST_F(LedgerSwitching, AnEntryTheUserKeepsStopsTheSwitchAndNothingCloses)
{
    TLedgerSafekeeping *before = FSafekeeping.get();
    int asked = 0;
    FSwitcher->SetSettleSteps({[&asked] {
        ++asked;
        return false; // "取消": the user stays with the entry
    }});
    EXPECT_FALSE(FSwitcher->OpenLedger(FOther));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(FSafekeeping.get(), before);
    EXPECT_TRUE(FData->ADOQuery1.Active());
    EXPECT_EQ(QFileInfo(FData->LedgerPath()), QFileInfo(FHome));
    EXPECT_EQ(FSwitcher->WindowTitle(), "Kestrum - Vantorel.mdb");
}

TEST_F(LedgerSwitching, TheOldLedgerGetsItsCloseBackupAndTheNewOneOpensWithItsChecks)
{
    // A change, so that the close backup has something to keep.
    FData->ADOQuery1.Append();
    FData->ADOQuery1.FieldByName("进帐人")->SetAsString("奖金");
    FData->ADOQuery1.Post();
    const size_t backupsBefore = ListBackups(FHome).size();

    bool switched = false;
    FSwitcher->SetSwitched([&switched] { switched = true; });
    ASSERT_TRUE(FSwitcher->OpenLedger(FOther));
    EXPECT_TRUE(switched);
    EXPECT_EQ(ListBackups(FHome).size(), backupsBefore + 1);
    EXPECT_EQ(QFileInfo(FData->LedgerPath()), QFileInfo(FOther));
    EXPECT_TRUE(FData->ADOQuery1.Active());
    EXPECT_EQ(FData->ADOQuery1.RecordCount(), 0);
    EXPECT_TRUE(FData->ADOQuery1.CanModify());
    ASSERT_NE(FSafekeeping, nullptr);
    EXPECT_TRUE(FSafekeeping->Healthy());
    EXPECT_EQ(FSwitcher->View(), TLedgerView::Ledger);
    EXPECT_EQ(FSwitcher->WindowTitle(), QString::fromUtf8("Kestrum - 去年.mdb"));
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join('\n').toStdString();

    // And back: the entry typed before the switch is there.
    ASSERT_TRUE(FSwitcher->OpenLedger(FHome));
    EXPECT_TRUE(FData->ADOQuery1.Locate("进帐人", Variant(QStringLiteral("奖金")), {}));
}

TEST_F(LedgerSwitching, AMissingFileIsReportedAndTheOpenLedgerStays)
{
    EXPECT_THROW(FSwitcher->OpenLedger(FDir.filePath("gone.mdb")), std::exception);
    EXPECT_TRUE(FData->ADOQuery1.Active());
    EXPECT_EQ(QFileInfo(FData->LedgerPath()), QFileInfo(FHome));
}

TEST_F(LedgerSwitching, ANewLedgerNeverReplacesAFile)
{
    const QByteArray other = Digest(FOther);
    EXPECT_THROW(FSwitcher->CreateLedger(FOther), std::exception);
    EXPECT_EQ(Digest(FOther), other);
    EXPECT_EQ(QFileInfo(FData->LedgerPath()), QFileInfo(FHome));

    const QString fresh = FDir.filePath("2027.mdb");
    ASSERT_TRUE(FSwitcher->CreateLedger(fresh));
    EXPECT_TRUE(CheckLedgerDatabase(fresh).Usable);
    EXPECT_EQ(QFileInfo(FData->LedgerPath()), QFileInfo(fresh));
    EXPECT_EQ(FData->ADOQuery2.RecordCount(), 0);
}

TEST_F(LedgerSwitching, ABackupIsShownForReadingOnlyAndNeverWritten)
{
    // Opening a backup as a ledger would have written its journal, trash
    // and lock into the backups folder, and let entries be typed into it.
    const QString backup = MakeBackup(FHome, QDateTime::currentDateTime().addDays(-1));
    const QByteArray original = Digest(backup);
    const QStringList folderBefore = QDir(BackupFolder(FHome)).entryList(QDir::Files);

    ASSERT_TRUE(FSwitcher->OpenLedger(backup)); // chosen through "打开账本..." all the same
    EXPECT_EQ(FSwitcher->View(), TLedgerView::Backup);
    EXPECT_TRUE(FSwitcher->WindowTitle().endsWith(QString::fromUtf8("（备份，只读）")));
    EXPECT_GT(FData->ADOQuery1.RecordCount(), 12);
    EXPECT_FALSE(FData->ADOQuery1.CanModify());
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join('\n').toStdString();
    EXPECT_THROW(
        {
            FData->ADOQuery1.Append();
            FData->ADOQuery1.Post();
        },
        std::exception);
    FData->ADOQuery1.Cancel();
    EXPECT_EQ(FSafekeeping, nullptr); // no lock, no backups of a backup

    ASSERT_TRUE(FSwitcher->OpenLedger(FHome));
    EXPECT_EQ(Digest(backup), original);
    EXPECT_EQ(QDir(BackupFolder(FHome)).entryList(QDir::Files), folderBefore);
}

TEST(RecentLedgers, NewestFirstOnceEachAndOnlyFilesThatStillExist)
{
    QTemporaryDir dir;
    TRecentLedgers recent(dir.filePath("kestrum.ini"));
    QStringList files;
    for (int i = 0; i < TRecentLedgers::Capacity + 2; ++i) {
        files << dir.filePath(QStringLiteral("%1.mdb").arg(i));
        QFile(files.back()).open(QIODevice::WriteOnly);
        recent.Add(files.back());
    }
    recent.Add(dir.filePath("sub/../3.mdb")); // the same file, spelled otherwise
    QStringList all = recent.All();
    ASSERT_EQ(all.size(), TRecentLedgers::Capacity);
    EXPECT_EQ(all.front(), QFileInfo(files[3]).canonicalFilePath());
    EXPECT_EQ(all.count(QFileInfo(files[3]).canonicalFilePath()), 1);
    QFile::remove(files[9]);
    EXPECT_EQ(TRecentLedgers(dir.filePath("kestrum.ini")).Existing().size(), TRecentLedgers::Capacity - 1);
}

} // namespace
} // namespace kestrum
