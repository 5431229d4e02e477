#pragma once
// The ledger's services run alike on a ledger file and on a ledger on a
// PostgreSQL server. Tests of them take the engine as their parameter: a
// new ledger file, or a new database on the throwaway server with the
// server's schema. Rows read back as an SQLite file writes them, so that one
// expectation serves both.
#include "ServerSchema.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "ledger/LedgerFile.h"
#include "support/PgServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace kestrum::test {

enum class TEngine { File, Server };

inline std::string EngineName(const ::testing::TestParamInfo<TEngine> &info)
{
    return info.param == TEngine::File ? "File" : "Server";
}

//! A number as SQLite writes a REAL: "8600.5", "2800.0".
inline std::string RealText(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    std::string out = text;
    if (out.find_first_of(".eEn") == std::string::npos)
        out += ".0";
    return out;
}

//! One value of the current row as an SQLite file shows it.
inline std::string CellText(const TDbStatement &s, int column, bool server)
{
    switch (s.ColumnType(column)) {
    case TDbValueType::Null:
        return "-";
    case TDbValueType::Real:
        return server ? RealText(s.ColumnDouble(column)) : s.ColumnText(column);
    default:
        return s.ColumnText(column);
    }
}

class LedgerOnEngine : public ::testing::TestWithParam<TEngine> {
protected:
    void SetUp() override
    {
        if (GetParam() == TEngine::Server) {
            if (test::TPgServer::Skipped())
                GTEST_SKIP() << "KESTRUM_PG_SKIP=1";
            try {
                test::TPgServer &server = test::TPgServer::Shared();
                FTarget = server.ConnectionString(server.CreateDatabase());
                auto ledger = std::make_unique<TPgDriver>(FTarget);
                CreateServerLedger(*ledger);
                FDriver = std::move(ledger);
            } catch (const std::exception &e) {
                FAIL() << e.what();
            }
        } else {
            ASSERT_TRUE(FDir.isValid());
            FTarget = FDir.filePath("Vantorel.mdb").toStdString();
            CreateLedgerDatabase(QString::fromStdString(FTarget));
            FDriver = std::make_unique<TSqliteDriver>(FTarget, false, 2000);
        }
    }

    bool OnServer() const { return GetParam() == TEngine::Server; }
    TDbDriver &Db() const { return *FDriver; }
    //! Another connection to the same ledger (another window, another computer).
    std::unique_ptr<TDbDriver> Connect() const
    {
        if (OnServer())
            return std::make_unique<TPgDriver>(FTarget);
        return std::make_unique<TSqliteDriver>(FTarget, false, 2000);
    }
    //! Closes the test's connection and opens a new one (the program restarted).
    void Reopen()
    {
        FDriver.reset();
        FDriver = Connect();
    }

    static void Exec(TDbDriver &db, const std::string &sql)
    {
        try {
            db.Exec(sql);
        } catch (const std::exception &e) {
            ADD_FAILURE() << sql << ": " << e.what();
        }
    }
    void Exec(const std::string &sql) const { Exec(*FDriver, sql); }
    //! Every row of a query, cells separated by "|", rows by ";" (NULL as "-").
    std::string Rows(TDbDriver &db, const std::string &sql) const
    {
        std::string out;
        try {
            auto s = db.Prepare(sql);
            while (s->Step()) {
                if (!out.empty())
                    out += ";";
                for (int i = 0; i < s->ColumnCount(); ++i)
                    out += (i ? "|" : "") + CellText(*s, i, OnServer());
            }
        } catch (const std::exception &e) {
            return std::string("<error: ") + e.what() + ">";
        }
        return out;
    }
    std::string Rows(const std::string &sql) const { return Rows(*FDriver, sql); }
    //! The first value of a query ("<none>" without a row).
    std::string Scalar(const std::string &sql) const
    {
        const std::string rows = Rows(sql);
        return rows.empty() ? "<none>" : rows.substr(0, rows.find_first_of("|;"));
    }
    //! A write transaction as the engine spells its start.
    void BeginWrite(TDbDriver &db) const { db.Exec(OnServer() ? "BEGIN" : "BEGIN IMMEDIATE"); }

    QTemporaryDir FDir;
    std::string FTarget;
    std::unique_ptr<TDbDriver> FDriver;
};

#define KESTRUM_ON_BOTH_ENGINES(fixture)                                                                     \
    INSTANTIATE_TEST_SUITE_P(Engines, fixture, ::testing::Values(TEngine::File, TEngine::Server), EngineName)

} // namespace kestrum::test
