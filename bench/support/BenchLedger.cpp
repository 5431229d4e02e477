#include "BenchLedger.h"

#include "ledger/LedgerFile.h"

#include <QFile>

#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace kestrum::bench {

namespace {

void Exec(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

//! `rows` entries spread over ten years, with amounts that have cents and a
//! handful of items, the way a household's ledger looks after long use.
std::string FillSql(const char *table, const char *amount, const char *date, const char *item, int rows,
                    const char *items)
{
    return std::string("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ") +
           std::to_string(rows - 1) + ") INSERT INTO " + table + " (\"" + amount + "\", \"" + date +
           "\", \"" + item + "\", \"备注\") SELECT ((i * 7919) % 900000) / 100.0 + 1, " +
           "datetime('2016-01-01', '+' || (i % 3650) || ' days'), " + "'" + items +
           "' || (i % 7), CASE WHEN i % 3 = 0 THEN '' ELSE 'remark ' || i END FROM n";
}

} // namespace

void MakeBenchLedger(const QString &path, int incomeRows, int expenseRows)
{
    if (const char *source = std::getenv("KESTRUM_LEDGER_1M")) {
        if (!QFile::copy(QString::fromLocal8Bit(source), path))
            throw std::runtime_error(std::string("cannot copy ") + source);
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return;
    }
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot create " + path.toStdString());
    Exec(raw, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
    Exec(raw, LedgerSchemaSql);
    if (incomeRows > 0)
        Exec(raw, FillSql("gain", "本次进帐", "进帐时间", "进帐人", incomeRows, "income "));
    if (expenseRows > 0)
        Exec(raw, FillSql("expen", "消费金额", "消费日期", "消费者", expenseRows, "expense "));
    Exec(raw, "COMMIT");
}

} // namespace kestrum::bench
