// Renders the ledger window once per entry page into PNG files, without a
// screen: the window is built and loaded exactly as at start-up (on
// Vantorel.mdb in the working folder), then each page is made active and the
// window painted into an image. scripts/screenshot-pages.sh drives it.
//
//   kestrum-pageshot OUTPUT_PREFIX   writes OUTPUT_PREFIX-income.png and -expense.png
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "core/RegionalSettings.h"
#include "ui/ErrorBox.h"
#include "ui/Fonts.h"
#include "ui/Shell.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

using namespace kestrum;

namespace {

//! Answers every web page as opened, so no failure box covers the picture.
class TQuietShell : public TShell {
public:
    int ShellExecute(const QString &, const QString &) override { return ShellSucceeded; }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrum-pageshot OUTPUT_PREFIX\n");
        return 2;
    }
    QApplication app(argc, argv);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    RegisterFontSubstitutions();

    TLedgerData data;
    TQuietShell shell;
    TForm1 window(data, shell);
    data.Loaded([](const std::exception &error) { std::fprintf(stderr, "%s\n", error.what()); });
    window.setWindowState(Qt::WindowNoState);
    window.resize(1000, 640);
    window.show();

    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const std::pair<void (TForm1::*)(), const char *> pages[] = {{&TForm1::N3Click, "income"},
                                                                 {&TForm1::N2Click, "expense"}};
    for (const auto &[activate, name] : pages) {
        (window.*activate)();
        QApplication::processEvents();
        const QString file = prefix + '-' + name + ".png";
        if (!window.grab().save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
