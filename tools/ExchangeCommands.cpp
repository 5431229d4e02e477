#include "ExchangeCommands.h"

#include "db/DbDriver.h"
#include "exchange/CsvExporter.h"
#include "exchange/CsvReader.h"
#include "exchange/ExchangeText.h"
#include "exchange/ForeignFormat.h"
#include "exchange/HomeBankReader.h"
#include "exchange/Importer.h"
#include "exchange/QifReader.h"
#include "exchange/XlsxReader.h"
#include "ledger/LedgerLocation.h"
#include "ledger/LedgerLock.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace kestrum::tools {

namespace {

void Print(std::FILE *stream, const QString &line)
{
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
}

int UsageError(const QString &command, const QString &message)
{
    Print(stderr, QStringLiteral("kestrum-db %1: %2 (see kestrum-db --help)").arg(command, message));
    return 2;
}

int Failure(const QString &command, const QString &message)
{
    Print(stderr, QStringLiteral("kestrum-db %1: %2").arg(command, message));
    return 1;
}

bool OnServer(const QString &ledger)
{
    return IsServerTarget(ledger.toStdString());
}

//! A file that is not there; a server's address is tried when the command
//! connects (and never printed: it may hold a password).
bool LedgerMissing(const QString &command, const QString &ledger)
{
    if (OnServer(ledger) || QFileInfo::exists(ledger))
        return false;
    Failure(command, QStringLiteral("no ledger '%1' (make one with: kestrum-db init %1)").arg(ledger));
    return true;
}

//! What the user of the command can do about a QIF file's choices: the
//! options that read it the other way.
QStringList QifCommandHints(const TQifEntrySource &source, const TQifOptions &options)
{
    QStringList hints;
    if (source.DateEvidence() == qeEitherWay || source.DateEvidence() == qeMixed)
        hints +=
            QStringLiteral("注意：日期顺序无法从文件确定；如果文件是按日/月/年写的，请在程序中撤销这次导入，"
                           "再加 --day-first 导入（加 --month-first 则不再提示）");
    const int left =
        source.TransferCount(TQifTransfer::tkOpeningBalance) + source.TransferCount(TQifTransfer::tkTransfer);
    if (options.Transfers == qtSkip && left > 0)
        hints += QStringLiteral("注意：要导入这些期初余额和转账，请加 --include-transfers");
    return hints;
}

//! What the export could not write as the ledger holds it.
QStringList ExportLossNotes(const TExportResult &result, TExportFormat format)
{
    QStringList notes;
    if (result.IncompleteRows > 0)
        notes += format == xfCsv || format == xfXlsx
                     ? QStringLiteral("%1 entries have no amount or no date; their cells are empty")
                           .arg(result.IncompleteRows)
                     : QStringLiteral("%1 entries have no amount or no readable date; this format cannot "
                                      "hold them, so they are not in the file")
                           .arg(result.IncompleteRows);
    if (result.NonNumberAmounts > 0) {
        if (format == xfCsv || format == xfXlsx) {
            QStringList lines;
            for (int line : result.NonNumberLines)
                lines += QString::number(line);
            notes += QStringLiteral("%1 entries hold text that is no number as their amount; it is "
                                    "written as it is and will not import as an amount (%2 %3)")
                         .arg(result.NonNumberAmounts)
                         .arg(format == xfXlsx ? QStringLiteral("rows") : QStringLiteral("lines"))
                         .arg(lines.join(QStringLiteral(", ")));
        } else {
            notes += QStringLiteral("%1 entries hold text that is no number as their amount; they are not "
                                    "in the file")
                         .arg(result.NonNumberAmounts);
        }
    }
    if (result.RoundedAmounts > 0)
        notes += QStringLiteral("%1 amounts between two cents were rounded to the cent")
                     .arg(result.RoundedAmounts);
    if (result.TimesDropped > 0)
        notes += QStringLiteral("%1 entries have a time of day, which this format cannot hold; only the day "
                                "is written")
                     .arg(result.TimesDropped);
    if (result.RemarksJoined > 0)
        notes += QStringLiteral("%1 remarks over several lines were written on one line")
                     .arg(result.RemarksJoined);
    if (result.ItemsAsPayee > 0)
        notes += QStringLiteral("%1 items starting with '[' or holding '/' were written as the payee, not "
                                "the category (other programs would read a transfer or a class)")
                     .arg(result.ItemsAsPayee);
    if (result.KindsByFlip > 0)
        notes += QStringLiteral("%1 entries have a negative amount (a refund or correction); the sign tells "
                                "income from expense here, so they read back as the other kind")
                     .arg(result.KindsByFlip);
    return notes;
}

} // namespace

int RunImport(const QStringList &arguments)
{
    const QString command = QStringLiteral("import");
    TImportOptions options;
    TCsvOptions csv;
    TQifOptions qif;
    QStringList files;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--skip-bad"))
            options.BadRecords = bpSkip;
        else if (argument == QLatin1String("--keep-duplicates"))
            options.Duplicates = dpKeep;
        else if (argument == QLatin1String("--all-income"))
            csv.KindRule = ckAllIncome;
        else if (argument == QLatin1String("--all-expense"))
            csv.KindRule = ckAllExpense;
        else if (argument == QLatin1String("--day-first"))
            qif.DateOrder = qdDayFirst;
        else if (argument == QLatin1String("--month-first"))
            qif.DateOrder = qdMonthFirst;
        else if (argument == QLatin1String("--include-transfers"))
            qif.Transfers = csv.Transfers = qtImport;
        else if (argument == QLatin1String("--item=category"))
            qif.Item = csv.Item = qiCategory;
        else if (argument == QLatin1String("--item=payee"))
            qif.Item = csv.Item = qiPayee;
        else if (argument == QLatin1String("--item=memo"))
            qif.Item = csv.Item = qiMemo;
        else if (argument.startsWith(QLatin1String("--")))
            return UsageError(command, QStringLiteral("unknown option '%1'").arg(argument));
        else
            files += argument;
    }
    if (files.isEmpty() || files.size() > 2)
        return UsageError(command, QStringLiteral("give the file to import and, if not Vantorel.mdb, the "
                                                  "ledger (a file or a server's address)"));
    const QString file = files[0];
    const QString ledger = files.size() > 1 ? files[1] : DefaultLedgerPath();
    if (LedgerMissing(command, ledger))
        return 1;
    // Like the program, the import announces that it has the ledger open, so
    // that a restore cannot swap the file while entries go in. Without the
    // side file (a folder it may not write) it goes on, as the program does.
    // A server's ledger is never swapped under its writers.
    std::optional<TLedgerLock> lock;
    if (!OnServer(ledger))
        lock.emplace(ledger);
    if (lock && !lock->LockShared() && lock->Busy())
        return Failure(command,
                       QStringLiteral("'%1' is being restored from a backup; nothing imported").arg(ledger));
    try {
        std::unique_ptr<TEntrySource> source;
        const TQifEntrySource *qifSource = nullptr;
        switch (DetectForeignFormatOfFile(file)) {
        case ffQif: {
            std::unique_ptr<TQifEntrySource> reader = TQifEntrySource::FromFile(file, qif);
            qifSource = reader.get();
            source = std::move(reader);
            break;
        }
        case ffCsv:
            source = TCsvEntrySource::FromFile(file, csv);
            break;
        case ffHomeBank:
            source = THomeBankEntrySource::FromFile(file, qif.Item);
            break;
        case ffXlsx:
            source = TXlsxEntrySource::FromFile(file, csv);
            break;
        default:
            source = OpenEntrySource(file); // says what the file is instead
            break;
        }
        const TImportResult result = ImportEntries(ledger, *source, options);
        QStringList report = result.Report();
        if (qifSource)
            report += QifCommandHints(*qifSource, qif);
        std::FILE *stream = result.Outcome == ioImported ? stdout : stderr;
        for (const QString &line : report)
            Print(stream, result.Outcome == ioImported ? line : QStringLiteral("kestrum-db import: ") + line);
        return result.Outcome == ioImported ? 0 : 1;
    } catch (const std::exception &e) {
        return Failure(command,
                       QStringLiteral("%1: %2; nothing imported").arg(file, QString::fromUtf8(e.what())));
    }
}

int RunExport(const QStringList &arguments)
{
    const QString command = QStringLiteral("export");
    TExportOptions options;
    QStringList files;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--from") || argument == QLatin1String("--to")) {
            if (i + 1 >= arguments.size())
                return UsageError(command, QStringLiteral("%1 needs a date").arg(argument));
            const std::string text = arguments[++i].toStdString();
            QDate date;
            int seconds = 0;
            QString reason;
            if (!exchange::ParseDate(text, date, seconds, reason) || seconds != 0)
                return UsageError(command,
                                  QStringLiteral("%1: %2 (yyyy-mm-dd expected)").arg(argument, reason));
            (argument == QLatin1String("--from") ? options.From : options.To) = date;
        } else if (argument == QLatin1String("--format")) {
            const QString format = i + 1 < arguments.size() ? arguments[++i] : QString();
            if (format == QLatin1String("csv"))
                options.Format = xfCsv;
            else if (format == QLatin1String("csv-en"))
                options.Format = xfCsvEnglish;
            else if (format == QLatin1String("qif"))
                options.Format = xfQif;
            else if (format == QLatin1String("xlsx"))
                options.Format = xfXlsx;
            else
                return UsageError(command, QStringLiteral("--format takes qif, csv-en, csv or xlsx"));
        } else if (argument == QLatin1String("--force")) {
            options.Overwrite = true;
        } else if (argument == QLatin1String("--income-only")) {
            options.Expense = false;
        } else if (argument == QLatin1String("--expense-only")) {
            options.Income = false;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return UsageError(command, QStringLiteral("unknown option '%1'").arg(argument));
        } else {
            files += argument;
        }
    }
    if (files.isEmpty() || files.size() > 2)
        return UsageError(command, QStringLiteral("give the file to write and, if not Vantorel.mdb, the "
                                                  "ledger (a file or a server's address)"));
    if (!options.Income && !options.Expense)
        return UsageError(command,
                          QStringLiteral("--income-only and --expense-only leave nothing to export"));
    if (options.From.isValid() && options.To.isValid() && options.From > options.To)
        return UsageError(command, QStringLiteral("--from comes after --to"));
    const QString file = files[0];
    const QString ledger = files.size() > 1 ? files[1] : DefaultLedgerPath();
    if (LedgerMissing(command, ledger))
        return 1;
    try {
        const TExportResult result = ExportCsv(ledger, file, options);
        Print(stdout, QStringLiteral("exported %1 entries to %2: %3 income, %4 expense")
                          .arg(result.IncomeRows + result.ExpenseRows)
                          .arg(file)
                          .arg(result.IncomeRows)
                          .arg(result.ExpenseRows));
        for (const QString &note : ExportLossNotes(result, options.Format))
            Print(stdout, QStringLiteral("note: ") + note);
        return 0;
    } catch (const std::exception &e) {
        return Failure(command, QString::fromUtf8(e.what()));
    }
}

} // namespace kestrum::tools
