#pragma once
// What the server ledger tests share: a fresh database with a driver on it,
// and rows read back as text for comparing a file's with a server's.
#include "db/PgDriver.h"
#include "server/PgTest.h"

#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>

namespace kestrum::test {

//! The rows of `sql`, columns split by |, amounts to four decimals.
inline std::string Rows(TDbDriver &driver, const std::string &sql)
{
    std::string rows;
    auto select = driver.Prepare(sql);
    while (select->Step()) {
        for (int c = 0; c < select->ColumnCount(); ++c) {
            if (c)
                rows += '|';
            switch (select->ColumnType(c)) {
            case TDbValueType::Null:
                rows += "NULL";
                break;
            case TDbValueType::Real: { // amounts compared as numbers: 12.5 and 12.5000 alike
                char text[32];
                std::snprintf(text, sizeof text, "%.4f", select->ColumnDouble(c));
                rows += text;
                break;
            }
            default:
                rows += select->ColumnText(c);
            }
        }
        rows += '\n';
    }
    return rows;
}

class ServerLedgerTest : public PgTest {
protected:
    void SetUp() override
    {
        PgTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        Target = Server->ConnectionString(Database);
        Ledger = std::make_unique<TPgDriver>(Target);
    }

    std::string Target;
    std::unique_ptr<TPgDriver> Ledger;
    QTemporaryDir Folder;
};

} // namespace kestrum::test
