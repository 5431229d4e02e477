#include "db/PgDriver.h"

#include "db/DateText.h"
#include "db/PgFailures.h"
#include "db/PgRowStream.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace kestrum {

namespace {

// Type oids of the built-in types (pg_type.dat); they never change.
enum : Oid {
    BoolOid = 16,
    ByteaOid = 17,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    OidOid = 26,
    Float4Oid = 700,
    Float8Oid = 701,
    TextOid = 25,
    BpcharOid = 1042,
    VarcharOid = 1043,
    DateOid = 1082,
    TimestampOid = 1114,
    TimestampTzOid = 1184,
    NumericOid = 1700,
};

//! Whether a statement reads rows (SELECT, WITH, VALUES, TABLE), as
//! opposed to one that writes or sets something.
bool IsQuery(const std::string &sql)
{
    std::size_t at = 0;
    while (at < sql.size() && (std::isspace(static_cast<unsigned char>(sql[at])) || sql[at] == '('))
        ++at;
    std::string word;
    while (at < sql.size() && std::isalpha(static_cast<unsigned char>(sql[at])))
        word += char(std::toupper(static_cast<unsigned char>(sql[at++])));
    return word == "SELECT" || word == "WITH" || word == "VALUES" || word == "TABLE";
}

class TPgStatement : public TDbStatement {
public:
    TPgStatement(TPgDriver &driver, std::string sql, bool insert, bool mayStream)
        : FDriver(driver), FSql(std::move(sql)), FInsert(insert),
          FMayStream(mayStream && !insert && IsQuery(FSql))
    {
    }
    ~TPgStatement() override
    {
        FRows.Reset();
        PQclear(FResult);
        PQclear(FDescription);
        // A name of an ended session is gone with it.
        if (!FPrepared.empty() && FPreparedSession == FDriver.Session())
            FDriver.ForgetStatement(FPrepared);
    }

    void BindNull(int index) override { Slot(index) = {std::string(), 0, false, true}; }
    void BindInt64(int index, std::int64_t value) override
    {
        Slot(index) = {std::to_string(value), Int8Oid, false, false};
    }
    void BindDouble(int index, double value) override
    {
        // As an exact decimal: the server turns a float8 into numeric by its
        // first fifteen digits only, so 12345678901234.568 would be written
        // as 12345678901234.6, unlike the file, which keeps the double. The
        // shortest text that reads back to the double is what a file shows.
        // numeric has no room for NaN and the infinities of older servers.
        if (!std::isfinite(value))
            return BindDoubleAsRead(index, value);
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        Slot(index) = {std::string(text, end), NumericOid, false, false};
    }
    void BindDoubleAsRead(int index, double value) override
    {
        // Compared as a double: the column's value goes through the same
        // rounding that reading it took, so a decimal with more digits than a
        // double holds still matches what was read of it.
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        Slot(index) = {std::string(text, end), Float8Oid, false, false};
    }
    void BindInt64AsRead(int index, std::int64_t value) override
    {
        // Untyped: compared with a boolean column, "1" and "0" read as yes
        // and no; with a number column, as that number.
        Slot(index) = {std::to_string(value), 0, false, false};
    }
    void BindBool(int index, bool value) override
    {
        // Untyped as well, so that a number column takes it as 1 or 0.
        Slot(index) = {value ? "1" : "0", 0, false, false};
    }
    void BindText(int index, std::string_view value) override
    {
        // Untyped: the server takes it as the type the statement needs there.
        Slot(index) = {std::string(value), 0, false, false};
    }
    void BindBlob(int index, std::string_view bytes) override
    {
        Slot(index) = {std::string(bytes), ByteaOid, true, false};
    }
    void BindDateTime(int index, double days) override
    {
        Slot(index) = {DaysToIsoText(days), TimestampOid, false, false};
    }

    bool Step() override
    {
        if (!FResult) {
            Run();
            // The key an INSERT returns is the driver's to keep, not a row.
            if (FInsert)
                return false;
        }
        ++FRow;
        if (FRow < PQntuples(FResult))
            return true;
        if (!FRows.HasMore())
            return false;
        FBlobs.clear();
        PGresult *next = FRows.Next();
        PQclear(FResult);
        FResult = next;
        FRow = 0;
        return FRow < PQntuples(FResult);
    }
    void Reset() override
    {
        FRows.Reset();
        FBlobs.clear();
        PQclear(FResult);
        FResult = nullptr;
        FRow = -1;
    }

    int ColumnCount() const override { return PQnfields(Columns()); }
    std::string ColumnName(int column) const override
    {
        const char *name = PQfname(Columns(), column);
        return name ? name : "";
    }
    TDbValueType ColumnType(int column) const override
    {
        if (PQgetisnull(FResult, FRow, column))
            return TDbValueType::Null;
        switch (PQftype(FResult, column)) {
        case BoolOid:
        case Int2Oid:
        case Int4Oid:
        case Int8Oid:
        case OidOid:
            return TDbValueType::Integer;
        case Float4Oid:
        case Float8Oid:
        case NumericOid:
            return TDbValueType::Real;
        case ByteaOid:
            return TDbValueType::Blob;
        case DateOid:
        case TimestampOid:
        case TimestampTzOid:
            return TDbValueType::DateTime;
        default:
            return TDbValueType::Text;
        }
    }
    std::int64_t ColumnInt64(int column) const override
    {
        const char *text = Value(column);
        if (PQftype(FResult, column) == BoolOid)
            return text[0] == 't' ? 1 : 0;
        if (ColumnType(column) == TDbValueType::Real)
            return std::int64_t(std::strtod(text, nullptr));
        return std::strtoll(text, nullptr, 10);
    }
    double ColumnDouble(int column) const override
    {
        if (PQftype(FResult, column) == BoolOid)
            return double(ColumnInt64(column));
        return std::strtod(Value(column), nullptr);
    }
    std::string ColumnText(int column) const override
    {
        return std::string(Value(column), std::size_t(PQgetlength(FResult, FRow, column)));
    }
    std::string ColumnBlob(int column) const override
    {
        if (PQftype(FResult, column) != ByteaOid)
            return ColumnText(column);
        std::size_t length = 0;
        unsigned char *bytes =
            PQunescapeBytea(reinterpret_cast<const unsigned char *>(Value(column)), &length);
        std::string blob(reinterpret_cast<const char *>(bytes), length);
        PQfreemem(bytes);
        return blob;
    }
    double ColumnDateTime(int column) const override
    {
        std::string text = ColumnText(column);
        // The server writes microseconds; the ledger keeps milliseconds.
        const std::size_t dot = text.find('.');
        if (dot != std::string::npos && text.size() > dot + 4)
            text.resize(dot + 4);
        if (const std::optional<double> days = IsoTextToDays(text))
            return *days;
        if (ColumnType(column) == TDbValueType::Real || ColumnType(column) == TDbValueType::Integer)
            return ColumnDouble(column);
        throw EDbDriverError(TDbErrorKind::Other, "“" + text + "”不是日期。");
    }
    std::string_view ColumnBytes(int column) const override
    {
        switch (ColumnType(column)) {
        case TDbValueType::Text:
        case TDbValueType::DateTime:
            return {Value(column), std::size_t(PQgetlength(FResult, FRow, column))};
        case TDbValueType::Blob: {
            // Kept until the next row, as the caller may read it more than once.
            if (FBlobs.size() <= std::size_t(column))
                FBlobs.resize(std::size_t(column) + 1);
            std::pair<int, std::string> &kept = FBlobs[std::size_t(column)];
            if (kept.first != FRow)
                kept = {FRow, ColumnBlob(column)};
            return kept.second;
        }
        default:
            return {};
        }
    }
    TDbColumnOrigin ColumnOrigin(int column) const override
    {
        const PGresult *columns = Columns();
        TDbColumnOrigin origin;
        origin.DeclaredType = TPgDriver::DeclaredTypeOf(PQftype(columns, column), PQfmod(columns, column));
        const Oid table = PQftable(columns, column);
        const int number = PQftablecol(columns, column);
        if (table != InvalidOid && number > 0)
            std::tie(origin.Table, origin.Column) = FDriver.ColumnOriginName(table, number);
        return origin;
    }

private:
    struct TParameter {
        std::string Text;
        Oid Type = 0;
        bool Binary = false;
        bool Null = true;
    };

    TParameter &Slot(int index)
    {
        if (index < 1 || index > 65535)
            throw EDbDriverError(TDbErrorKind::Other, "参数编号" + std::to_string(index) + "不可用。");
        if (FResult)
            Reset();
        if (std::size_t(index) > FParameters.size())
            FParameters.resize(std::size_t(index));
        return FParameters[std::size_t(index) - 1];
    }

    const char *Value(int column) const { return PQgetvalue(FResult, FRow, column); }

    void Run()
    {
        const std::size_t count = FParameters.size();
        std::vector<const char *> values(count);
        std::vector<int> lengths(count), formats(count);
        std::vector<Oid> types(count);
        for (std::size_t i = 0; i < count; ++i) {
            const TParameter &p = FParameters[i];
            values[i] = p.Null ? nullptr : p.Text.c_str();
            lengths[i] = int(p.Text.size());
            formats[i] = p.Binary ? 1 : 0;
            types[i] = p.Type;
        }
        // A write, or a query run plainly, does not belong in the transaction
        // another query's cursor made for itself.
        FDriver.FinishStreams(!FMayStream);
        FDriver.DropForgottenStatements();
        // Prepared in a session that has ended since (the link was made
        // again): the server no longer knows the name.
        if (!FPrepared.empty() && FPreparedSession != FDriver.Session())
            FPrepared.clear();
        // A statement run again is parsed and planned once on the server,
        // for as long as its parameters keep their types.
        if (++FRuns >= 2 && !FPrepared.empty() && !SameTypes(types)) {
            FDriver.ForgetStatement(FPrepared);
            FPrepared.clear();
        }
        if (FRuns >= 2 && FPrepared.empty()) {
            const std::string name = FDriver.NewStatementName();
            PGresult *prepared =
                PQprepare(FDriver.Handle(), name.c_str(), FSql.c_str(), int(count), types.data());
            const bool ok = PQresultStatus(prepared) == PGRES_COMMAND_OK;
            if (!ok) {
                try {
                    FDriver.Fail(prepared, "无法准备数据库语句");
                } catch (...) {
                    PQclear(prepared);
                    throw;
                }
            }
            PQclear(prepared);
            FPrepared = name;
            FPreparedTypes = types;
            FPreparedSession = FDriver.Session();
        }
        // The first run of a query reads its rows in batches.
        if (FMayStream && FRuns == 1) {
            PGresult *first = FRows.Open(FSql, values, lengths, formats, types);
            PQclear(FResult);
            FResult = first;
            FRow = -1;
            return;
        }
        if (FPrepared.empty())
            FResult = PQexecParams(FDriver.Handle(), FSql.c_str(), int(count), types.data(), values.data(),
                                   lengths.data(), formats.data(), 0);
        else
            FResult = PQexecPrepared(FDriver.Handle(), FPrepared.c_str(), int(count), values.data(),
                                     lengths.data(), formats.data(), 0);
        const ExecStatusType status = PQresultStatus(FResult);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            PGresult *failed = FResult;
            FResult = nullptr;
            try {
                FDriver.Fail(failed, "无法执行数据库语句");
            } catch (...) {
                PQclear(failed);
                throw;
            }
        }
        FRow = -1;
        // The row an INSERT ... RETURNING added is the statement's only row.
        if (FInsert && PQntuples(FResult) > 0)
            FDriver.NoteInsertId(std::strtoll(PQgetvalue(FResult, PQntuples(FResult) - 1, 0), nullptr, 10));
    }

    //! Whether values of `types` fit the prepared statement: a null fits any
    //! parameter, and an untyped one takes whatever the server made of it.
    bool SameTypes(const std::vector<Oid> &types) const
    {
        if (types.size() != FPreparedTypes.size())
            return false;
        for (std::size_t i = 0; i < types.size(); ++i)
            if (!FParameters[i].Null && types[i] != FPreparedTypes[i] &&
                (FPreparedTypes[i] != 0 || FParameters[i].Binary))
                return false;
        return true;
    }

    //! The result, or before the first Step the server's description of it.
    const PGresult *Columns() const
    {
        if (FResult)
            return FResult;
        if (!FDescription)
            const_cast<TPgStatement *>(this)->Describe();
        return FDescription;
    }

    void Describe()
    {
        FDriver.DropForgottenStatements();
        PGresult *prepared = PQprepare(FDriver.Handle(), "", FSql.c_str(), 0, nullptr);
        const bool ok = PQresultStatus(prepared) == PGRES_COMMAND_OK;
        PQclear(prepared);
        if (!ok)
            FDriver.Fail(nullptr, "无法准备数据库语句");
        FDescription = PQdescribePrepared(FDriver.Handle(), "");
        if (PQresultStatus(FDescription) != PGRES_COMMAND_OK) {
            PQclear(FDescription);
            FDescription = nullptr;
            FDriver.Fail(nullptr, "无法准备数据库语句");
        }
    }

    TPgDriver &FDriver;
    std::string FSql;
    bool FInsert;
    std::vector<TParameter> FParameters;
    PGresult *FResult = nullptr;
    int FRow = -1;
    PGresult *FDescription = nullptr;
    int FRuns = 0;
    bool FMayStream;             //!< a query: its rows may come in batches
    TPgRowStream FRows{FDriver}; //!< the rows of a query read in batches
    std::string FPrepared;       //!< the server's name for it once run twice
    std::vector<Oid> FPreparedTypes;
    int FPreparedSession = 0;                                //!< the session that knows FPrepared
    mutable std::vector<std::pair<int, std::string>> FBlobs; //!< unescaped blobs: row, bytes
};

} // namespace

TPgDriver::TPgDriver(const std::string &target)
{
    const char *keywords[] = {"dbname", "fallback_application_name", "client_encoding", nullptr};
    const char *values[] = {target.c_str(), "kestrum", "UTF8", nullptr};
    bool timedOut = false;
    {
        // A socket that is not there fails while the connection starts.
        TPgConnectWords words(nullptr);
        FConnection = PQconnectStartParams(keywords, values, 1);
        if (!FConnection)
            throw EDbDriverError(TDbErrorKind::ConnectionLost, "无法连接数据库服务器：内存不足。");
        words.Attach(FConnection);
        timedOut = !AwaitConnection(FConnection);
    }
    if (PQstatus(FConnection) != CONNECTION_OK) {
        const EDbDriverError failure =
            timedOut ? EDbDriverError(TDbErrorKind::ConnectionLost, std::string(TimeoutLead) + "。")
                     : ConnectFailure(FConnection);
        PQfinish(FConnection);
        FConnection = nullptr;
        throw failure;
    }
    try {
        FSessionPid = PQbackendPID(FConnection);
        FSession = 1;
        StartSession();
    } catch (...) {
        PQfinish(FConnection);
        FConnection = nullptr;
        throw;
    }
}

void TPgDriver::StartSession()
{
    // Dates as ISO text, whatever the server's default.
    Exec("SET DateStyle TO 'ISO, YMD'; SET IntervalStyle TO 'iso_8601'");
    if (FWatching)
        WatchChanges();
}

int TPgDriver::Session()
{
    // A session the driver does not know yet: libpq made the link again.
    if (PQstatus(FConnection) == CONNECTION_OK && PQbackendPID(FConnection) != FSessionPid) {
        FSessionPid = PQbackendPID(FConnection);
        ++FSession;
        FForgotten.clear();
        FSessionUnset = true;
    }
    return FSession;
}

void TPgDriver::RenewSession()
{
    FSessionPid = PQbackendPID(FConnection);
    ++FSession;
    FForgotten.clear();
    FSessionUnset = false;
    StartSession();
}

TPgDriver::~TPgDriver()
{
    PQfinish(FConnection);
}

std::string TPgDriver::NewStatementName()
{
    return "kestrum_" + std::to_string(++FStatements);
}

void TPgDriver::ForgetStatement(const std::string &name)
{
    FForgotten.push_back(name);
}

void TPgDriver::BeginStream(const void *statement, bool ownsTransaction, std::function<void()> takeRest)
{
    FStreams.push_back({statement, ownsTransaction, std::move(takeRest)});
}

void TPgDriver::EndStream(const void *statement)
{
    std::erase_if(FStreams, [statement](const TStream &stream) { return stream.Statement == statement; });
}

void TPgDriver::FinishStreams(bool onlyOwnTransactions)
{
    if (onlyOwnTransactions &&
        std::none_of(FStreams.begin(), FStreams.end(), [](const TStream &s) { return s.OwnsTransaction; }))
        return;
    // The newest first: an older cursor's transaction may hold the newer.
    while (!FStreams.empty()) {
        const std::function<void()> takeRest = FStreams.back().TakeRest;
        takeRest(); // ends the stream
    }
}

std::string TPgDriver::NewCursorName()
{
    return "kestrum_cursor_" + std::to_string(++FStatements);
}

void TPgDriver::DropForgottenStatements()
{
    // A new session first gets its settings; its statements are not there.
    Session();
    if (FSessionUnset) {
        FSessionUnset = false;
        StartSession();
    }
    // Not while a failed transaction refuses every command but its end.
    if (FForgotten.empty() || PQtransactionStatus(FConnection) == PQTRANS_INERROR)
        return;
    std::string sql;
    for (const std::string &name : FForgotten)
        sql += "DEALLOCATE " + name + ";";
    FForgotten.clear();
    PGresult *result = PQexec(FConnection, sql.c_str());
    PQclear(result);
}

std::unique_ptr<TDbStatement> TPgDriver::Prepare(std::string_view sql)
{
    return std::make_unique<TPgStatement>(*this, NumberedParameters(sql), false, true);
}

std::unique_ptr<TDbStatement> TPgDriver::PrepareInsert(std::string_view sql, std::string_view key)
{
    std::string text = NumberedParameters(sql);
    while (!text.empty() && (text.back() == ';' || text.back() == ' '))
        text.pop_back();
    std::string quoted = "\"";
    for (char c : key) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return std::make_unique<TPgStatement>(*this, text + " RETURNING " + quoted + "\"", true, false);
}

void TPgDriver::Exec(std::string_view sql)
{
    // A transaction's end, a savepoint, a write: no cursor stays open across it.
    FinishStreams(false);
    DropForgottenStatements();
    PGresult *result = PQexec(FConnection, std::string(sql).c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        try {
            Fail(result, "无法执行数据库语句");
        } catch (...) {
            PQclear(result);
            throw;
        }
    }
    PQclear(result);
}

std::string TPgDriver::DeclaredTypeOf(unsigned type, int modifier)
{
    // Money (numeric) reads as a file's REAL does, keys of any width as its
    // INTEGER, so that a field has the same type on either engine.
    switch (type) {
    case BoolOid:
        return "BOOLEAN";
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
        return "INTEGER";
    case Float4Oid:
    case Float8Oid:
    case NumericOid:
        return "REAL";
    case DateOid:
        return "DATE";
    case TimestampOid:
    case TimestampTzOid:
        return "DATETIME";
    case VarcharOid:
        return modifier > 4 ? "VARCHAR(" + std::to_string(modifier - 4) + ")" : "VARCHAR";
    case BpcharOid:
        return modifier > 4 ? "CHAR(" + std::to_string(modifier - 4) + ")" : "CHAR";
    case TextOid:
        return "TEXT";
    case ByteaOid:
        return "BLOB";
    default:
        return "";
    }
}

std::pair<std::string, std::string> TPgDriver::ColumnOriginName(unsigned table, int column)
{
    auto found = FOriginNames.find(table);
    if (found == FOriginNames.end()) {
        auto names = Prepare("SELECT c.relname, a.attnum, a.attname FROM pg_catalog.pg_class c "
                             "JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid "
                             "WHERE c.oid = ?1::oid AND a.attnum > 0 AND NOT a.attisdropped");
        names->BindInt64(1, std::int64_t(table));
        std::pair<std::string, std::map<int, std::string>> entry;
        while (names->Step()) {
            entry.first = names->ColumnText(0);
            entry.second[int(names->ColumnInt64(1))] = names->ColumnText(2);
        }
        found = FOriginNames.emplace(table, std::move(entry)).first;
    }
    const auto name = found->second.second.find(column);
    if (name == found->second.second.end())
        return {};
    return {found->second.first, name->second};
}

std::vector<TDbTableColumn> TPgDriver::TableColumns(std::string_view table)
{
    if (const auto found = FTableColumns.find(table); found != FTableColumns.end())
        return found->second;
    auto info = Prepare(
        "SELECT a.attname, a.atttypid::bigint, a.atttypmod, "
        "EXISTS (SELECT 1 FROM pg_catalog.pg_index i WHERE i.indrelid = c.oid "
        "AND i.indisprimary AND a.attnum = ANY (i.indkey)) "
        "FROM pg_catalog.pg_class c JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid "
        "WHERE c.relname = ?1 AND c.relkind IN ('r', 'v', 'p') AND pg_catalog.pg_table_is_visible(c.oid) "
        "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum");
    info->BindText(1, table);
    std::vector<TDbTableColumn> columns;
    while (info->Step())
        columns.push_back({info->ColumnText(0),
                           DeclaredTypeOf(unsigned(info->ColumnInt64(1)), int(info->ColumnInt64(2))),
                           info->ColumnInt64(3) != 0});
    // A table that is not there yet is asked for again next time.
    if (!columns.empty())
        FTableColumns.emplace(std::string(table), columns);
    return columns;
}

std::vector<std::string> TPgDriver::TableNames()
{
    auto list = Prepare("SELECT c.relname FROM pg_catalog.pg_class c WHERE c.relkind IN ('r', 'v', 'p') "
                        "AND pg_catalog.pg_table_is_visible(c.oid)");
    std::vector<std::string> names;
    while (list->Step())
        names.push_back(list->ColumnText(0));
    return names;
}

bool TPgDriver::InTransaction() const
{
    // While rows come the connection says only that it is busy.
    const_cast<TPgDriver *>(this)->FinishStreams(true);
    const PGTransactionStatusType status = PQtransactionStatus(FConnection);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

void TPgDriver::WatchChanges()
{
    FWatching = true;
    Exec(std::string("LISTEN ") + ChangeChannel);
}

void TPgDriver::Collect(std::vector<TDbChange> &changes)
{
    if (PQconsumeInput(FConnection) == 0)
        Fail(nullptr, "无法接收服务器的通知");
    const int self = PQbackendPID(FConnection);
    while (PGnotify *notice = PQnotifies(FConnection)) {
        if (notice->be_pid != self && std::strcmp(notice->relname, ChangeChannel) == 0) {
            const std::string payload = notice->extra ? notice->extra : "";
            const std::size_t colon = payload.rfind(':');
            TDbChange change;
            if (colon != std::string::npos) {
                change.Table = payload.substr(0, colon);
                change.RowId = std::strtoll(payload.c_str() + colon + 1, nullptr, 10);
            } else {
                change.Table = payload;
            }
            changes.push_back(std::move(change));
        }
        PQfreemem(notice);
    }
}

std::vector<TDbChange> TPgDriver::TakeChanges(int waitMilliseconds)
{
    std::vector<TDbChange> changes;
    Collect(changes);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    while (changes.empty()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
                .count();
        if (left <= 0)
            break;
        pollfd socket{PQsocket(FConnection), POLLIN, 0};
        if (::poll(&socket, 1, int(left)) <= 0)
            break;
        Collect(changes);
    }
    return changes;
}

} // namespace kestrum
