#include "db/PgRowStream.h"

#include "db/PgDriver.h"

namespace kestrum {

PGresult *TPgRowStream::Open(const std::string &sql, const std::vector<const char *> &values,
                             const std::vector<int> &lengths, const std::vector<int> &formats,
                             const std::vector<Oid> &types)
{
    pg_conn *connection = FDriver.Handle();
    const bool own = PQtransactionStatus(connection) == PQTRANS_IDLE;
    if (own)
        FDriver.Exec("BEGIN");
    FCursor = FDriver.NewCursorName();
    PGresult *declared =
        PQexecParams(connection, ("DECLARE " + FCursor + " NO SCROLL CURSOR FOR " + sql).c_str(),
                     int(values.size()), types.data(), values.data(), lengths.data(), formats.data(), 0);
    if (PQresultStatus(declared) != PGRES_COMMAND_OK) {
        if (own)
            PQclear(PQexec(connection, "ROLLBACK"));
        try {
            FDriver.Fail(declared, "无法执行数据库语句");
        } catch (...) {
            PQclear(declared);
            throw;
        }
    }
    PQclear(declared);
    FOpen = true;
    FOwnsTransaction = own;
    FDriver.BeginStream(this, own, [this] { TakeRest(); });
    return Fetch();
}

PGresult *TPgRowStream::Next()
{
    if (FRest) {
        PGresult *rest = FRest;
        FRest = nullptr;
        return rest;
    }
    return Fetch();
}

void TPgRowStream::Reset()
{
    Close();
    PQclear(FRest);
    FRest = nullptr;
}

PGresult *TPgRowStream::Fetch()
{
    PGresult *batch =
        PQexec(FDriver.Handle(), ("FETCH FORWARD " + std::to_string(BatchRows) + " FROM " + FCursor).c_str());
    if (PQresultStatus(batch) != PGRES_TUPLES_OK) {
        Close();
        try {
            FDriver.Fail(batch, "无法执行数据库语句");
        } catch (...) {
            PQclear(batch);
            throw;
        }
    }
    if (PQntuples(batch) < BatchRows)
        Close();
    return batch;
}

void TPgRowStream::TakeRest()
{
    if (!FOpen)
        return;
    PGresult *rest = PQexec(FDriver.Handle(), ("FETCH ALL FROM " + FCursor).c_str());
    if (PQresultStatus(rest) == PGRES_TUPLES_OK && PQntuples(rest) > 0) {
        PQclear(FRest);
        FRest = rest;
    } else {
        PQclear(rest);
    }
    Close();
}

void TPgRowStream::Close()
{
    if (!FOpen)
        return;
    FOpen = false;
    FDriver.EndStream(this);
    pg_conn *connection = FDriver.Handle();
    if (PQtransactionStatus(connection) == PQTRANS_INERROR) {
        if (FOwnsTransaction)
            PQclear(PQexec(connection, "ROLLBACK"));
        return;
    }
    PQclear(PQexec(connection, ("CLOSE " + FCursor + (FOwnsTransaction ? "; COMMIT" : "")).c_str()));
}

} // namespace kestrum
