#pragma once
// A record set's statement: its lines, their parsed form with the ":name"
// parameters, and running it on a connection. Only a single statement that
// reads may run: a record set must never write as a side effect of opening.
#include "db/DbParameters.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace kestrum {

class TDbConnection;
class TDbRowReader;
class TDbStatement;
class TDbRowStore;
struct TDbColumnInfo;
struct TDbStatementPlan;

class TDbQueryStatement {
public:
    TDbQueryStatement();
    ~TDbQueryStatement();
    TDbQueryStatement(const TDbQueryStatement &) = delete;
    TDbQueryStatement &operator=(const TDbQueryStatement &) = delete;

    const QStringList &Lines() const { return FLines; }
    //! Re-parses the parameters, keeping the values of names that stay.
    void SetLines(const QStringList &lines);
    QString Text() const { return FLines.join('\n'); }
    TDbParameters &Parameters() { return FParameters; }
    const TDbParameters &Parameters() const { return FParameters; }

    //! Runs the statement (opening the connection when needed) and reads
    //! every row; columns receives what each result column is. context names
    //! the record set in messages. Raises EDatabaseError.
    std::unique_ptr<TDbRowStore> Run(TDbConnection *connection, const QString &context,
                                     std::vector<TDbColumnInfo> &columns) const;
    //! What Run keeps the rows in, chosen once the result's columns are known.
    using TMakeStore = std::function<std::unique_ptr<TDbRowStore>(const std::vector<TDbColumnInfo> &columns)>;
    //! Runs the statement and reads every row into the store makeStore gives;
    //! onRow (when set) is handed each row, with its slot, after it is stored.
    std::unique_ptr<TDbRowStore>
    Run(TDbConnection *connection, const QString &context, std::vector<TDbColumnInfo> &columns,
        const TMakeStore &makeStore,
        const std::function<void(int slot, const TDbRowReader &row)> &onRow) const;
    //! Runs the statement and hands each row to onRow without keeping it.
    void Scan(TDbConnection *connection, const QString &context,
              const std::function<void(const TDbRowReader &row)> &onRow) const;
    //! Whether the statement, run now, selects the row whose key (result
    //! column keyName) equals the stored cell. It asks for that one row, so
    //! the answer costs a lookup, not a re-run; false when the statement
    //! cannot be asked that way. Raises when the database fails to answer.
    bool SelectsRow(const TDbConnection &connection, const QString &keyName, const TDbRowStore &store,
                    int slot, int keyColumn) const;

private:
    using THandle = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;
    //! Opens the connection (when needed) for running the statement.
    void OpenFor(TDbConnection *connection, const QString &context) const;
    //! The statement prepared on a file and its parameters bound, ready to step.
    THandle Prepare(TDbConnection *connection, const QString &context) const;
    //! The same on a server, through its driver.
    std::unique_ptr<TDbStatement> PrepareOnServer(TDbConnection &connection) const;

    QStringList FLines;
    TDbParameters FParameters;
    std::unique_ptr<TDbStatementPlan> FPlan;
};

} // namespace kestrum
