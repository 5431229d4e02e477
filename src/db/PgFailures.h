#pragma once
// How a failure of libpq or of a PostgreSQL server becomes an EDbDriverError
// with a Chinese message (TPgDriver::Fail, TPgDriver::ConnectFailure, and
// TPgConnectWords, which keeps a failure to connect recognisable), and making
// the link within the time the connection asks for.
struct pg_conn;

namespace kestrum {

inline constexpr const char *TimeoutLead = "无法连接数据库服务器：服务器没有在规定时间内应答";

//! Drives a started connection to its end; false when the server did not
//! answer in time (the connection is then still unmade).
bool AwaitConnection(pg_conn *connection);

} // namespace kestrum
