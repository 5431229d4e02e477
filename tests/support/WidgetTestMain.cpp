// Entry point of widget tests: a QApplication on the offscreen platform, a
// private runtime directory, and every Qt warning turned into a failure so a
// widget that misbehaves quietly still fails its test.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

void failOnQtWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "Qt message: %s\n", qPrintable(message));
    ADD_FAILURE() << "Qt warning: " << message.toStdString();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtimeDir;
    QFile::setPermissions(runtimeDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    qInstallMessageHandler(failOnQtWarning);
    return RUN_ALL_TESTS();
}
