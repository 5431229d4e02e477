#pragma once
// Who makes the ledger: the name, the domain and the two web pages that the
// main window and the about box open. Kept in one place so that a rebrand is
// one edit.
#include <QString>

namespace kestrum {

struct TMaker {
    static QString Name() { return QString::fromUtf8("米瑞罗工作室"); }
    static QString Domain() { return QStringLiteral("www.mirelo.example"); }
    //! Opened when the main window is shown, on closing from the 15th of the
    //! month on, and by the about box's visit button.
    static QString MainPage() { return QStringLiteral("http://www.mirelo.example/"); }
    //! Opened on closing up to the 14th of the month.
    static QString SecondPage() { return QStringLiteral("http://news.mirelo.example/kestrum/"); }
};

} // namespace kestrum
