#include "app/RecentLedgers.h"

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

QString Canonical(const QString &path)
{
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
        if (QFileInfo(path).isFile())
            existing << path;
    return existing;
}

void TRecentLedgers::Add(const QString &path)
{
    const QString added = Canonical(path);
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
