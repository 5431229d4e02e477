#include "app/AccessConversion.h"

#include "exchange/Importer.h"
#include "exchange/JetFileHeader.h"
#include "exchange/JetLedgerSource.h"
#include "ledger/LedgerFile.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kestrum {

namespace {

// Bad records listed in the failure box; the rest are counted.
constexpr int MaxListedInBox = 10;

std::function<void(TAccessReplaceStep)> ReplaceHook;

void BeforeStep(TAccessReplaceStep step)
{
    if (ReplaceHook)
        ReplaceHook(step);
}

//! Flushes a file, or a folder's list of names, to the disk; false when the
//! system says it could not.
bool Sync(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

//! A second name for the original, never over a file: a hard link where the
//! file system has them, a copy where not.
bool KeepOriginal(const QString &ledgerPath, const QString &keptPath)
{
    if (::link(QFile::encodeName(ledgerPath).constData(), QFile::encodeName(keptPath).constData()) == 0)
        return true;
    return QFile::copy(ledgerPath, keptPath) && Sync(keptPath);
}

//! "dir/Vantorel" + infix + ".mdb", numbered from 2 when taken.
QString FreeName(const QString &ledgerPath, const QString &infix)
{
    const QFileInfo info(ledgerPath);
    const QString base = info.dir().filePath(info.completeBaseName() + infix);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString name = base + suffix;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QLatin1Char('-') + QString::number(n) + suffix;
    return name;
}

class TWaitCursor {
public:
    TWaitCursor()
    {
        if (qobject_cast<QApplication *>(QCoreApplication::instance()))
            QGuiApplication::setOverrideCursor(Qt::WaitCursor), FSet = true;
    }
    ~TWaitCursor()
    {
        if (FSet)
            QGuiApplication::restoreOverrideCursor();
    }

private:
    bool FSet = false;
};

QString FileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

void Tell(QWidget *parent, const QString &text, TMessageIcon icon)
{
    ShowMessageBox(parent, {text, ApplicationTitle(), icon, {QStringLiteral("确定")}});
}

//! Builds the new ledger beside the original and moves the two into place.
//! Raises Exception with the reason when anything fails, having put the
//! files back as they were.
TAccessConversion Convert(const QString &ledgerPath)
{
    TAccessConversion conversion;
    const QString building = FreeName(ledgerPath, QStringLiteral(".converting"));
    const auto discard = [&building] {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
    };

    TImportResult result;
    {
        std::unique_ptr<TEntrySource> source = OpenJetLedgerSource(ledgerPath);
        CreateLedgerDatabase(building);
        try {
            TImportOptions options;
            options.BadRecords = bpReject;
            options.Duplicates = dpKeep; // the old ledger's repeats are its own entries
            result = ImportEntries(building, *source, options);
        } catch (...) {
            discard();
            throw;
        }
    }
    if (result.Outcome != ioImported) {
        discard();
        QStringList lines;
        lines << QStringLiteral("%1 条记录无法转换：").arg(result.BadCount);
        for (std::size_t i = 0; i < result.BadRecords.size() && i < std::size_t(MaxListedInBox); ++i)
            lines << result.BadRecords[i].Reason;
        if (result.BadCount > MaxListedInBox)
            lines << QStringLiteral("……");
        throw Exception(lines.join(QLatin1Char('\n')).toStdString());
    }

    // The original gets its second name before the new ledger takes the
    // first in one rename, which replaces it atomically: whenever the
    // program stops, the ledger's path holds the original or the new ledger,
    // and once the new one is there the original is kept.
    conversion.KeptAs = FreeName(ledgerPath, QStringLiteral(".access"));
    const QString folder = QFileInfo(ledgerPath).absolutePath();
    try {
        BeforeStep(TAccessReplaceStep::KeepOriginal);
        if (!KeepOriginal(ledgerPath, conversion.KeptAs))
            throw Exception(QStringLiteral("%1 无法另存为 %2。")
                                .arg(FileName(ledgerPath), FileName(conversion.KeptAs))
                                .toStdString());
        Sync(folder);
        BeforeStep(TAccessReplaceStep::ReplaceLedger);
        Sync(building);
        if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(ledgerPath).constData()) !=
            0)
            throw Exception(
                QStringLiteral("新账本无法放到 %1 的位置。").arg(FileName(ledgerPath)).toStdString());
    } catch (...) {
        // The original never left its place: its second name can go.
        QFile::remove(conversion.KeptAs);
        discard();
        throw;
    }
    Sync(folder);
    conversion.Outcome = TAccessConversionOutcome::Converted;
    conversion.Income = result.IncomeAdded;
    conversion.Expense = result.ExpenseAdded;
    conversion.Notes = result.Notes;
    return conversion;
}

} // namespace

void SetAccessReplaceHookForTests(std::function<void(TAccessReplaceStep)> hook)
{
    ReplaceHook = std::move(hook);
}

QString AccessOriginalName(const QString &ledgerPath)
{
    return FreeName(ledgerPath, QStringLiteral(".access"));
}

TAccessConversion OfferAccessConversion(const QString &ledgerPath, QWidget *parent)
{
    if (!IsJetFile(ledgerPath))
        return {};
    const QString name = FileName(ledgerPath);
    const int answer = ShowMessageBox(
        parent, {QStringLiteral("%1 是旧版 Access 账本。要把它转换为新账本吗？原文件将改名保留。").arg(name),
                 ApplicationTitle(), miQuestion, {QStringLiteral("是"), QStringLiteral("否")}});
    if (answer != 0)
        return {TAccessConversionOutcome::Declined, {}, 0, 0, {}};

    TAccessConversion conversion;
    try {
        TWaitCursor wait;
        conversion = Convert(ledgerPath);
    } catch (const std::exception &error) {
        Tell(parent,
             QStringLiteral("转换没有完成，%1 保持原样。\n%2").arg(name, QString::fromUtf8(error.what())),
             miStop);
        return {TAccessConversionOutcome::Failed, {}, 0, 0, {}};
    }
    QString told = QStringLiteral("已转换 %1 条收入和 %2 条支出记录。原文件已改名为 %3。")
                       .arg(conversion.Income)
                       .arg(conversion.Expense)
                       .arg(FileName(conversion.KeptAs));
    for (const QString &note : conversion.Notes)
        told += QLatin1Char('\n') + note;
    Tell(parent, told, miInformation);
    return conversion;
}

} // namespace kestrum
