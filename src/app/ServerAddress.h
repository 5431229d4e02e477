#pragma once
// A ledger on a PostgreSQL server as the program names it: the address libpq
// is given (a postgresql:// address or libpq's keyword=value words) and what
// the user sees (user@host/db). A password is never part of what the program
// keeps or shows: libpq finds it in ~/.pgpass or the service file. One typed
// into an address is taken out here, and the caller warns.
#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrum {

class TServerAddress {
public:
    //! Reads a postgresql:// address or libpq keywords; nothing when libpq
    //! cannot read it (`error` then says why, in Chinese).
    static std::optional<TServerAddress> Parse(const QString &target, QString *error = nullptr);

    QString Host() const { return Value("host"); }
    QString Port() const { return Value("port"); }
    QString Database() const { return Value("dbname"); }
    QString User() const { return Value("user"); }
    QString SslMode() const { return Value("sslmode"); }
    QString Service() const { return Value("service"); }
    //! Sets (or, with an empty value, removes) one libpq keyword; the
    //! password is refused.
    void Set(const std::string &keyword, const QString &value);

    //! Whether the parsed text held a password (it was dropped).
    bool HadPassword() const { return FHadPassword; }
    //! The address as libpq keywords, without any password: what the recent
    //! list keeps and what reopens the ledger.
    QString Target() const;
    //! The same with a password for this connection only.
    QString TargetWithPassword(const QString &password) const;
    //! For the title and the menus: user@host:port/db ("service=name" for a
    //! service); a default part is left out.
    QString Shown() const;

private:
    QString Value(const char *keyword) const;

    std::vector<std::pair<std::string, std::string>> FOptions; //!< libpq's order, no password
    bool FHadPassword = false;
};

//! `target` as it may be written down or shown: a server address without its
//! password, a file path unchanged.
QString WithoutPassword(const QString &target);

} // namespace kestrum
