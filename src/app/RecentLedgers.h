#pragma once
// The ledgers opened lately, newest first, for the menu's "最近打开". Kept in
// the user's settings, not in any ledger: the list is about this computer.
#include <QString>
#include <QStringList>

namespace kestrum {

class TRecentLedgers {
public:
    static constexpr int Capacity = 8;

    //! settingsFile: an ini file; empty means the user's own settings
    //! (~/.config/kestrum/kestrum.ini).
    explicit TRecentLedgers(QString settingsFile = QString());

    //! Puts path first (once: the same file under another spelling counts
    //! as the same file) and keeps at most Capacity entries. A server
    //! address is kept without any password it holds.
    void Add(const QString &path);
    //! The entries whose files still exist, and the servers, newest first.
    QStringList Existing() const;
    //! Every entry as stored, newest first.
    QStringList All() const;

private:
    void save(const QStringList &paths) const;

    QString FSettingsFile;
};

} // namespace kestrum
