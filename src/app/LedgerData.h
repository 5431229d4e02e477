#pragma once
// The ledger's data components: one connection to the ledger file
// (Vantorel.mdb in the working folder unless another is named), the income and expense record sets with their
// data sources, and the statistics record set. The main window owns one of these and binds its pages to
// DataSource1 and DataSource2.
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"

#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace kestrum {

class TLedgerData {
public:
    using TErrorHandler = std::function<void(const std::exception &error)>;
    using TParameterTexts = std::vector<std::pair<QString, QString>>;

    static const char *const ConnectionString;
    //! ConnectionString with its data source replaced by ledgerPath.
    static QString ConnectionStringFor(const QString &ledgerPath);

    //! Every component gets its stored settings; nothing is opened yet. The
    //! connection names ledgerPath when it is given, else the stored file.
    explicit TLedgerData(const QString &ledgerPath = QString());
    ~TLedgerData(); // closes the record sets, then the connection

    // Declared in this order so that the connection outlives its record sets.
    TDbConnection ADOConnection1;
    TDbQuery ADOQuery1; //!< "select * from gain"
    TDbDataSource DataSource1;
    TDbQuery ADOQuery2; //!< "select * from expen"
    TDbDataSource DataSource2;
    TDbQuery ADOQuery3; //!< statistics; no statement until used

    //! The ledger file the connection names, as an absolute path, or the
    //! server address as given (a password in it included: never write it
    //! down or show it; see WithoutPassword).
    QString LedgerPath() const;
    //! Whether the ledger is on a database server rather than in a file.
    bool OnServer() const;
    //! Whether the open connection holds the ledger's tables: a file holding
    //! gain and expen, or a server ledger (checked when it opened).
    bool HoldsLedger() const;
    //! Closes the record sets, then the connection, and names another file
    //! (opened for reading only when readOnly); Loaded opens it. A pending
    //! record is dropped: settle it first.
    void SwitchTo(const QString &ledgerPath, bool readOnly);

    //! Finishes loading in stored order: ADOQuery1 (opening it connects),
    //! DataSource1, ADOConnection1, ADOQuery2, DataSource2, ADOQuery3. A
    //! component that fails hands its error to onError and loading goes on,
    //! so a database that cannot be opened gives up to three reports and
    //! leaves both record sets closed. A file that could only be opened for
    //! reading is reported once, after the record sets opened, so that the
    //! user knows before typing that nothing can be saved.
    void Loaded(const TErrorHandler &onError);

    //! Close, make sql the one line of the statement, assign each parameter
    //! its text as a string value in the order given, and open. A pending
    //! record is dropped by the close. Raises what the open raises; the
    //! record set then stays closed.
    static void ReplaceAndReopen(TDbQuery &query, const QString &sql, const TParameterTexts &parameters = {});

    //! What a page lists its entries with (the whole table, or a month) on
    //! the ledger's engine. A file returns a table's rows in the order they
    //! were entered, and reads a month through a slice of the date index
    //! (MonthListStatement) in that order; a server returns them in no fixed
    //! order (a changed row moves), so there the statement as written is
    //! ordered by id, the order of entering.
    static QString ListStatement(const QString &statement, const TParameterTexts &parameters, bool server);

    //! The ledger's entries changed: raised after every post and delete on
    //! the income and expense record sets, and by anything else that writes
    //! entries, so that views of the whole ledger (the statistics charts)
    //! only listen here. Returns an id for RemoveLedgerChangedListener.
    using TLedgerChangedListener = std::function<void()>;
    int AddLedgerChangedListener(TLedgerChangedListener listener);
    void RemoveLedgerChangedListener(int id);
    void LedgerChanged();

    //! A file ledger that lacks the kept totals gets them on a thread of its
    //! own once loaded (the program asks for that; other users of the data
    //! components get no thread).
    void SetMakesKeptTotalsAside(bool makes) { FMakesKeptTotalsAside = makes; }
    //! Waits for the kept totals made beside the window.
    void WaitForKeptTotals();
    //! Asked before every write into the ledger file, on the connection and
    //! by the kept totals' thread (see TDbConnection::SetCommitGate). Named
    //! for the file that is open: another file dropped it.
    void SetWriteGate(TDbConnection::TCommitGate gate);

private:
    //! The statements of the income and expense record sets (the whole
    //! table, or a month shown on either engine) in the form for the
    //! ledger's engine (see ListStatement), so that opening a ledger on the
    //! other engine shows the same month.
    void ListForEngine();
    void LoadedFromServer(const std::function<void(const std::function<void()> &)> &step);
    //! Makes the kept totals beside, so that the first all-time sum finds them.
    void StartKeptTotals();
    void StopKeptTotals();

    std::vector<std::pair<int, TLedgerChangedListener>> FLedgerChangedListeners;
    std::thread FKeptTotals;
    std::atomic<bool> FStopKeptTotals{false};
    bool FMakesKeptTotalsAside = false;
    TDbConnection::TCommitGate FWriteGate;
    int FNextListenerId = 1;
};

} // namespace kestrum
