// Start-up: the main window is built with its pages bound to the data
// components, then the components finish loading (reporting each failure in
// the error box), the about box is made hidden, and the window opens whatever
// happened; the message loop runs until it closes. An exception that leaves
// any event handler ends in the error box, and the program goes on.
#include "app/AboutBox.h"
#include "app/AccessConversion.h"
#include "app/LedgerData.h"
#include "app/LedgerSafekeeping.h"
#include "app/MainWindow.h"
#include "core/RegionalSettings.h"
#include "filterdialogs/NavigatorFilterLink.h"
#include "ui/ErrorBox.h"
#include "ui/Fonts.h"
#include "ui/GuardedApplication.h"
#include "ui/Shell.h"

#include <QLabel>
#include <QPointer>
#include <QStatusBar>

using namespace kestrum;

int main(int argc, char **argv)
{
    TGuardedApplication app(argc, argv);
    setRegionalSettings(RegionalSettings::fromSystemLocale());
    RegisterFontSubstitutions();
    InstallNavigatorFilterBuilder();
    OfferAccessConversion(QStringLiteral("Vantorel.mdb"));

    // Outlives the data components: its close backup runs after they closed.
    TLedgerSafekeeping safekeeping;
    TLedgerData data;
    TDesktopShell shell;
    TForm1 window(data, shell);
    // The pages are bound first so that they hear the record sets open.
    data.Loaded([](const std::exception &error) { ShowException(nullptr, error); });
    TForm2 about(&shell);
    window.SetAboutBox(&about);

    // A failed start backup becomes a line in the status bar; the window may
    // be gone by the time the backup's thread reports.
    safekeeping.SetFailureReporter([target = QPointer<TForm1>(&window)](const QString &message) {
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
    });

    window.show();
    const int code = app.exec();
    safekeeping.SetFailureReporter({});
    return code;
}
