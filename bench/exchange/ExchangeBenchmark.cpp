// Importing a one-million-row CSV file into an empty ledger and exporting a
// one-million-row ledger to CSV, next to the sqlite3 shell's own .import and
// .output of the same rows; a payment app's bill of 100,000 rows as CSV and
// a workbook of 100,000 rows as xlsx.
#include "exchange/CsvExporter.h"
#include "exchange/CsvReader.h"
#include "exchange/Importer.h"
#include "exchange/XlsxReader.h"
#include "ledger/LedgerFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kestrum;

namespace {

constexpr int kRows = 1000000;

QTemporaryDir &Dir()
{
    static QTemporaryDir dir;
    return dir;
}

// The file that every import reads, written once: the export's own form,
// income and expense mixed, with remarks that need quoting now and then.
const QString &MillionRowCsv()
{
    static const QString path = [] {
        const QString file = Dir().filePath("million.csv");
        std::FILE *out = std::fopen(file.toUtf8().constData(), "wb");
        std::fputs("\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n", out);
        static const char *const items[] = {"工资", "伙食", "交通", "房租", "水电", "娱乐"};
        for (int i = 0; i < kRows; ++i) {
            const bool income = i % 7 == 0;
            std::fprintf(out, "%s,%d.%02d,%04d-%02d-%02d,%s,%s\r\n", income ? "收入" : "支出", 10 + i % 5000,
                         i % 100, 2000 + i % 25, 1 + i % 12, 1 + i % 28, items[i % 6],
                         i % 5 == 0 ? "\"超市, 日用\"" : (i % 3 == 0 ? "周末" : ""));
        }
        std::fclose(out);
        return file;
    }();
    return path;
}

QString FreshLedger(const char *name)
{
    const QString file = Dir().filePath(name);
    QFile::remove(file);
    CreateLedgerDatabase(file);
    return file;
}

// A ledger holding the million rows, for the exports.
const QString &MillionRowLedger()
{
    static const QString path = [] {
        const QString file = FreshLedger("million.mdb");
        const auto source = TCsvEntrySource::FromFile(MillionRowCsv());
        ImportEntries(file, *source);
        return file;
    }();
    return path;
}

int Shell(const std::string &command)
{
    return std::system(command.c_str());
}

void BM_ImportCsv(benchmark::State &state)
{
    const QString csv = MillionRowCsv();
    for (auto _ : state) {
        state.PauseTiming();
        const QString ledger = FreshLedger("import.mdb");
        state.ResumeTiming();
        const auto source = TCsvEntrySource::FromFile(csv);
        const TImportResult result = ImportEntries(ledger, *source);
        if (result.Added() != kRows)
            state.SkipWithError("not every row came in");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Again into the ledger that holds them all: every row is a duplicate.
void BM_ImportCsvAllDuplicates(benchmark::State &state)
{
    const QString csv = MillionRowCsv();
    const QString ledger = MillionRowLedger();
    for (auto _ : state) {
        const auto source = TCsvEntrySource::FromFile(csv);
        const TImportResult result = ImportEntries(ledger, *source);
        if (result.DuplicatesSkipped != kRows)
            state.SkipWithError("duplicates came in");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportCsvAllDuplicates)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// A WeChat Pay bill as the app exports it: a preamble, "¥" amounts, order
// numbers ending in tabs, and among the expenses incomes, neutral rows
// (top-ups), fully refunded trades and refunds. Should stay under 2 s.
constexpr int kBillRows = 100000;

const QString &WechatBill()
{
    static const QString path = [] {
        const QString file = Dir().filePath("wechat-bill.csv");
        std::FILE *out = std::fopen(file.toUtf8().constData(), "wb");
        std::fputs("\xEF\xBB\xBF微信支付账单明细,,,,,,,,,,\n微信昵称：[测试],,,,,,,,,,\n", out);
        for (int i = 0; i < 12; ++i)
            std::fputs(",,,,,,,,,,\n", out);
        std::fputs(
            "----------------------微信支付账单明细列表--------------------,,,,,,,,,,\n"
            "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n",
            out);
        static const char *const shops[] = {"瑞幸咖啡", "美团外卖", "滴滴出行", "某某超市", "国家电网"};
        for (int i = 0; i < kBillRows; ++i) {
            const char *direction = i % 7 == 0 ? "收入" : (i % 11 == 0 ? "/" : "支出");
            const char *state = i % 13 == 0 ? "已全额退款" : (i % 17 == 0 ? "已退款" : "支付成功");
            std::fprintf(
                out, "2024-%02d-%02d %02d:%02d:00,%s,%s,商品%d,%s,¥%d.%02d,零钱,%s,4200%020d\t,M%d\t,/ \n",
                1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 17 == 0 ? "商户消费-退款" : "商户消费",
                shops[i % 5], i % 50, direction, 1 + i % 900, i % 100, state, i, i);
        }
        std::fclose(out);
        return file;
    }();
    return path;
}

void BM_ImportWechatBill(benchmark::State &state)
{
    const QString bill = WechatBill();
    for (auto _ : state) {
        state.PauseTiming();
        const QString ledger = FreshLedger("bill.mdb");
        state.ResumeTiming();
        const auto source = TCsvEntrySource::FromFile(bill);
        const TImportResult result = ImportEntries(ledger, *source);
        if (result.Outcome != ioImported || result.Added() < kBillRows / 2)
            state.SkipWithError("the bill did not come in");
    }
    state.SetItemsProcessed(state.iterations() * kBillRows);
}
BENCHMARK(BM_ImportWechatBill)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A workbook of 100,000 rows as this program writes one (inline strings,
// numbers, dates with a date style), read into an empty ledger; the CSV bill
// above is its baseline. Should stay under 2 s.
constexpr int kSheetRows = 100000;

const QString &HundredThousandRowWorkbook()
{
    static const QString path = [] {
        const QString csv = Dir().filePath("sheet-rows.csv");
        std::FILE *out = std::fopen(csv.toUtf8().constData(), "wb");
        std::fputs("\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n", out);
        static const char *const items[] = {"工资", "伙食", "交通", "房租", "水电", "娱乐"};
        for (int i = 0; i < kSheetRows; ++i)
            std::fprintf(out, "%s,%d.%02d,%04d-%02d-%02d %02d:%02d:00,%s,%s\r\n",
                         i % 7 == 0 ? "收入" : "支出", 1 + i % 5000, i % 100, 2000 + i % 25, 1 + i % 12,
                         1 + i % 28, i % 24, i % 60, items[i % 6], i % 5 == 0 ? "超市 & 日用" : "");
        std::fclose(out);
        const QString ledger = FreshLedger("sheet-rows.mdb");
        ImportEntries(ledger, *TCsvEntrySource::FromFile(csv));
        const QString file = Dir().filePath("sheet-rows.xlsx");
        TExportOptions options;
        options.Format = xfXlsx;
        ExportCsv(ledger, file, options);
        return file;
    }();
    return path;
}

void BM_ImportXlsx(benchmark::State &state)
{
    const QString workbook = HundredThousandRowWorkbook();
    for (auto _ : state) {
        state.PauseTiming();
        const QString ledger = FreshLedger("xlsx.mdb");
        state.ResumeTiming();
        const auto source = TXlsxEntrySource::FromFile(workbook);
        const TImportResult result = ImportEntries(ledger, *source);
        if (result.Outcome != ioImported || result.Added() != kSheetRows)
            state.SkipWithError("the workbook did not come in whole");
    }
    state.SetItemsProcessed(state.iterations() * kSheetRows);
}
BENCHMARK(BM_ImportXlsx)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Baseline: the sqlite3 shell reads the same file into a table of text columns.
void BM_ImportCsv_Baseline(benchmark::State &state)
{
    const std::string csv = MillionRowCsv().toStdString();
    const std::string db = Dir().filePath("shell.db").toStdString();
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(db.c_str());
        state.ResumeTiming();
        if (Shell("sqlite3 '" + db +
                  "' 'CREATE TABLE t (类型, 金额 REAL, 日期, 项目, 备注)' '.import --csv --skip 1 " + csv +
                  " t'") != 0)
            state.SkipWithError("sqlite3 failed");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportCsv_Baseline)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_ExportCsv(benchmark::State &state)
{
    const QString ledger = MillionRowLedger();
    const QString csv = Dir().filePath("export.csv");
    TExportOptions options;
    options.Overwrite = true;
    for (auto _ : state) {
        const TExportResult result = ExportCsv(ledger, csv, options);
        if (result.IncomeRows + result.ExpenseRows != kRows)
            state.SkipWithError("rows missing");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ExportXlsx(benchmark::State &state)
{
    const QString ledger = MillionRowLedger();
    const QString xlsx = Dir().filePath("export.xlsx");
    TExportOptions options;
    options.Overwrite = true;
    options.Format = xfXlsx;
    for (auto _ : state) {
        const TExportResult result = ExportCsv(ledger, xlsx, options);
        if (result.IncomeRows + result.ExpenseRows != kRows)
            state.SkipWithError("rows missing");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ExportXlsx)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Baseline: the sqlite3 shell writes the same rows in the same order to CSV.
void BM_ExportCsv_Baseline(benchmark::State &state)
{
    const std::string ledger = MillionRowLedger().toStdString();
    const std::string csv = Dir().filePath("shell.csv").toStdString();
    const std::string query = "SELECT '收入', printf('%.2f', 本次进帐), substr(进帐时间, 1, 10), 进帐人, "
                              "备注 FROM gain ORDER BY 进帐时间, id;"
                              "SELECT '支出', printf('%.2f', 消费金额), substr(消费日期, 1, 10), 消费者, "
                              "备注 FROM expen ORDER BY 消费日期, id;";
    for (auto _ : state) {
        if (Shell("sqlite3 -csv '" + ledger + "' '.output " + csv + "' \"" + query + "\"") != 0)
            state.SkipWithError("sqlite3 failed");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ExportCsv_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
