#pragma once
// What the picture tools share: the ledger window built and loaded as at
// start-up (on Vantorel.mdb in the working folder) without a screen, and
// saving a picture with a line naming the file written.
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "ui/Shell.h"

#include <QPixmap>
#include <QString>

namespace kestrum {

//! Answers every web page as opened, so no failure box covers the picture.
class TQuietShell : public TShell {
public:
    int ShellExecute(const QString &, const QString &) override { return ShellSucceeded; }
};

//! The main window over the ledger in the working folder, 1000×640 and shown;
//! a failure to load is written to stderr and the window opens all the same.
//! Made after the QApplication, the regional settings and the fonts.
class TShotWindow {
public:
    TShotWindow();
    TLedgerData Data;
    TQuietShell Shell;
    TForm1 Window;
};

//! Writes picture to file as PNG and prints the file's name; false (with a
//! message on stderr) when it cannot be written.
bool SavePicture(const QPixmap &picture, const QString &file);

} // namespace kestrum
