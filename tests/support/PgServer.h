#pragma once
// A throwaway PostgreSQL server for tests: a new cluster in a temporary
// folder, listening only on a private Unix socket, stopped when the test
// program ends. initdb and postgres refuse to run as root, so under root the
// cluster belongs to an unprivileged system user made for it.
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace kestrum::test {

class TPgServer {
public:
    //! Starts a server; throws std::runtime_error saying why it could not.
    TPgServer();
    ~TPgServer();
    TPgServer(const TPgServer &) = delete;
    TPgServer &operator=(const TPgServer &) = delete;

    //! The server every test of this program shares, started on first use.
    static TPgServer &Shared();
    //! Whether the developer asked to skip the server tests (KESTRUM_PG_SKIP=1).
    static bool Skipped();

    //! A new empty database; its name is returned.
    std::string CreateDatabase(const std::string &prefix = "kestrum_test");
    //! A new database copied from `source`, which no one may be connected to;
    //! copied as files, which is far faster than block by block for a small one.
    std::string CopyDatabase(const std::string &source, const std::string &prefix = "kestrum_test");
    //! Runs SQL as the superuser in `database`; throws on failure.
    void Exec(const std::string &database, const std::string &sql) const;

    //! libpq keyword/value parameters for `database` as the superuser.
    std::string ConnectionString(const std::string &database) const;
    //! The same as a postgresql:// address.
    std::string Uri(const std::string &database) const;
    //! The same, for another role and no password in it.
    std::string ConnectionStringAs(const std::string &database, const std::string &role) const;

    //! The role whose login asks for a password (the others are trusted).
    static constexpr const char *PasswordRole = "kestrum_password_role";

    const QString &SocketFolder() const { return FSocketFolder; }
    int Port() const { return FPort; }

private:
    void Stop();

    std::unique_ptr<QTemporaryDir> FRoot;
    QString FBin, FData, FSocketFolder, FLog, FRunAs;
    int FPort = 0;
    int FNextDatabase = 0;
    bool FRunning = false;
};

} // namespace kestrum::test
