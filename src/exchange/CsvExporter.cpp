#include "exchange/CsvExporter.h"

#include "exchange/ExchangeText.h"
#include "exchange/LedgerStatements.h"
#include "exchange/XlsxWriter.h"
#include "ledger/WriteTarget.h"

#include <QFileInfo>
#include <QSaveFile>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace kestrum {

using namespace exchange;

const char *const CsvExportHeader = "类型,金额,日期,项目,备注";

namespace {

std::string_view ColumnText(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text ? std::string_view(text, std::size_t(sqlite3_column_bytes(statement, column)))
                : std::string_view();
}

} // namespace

TExportResult ExportCsv(sqlite3 *db, const QString &csvPath, const TExportOptions &options,
                        const TProgressCallback &progress)
{
    if (options.From.isValid() && options.To.isValid() && options.From > options.To)
        throw Exception(QStringLiteral("起始日期%1晚于结束日期%2")
                            .arg(options.From.toString(Qt::ISODate), options.To.toString(Qt::ISODate))
                            .toStdString());
    // Whatever Overwrite says, never over the ledger being read, a database
    // or a file another program has open.
    const char *ledgerPath = sqlite3_db_filename(db, "main");
    RequireWriteTarget(csvPath, ledgerPath ? QString::fromUtf8(ledgerPath) : QString());
    if (!options.Overwrite && QFileInfo::exists(csvPath))
        throw Exception(QStringLiteral("文件%1已经存在，没有改动它").arg(QuotedValue(csvPath)).toStdString());

    // One read transaction, so that both tables are seen at the same moment.
    const bool ownRead = sqlite3_get_autocommit(db) != 0;
    if (ownRead && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        FailOnLedger(db, "无法读取账本");
    std::unique_ptr<sqlite3, void (*)(sqlite3 *)> endRead(
        ownRead ? db : nullptr, [](sqlite3 *d) { sqlite3_exec(d, "COMMIT", nullptr, nullptr, nullptr); });

    // Dates are ISO text, so text order is date order: [From, the day after To).
    const std::string from = options.From.isValid() ? LedgerDateText(options.From, 0) : std::string();
    const std::string until = options.To.isValid() ? LedgerDateText(options.To.addDays(1), 0) : std::string();
    std::int64_t total = 0;
    TStatement statements[2] = {TStatement(nullptr, sqlite3_finalize), TStatement(nullptr, sqlite3_finalize)};
    for (const TEntryKind kind : {ekIncome, ekExpense}) {
        if (!(kind == ekIncome ? options.Income : options.Expense))
            continue;
        const exchange::TLedgerTable &t = LedgerTables[kind];
        std::string where;
        if (!from.empty())
            where += std::string(" AND \"") + t.Date + "\" >= ?1";
        if (!until.empty())
            where += std::string(" AND \"") + t.Date + "\" < ?2";
        if (!where.empty())
            where = " WHERE" + where.substr(4);
        const std::string sql = std::string("SELECT \"") + t.Amount + "\", \"" + t.Date + "\", \"" + t.Item +
                                "\", \"备注\" FROM " + t.Name + where + " ORDER BY \"" + t.Date + "\", id";
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            FailOnLedger(db, "这个文件不是账本");
        statements[kind].reset(statement);
        sqlite3_bind_text(statement, 1, from.data(), int(from.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 2, until.data(), int(until.size()), SQLITE_STATIC);
        if (progress) {
            const std::string count = "SELECT count(*) FROM " + std::string(t.Name) + where;
            sqlite3_stmt *counting = nullptr;
            if (sqlite3_prepare_v2(db, count.c_str(), -1, &counting, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(counting, 1, from.data(), int(from.size()), SQLITE_STATIC);
                sqlite3_bind_text(counting, 2, until.data(), int(until.size()), SQLITE_STATIC);
                if (sqlite3_step(counting) == SQLITE_ROW)
                    total += sqlite3_column_int64(counting, 0);
            }
            sqlite3_finalize(counting);
        }
    }

    QSaveFile file(csvPath);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(CannotWrite(csvPath, file));
    // A workbook is a zip archive; its sheet is streamed into it like a CSV file.
    std::optional<TXlsxPackage> package;
    if (options.Format == xfXlsx)
        package.emplace(file, csvPath);
    QIODevice &sink = package ? package->Sheet() : static_cast<QIODevice &>(file);
    TExportResult result;
    std::string out = ExportPreamble(options.Format);
    std::int64_t written = 0;
    int line = 2; // the file's line of the row being written, after the header
    auto flush = [&] {
        if (sink.write(out.data(), qint64(out.size())) != qint64(out.size()))
            throw Exception(CannotWrite(csvPath, file));
        out.clear();
    };
    for (const TEntryKind kind : {ekIncome, ekExpense}) {
        sqlite3_stmt *statement = statements[kind].get();
        if (!statement)
            continue;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            TExportRow row;
            row.Kind = kind;
            row.AmountType = sqlite3_column_type(statement, 0);
            if (row.AmountType == SQLITE_FLOAT || row.AmountType == SQLITE_INTEGER)
                row.Amount = sqlite3_column_double(statement, 0);
            // Text, or an infinity, is written as SQLite spells it.
            if (row.AmountType != SQLITE_NULL &&
                (row.AmountType == SQLITE_TEXT || row.AmountType == SQLITE_BLOB ||
                 !std::isfinite(row.Amount)))
                row.AmountText = ColumnText(statement, 0);
            // Asked before the texts are read, which may convert the values.
            row.EmptyItemIsText = sqlite3_column_type(statement, 2) != SQLITE_NULL;
            row.EmptyRemarkIsText = sqlite3_column_type(statement, 3) != SQLITE_NULL;
            row.Date = ColumnText(statement, 1);
            row.Item = ColumnText(statement, 2);
            row.Remark = ColumnText(statement, 3);
            if (AppendExportRow(out, options.Format, row, result, line))
                ++(kind == ekIncome ? result.IncomeRows : result.ExpenseRows);
            if (out.size() >= (1 << 20))
                flush();
            if (progress && (++written & 1023) == 0 &&
                !progress(total ? double(written) / double(total) : 1.0)) {
                file.cancelWriting();
                TExportResult cancelled;
                cancelled.Cancelled = true;
                return cancelled;
            }
        }
        if (rc != SQLITE_DONE)
            FailOnLedger(db, "无法读取账本中的纪录");
    }
    flush();
    if (package)
        package->Finish();
    if (!file.commit())
        throw Exception(CannotWrite(csvPath, file));
    if (progress)
        progress(1.0);
    return result;
}

TExportResult ExportCsv(const QString &ledgerPath, const QString &csvPath, const TExportOptions &options,
                        const TProgressCallback &progress)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(ledgerPath.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        throw Exception(CannotOpenLedger(ledgerPath, raw));
    sqlite3_busy_timeout(raw, 5000);
    return ExportCsv(raw, csvPath, options, progress);
}

} // namespace kestrum
