#pragma once
// A ledger file from the old Windows program is an Access (Jet) database.
// At start the program offers to convert it: the original is kept aside
// under a new name, unchanged, and a new ledger with the same entries takes
// its place.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace kestrum {

enum class TAccessConversionOutcome {
    NotAccess, //!< no file, or a file of this program: nothing to do
    Declined,  //!< the user said no; nothing was changed
    Converted, //!< the new ledger is in place, the original kept aside
    Failed,    //!< nothing was changed; the box said why
};

struct TAccessConversion {
    TAccessConversionOutcome Outcome = TAccessConversionOutcome::NotAccess;
    QString KeptAs; //!< where the original now is (TAccessConversionOutcome::Converted)
    int Income = 0;
    int Expense = 0;
    QStringList Notes; //!< what the reading chose that the user should hear of
};

//! The steps of putting a converted ledger in place, in their order.
enum class TAccessReplaceStep {
    KeepOriginal,  //!< the original gets its second name
    ReplaceLedger, //!< the new ledger is renamed over the original's path
};

//! Runs `hook` before each step (empty: none); a step fails when it raises,
//! so that tests can fail each step and see what is left.
void SetAccessReplaceHookForTests(std::function<void(TAccessReplaceStep)> hook);

//! The name the original gets: "Vantorel.access.mdb" beside it, or
//! "Vantorel.access-2.mdb" and so on when that is taken.
QString AccessOriginalName(const QString &ledgerPath);

//! When `ledgerPath` is a Jet file, asks whether to convert it and does so
//! on yes, telling the outcome in a box. The boxes go through
//! ShowMessageBox, so tests answer them with a hook.
TAccessConversion OfferAccessConversion(const QString &ledgerPath, QWidget *parent = nullptr);

} // namespace kestrum
