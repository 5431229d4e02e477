#pragma once
// Which ledger file a plain `kestrum` (or `kestrum-db`) works on. A ledger in
// the working folder wins, so that a family that keeps its books in one
// folder (and `make run`) goes on as before; a program started from the
// desktop menu, whose working folder is the home folder, uses the user's data
// folder instead of scattering files there. An explicit file always wins.
#include <QString>

#include <cstdint>

namespace kestrum {

//! Where a chosen ledger came from: it decides whether a missing file is an
//! error (a file the user named) or a first start (the data folder).
enum class TLedgerSource : std::uint8_t {
    Argument,      //!< named on the command line
    WorkingFolder, //!< Vantorel.mdb found in the working folder
    DataFolder,    //!< the user's data folder, the ledger's home by default
};

struct TLedgerChoice {
    QString LedgerPath; //!< absolute, cleaned
    QString BackupFolder;
    TLedgerSource Source = TLedgerSource::DataFolder;
};

//! The ledger's file name everywhere it is not named.
QString DefaultLedgerFileName();

//! The user's data folder for Kestrum (QStandardPaths::AppDataLocation of
//! the application "kestrum", e.g. ~/.local/share/kestrum), whichever of
//! Kestrum's programs asks.
QString UserDataFolder();

//! The choice itself, free of the environment so that it can be tested:
//! `argument` empty means none was given; a relative argument is taken
//! against the working folder.
TLedgerChoice ChooseLedger(const QString &argument, const QString &workingFolder, const QString &dataFolder);

//! ChooseLedger for this process: the working folder and UserDataFolder().
TLedgerChoice ChooseLedger(const QString &argument = QString());

//! The file a command works on when none is named: the bare name for a
//! ledger in the working folder (so messages name it as the user knows it),
//! else the full path in the data folder.
QString DefaultLedgerPath();

//! A first start from the data folder makes the folder and an empty ledger
//! in it; a ledger that exists, or a file the user named, is left alone (a
//! missing named file is reported when it is opened). Returns whether it
//! created the ledger; raises when it cannot.
bool PrepareLedger(const TLedgerChoice &choice);

} // namespace kestrum
