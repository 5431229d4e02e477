// Loading a ledger table of 10 000, 100 000 and 1 000 000 rows from a record
// set into a grid's data controller: time per load and the storage's bytes
// per row against the row's raw payload (two 8-byte numbers and the bytes of
// the item and remark texts).
#include "core/Codepage.h"
#include "core/RegionalSettings.h"
#include "data/DbDataController.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>

namespace kestrum {
namespace {

const char *const Items[] = {"工资", "红包", "利息收入", "奖金", "兼职报酬"};
const char *const Remarks[] = {"公司发放十二月份工资", "春节亲戚给的红包", "银行定期存款利息", "年终奖",
                               "周末兼职家教收入"};

//! A ledger file with `rows` income rows, made once per size.
class LedgerFile {
public:
    explicit LedgerFile(int rows)
    {
        FPath = FDir.filePath("Vantorel.mdb");
        sqlite3 *db = nullptr;
        sqlite3_open(FPath.toUtf8().constData(), &db);
        sqlite3_exec(
            db,
            "CREATE TABLE gain (id INTEGER PRIMARY KEY AUTOINCREMENT, 本次进帐 REAL, 进帐时间 DATETIME, "
            "进帐人 VARCHAR(50), 备注 TEXT); BEGIN",
            nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (?, ?, ?, ?)", -1,
                           &insert, nullptr);
        for (int i = 0; i < rows; ++i) {
            const char *item = Items[i % 5];
            const char *remark = Remarks[(i / 5) % 5];
            char date[32];
            std::snprintf(date, sizeof(date), "20%02d-%02d-%02d", 10 + i % 15, 1 + i % 12, 1 + i % 28);
            sqlite3_bind_double(insert, 1, 10.0 + i % 1000);
            sqlite3_bind_text(insert, 2, date, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, item, -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 4, remark, -1, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
            FPayload += 16 + utf8ToNarrow(item).size() + utf8ToNarrow(remark).size();
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QString &Path() const { return FPath; }
    double PayloadBytes() const { return double(FPayload); }

private:
    QTemporaryDir FDir;
    QString FPath;
    std::size_t FPayload = 0;
};

LedgerFile &FileWithRows(int rows)
{
    static std::map<int, std::unique_ptr<LedgerFile>> files;
    auto &file = files[rows];
    if (!file)
        file = std::make_unique<LedgerFile>(rows);
    return *file;
}

void LoadLedgerRows(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const int rows = int(state.range(0));
    LedgerFile &file = FileWithRows(rows);
    TDbConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.Path());
    TDbQuery query;
    query.SetConnection(&connection);
    query.AddSQL("select * from gain");
    query.Open();
    TDbDataSource source;
    source.SetDataSet(&query);
    int columns[4] = {};
    TkvGridDBDataController controller;
    const char *names[] = {"本次进帐", "进帐时间", "进帐人", "备注"};
    for (int i = 0; i < 4; ++i) {
        controller.AttachItem(&columns[i]);
        controller.ChangeFieldName(i, QString::fromUtf8(names[i]));
    }
    controller.SetDataSource(&source);
    for (auto _ : state) {
        controller.Refresh(); // what every post, cancel and delete of the record set does
        benchmark::DoNotOptimize(controller.RowCount());
    }
    if (controller.RowCount() != rows)
        state.SkipWithError("not every row was loaded");
    const double bytes = double(controller.Storage().MemoryUsage());
    state.counters["rows"] = rows;
    state.counters["bytes_per_row"] = bytes / rows;
    state.counters["payload_per_row"] = file.PayloadBytes() / rows;
    state.counters["ratio"] = bytes / file.PayloadBytes();
    state.counters["rows_per_s"] =
        benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
    query.Close();
}

BENCHMARK(LoadLedgerRows)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kestrum

BENCHMARK_MAIN();
