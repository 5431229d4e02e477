#include "filterdialogs/FilterFile.h"

#include "core/BinaryStream.h"
#include "core/Errors.h"
#include "filter/FilterCriteriaTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kestrum {

namespace {

QString OpenFailure(const QString &fileName, const QString &reason)
{
    return QString::fromUtf8("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), reason);
}

QString CreateFailure(const QString &fileName, const QString &reason)
{
    return QString::fromUtf8("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), reason);
}

} // namespace

TkvFilterFileResult ReadFilterFileBytes(const QString &fileName, std::string &bytes)
{
    const QFileInfo info(fileName);
    if (info.isDir())
        return TkvFilterFileResult::Failure(OpenFailure(fileName, QStringLiteral("It is a folder.")));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return TkvFilterFileResult::Failure(OpenFailure(fileName, file.errorString()));
    if (file.size() > MaxFilterFileSize)
        return TkvFilterFileResult::Failure(OpenFailure(fileName, QStringLiteral("The file is too large.")));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return TkvFilterFileResult::Failure(OpenFailure(fileName, file.errorString()));
    bytes.assign(data.constData(), std::size_t(data.size()));
    return {};
}

TkvFilterFileResult ParseFilterStream(const std::string &bytes, TkvFilterCriteria &criteria)
{
    const std::string before = criteria.SaveToBytes();
    try {
        BinaryReader reader(bytes);
        criteria.ReadCriteria(reader);
        if (reader.remaining() == 0)
            return {};
        // More than one stream's worth: not a filter file of ours.
        criteria.LoadFromBytes(before);
    } catch (const Exception &) {
        // ReadCriteria leaves the criteria as it was.
    }
    return TkvFilterFileResult::Failure(QString::fromUtf8(EReadError().what()));
}

TkvFilterFileResult WriteFilterFileBytes(const QString &fileName, const std::string &bytes)
{
    // QSaveFile refuses an existing file that may not be written, and
    // replaces the old file only once the new one is complete.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return TkvFilterFileResult::Failure(CreateFailure(fileName, file.errorString()));
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return TkvFilterFileResult::Failure(CreateFailure(fileName, reason));
    }
    if (!file.commit())
        return TkvFilterFileResult::Failure(CreateFailure(fileName, file.errorString()));
    return {};
}

} // namespace kestrum
