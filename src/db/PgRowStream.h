#pragma once
// A query's rows read from a PostgreSQL server in batches through a cursor,
// so that no more of them is held than the caller keeps.
#include <libpq-fe.h>

#include <string>
#include <vector>

namespace kestrum {

class TPgDriver;

class TPgRowStream {
public:
    explicit TPgRowStream(TPgDriver &driver) : FDriver(driver) {}
    ~TPgRowStream() { Reset(); }
    TPgRowStream(const TPgRowStream &) = delete;
    TPgRowStream &operator=(const TPgRowStream &) = delete;

    //! Declares a cursor for `sql` with its parameters and returns the first
    //! batch, which the caller then owns. Outside a transaction the cursor
    //! gets one of its own, which ends with it.
    PGresult *Open(const std::string &sql, const std::vector<const char *> &values,
                   const std::vector<int> &lengths, const std::vector<int> &formats,
                   const std::vector<Oid> &types);
    //! Whether rows are still to come, taken in already or behind the cursor.
    bool HasMore() const { return FRest || FOpen; }
    //! The next rows, which the caller then owns: those taken in while
    //! another statement ran, or the cursor's next batch.
    PGresult *Next();
    //! Closes the cursor and lets go of the rows taken in.
    void Reset();

private:
    //! The cursor's next batch; the cursor is closed once a batch comes short.
    PGresult *Fetch();
    //! Another statement is about to run that the cursor cannot stay open
    //! for: the rows still to come are taken in at once.
    void TakeRest();
    //! Closes the cursor, and ends the transaction made for it; never throws
    //! (a broken link has ended both already).
    void Close();

    static constexpr int BatchRows = 10000;

    TPgDriver &FDriver;
    std::string FCursor;
    bool FOpen = false;
    bool FOwnsTransaction = false;
    PGresult *FRest = nullptr; //!< rows taken in at once while another statement ran
};

} // namespace kestrum
