#pragma once
// Keeps the window's server ledger connected: a timer drives a TServerLink
// for whichever server ledger is open (a switch to another ledger gets a new
// one), and a line in the status bar says while the link is down.
#include "app/ServerLink.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QLabel;
class QMainWindow;

namespace kestrum {

class TDbDriver;
class TLedgerData;

class TServerLinkBar : public QObject {
    Q_OBJECT
public:
    //! The window's status bar is made only when a line has to be shown.
    TServerLinkBar(TLedgerData &data, QMainWindow &window);

    //! Looks at the link now (the timer does so on its own).
    void Tick();
    const TServerLink *Link() const { return FLink.get(); }
    QLabel *Line() const { return FLine; }

private:
    TLedgerData &FData;
    QMainWindow &FWindow;
    QLabel *FLine = nullptr;
    QTimer FTimer;
    std::unique_ptr<TServerLink> FLink;
    const TDbDriver *FLinked = nullptr; //!< the driver FLink keeps connected
};

} // namespace kestrum
