// Renders the ledger window once per page into PNG files, without a screen:
// the window is built and loaded exactly as at start-up (on Vantorel.mdb in
// the working folder), then each page is made active and the window painted
// into an image. The statistics page is painted with its three sums worked
// out and its charts on the newest entry's year and month, once at 1024×700
// and once at the size of a maximized window on a large screen.
// scripts/screenshot-pages.sh drives it.
//
//   kestrum-pageshot OUTPUT_PREFIX   writes OUTPUT_PREFIX-income.png, -expense.png,
//                                    -statistics.png and -statistics-large.png
#include "app/StatisticsPage.h"
#include "core/RegionalSettings.h"
#include "db/DbField.h"
#include "shots/ShotWindow.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QPixmap>

#include <cstdio>

using namespace kestrum;

namespace {

bool Save(TForm1 &window, const QString &file)
{
    QApplication::processEvents();
    return SavePicture(window.grab(), file);
}

//! The pickers on the year and month of the newest expense, so that the
//! charts show entries whatever today's date is; the three sums pressed.
void ShowNewestMonth(TLedgerData &data, TStatisticsPage &page)
{
    try {
        TLedgerData::ReplaceAndReopen(data.ADOQuery3,
                                      QString::fromUtf8("select max(消费日期) as d from expen"));
        const QDate newest =
            QDate::fromString(data.ADOQuery3.FieldByName("d")->AsString().left(10), Qt::ISODate);
        if (newest.isValid()) {
            page.ComboBox1->setCurrentText(QString::number(newest.year()));
            page.ComboBox3->setCurrentText(QString::number(newest.year()));
            page.ComboBox2->setCurrentText(QString::number(newest.month()));
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    page.Button3Click();
    page.Button1Click();
    page.Button2Click();
    page.RefreshCharts();
}

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

    TShotWindow shot;
    TForm1 &window = shot.Window;

    const QString prefix = QString::fromLocal8Bit(argv[1]);
    const std::pair<void (TForm1::*)(), const char *> pages[] = {{&TForm1::N3Click, "income"},
                                                                 {&TForm1::N2Click, "expense"}};
    for (const auto &[activate, name] : pages) {
        (window.*activate)();
        if (!Save(window, prefix + '-' + name + ".png"))
            return 1;
    }

    window.N5Click();
    ShowNewestMonth(shot.Data, *window.StatisticsPage);
    window.resize(1024, 700);
    if (!Save(window, prefix + "-statistics.png"))
        return 1;
    window.resize(1920, 1050);
    if (!Save(window, prefix + "-statistics-large.png"))
        return 1;
    return 0;
}
