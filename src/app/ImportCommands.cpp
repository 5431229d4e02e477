#include "app/ImportCommands.h"

#include "app/BackgroundJob.h"
#include "app/ChangeWatch.h"
#include "app/EntryPage.h"
#include "app/ExportDialog.h"
#include "app/ExportRange.h"
#include "app/ImportDialog.h"
#include "app/ImportPreview.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "core/Utf8.h"
#include "db/DbQuery.h"
#include "db/SqliteDriver.h"
#include "exchange/CsvExporter.h"
#include "exchange/Importer.h"
#include "ledger/WriteTarget.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QTimer>

#include <sqlite3.h>

#include <memory>

namespace kestrum {

namespace {

//! The first and the last day that hold an entry; invalid dates when the
//! ledger holds none or cannot be read (the dialog then opens on this year).
//! A file is read on a connection of its own; a server through the
//! program's, whose timestamps are days as they are.
void EntryDays(TLedgerData &data, QDate &first, QDate &last)
{
    first = last = QDate();
    const auto read = [&](TDbDriver &db, const char *sql) {
        try {
            auto statement = db.Prepare(sql);
            if (statement->Step() && !statement->ColumnIsNull(0)) {
                first = QDate::fromString(QString::fromStdString(statement->ColumnText(0).substr(0, 10)),
                                          Qt::ISODate);
                last = QDate::fromString(QString::fromStdString(statement->ColumnText(1).substr(0, 10)),
                                         Qt::ISODate);
            }
        } catch (const std::exception &) {
            first = last = QDate();
        }
    };
    if (data.OnServer()) {
        if (data.ADOConnection1.Connected())
            read(data.ADOConnection1.Driver(),
                 "SELECT min(d), max(d) FROM (SELECT 进帐时间 AS d FROM gain UNION ALL "
                 "SELECT 消费日期 FROM expen) AS days");
        return;
    }
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(data.LedgerPath().toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        return;
    sqlite3_busy_timeout(raw, 2000);
    TSqliteDriver file(raw);
    read(file, "SELECT min(d), max(d) FROM (SELECT substr(进帐时间, 1, 10) AS d FROM gain "
               "WHERE typeof(进帐时间) = 'text' UNION ALL SELECT substr(消费日期, 1, 10) FROM expen "
               "WHERE typeof(消费日期) = 'text')");
}

//! How many bad lines a message lists before it says "...".
constexpr int ListedInMessage = 10;

//! From this many entries on, reading the lists again is announced.
constexpr int LargeLedgerRows = 100000;

} // namespace

TLedgerExchangeCommands::TLedgerExchangeCommands(TForm1 &window)
    : QObject(&window), Today([] { return QDate::currentDate(); }), FWindow(window)
{
    setObjectName(QStringLiteral("LedgerExchange"));
    ImportAction = new QAction(utf8("导入..."), this);
    ExportAction = new QAction(utf8("导出..."), this);
    QMenu *menu = window.N1;
    menu->insertAction(window.N9, ImportAction);
    menu->insertAction(window.N9, ExportAction);
    menu->insertSeparator(window.N9);
    const auto guarded = [this](void (TLedgerExchangeCommands::*handler)()) {
        return [this, handler] {
            try {
                (this->*handler)();
            } catch (const std::exception &error) {
                ShowException(&FWindow, error);
            }
        };
    };
    connect(ImportAction, &QAction::triggered, this, guarded(&TLedgerExchangeCommands::ImportClick));
    connect(ExportAction, &QAction::triggered, this, guarded(&TLedgerExchangeCommands::ExportClick));
    FFolder = QDir::homePath();
    installDialogs();
}

void TLedgerExchangeCommands::installDialogs()
{
    ChooseImportFile = [this] {
        const QString filters =
            utf8("账单和账目文件 (*.csv *.txt *.tsv *.xlsx *.qif *.ofx *.qfx *.xhb *.mdb);;"
                 "CSV文件和账单 (*.csv *.txt *.tsv);;Excel表格 (*.xlsx);;QIF文件 (*.qif);;"
                 "OFX/QFX文件 (*.ofx *.qfx);;HomeBank账本 (*.xhb);;旧版Access账本 (*.mdb);;"
                 "所有文件 (*)");
        return QFileDialog::getOpenFileName(&FWindow, utf8("导入"), FFolder, filters);
    };
    ConfirmImport = [this](TImportPreview &preview) {
        TImportDialog dialog(preview, &FWindow);
        // The whole file is checked once the dialog is up, under its own progress.
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.Rescan(); });
        return dialog.exec() == QDialog::Accepted;
    };
    ChooseExportRange = [this](TExportRange &range) {
        TExportDialog dialog(range, &FWindow);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        range = dialog.Range();
        return true;
    };
    ChooseExportFile = [this](const QString &suggestedName) {
        const QString suffix = QFileInfo(suggestedName).suffix();
        QString path =
            QFileDialog::getSaveFileName(&FWindow, utf8("导出"), QDir(FFolder).filePath(suggestedName),
                                         suffix == QLatin1String("qif")    ? utf8("QIF文件 (*.qif)")
                                         : suffix == QLatin1String("xlsx") ? utf8("Excel工作簿 (*.xlsx)")
                                                                           : utf8("CSV文件 (*.csv)"));
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += QLatin1Char('.') + suffix;
        return path;
    };
}

bool TLedgerExchangeCommands::settlePendingEntries()
{
    for (QWidget *widget : {FWindow.IncomePage, FWindow.ExpensePage})
        if (auto *page = qobject_cast<TEntryPage *>(widget))
            if (!page->SettlePendingEntry())
                return false;
    return true;
}

QString TLedgerExchangeCommands::ledgerPath() const
{
    TLedgerData &data = FWindow.Data();
    if (!data.ADOConnection1.Connected())
        throw Exception("账本数据库没有打开，无法导入或导出。");
    // Both work on a connection of their own: a file's path, or a server's
    // address (which may hold a password, so it is never shown).
    if (data.OnServer())
        return data.LedgerPath();
    return QFileInfo(data.ADOConnection1.DataSourceName()).absoluteFilePath();
}

void TLedgerExchangeCommands::reloadPages(int added)
{
    TLedgerData &data = FWindow.Data();
    // The record sets belong to this thread and read every row again; on a
    // large ledger that takes a while, so the user is told what is going on.
    std::unique_ptr<QProgressDialog> notice;
    if (data.ADOQuery1.RecordCount() + data.ADOQuery2.RecordCount() + added >= LargeLedgerRows)
        notice = ShowBusyNotice(&FWindow, utf8("正在重新读取收入和支出列表..."));
    QStringList failures;
    for (TDbQuery *query : {&data.ADOQuery1, &data.ADOQuery2}) {
        if (!query->Active())
            continue;
        try {
            query->Refresh();
        } catch (const std::exception &error) {
            failures << QString::fromUtf8(error.what());
        }
    }
    AcknowledgeOwnWrites(data.ADOConnection1);
    data.LedgerChanged();
    notice.reset();
    if (!failures.isEmpty())
        ShowErrorBox(&FWindow, utf8("纪录已导入，但列表未能刷新：") + failures.join(QLatin1Char('\n')));
}

void TLedgerExchangeCommands::ImportClick()
{
    if (!settlePendingEntries())
        return;
    const QString ledger = ledgerPath();
    const QString path = ChooseImportFile();
    if (path.isEmpty())
        return;
    FFolder = QFileInfo(path).absolutePath();

    TImportPreview preview(path);
    preview.SetLedgerPath(ledger);
    if (!ConfirmImport(preview))
        return;
    // The dialog may have waited long: ask again about what the pages hold.
    if (!settlePendingEntries())
        return;

    std::unique_ptr<TEntrySource> source = preview.MakeSource();
    const TImportOptions options = preview.Options();
    TImportResult result;
    bool cancelled = false;
    try {
        cancelled = RunWithProgress(
            &FWindow, utf8("正在导入“%1”...").arg(QFileInfo(path).fileName()), [&](TJobProgress &progress) {
                result = ImportEntries(ledger, *source, options,
                                       [&](double fraction) { return progress.Report(fraction); });
            });
    } catch (const std::exception &error) {
        ShowErrorBox(&FWindow, utf8("导入失败，没有导入任何纪录。\n") + QString::fromUtf8(error.what()));
        return;
    }
    if (result.Outcome == ioCancelled || (cancelled && result.Added() == 0)) {
        ShowMessage(&FWindow, utf8("导入已取消，没有导入任何纪录。"));
        return;
    }
    if (result.Outcome == ioRejected) {
        ShowErrorBox(&FWindow, ImportMessage(result));
        return;
    }
    if (result.Added() > 0)
        reloadPages(result.Added());
    ShowMessage(&FWindow, ImportMessage(result));
}

QString TLedgerExchangeCommands::ImportMessage(const TImportResult &result)
{
    QStringList lines;
    if (result.Outcome == ioRejected) {
        lines << utf8("文件中有%1行无法读取，没有导入任何纪录：").arg(result.BadCount);
    } else {
        lines << utf8("已导入%1条纪录：收入%2条，支出%3条。")
                     .arg(result.Added())
                     .arg(result.IncomeAdded)
                     .arg(result.ExpenseAdded);
        if (result.DuplicatesSkipped > 0)
            lines << utf8("账本中已有的%1条纪录没有再导入。").arg(result.DuplicatesSkipped);
        if (result.DuplicatesKept > 0)
            lines << utf8("账本中似乎已有的%1条纪录按你的选择仍导入了。").arg(result.DuplicatesKept);
        if (result.BadCount > 0)
            lines << utf8("跳过了%1行无法读取的纪录：").arg(result.BadCount);
    }
    const int listed = std::min<int>(ListedInMessage, static_cast<int>(result.BadRecords.size()));
    for (int index = 0; index < listed; ++index) {
        const TBadRecord &bad = result.BadRecords[static_cast<std::size_t>(index)];
        lines << utf8("第%1行：%2").arg(bad.Line).arg(bad.Reason);
    }
    if (result.BadCount > listed)
        lines << utf8("……另有%1行").arg(result.BadCount - listed);
    lines << result.Notes;
    return lines.join(QLatin1Char('\n'));
}

void TLedgerExchangeCommands::ExportClick()
{
    if (!settlePendingEntries())
        return;
    const QString ledger = ledgerPath();

    // The dialog opens on the days that hold entries; its month pickers
    // start on the month the active entry page shows.
    auto *page = qobject_cast<TEntryPage *>(FWindow.IncomePage);
    if (auto *expense = qobject_cast<TEntryPage *>(FWindow.ExpensePage); expense && expense->isVisible())
        page = expense;
    TExportRange range(Today(), page ? page->YearEdit->text() : QString(),
                       page ? page->MonthCombo->currentText() : QString());
    QDate first, last;
    EntryDays(FWindow.Data(), first, last);
    range.StartOnEntries(first, last);
    if (!ChooseExportRange(range) || !range.CanExport())
        return;
    const QString path = ChooseExportFile(range.SuggestedFileName());
    if (path.isEmpty())
        return;
    FFolder = QFileInfo(path).absolutePath();
    // The save dialog asked whether to replace an existing file; the ledger,
    // a backup or a file another program has open is never replaced.
    if (const TWriteTargetCheck target =
            CheckWriteTarget(path, FWindow.Data().OnServer() ? QString() : ledger);
        !target.Allowed()) {
        ShowErrorBox(&FWindow, target.Message);
        return;
    }

    TExportOptions options;
    options.From = range.From();
    options.To = range.To();
    options.Overwrite = true; // the save dialog asked already
    options.Format = range.Format();
    TExportResult result;
    bool cancelled = false;
    try {
        cancelled = RunWithProgress(
            &FWindow, utf8("正在导出到“%1”...").arg(QFileInfo(path).fileName()), [&](TJobProgress &progress) {
                result = ExportCsv(ledger, path, options,
                                   [&](double fraction) { return progress.Report(fraction); });
            });
    } catch (const std::exception &error) {
        ShowErrorBox(&FWindow, utf8("导出失败：") + QString::fromUtf8(error.what()));
        return;
    }
    if (result.Cancelled || cancelled) {
        ShowMessage(&FWindow, utf8("导出已取消，没有写入文件。"));
        return;
    }
    ShowMessage(&FWindow, ExportMessage(result, range.Description(), path, options.Format));
}

namespace {

//! What QIF and the English CSV could not carry, each on a line of its own.
QString ForeignLayoutNotes(const TExportResult &result)
{
    QString text;
    if (result.IncompleteRows > 0)
        text += utf8("\n%1条纪录没有金额或日期，这种格式无法写入，没有导出。").arg(result.IncompleteRows);
    if (result.NonNumberAmounts > 0)
        text += utf8("\n%1条纪录的金额不是数字，没有导出。").arg(result.NonNumberAmounts);
    if (result.RoundedAmounts > 0)
        text += utf8("\n%1个金额不是整分，四舍五入到了分。").arg(result.RoundedAmounts);
    if (result.TimesDropped > 0)
        text += utf8("\n%1条纪录带有时刻，这种格式只写日期。").arg(result.TimesDropped);
    if (result.RemarksJoined > 0)
        text += utf8("\n%1条多行备注合成了一行。").arg(result.RemarksJoined);
    if (result.ItemsAsPayee > 0)
        text += utf8("\n%1个以“[”开头或含“/”的项目写成了收付款人（其他程序会把它当作转账或类）。")
                    .arg(result.ItemsAsPayee);
    if (result.KindsByFlip > 0)
        text += utf8("\n%1条纪录的金额是负数（退款或冲正）；这种格式以正负分收支，再导入时会成为另一类。")
                    .arg(result.KindsByFlip);
    return text;
}

} // namespace

QString TLedgerExchangeCommands::ExportMessage(const TExportResult &result, const QString &what,
                                               const QString &path, TExportFormat format)
{
    QString text = utf8("已导出%1的%2条纪录（收入%3条，支出%4条）到\n%5")
                       .arg(what)
                       .arg(result.IncomeRows + result.ExpenseRows)
                       .arg(result.IncomeRows)
                       .arg(result.ExpenseRows)
                       .arg(QDir::toNativeSeparators(path));
    if (format != xfCsv && format != xfXlsx) {
        text += ForeignLayoutNotes(result);
        return text;
    }
    if (result.IncompleteRows > 0)
        text += utf8("\n其中%1条没有金额或日期，导出时留空。").arg(result.IncompleteRows);
    if (result.NonNumberAmounts > 0) {
        QStringList lines;
        for (int line : result.NonNumberLines)
            lines += QString::number(line);
        text += utf8("\n有%1条纪录的金额不是数字，按原文写出，再导入时不能当作金额（%2第%3行）。")
                    .arg(result.NonNumberAmounts)
                    .arg(format == xfXlsx ? utf8("工作表") : utf8("文件"))
                    .arg(lines.join(utf8("、")));
    }
    return text;
}

} // namespace kestrum
