#include "app/ServerLinkBar.h"

#include "app/LedgerData.h"
#include "db/PgDriver.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace kestrum {

TServerLinkBar::TServerLinkBar(TLedgerData &data, QMainWindow &window)
    : QObject(&window), FData(data), FWindow(window)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] { Tick(); });
    FTimer.start(1000);
}

void TServerLinkBar::Tick()
{
    TDbConnection &connection = FData.ADOConnection1;
    auto *server = connection.Connected() && connection.IsServer()
                       ? dynamic_cast<TPgDriver *>(&connection.Driver())
                       : nullptr;
    if (server != FLinked) {
        FLink = server ? std::make_unique<TServerLink>(std::make_unique<TPgLinkReconnect>(*server)) : nullptr;
        FLinked = server;
    }
    if (FLink)
        FLink->Tick();
    const QString text = FLink ? FLink->StatusText() : QString();
    if (!FLine && !text.isEmpty()) {
        FLine = new QLabel(FWindow.statusBar());
        FLine->setObjectName(QStringLiteral("ServerLink"));
        FWindow.statusBar()->addWidget(FLine, 1);
    }
    if (FLine) {
        FLine->setText(text);
        FLine->setVisible(!text.isEmpty());
    }
    FTimer.start(FLink ? FLink->TickInterval() : std::chrono::milliseconds(1000));
}

} // namespace kestrum
