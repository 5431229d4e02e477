#include "app/RecentLedgers.h"

#include "app/ServerAddress.h"
#include "db/DbDriver.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace kestrum {

namespace {

const QString Key = QStringLiteral("recentLedgers");

std::unique_ptr<QSettings> OpenSettings(const QString &file)
{
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kestrum"),
                                       QStringLiteral("kestrum"));
}

bool IsServer(const QString &target)
{
    return IsServerTarget(target.toStdString());
}

//! A server address is written the same way for the same server (and never
//! with its password); a file by its canonical path.
QString Canonical(const QString &path)
{
    if (IsServer(path))
        return WithoutPassword(path);
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

TRecentLedgers::TRecentLedgers(QString settingsFile) : FSettingsFile(std::move(settingsFile))
{
}

QStringList TRecentLedgers::All() const
{
    return OpenSettings(FSettingsFile)->value(Key).toStringList();
}

QStringList TRecentLedgers::Existing() const
{
    QStringList existing;
    for (const QString &path : All())
        if (IsServer(path) || QFileInfo(path).isFile())
            existing << path;
    return existing;
}

void TRecentLedgers::Add(const QString &path)
{
    const QString added = Canonical(path);
    if (added.isEmpty())
        return;
    QStringList paths{added};
    for (const QString &known : All())
        if (Canonical(known) != added && paths.size() < Capacity)
            paths << known;
    save(paths);
}

void TRecentLedgers::save(const QStringList &paths) const
{
    auto settings = OpenSettings(FSettingsFile);
    settings->setValue(Key, paths);
    settings->sync();
}

} // namespace kestrum
