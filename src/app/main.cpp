// Start-up placeholder until the ledger window exists.
#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel window(QString::fromUtf8("家庭记帐"));
    window.resize(400, 200);
    window.show();
    return app.exec();
}
