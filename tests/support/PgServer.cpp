#include "support/PgServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace kestrum::test {

namespace {

const char *const ServerUser = "kestrum-pg";

[[noreturn]] void Fail(const std::string &what)
{
    throw std::runtime_error("cannot start the test PostgreSQL server: " + what +
                             " (set KESTRUM_PG_SKIP=1 to skip the server tests)");
}

//! The newest installed server's programs: /usr/lib/postgresql/<version>/bin.
QString ServerBinaries()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    int best = -1;
    for (const QString &name : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const int version = name.toInt(&number);
        if (number && version > best && QFile::exists(versions.filePath(name + "/bin/initdb")))
            best = version;
    }
    if (best < 0)
        Fail("no initdb under /usr/lib/postgresql (install the Debian package postgresql)");
    return versions.filePath(QString::number(best) + "/bin");
}

//! The unprivileged user a root test run gives the cluster to, made when missing.
passwd ServerAccount()
{
    if (passwd *found = ::getpwnam(ServerUser))
        return *found;
    QProcess add;
    add.start(QStringLiteral("useradd"),
              {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
               QStringLiteral("/usr/sbin/nologin"), QString::fromLatin1(ServerUser)});
    add.waitForFinished(30000);
    // Another test program may have made it meanwhile.
    if (passwd *found = ::getpwnam(ServerUser))
        return *found;
    Fail(std::string("useradd ") + ServerUser + " failed: " + add.readAllStandardError().toStdString());
}

int FreePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (s >= 0)
        ::close(s);
    // Only the name of the socket file depends on it, in a folder of our own.
    return port > 0 ? port : 54000 + int(::getpid() % 1000);
}

void ChownTree(const QString &path, const passwd &account)
{
    if (::chown(QFile::encodeName(path).constData(), account.pw_uid, account.pw_gid) != 0)
        Fail("cannot give " + path.toStdString() + " to " + ServerUser);
}

std::string Quote(const std::string &value)
{
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

} // namespace

bool TPgServer::Skipped()
{
    const char *skip = std::getenv("KESTRUM_PG_SKIP");
    return skip && std::string(skip) == "1";
}

TPgServer::TPgServer() : FRoot(std::make_unique<QTemporaryDir>(QDir::tempPath() + "/kestrum-pg-XXXXXX"))
{
    if (!FRoot->isValid())
        Fail("no temporary folder");
    FBin = ServerBinaries();
    FData = FRoot->filePath(QStringLiteral("data"));
    FSocketFolder = FRoot->filePath(QStringLiteral("socket"));
    FLog = FRoot->filePath(QStringLiteral("server.log"));
    if (!QDir().mkpath(FSocketFolder))
        Fail("cannot make the socket folder");
    if (::geteuid() == 0) {
        const passwd account = ServerAccount();
        FRunAs = QString::fromLatin1(ServerUser);
        for (const QString &path : {FRoot->path(), FSocketFolder})
            ChownTree(path, account);
    }
    FPort = FreePort();

    auto run = [this](const QString &program, const QStringList &arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString path = FBin + "/" + program;
        if (FRunAs.isEmpty())
            process.start(path, arguments);
        else
            process.start(QStringLiteral("runuser"),
                          QStringList{QStringLiteral("-u"), FRunAs, QStringLiteral("--"), path} + arguments);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            Fail(program.toStdString() + " failed: " + process.readAll().toStdString());
    };
    run(QStringLiteral("initdb"),
        {QStringLiteral("-D"), FData, QStringLiteral("-U"), QStringLiteral("postgres"),
         QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
         QStringLiteral("--no-locale"), QStringLiteral("--no-sync")});
    // One role logs in with a password, so a wrong one can be tried.
    QFile hba(FData + "/pg_hba.conf");
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Fail("cannot write pg_hba.conf");
    hba.write(QByteArray("local all ") + PasswordRole + " scram-sha-256\nlocal all all trust\n");
    hba.close();
    const QString options = "-k " + FSocketFolder + " -p " + QString::number(FPort) +
                            " -c listen_addresses='' -c fsync=off -c full_page_writes=off";
    run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), FData, QStringLiteral("-l"), FLog, QStringLiteral("-w"), QStringLiteral("-t"),
         QStringLiteral("60"), QStringLiteral("-o"), options, QStringLiteral("start")});
    FRunning = true;
}

TPgServer::~TPgServer()
{
    Stop();
}

void TPgServer::Stop()
{
    if (!FRunning)
        return;
    FRunning = false;
    QProcess stop;
    const QString path = FBin + "/pg_ctl";
    const QStringList arguments{QStringLiteral("-D"), FData,
                                QStringLiteral("-m"), QStringLiteral("fast"),
                                QStringLiteral("-w"), QStringLiteral("stop")};
    if (FRunAs.isEmpty())
        stop.start(path, arguments);
    else
        stop.start(QStringLiteral("runuser"),
                   QStringList{QStringLiteral("-u"), FRunAs, QStringLiteral("--"), path} + arguments);
    if (stop.waitForFinished(60000) && stop.exitCode() == 0)
        return;
    // pg_ctl could not stop it: end this server's postmaster alone.
    QFile pidFile(FData + "/postmaster.pid");
    if (pidFile.open(QIODevice::ReadOnly)) {
        const pid_t pid = pid_t(pidFile.readLine().trimmed().toLong());
        if (pid > 0)
            ::kill(pid, SIGQUIT);
    }
}

TPgServer &TPgServer::Shared()
{
    static TPgServer server;
    return server;
}

std::string TPgServer::ConnectionString(const std::string &database) const
{
    return ConnectionStringAs(database, "postgres");
}

std::string TPgServer::ConnectionStringAs(const std::string &database, const std::string &role) const
{
    return "host=" + Quote(FSocketFolder.toStdString()) + " port=" + std::to_string(FPort) +
           " dbname=" + Quote(database) + " user=" + Quote(role) + " connect_timeout=10";
}

std::string TPgServer::Uri(const std::string &database) const
{
    return "postgresql://postgres@/" + database +
           "?host=" + QString::fromLatin1(QUrl::toPercentEncoding(FSocketFolder)).toStdString() +
           "&port=" + std::to_string(FPort);
}

void TPgServer::Exec(const std::string &database, const std::string &sql) const
{
    PGconn *connection = PQconnectdb(ConnectionString(database).c_str());
    std::string error;
    if (PQstatus(connection) != CONNECTION_OK) {
        error = PQerrorMessage(connection);
    } else {
        PGresult *result = PQexec(connection, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(result);
        PQclear(result);
    }
    PQfinish(connection);
    if (!error.empty())
        throw std::runtime_error("test server: " + sql + ": " + error);
}

std::string TPgServer::CreateDatabase(const std::string &prefix)
{
    const std::string name = prefix + "_" + std::to_string(++FNextDatabase);
    Exec("postgres", "CREATE DATABASE " + name);
    return name;
}

std::string TPgServer::CopyDatabase(const std::string &source, const std::string &prefix)
{
    const std::string name = prefix + "_" + std::to_string(++FNextDatabase);
    Exec("postgres", "CREATE DATABASE " + name + " TEMPLATE " + source + " STRATEGY = FILE_COPY");
    return name;
}

} // namespace kestrum::test
