#include "exchange/CsvExporter.h"

#include "db/SqliteDriver.h"
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
#include <vector>

namespace kestrum {

using namespace exchange;

const char *const CsvExportHeader = "类型,金额,日期,项目,备注";

namespace {

//! The read transaction an export sees both tables in, unless the caller
//! has one open; ended however the export ends.
class TReadTransaction {
public:
    explicit TReadTransaction(TDbDriver &db) : FDb(db), FOwn(!db.InTransaction())
    {
        if (FOwn)
            OnLedger(db, "无法读取账本", [&] {
                db.Exec(LedgerOnServer(db) ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY" : "BEGIN");
            });
    }
    ~TReadTransaction()
    {
        if (!FOwn)
            return;
        try {
            FDb.Commit();
        } catch (const std::exception &) {
            // Nothing was written; a broke link has ended the transaction.
        }
    }

private:
    TDbDriver &FDb;
    bool FOwn;
};

} // namespace

TExportResult ExportCsv(TDbDriver &db, const QString &csvPath, const TExportOptions &options,
                        const TProgressCallback &progress)
{
    if (options.From.isValid() && options.To.isValid() && options.From > options.To)
        throw Exception(QStringLiteral("起始日期%1晚于结束日期%2")
                            .arg(options.From.toString(Qt::ISODate), options.To.toString(Qt::ISODate))
                            .toStdString());
    const bool server = LedgerOnServer(db);
    // Whatever Overwrite says, never over the ledger being read, a database
    // or a file another program has open.
    const char *ledgerPath =
        server ? nullptr : sqlite3_db_filename(static_cast<TSqliteDriver &>(db).Handle(), "main");
    RequireWriteTarget(csvPath, ledgerPath ? QString::fromUtf8(ledgerPath) : QString());
    if (!options.Overwrite && QFileInfo::exists(csvPath))
        throw Exception(QStringLiteral("文件%1已经存在，没有改动它").arg(QuotedValue(csvPath)).toStdString());

    // One read transaction, so that both tables are seen at the same moment.
    TReadTransaction read(db);

    // Dates are ISO text in a file, so text order is date order, and a
    // server's timestamps take the same text: [From, the day after To).
    const std::string from = options.From.isValid() ? LedgerDateText(options.From, 0) : std::string();
    const std::string until = options.To.isValid() ? LedgerDateText(options.To.addDays(1), 0) : std::string();
    std::int64_t total = 0;
    std::unique_ptr<TDbStatement> statements[2];
    for (const TEntryKind kind : {ekIncome, ekExpense}) {
        if (!(kind == ekIncome ? options.Income : options.Expense))
            continue;
        const exchange::TLedgerTable &t = LedgerTables[kind];
        // Only the bounds there are become parameters: a server must know the
        // type of every parameter a statement has.
        std::string where;
        std::vector<const std::string *> bounds;
        const auto bound = [&](const std::string &day, const char *comparison) {
            if (day.empty())
                return;
            bounds.push_back(&day);
            const std::string parameter = "?" + std::to_string(bounds.size());
            where += std::string(" AND \"") + t.Date + "\" " + comparison + " " +
                     (server ? "CAST(" + parameter + " AS timestamp)" : parameter);
        };
        bound(from, ">=");
        bound(until, "<");
        if (!where.empty())
            where = " WHERE" + where.substr(4);
        // A file sorts entries without a date first; a server is told to.
        const std::string sql = std::string("SELECT \"") + t.Amount + "\", \"" + t.Date + "\", \"" + t.Item +
                                "\", \"备注\" FROM " + t.Name + where + " ORDER BY \"" + t.Date + "\"" +
                                (server ? " NULLS FIRST" : "") + ", id";
        const auto bindDays = [&](TDbStatement &statement) {
            for (std::size_t i = 0; i < bounds.size(); ++i)
                statement.BindText(int(i + 1), *bounds[i]);
        };
        statements[kind] = PrepareOnLedger(db, sql, "这个文件不是账本");
        bindDays(*statements[kind]);
        if (progress) {
            try {
                auto counting = db.Prepare("SELECT count(*) FROM " + std::string(t.Name) + where);
                bindDays(*counting);
                if (counting->Step())
                    total += counting->ColumnInt64(0);
            } catch (const EDbDriverError &) {
                // Progress only: the export itself reads the rows.
            }
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
    std::string amountBuffer, dateBuffer, itemBuffer, remarkBuffer;
    for (const TEntryKind kind : {ekIncome, ekExpense}) {
        if (!statements[kind])
            continue;
        TDbStatement &statement = *statements[kind];
        const bool cancelled = OnLedger(db, "无法读取账本中的纪录", [&] {
            while (statement.Step()) {
                TExportRow row;
                row.Kind = kind;
                row.AmountType = statement.ColumnType(0);
                if (row.AmountType == TDbValueType::Real || row.AmountType == TDbValueType::Integer)
                    row.Amount = statement.ColumnDouble(0);
                // Text, or an infinity, is written as the ledger spells it;
                // a server's decimal with every digit it holds.
                if (row.AmountType != TDbValueType::Null &&
                    (server ||
                     (row.AmountType != TDbValueType::Real && row.AmountType != TDbValueType::Integer) ||
                     !std::isfinite(row.Amount)))
                    row.AmountText = CellText(statement, 0, amountBuffer);
                row.EmptyItemIsText = statement.ColumnType(2) != TDbValueType::Null;
                row.EmptyRemarkIsText = statement.ColumnType(3) != TDbValueType::Null;
                row.Date = CellText(statement, 1, dateBuffer);
                row.Item = CellText(statement, 2, itemBuffer);
                row.Remark = CellText(statement, 3, remarkBuffer);
                if (AppendExportRow(out, options.Format, row, result, line))
                    ++(kind == ekIncome ? result.IncomeRows : result.ExpenseRows);
                if (out.size() >= (1 << 20))
                    flush();
                if (progress && (++written & 1023) == 0 &&
                    !progress(total ? double(written) / double(total) : 1.0))
                    return true;
            }
            return false;
        });
        if (cancelled) {
            file.cancelWriting();
            TExportResult stopped;
            stopped.Cancelled = true;
            return stopped;
        }
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

TExportResult ExportCsv(sqlite3 *db, const QString &csvPath, const TExportOptions &options,
                        const TProgressCallback &progress)
{
    TSqliteDriver ledger(db);
    return ExportCsv(ledger, csvPath, options, progress);
}

TExportResult ExportCsv(const QString &ledger, const QString &csvPath, const TExportOptions &options,
                        const TProgressCallback &progress)
{
    const std::unique_ptr<TDbDriver> db = OpenLedgerTarget(ledger, false);
    return ExportCsv(*db, csvPath, options, progress);
}

} // namespace kestrum
