#pragma once
// The menu's import and export: "导入..." reads entries from a CSV or QIF
// file into the ledger after showing them in the import dialog; "导出..."
// writes a month, a range or the whole ledger to a CSV or QIF file. Both run on a
// worker thread with their own connection to the ledger file under a
// progress dialog, while the window's record sets wait; afterwards the pages
// read their entries again and the statistics hear of the change.
#include "exchange/ExportLayout.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>

class QAction;

namespace kestrum {

class TExportRange;
class TForm1;
class TImportPreview;
struct TImportResult;
struct TExportResult;

class TLedgerExchangeCommands : public QObject {
    Q_OBJECT
public:
    //! Adds "导入..." and "导出..." with a separator before the window's
    //! "退出" and answers their clicks.
    explicit TLedgerExchangeCommands(TForm1 &window);

    QAction *ImportAction;
    QAction *ExportAction;

    void ImportClick();
    void ExportClick();

    // Where the user is asked; tests answer in the user's place.
    //! The file to import ("" when the user cancelled).
    std::function<QString()> ChooseImportFile;
    //! Shows the import dialog; answers whether the user pressed "导入".
    std::function<bool(TImportPreview &preview)> ConfirmImport;
    //! Shows the export dialog; answers whether to go on.
    std::function<bool(TExportRange &range)> ChooseExportRange;
    //! The CSV file to write ("" when the user cancelled); the user has
    //! agreed to replace a file that exists.
    std::function<QString(const QString &suggestedName)> ChooseExportFile;
    //! Today, for "本月"; tests pin it.
    std::function<QDate()> Today;

    //! The message after an import or an export.
    static QString ImportMessage(const TImportResult &result);
    static QString ExportMessage(const TExportResult &result, const QString &what, const QString &path,
                                 TExportFormat format = xfCsv);

private:
    //! Saves or drops what the pages are editing, as the user answers.
    bool settlePendingEntries();
    //! The ledger file of the window's connection, or its server's address
    //! (never to be shown); raises when it is not open.
    QString ledgerPath() const;
    //! The record sets read the file again; the statistics are told.
    void reloadPages(int added);
    void installDialogs();

    TForm1 &FWindow;
    QString FFolder; //!< where the last file was picked
};

} // namespace kestrum
