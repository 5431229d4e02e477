#include "ui/Beep.h"

#include <QApplication>

namespace kestrum {

void MessageBeep()
{
    QApplication::beep();
}

} // namespace kestrum
