// Renders the import dialog and the export dialog into PNG files without a
// screen: the import dialog over a small bank CSV file (with a bad date, a
// bad amount and an entry the ledger holds already) checked against
// Vantorel.mdb in the working folder, and the export dialog on a month.
// scripts/screenshot-exchange.sh drives it.
//
//   kestrum-exchangeshot CSV_FILE OUTPUT_PREFIX
#include "app/ExportDialog.h"
#include "app/ImportDialog.h"
#include "app/ImportPreview.h"
#include "core/RegionalSettings.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPixmap>

#include <cstdio>

using namespace kestrum;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrum-exchangeshot CSV_FILE OUTPUT_PREFIX\n");
        return 2;
    }
    QApplication app(argc, argv);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    RegisterFontSubstitutions();
    const QString prefix = QString::fromLocal8Bit(argv[2]);

    try {
        TImportPreview preview(QString::fromLocal8Bit(argv[1]));
        preview.SetLedgerPath(QDir::current().filePath(QStringLiteral("Vantorel.mdb")));
        TImportDialog importDialog(preview);
        importDialog.Rescan();
        importDialog.SkipBadRowsCheck->setChecked(true);
        importDialog.resize(820, 620);
        importDialog.show();
        QApplication::processEvents();
        if (!importDialog.grab().save(prefix + QStringLiteral("-import.png")))
            throw std::runtime_error("cannot write the import picture");

        TExportDialog exportDialog(
            TExportRange(QDate(2024, 3, 14), QStringLiteral("2024"), QStringLiteral("2")));
        exportDialog.show();
        QApplication::processEvents();
        if (!exportDialog.grab().save(prefix + QStringLiteral("-export.png")))
            throw std::runtime_error("cannot write the export picture");
    } catch (const std::exception &error) {
        std::fprintf(stderr, "kestrum-exchangeshot: %s\n", error.what());
        return 1;
    }
    return 0;
}
