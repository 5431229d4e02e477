#include "ui/GuardedApplication.h"

#include "ui/ErrorBox.h"

#include <exception>

namespace kestrum {

TGuardedApplication::TGuardedApplication(int &argc, char **argv) : QApplication(argc, argv)
{
}

bool TGuardedApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        ShowException(activeWindow(), error);
    } catch (...) {
        ShowErrorBox(activeWindow(), QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace kestrum
