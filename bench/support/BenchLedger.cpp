#include "BenchLedger.h"

#include "ledger/DateIndexes.h"
#include "ledger/LedgerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

#ifndef KESTRUM_BENCH_CACHE_DIR
#define KESTRUM_BENCH_CACHE_DIR "bench-ledgers"
#endif

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
//! handful of items, the way a household's ledger looks after long use. Row i
//! depends only on i and the seed; seed 0 gives the rows the benchmarks were
//! first written against. An amount is its cents divided by 100 in one step,
//! so that it is the double its decimal reads as, as a typed or imported one
//! is (adding 1 after the division would round twice).
std::string FillSql(const char *table, const char *amount, const char *date, const char *item,
                    std::int64_t rows, const char *items, unsigned seed)
{
    const std::string i = "(i + " + std::to_string(seed) + " * 1000003)";
    return std::string("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ") +
           std::to_string(rows - 1) + ") INSERT INTO " + table + " (\"" + amount + "\", \"" + date +
           "\", \"" + item + "\", \"备注\") SELECT (((" + i + " * 7919) % 900000) + 100) / 100.0, " +
           "datetime('2016-01-01', '+' || (" + i + " % 3650) || ' days'), " + "'" + items + "' || (" + i +
           " % 7), CASE WHEN " + i + " % 3 = 0 THEN '' ELSE 'remark ' || " + i + " END FROM n";
}

QString CacheFolder()
{
    if (const char *folder = std::getenv("KESTRUM_BENCH_CACHE"); folder && *folder)
        return QString::fromLocal8Bit(folder);
    return QString::fromUtf8(KESTRUM_BENCH_CACHE_DIR);
}

void Generate(const QString &path, std::int64_t incomeRows, std::int64_t expenseRows, unsigned seed)
{
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot create " + path.toStdString());
    Exec(raw, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
    Exec(raw, LedgerSchemaSql);
    if (incomeRows > 0)
        Exec(raw, FillSql("gain", "本次进帐", "进帐时间", "进帐人", incomeRows, "income ", seed));
    if (expenseRows > 0)
        Exec(raw, FillSql("expen", "消费金额", "消费日期", "消费者", expenseRows, "expense ", seed));
    // As the program adds them on open; the journal and the trash are left
    // to it, as in a file an older version wrote.
    EnsureDateIndexes(raw);
    Exec(raw, "COMMIT");
    if (sqlite3_close(db.release()) != SQLITE_OK)
        throw std::runtime_error("cannot finish " + path.toStdString());
}

} // namespace

QString CachedBenchLedger(std::int64_t incomeRows, std::int64_t expenseRows, unsigned seed)
{
    const QString folder = CacheFolder();
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot make the folder " + folder.toStdString());
    const QString path = QDir(folder).absoluteFilePath(
        QStringLiteral("ledger-v2-seed%1-income%2-expense%3.mdb").arg(seed).arg(incomeRows).arg(expenseRows));
    if (QFileInfo::exists(path))
        return path;
    // Built under a name of this process and renamed when complete, so an
    // interrupted run leaves no half-made ledger for the next one.
    const QString building = path + QStringLiteral(".%1.part").arg(::getpid());
    QFile::remove(building);
    if (incomeRows + expenseRows >= 1000000)
        std::fprintf(stderr, "Generating %lld entries into %s (once)...\n",
                     (long long)(incomeRows + expenseRows), path.toLocal8Bit().constData());
    try {
        Generate(building, incomeRows, expenseRows, seed);
    } catch (...) {
        QFile::remove(building);
        throw;
    }
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        if (!QFileInfo::exists(path)) // another run finished the same ledger first
            throw std::runtime_error("cannot put " + path.toStdString() + " in place");
    }
    return path;
}

void MakeBenchLedger(const QString &path, int incomeRows, int expenseRows)
{
    QString source;
    if (const char *named = std::getenv("KESTRUM_LEDGER_1M"); named && *named)
        source = QString::fromLocal8Bit(named);
    else
        source = CachedBenchLedger(incomeRows, expenseRows);
    if (!QFile::copy(source, path))
        throw std::runtime_error("cannot copy " + source.toStdString() + " to " + path.toStdString());
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

std::vector<std::int64_t> BenchSizes()
{
    std::vector<std::int64_t> sizes = {1000, 1000000};
    if (const char *tenMillion = std::getenv("KESTRUM_BENCH_10M");
        tenMillion && std::strcmp(tenMillion, "1") == 0)
        sizes.push_back(10000000);
    return sizes;
}

void StandardSizes(benchmark::internal::Benchmark *benchmark)
{
    for (const std::int64_t size : BenchSizes())
        benchmark->Arg(size);
}

} // namespace kestrum::bench
