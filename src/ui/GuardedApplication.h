#pragma once
// The application object of the program: the last line of defence for
// exceptions. An exception that leaves any event handler is caught where Qt
// delivers the event and shown in the application's error box; the event
// counts as not handled and the program goes on in the state the failed step
// left, instead of the exception unwinding through Qt and ending the process.
#include <QApplication>

namespace kestrum {

class TGuardedApplication : public QApplication {
    Q_OBJECT

public:
    TGuardedApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kestrum
