#include "ledger/LedgerLocation.h"

#include "core/Errors.h"
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrum {

QString DefaultLedgerFileName()
{
    return QStringLiteral("Vantorel.mdb");
}

QString UserDataFolder()
{
    // AppDataLocation follows the application's name, and the command-line
    // tool is called kestrum-db: both must find the same folder.
    const QString kept = QCoreApplication::applicationName();
    const QString kestrum = QStringLiteral("kestrum");
    if (kept != kestrum)
        QCoreApplication::setApplicationName(kestrum);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (kept != kestrum)
        QCoreApplication::setApplicationName(kept);
    return QDir::cleanPath(folder);
}

TLedgerChoice ChooseLedger(const QString &argument, const QString &workingFolder, const QString &dataFolder)
{
    TLedgerChoice choice;
    const QDir working(workingFolder);
    if (!argument.isEmpty()) {
        choice.Source = TLedgerSource::Argument;
        choice.LedgerPath = QDir::cleanPath(working.absoluteFilePath(argument));
    } else if (const QString here = working.absoluteFilePath(DefaultLedgerFileName());
               QFileInfo::exists(here)) {
        choice.Source = TLedgerSource::WorkingFolder;
        choice.LedgerPath = QDir::cleanPath(here);
    } else {
        choice.Source = TLedgerSource::DataFolder;
        choice.LedgerPath = QDir::cleanPath(QDir(dataFolder).absoluteFilePath(DefaultLedgerFileName()));
    }
    choice.BackupFolder = QDir::cleanPath(BackupFolder(choice.LedgerPath));
    return choice;
}

TLedgerChoice ChooseLedger(const QString &argument)
{
    return ChooseLedger(argument, QDir::currentPath(), UserDataFolder());
}

QString DefaultLedgerPath()
{
    const TLedgerChoice choice = ChooseLedger();
    return choice.Source == TLedgerSource::WorkingFolder ? DefaultLedgerFileName() : choice.LedgerPath;
}

bool PrepareLedger(const TLedgerChoice &choice)
{
    if (choice.Source != TLedgerSource::DataFolder || QFileInfo::exists(choice.LedgerPath))
        return false;
    const QString folder = QFileInfo(choice.LedgerPath).absolutePath();
    if (!QDir().mkpath(folder))
        throw Exception("无法建立文件夹“" + QDir::toNativeSeparators(folder).toStdString() + "”来存放账本。");
    try {
        CreateLedgerDatabase(choice.LedgerPath);
    } catch (const std::exception &) {
        // Two windows started at once: the other one made it first.
        if (QFileInfo::exists(choice.LedgerPath))
            return false;
        throw;
    }
    return true;
}

} // namespace kestrum
