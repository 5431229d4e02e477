#pragma once
// What the "服务器..." dialog does, free of widgets: its fields, whether
// they make an address, trying the connection, and the address the program
// opens. The password typed here goes to libpq for this connection only;
// nothing keeps it.
#include "app/ServerAddress.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>

namespace kestrum {

class TServerOpenModel {
public:
    QString Host;
    QString Port = QStringLiteral("5432");
    QString Database;
    QString User;
    QString SslMode = QStringLiteral("prefer");
    QString Password; //!< for this connection only

    //! The choices libpq knows for sslmode, the safest last.
    static QStringList SslModes();
    //! The dialog's words on where a password is kept.
    static QString PasswordNote();

    //! Fills the fields from an address (the open server ledger or a recent one).
    void SetFrom(const TServerAddress &address);

    //! Why the fields make no address, or "" when they do.
    QString Problem() const;
    //! The address as kept and shown (no password).
    TServerAddress Address() const;
    //! What libpq is given to open the ledger: with the typed password.
    QString ConnectTarget() const;

    enum class TOutcome { Untried, Ready, ReadOnly, Failed };
    //! Connects, checks the ledger there and counts its entries; the text
    //! says what came out, for the dialog to show.
    TOutcome Test();
    TOutcome LastOutcome() const { return FOutcome; }
    const QString &OutcomeText() const { return FOutcomeText; }

private:
    TOutcome FOutcome = TOutcome::Untried;
    QString FOutcomeText;
};

} // namespace kestrum
