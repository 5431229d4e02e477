#include "shots/ShotWindow.h"

#include <cstdio>

namespace kestrum {

TShotWindow::TShotWindow() : Window(Data, Shell)
{
    Data.Loaded([](const std::exception &error) { std::fprintf(stderr, "%s\n", error.what()); });
    Window.setWindowState(Qt::WindowNoState);
    Window.resize(1000, 640);
    Window.show();
}

bool SavePicture(const QPixmap &picture, const QString &file)
{
    if (!picture.save(file, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace kestrum
