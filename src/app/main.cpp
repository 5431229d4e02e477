// Start-up: the main window is built with its pages bound to the data
// components, then the components finish loading (reporting each failure in
// the error box), the about box is made hidden, and the window opens whatever
// happened; the message loop runs until it closes. An exception that leaves
// any event handler ends in the error box, and the program goes on.
#include "app/AboutBox.h"
#include "app/AccessConversion.h"
#include "app/LedgerData.h"
#include "app/LedgerFileCommands.h"
#include "app/LedgerSafekeeping.h"
#include "app/LedgerSwitcher.h"
#include "app/MainWindow.h"
#include "app/ServerAddress.h"
#include "app/ServerLinkBar.h"
#include "core/AllocatorTunables.h"
#include "core/RegionalSettings.h"
#include "db/DbDriver.h"
#include "filterdialogs/NavigatorFilterLink.h"
#include "ledger/LedgerLocation.h"
#include "ui/ErrorBox.h"
#include "ui/Fonts.h"
#include "ui/GuardedApplication.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"
#include "ui/Translations.h"

#include <QLabel>
#include <QPointer>
#include <QStatusBar>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace kestrum;

namespace {

int Usage(std::FILE *stream, int code)
{
    std::fprintf(stream, "usage: kestrum [FILE | postgresql://USER@HOST/DATABASE]\n"
                         "Opens the ledger FILE; without it Vantorel.mdb in the working folder when there\n"
                         "is one, else the one in the user's data folder (made on first start).\n"
                         "A postgresql:// address (or libpq's keywords, such as \"service=family\") opens\n"
                         "a ledger made on a PostgreSQL server with kestrum-db init; the password comes\n"
                         "from ~/.pgpass or the service file.\n");
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    RestartWithAllocatorTunables(argv);
    // Asked before the application object, which needs a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Usage(stdout, 0);
    TGuardedApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrum"));
    // Qt's own dialogs (files, progress, standard buttons) speak the
    // ledger's language; the texts the program sets itself stay as they are.
    InstallQtTranslations(app);
    setRegionalSettings(RegionalSettings::fromSystemLocale());
    RegisterFontSubstitutions();

    // Qt took its own options out of the arguments already.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.front().startsWith('-')))
        return Usage(stderr, 2);
    const bool onServer = !arguments.isEmpty() && IsServerTarget(arguments.front().toStdString());
    TLedgerChoice ledger;
    if (onServer) {
        ledger.LedgerPath = arguments.front();
        ledger.Source = TLedgerSource::Argument;
        QString error;
        const std::optional<TServerAddress> address = TServerAddress::Parse(ledger.LedgerPath, &error);
        if (!address)
            ShowErrorBox(nullptr, error);
        else if (address->HadPassword())
            ShowMessage(nullptr, QStringLiteral("服务器地址中写了密码。Kestrum 这次用它连接，但不会把它记进"
                                                "“最近打开”或任何文件；以后请把密码写在 ~/.pgpass 中，"
                                                "地址里不要写密码（命令行的内容别人可能看得到）。"));
    } else {
        ledger = ChooseLedger(arguments.value(0));
        try {
            PrepareLedger(ledger);
        } catch (const std::exception &error) {
            ShowException(nullptr, error);
        }
    }
    InstallNavigatorFilterBuilder();
    if (!onServer)
        OfferAccessConversion(ledger.LedgerPath);

    // Outlives the data components: its close backup runs after they closed.
    // Opening another ledger replaces it. A server keeps its own data safe.
    // The file's pages are checked beside the loading pages: a large ledger's
    // check does not hold up the window, and no write lands before it passed.
    auto safekeeping =
        onServer ? nullptr
                 : std::make_unique<TLedgerSafekeeping>(ledger.LedgerPath, QDateTime::currentDateTime(),
                                                        std::chrono::milliseconds(5000),
                                                        TLedgerSafekeeping::TPageCheck::Beside);
    TLedgerData data(ledger.LedgerPath);
    data.SetMakesKeptTotalsAside(true);
    if (safekeeping)
        data.SetWriteGate(safekeeping->WriteGate());
    TDesktopShell shell;
    TForm1 window(data, shell);
    const auto reportError = [](const std::exception &error) { ShowException(nullptr, error); };
    // The pages are bound first so that they hear the record sets open.
    data.Loaded(reportError);
    // A damaged file is answered before the window shows, as a check at once would.
    if (safekeeping && safekeeping->FinishPageCheck([&data] { data.SwitchTo(data.LedgerPath(), false); })) {
        data.SetWriteGate(safekeeping->WriteGate());
        data.Loaded(reportError);
    }
    TForm2 about(&shell);
    window.SetAboutBox(&about);

    // A failed start backup becomes a line in the status bar; the window may
    // be gone by the time the backup's thread reports.
    const auto reportBackupFailure = [target = QPointer<TForm1>(&window)](const QString &message) {
        QMetaObject::invokeMethod(
            qApp,
            [target, message] {
                if (!target)
                    return;
                // A widget of its own, not a passing message that the
                // menus' hints would wipe away.
                auto *line = target->statusBar()->findChild<QLabel *>(QStringLiteral("BackupFailure"));
                if (!line) {
                    line = new QLabel(target->statusBar());
                    line->setObjectName(QStringLiteral("BackupFailure"));
                    target->statusBar()->addWidget(line, 1);
                }
                line->setText(line->text().isEmpty() ? message : line->text() + ' ' + message);
            },
            Qt::QueuedConnection);
    };
    if (safekeeping)
        safekeeping->SetFailureReporter(reportBackupFailure);

    TLedgerSwitcher switcher(data, safekeeping);
    switcher.SetDialogParent(&window);
    switcher.SetErrorHandler(reportError);
    switcher.SetSettleSteps(window.SettleSteps());
    switcher.SetSafekeepingFactory([&window, &data, reportBackupFailure](const QString &path) {
        // A line about the previous ledger's backups no longer applies.
        // (statusBar() would make a bar where there is none.)
        if (auto *line = window.findChild<QLabel *>(QStringLiteral("BackupFailure")))
            line->clear();
        auto made = std::make_unique<TLedgerSafekeeping>(path);
        made->SetFailureReporter(reportBackupFailure);
        data.SetWriteGate(made->WriteGate());
        return made;
    });
    new TLedgerFileCommands(window, switcher);
    // A server ledger whose link breaks is connected again on its own.
    new TServerLinkBar(data, window);

    window.show();
    const int code = app.exec();
    if (safekeeping)
        safekeeping->SetFailureReporter({});
    return code;
}
