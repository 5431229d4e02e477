#pragma once
// What the tests of the totals kept by triggers share: a ledger file with
// this program's connection (its functions, journal, trash and date
// indexes, whose triggers fire beside the totals') and a second connection
// without any function of ours, as the sqlite3 shell writes the file.
#include "db/JetFunctions.h"
#include "ledger/DateIndexes.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/Trash.h"
#include "support/HandleDriver.h"

#include "core/Variant.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>

namespace kestrum {

class KeptLedgerTest : public ::testing::Test {
protected:
    using TDatabase = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

    KeptLedgerTest()
    {
        CreateLedgerDatabase(Path());
        FProgram = Open(SQLITE_OPEN_READWRITE);
        RegisterJetFunctions(FProgram.get());
        EnsureDateIndexes(FProgram.get());
        EnsureJournal(DriverOf(FProgram.get()));
        EnsureTrash(DriverOf(FProgram.get()));
        FShell = Open(SQLITE_OPEN_READWRITE);
    }

    QString Path() const { return FDir.filePath("Vantorel.mdb"); }
    TDatabase Open(int flags)
    {
        sqlite3 *raw = nullptr;
        sqlite3_open_v2(Path().toUtf8().constData(), &raw, flags, nullptr);
        sqlite3_busy_timeout(raw, 2000);
        return TDatabase(raw, sqlite3_close);
    }

    //! "ok", or SQLite's message.
    static std::string Exec(sqlite3 *db, const std::string &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK)
            return "ok";
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        return message;
    }

    //! A sum as one string that tells every bit of it: "null", "real 0x1.8p+1".
    static std::string Describe(const Variant &value)
    {
        if (value.isNull())
            return "null";
        char text[64];
        std::snprintf(text, sizeof text, "%a", value.toDouble());
        return (value.type() == VarType::Float64 ? "real " : "other ") + std::string(text);
    }

    QTemporaryDir FDir;
    TDatabase FProgram{nullptr, sqlite3_close};
    TDatabase FShell{nullptr, sqlite3_close};
};

} // namespace kestrum
