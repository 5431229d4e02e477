#include "db/PgFailures.h"

#include "db/PgDriver.h"

#include <libpq-fe.h>

#include <locale.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>

namespace kestrum {

namespace {

TDbErrorKind KindOfState(const char *state)
{
    if (!state)
        return TDbErrorKind::Other;
    const std::string_view s(state);
    if (s.starts_with("08") || s == "57P01" || s == "57P02" || s == "57P03")
        return TDbErrorKind::ConnectionLost;
    if (s.starts_with("28"))
        return TDbErrorKind::AuthFailed;
    if (s == "42501")
        return TDbErrorKind::NoRights;
    if (s == "42P01" || s == "3F000" || s == "3D000" || s == "42883")
        return TDbErrorKind::SchemaMissing;
    if (s.starts_with("23"))
        return TDbErrorKind::Constraint;
    if (s == "40001" || s == "40P01" || s == "55P03")
        return TDbErrorKind::Busy;
    return TDbErrorKind::Other;
}

//! What the user is told first for each kind.
std::string Lead(TDbErrorKind kind)
{
    switch (kind) {
    case TDbErrorKind::ConnectionLost:
        return "与数据库服务器的连接断开了，这次操作没有完成；正在录入的内容还在，没有丢失。"
               "程序会自动重新连接，连接恢复后请再试一次";
    case TDbErrorKind::AuthFailed:
        return "无法登录数据库服务器：用户名或密码不对（密码请写在 ~/.pgpass 中）";
    case TDbErrorKind::NoRights:
        return "数据库服务器不允许这个用户进行此操作";
    case TDbErrorKind::SchemaMissing:
        return "服务器上没有这个账本（请先用 kestrum-db init 建立）";
    case TDbErrorKind::Constraint:
        return "数据不符合账本的约束，没有保存";
    case TDbErrorKind::Busy:
        return "数据正被别人同时修改，请稍后再试";
    default:
        return "";
    }
}

//! libpq's words on one line: its hints come after a line break and a tab.
std::string Trimmed(std::string text)
{
    std::string line;
    for (char c : text) {
        const bool space = c == '\n' || c == '\t' || c == ' ';
        if (!space)
            line += c;
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

//! Why a connection could not be made, and the words the user gets first.
struct TConnectFailure {
    TDbErrorKind Kind;
    const char *Lead;
};

//! A connection that failed: libpq gives no SQLSTATE for it, only its words.
TConnectFailure KindOfConnectFailure(const std::string &message)
{
    const auto says = [&message](const char *words) { return message.find(words) != std::string::npos; };
    // Encryption first: its messages also speak of the connection.
    if (says("does not support SSL") || says("GSSAPI encryption required"))
        return {TDbErrorKind::TlsRefused, "服务器不接受加密连接，而连接设置（sslmode）要求加密；"
                                          "没有连接，以免账目未加密地传送"};
    if (says("certificate") || says("SSL"))
        return {TDbErrorKind::TlsRefused, "无法与服务器建立加密连接（请检查 sslmode 和服务器的证书）"};
    for (const char *auth : {"password authentication failed", "no password supplied",
                             "authentication failed", "password is required"})
        if (says(auth))
            return {TDbErrorKind::AuthFailed, "无法登录数据库服务器：用户名或密码不对"
                                              "（密码请写在 ~/.pgpass 或服务文件中，Kestrum 不保存密码）"};
    if (says("role \"") && says("does not exist"))
        return {TDbErrorKind::AuthFailed, "无法登录数据库服务器：服务器上没有这个用户"};
    if (says("no pg_hba.conf entry"))
        return {TDbErrorKind::AuthFailed,
                "数据库服务器不允许这个用户从这台电脑登录（见服务器的 pg_hba.conf）"};
    if (says("database \"") && says("does not exist"))
        return {TDbErrorKind::SchemaMissing, "服务器上没有这个数据库（请先建立数据库，再用 kestrum-db init "
                                             "建立账本）"};
    if (says("permission denied"))
        return {TDbErrorKind::NoRights, "这个用户没有连接这个数据库的权限"};
    if (says("Connection refused"))
        return {TDbErrorKind::ConnectionLost, "无法连接数据库服务器：服务器拒绝了连接（它没有运行，或地址、"
                                              "端口不对）"};
    if (says("No such file or directory"))
        return {TDbErrorKind::ConnectionLost, "无法连接数据库服务器：服务器没有运行（找不到它的套接字）"};
    if (says("could not translate host name"))
        return {TDbErrorKind::ConnectionLost, "无法连接数据库服务器：找不到这个主机名（请检查地址和网络）"};
    if (says("timeout expired"))
        return {TDbErrorKind::ConnectionLost, "无法连接数据库服务器：服务器没有在规定时间内应答"};
    if (says("too many clients") || says("the database system is"))
        return {TDbErrorKind::ConnectionLost,
                "数据库服务器暂时不接受连接（正在启动、关闭或连接已满），请稍后再试"};
    return {TDbErrorKind::ConnectionLost, "无法连接数据库服务器"};
}

constexpr const char *NoPasswordLead = "无法登录数据库服务器：服务器要求密码，但没有找到密码"
                                       "（密码请写在 ~/.pgpass 或服务文件中，Kestrum 不保存密码）";

//! The SQLSTATE of an error the server sent while the link was made, as
//! libpq's verbose form writes it after the severity: "FATAL:  28P01: ...".
//! The severity is in the server's language, the code never is.
std::string ServerState(const std::string &message)
{
    for (std::size_t at = message.find(":  "); at != std::string::npos; at = message.find(":  ", at + 1)) {
        const std::size_t code = at + 3;
        if (message.size() < code + 6 || message[code + 5] != ':')
            continue;
        bool plain = true;
        for (std::size_t i = code; i < code + 5; ++i)
            plain = plain &&
                    ((message[i] >= '0' && message[i] <= '9') || (message[i] >= 'A' && message[i] <= 'Z'));
        if (plain)
            return message.substr(code, 5);
    }
    return {};
}

//! A failure to connect by the SQLSTATE the server sent; `byWords` where the
//! code alone does not tell (28000 is a missing role as well as a refusal of
//! pg_hba.conf, and the words are the server's).
TConnectFailure KindOfConnectState(const std::string &state, const std::string &message,
                                   TConnectFailure byWords)
{
    if (state == "28P01")
        return {TDbErrorKind::AuthFailed, "无法登录数据库服务器：用户名或密码不对"
                                          "（密码请写在 ~/.pgpass 或服务文件中，Kestrum 不保存密码）"};
    if (state == "28000") {
        if (byWords.Kind == TDbErrorKind::AuthFailed)
            return byWords;
        return {TDbErrorKind::AuthFailed, "无法登录数据库服务器：服务器上没有这个用户，"
                                          "或不允许它从这台电脑登录（见服务器的 pg_hba.conf）"};
    }
    if (state == "3D000")
        return {TDbErrorKind::SchemaMissing, "服务器上没有这个数据库（请先建立数据库，再用 kestrum-db init "
                                             "建立账本）"};
    if (state == "42501")
        return {TDbErrorKind::NoRights, "这个用户没有连接这个数据库的权限"};
    if (state == "53300" || state == "57P03" || state == "57P01" || state.starts_with("08"))
        return {TDbErrorKind::ConnectionLost,
                "数据库服务器暂时不接受连接（正在启动、关闭或连接已满），请稍后再试"};
    (void)message;
    return byWords;
}

//! The connection timeout libpq's own blocking connect would keep, in
//! milliseconds (-1: none): connect_timeout, at least two seconds.
int ConnectTimeout(pg_conn *connection)
{
    int seconds = 0;
    if (PQconninfoOption *options = PQconninfo(connection)) {
        for (PQconninfoOption *o = options; o->keyword; ++o)
            if (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val)
                seconds = std::atoi(o->val);
        PQconninfoFree(options);
    }
    if (seconds <= 0)
        return -1;
    return std::max(seconds, 2) * 1000;
}

//! What the server said of a failed statement: its message and detail,
//! without the context lines that repeat the SQL of a trigger or function.
std::string ServerWords(const pg_result *result, const char *connectionMessage)
{
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (!primary || !*primary)
        return result && *PQresultErrorMessage(result) ? PQresultErrorMessage(result) : connectionMessage;
    std::string words = primary;
    if (const char *detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL); detail && *detail)
        words += std::string(" (") + detail + ")";
    return words;
}

} // namespace

bool AwaitConnection(pg_conn *connection)
{
    const int timeout = ConnectTimeout(connection);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    while (status != PGRES_POLLING_OK && status != PGRES_POLLING_FAILED) {
        if (PQstatus(connection) == CONNECTION_BAD)
            return true;
        int wait = -1;
        if (timeout >= 0) {
            wait = int(std::chrono::duration_cast<std::chrono::milliseconds>(until -
                                                                             std::chrono::steady_clock::now())
                           .count());
            if (wait <= 0)
                return false;
        }
        pollfd socket{PQsocket(connection), short(status == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&socket, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return false;
        status = PQconnectPoll(connection);
    }
    return true;
}

EDbDriverError TPgDriver::ConnectFailure(pg_conn *connection)
{
    std::string message = connection ? PQerrorMessage(connection) : "out of memory";
    const std::string state = ServerState(message);
    // The verbose form's code and the server's source line are not for the user.
    if (!state.empty())
        message.erase(message.find(state + ": "), state.size() + 2);
    for (std::size_t at = message.find("LOCATION:"); at != std::string::npos; at = message.find("LOCATION:"))
        message.erase(at, message.find('\n', at) == std::string::npos ? std::string::npos
                                                                      : message.find('\n', at) - at);
    message = Trimmed(message);
    TConnectFailure failure = KindOfConnectFailure(message);
    if (!state.empty())
        failure = KindOfConnectState(state, message, failure);
    else if (connection && PQconnectionNeedsPassword(connection))
        failure = {TDbErrorKind::AuthFailed, NoPasswordLead};
    return EDbDriverError(failure.Kind, std::string(failure.Lead) + "：" + message + "。");
}

void TPgDriver::Fail(const pg_result *result, const std::string &context) const
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    TDbErrorKind kind = KindOfState(state);
    if (PQstatus(FConnection) == CONNECTION_BAD)
        kind = TDbErrorKind::ConnectionLost;
    const std::string lead = Lead(kind);
    // Waiting for another writer is told in our words alone, as for a file:
    // the server's own (a lock timeout, the statement of a trigger) would
    // only bury them.
    if (kind == TDbErrorKind::Busy)
        throw EDbDriverError(kind, lead + "。");
    const std::string detail = Trimmed(ServerWords(result, PQerrorMessage(FConnection)));
    throw EDbDriverError(kind, (lead.empty() ? context : lead) + "：" + detail + "。");
}

TPgConnectWords::TPgConnectWords(pg_conn *connection)
{
    // Only this thread's messages, and only for a while: the locale of the
    // process stays the user's.
    FBefore = ::uselocale(locale_t(nullptr));
    if (locale_t base = ::duplocale(FBefore)) {
        FUntranslated = ::newlocale(LC_MESSAGES_MASK, "C", base);
        if (!FUntranslated)
            ::freelocale(base);
        else
            ::uselocale(FUntranslated);
    }
    Attach(connection);
}

void TPgConnectWords::Attach(pg_conn *connection)
{
    FConnection = connection;
    if (FConnection)
        PQsetErrorVerbosity(FConnection, PQERRORS_VERBOSE);
}

TPgConnectWords::~TPgConnectWords()
{
    if (FConnection)
        PQsetErrorVerbosity(FConnection, PQERRORS_DEFAULT);
    if (FUntranslated) {
        ::uselocale(FBefore);
        ::freelocale(FUntranslated);
    }
}

} // namespace kestrum
