// Start-up: the data components finish loading (reporting each failure in
// the error box), then the window opens whatever happened, and the message
// loop runs until it closes.
#include "app/LedgerData.h"
#include "core/RegionalSettings.h"
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QLabel>

using namespace kestrum;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    setRegionalSettings(RegionalSettings::fromSystemLocale());
    TLedgerData data;
    data.Loaded([](const std::exception &error) { ShowException(nullptr, error); });

    // Until the ledger window takes over: what the record sets hold.
    QLabel window(QString::fromUtf8("收入: %1 条, 消费: %2 条")
                      .arg(data.ADOQuery1.Active() ? QString::number(data.ADOQuery1.RecordCount()) : "-")
                      .arg(data.ADOQuery2.Active() ? QString::number(data.ADOQuery2.RecordCount()) : "-"));
    window.resize(400, 200);
    window.show();
    return app.exec();
}
