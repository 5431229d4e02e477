#include "app/LedgerSafekeeping.h"

#include "app/LedgerData.h"
#include "db/DbConnection.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace kestrum {

void TLedgerSafekeeping::SetFailureReporter(TReporter reporter)
{
    std::vector<QString> unreported;
    {
        std::lock_guard lock(FReportMutex);
        FReporter = std::move(reporter);
        if (!FReporter)
            return;
        unreported.swap(FUnreported);
        reporter = FReporter;
    }
    for (const QString &message : unreported)
        reporter(message);
}

void TLedgerSafekeeping::ReportFailure(const std::exception &error, bool atClose)
{
    // The standard error stream keeps every failure for whoever looks there.
    std::fprintf(stderr, "kestrum: backup: %s\n", error.what());
    const TFailureKind kind =
        dynamic_cast<const EBackupCheckFailed *>(&error) ? TFailureKind::Check : TFailureKind::Copy;
    const QString reason = QString::fromUtf8(error.what());
    QString message;
    if (kind == TFailureKind::Check)
        message = QStringLiteral("备份没有成功：新备份没有通过完整性检查，账本文件可能已损坏。"
                                 "旧的备份都保留着。请用“kestrum-db check”检查账本。");
    else
        message = QStringLiteral("备份没有成功：%1。旧的备份都保留着。").arg(reason);
    TReporter reporter;
    {
        std::lock_guard lock(FReportMutex);
        if (!FToldKinds.insert(kind).second)
            return; // the user heard of this kind of failure in this run already
        if (!atClose && !FReporter) {
            FUnreported.push_back(message);
            return;
        }
        reporter = FReporter;
    }
    if (atClose)
        ShowErrorBox(nullptr, message);
    else
        reporter(message);
}

QString TLedgerSafekeeping::DefaultLedgerPath()
{
    const QString name = TDbConnection::ConnectionStringValue(
        QString::fromLatin1(TLedgerData::ConnectionString), QStringLiteral("Data Source"));
    return QDir::current().absoluteFilePath(name);
}

TLedgerSafekeeping::TLedgerSafekeeping(const QString &ledgerPath, const QDateTime &now,
                                       std::chrono::milliseconds busyWait, TPageCheck pageCheck)
    : FLedgerPath(ledgerPath), FLock(ledgerPath), FStarted(now)
{
    // Without the side file (a folder without write permission) the program
    // still runs; only a restore could then not tell that it is open. A
    // folder without a ledger gets no side file.
    if (QFileInfo::exists(FLedgerPath))
        FLock.LockShared();
    if (pageCheck == TPageCheck::Beside) {
        // The header and schema at once (a file that is gone, no database or
        // no ledger is answered before anything opens it); the pages, which
        // take seconds on a large file, on a thread while the data load.
        auto look = std::make_shared<TLedgerFileLook>(FLedgerPath, busyWait);
        const TLedgerExamination schema = look->Schema();
        if (schema.Condition == TLedgerCondition::Sound) {
            FPagesBeside = true;
            FVerdict->Pending = true;
            FStartBackup = std::thread([this, look] {
                FPageExamination = look->Pages(); // its read ends here
                const bool sound = FPageExamination.Condition == TLedgerCondition::Sound;
                // A damaged file gets no write from here on, also not while
                // the question about its backup waits for an answer.
                Settle(FPageExamination.Condition == TLedgerCondition::Damaged);
                if (sound && BackupDue(FStarted))
                    RunStartBackup();
            });
            return;
        }
        // Its read ends before a backup may take the file's place.
        FHealthy = OfferRestore(look->Pages(), now);
    } else {
        FHealthy = OfferRestore(ExamineLedgerFile(FLedgerPath, busyWait), now);
    }
    if (FHealthy && BackupDue(now))
        StartBackup();
}

bool TLedgerSafekeeping::BackupDue(const QDateTime &now) const
{
    return !HasBackupOn(FLedgerPath, now.date()) || HasUnconfirmedBackups(FLedgerPath);
}

void TLedgerSafekeeping::Settle(bool refuse)
{
    {
        std::lock_guard lock(FVerdict->Mutex);
        FVerdict->Pending = false;
        FVerdict->Refuse = refuse;
    }
    FVerdict->Settled.notify_all();
}

TDbConnection::TCommitGate TLedgerSafekeeping::WriteGate() const
{
    return [verdict = FVerdict] {
        std::unique_lock lock(verdict->Mutex);
        verdict->Settled.wait(lock, [&] { return !verdict->Pending; });
        return !verdict->Refuse;
    };
}

bool TLedgerSafekeeping::FinishPageCheck(const std::function<void()> &closeLedger)
{
    if (!FPagesBeside)
        return false;
    FPagesBeside = false;
    {
        std::unique_lock lock(FVerdict->Mutex);
        FVerdict->Settled.wait(lock, [&] { return !FVerdict->Pending; });
    }
    if (FPageExamination.Condition == TLedgerCondition::Sound) {
        FHealthy = true;
        return false;
    }
    // The thread ends with its check when the file is not sound.
    WaitForStartBackup();
    bool restored = false;
    FHealthy = OfferRestore(FPageExamination, FStarted, [&] {
        if (closeLedger)
            closeLedger();
        restored = true;
    });
    if (FHealthy && BackupDue(FStarted))
        StartBackup();
    return restored;
}

TLedgerSafekeeping::~TLedgerSafekeeping()
{
    // A start backup still copying or checking a large ledger would keep the
    // closed program alive: it gives up, and the close's backup follows.
    FStopStartBackup = true;
    WaitForStartBackup();
    // A page check beside that nobody answered counts only when it found the file sound.
    if (FPagesBeside)
        FHealthy = FPageExamination.Condition == TLedgerCondition::Sound;
    // A start failure that no window heard of is told now.
    std::vector<QString> unreported;
    {
        std::lock_guard lock(FReportMutex);
        unreported.swap(FUnreported);
    }
    for (const QString &message : unreported)
        ShowErrorBox(nullptr, message);
    // A ledger damaged at start is not copied over good backups' turn; one
    // that stayed as it was needs no second copy.
    if (!FHealthy || !QFileInfo(FLedgerPath).isFile() || !ChangedSinceNewestBackup(FLedgerPath))
        return;
    try {
        TBackupOptions options;
        options.Pause = std::chrono::milliseconds(0); // nobody else is waiting now
        // The quick check keeps the closing short; the next start checks
        // the copy in full while the window is in use, and until then it
        // pushes no older backup out.
        options.FullCheck = false;
        MakeBackup(FLedgerPath, QDateTime::currentDateTime(), options);
    } catch (const std::exception &error) {
        ReportFailure(error, true);
    }
}

void TLedgerSafekeeping::WaitForStartBackup()
{
    if (FStartBackup.joinable())
        FStartBackup.join();
}

void TLedgerSafekeeping::StartBackup()
{
    // On a large ledger the copy and its check take seconds: a thread of its
    // own, with its own connections, keeps the window answering.
    FStartBackup = std::thread([this] { RunStartBackup(); });
}

void TLedgerSafekeeping::RunStartBackup()
{
    // The close's quick-checked backup of the last run is checked in full
    // here too.
    try {
        TBackupOptions options;
        options.Stop = &FStopStartBackup;
        if (HasBackupOn(FLedgerPath, FStarted.date()))
            ConfirmBackups(FLedgerPath, options.Stop);
        else
            MakeBackup(FLedgerPath, FStarted, options);
    } catch (const EBackupStopped &) {
        // The program is closing; the next start tries again.
    } catch (const std::exception &error) {
        ReportFailure(error, false);
    }
}

bool TLedgerSafekeeping::OfferRestore(const TLedgerExamination &examination, const QDateTime &now,
                                      const std::function<void()> &beforeRestore)
{
    // The quick check reads every page but skips comparing indexes with
    // their tables: it finds damaged pages at a fraction of a second on a
    // million entries.
    if (examination.Condition == TLedgerCondition::Sound)
        return true;
    // A file found damaged gets no write until a backup took its place.
    Settle(examination.Condition == TLedgerCondition::Damaged);
    const QString name = QFileInfo(FLedgerPath).fileName();
    if (examination.Condition == TLedgerCondition::InUse) {
        // A restore would swap a good file for an older copy while the other
        // program goes on writing into the one put aside.
        TMessageBoxRequest notice;
        notice.Caption = ApplicationTitle();
        notice.Icon = miInformation;
        notice.Buttons = {QStringLiteral("确定")};
        notice.Text = QStringLiteral("账本文件“%1”正被另一个程序使用（数据库已被锁定），现在无法检查它。"
                                     "这不是损坏，账本没有任何改动。\n\n"
                                     "如果接下来无法打开账本，请等那个程序完成或关闭它，然后重新启动本程序。")
                          .arg(name);
        ShowMessageBox(nullptr, notice);
        return false;
    }
    // A file this user may not open is no damage a backup mends; the data
    // components' error boxes say what is wrong.
    if (!examination.Damaged())
        return false;
    const bool missing = examination.Condition == TLedgerCondition::Missing;
    const TBackup backup = NewestGoodBackup(FLedgerPath);
    if (backup.Path.isEmpty())
        return false; // the usual error boxes follow when the data components load
    const QString when = backup.Time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    TMessageBoxRequest question;
    question.Caption = ApplicationTitle();
    question.Icon = miQuestion;
    question.Buttons = {QStringLiteral("是"), QStringLiteral("否")};
    question.Text = missing
                        ? QStringLiteral("找不到账本文件“%1”。要从最近的备份（%2）恢复吗？").arg(name, when)
                        : QStringLiteral("账本文件“%1”已损坏。要从最近的备份（%2）恢复吗？\n\n"
                                         "损坏的文件不会删除，它改名为“%1.damaged-…”保留在同一文件夹中。")
                              .arg(name, when);
    if (ShowMessageBox(nullptr, question) != 0)
        return false;
    if (!FLock.LockExclusive()) {
        ShowErrorBox(
            nullptr,
            QStringLiteral("无法恢复账本：%1。请关闭其他正在使用账本的程序后重新启动。").arg(FLock.Error()));
        return false;
    }
    if (beforeRestore)
        beforeRestore();
    bool restored = false;
    try {
        RestoreBackup(backup.Path, FLedgerPath, now, QStringLiteral("damaged"), &FLock);
        restored = true;
        Settle(false); // the backup in the file's place passed its full check
    } catch (const std::exception &error) {
        ShowException(nullptr, error);
    }
    FLock.LockShared();
    return restored;
}

} // namespace kestrum
