#pragma once
// A taker of a record set's rows as they are read: a data-aware part that
// keeps every value itself (a data controller's storage). While one takes the
// rows at open, the record set keeps only what it needs to find and write a
// row back (its key and a hash of the row as read), so each row is held once.
// A data link that can take the rows implements this interface too.
namespace kestrum {

class TDbQuery;
class TDbRowReader;

class TDbRowSink {
public:
    virtual ~TDbRowSink() = default;
    //! The record set's fields are made and its rows are about to be read;
    //! true to take them. The sink binds to the record set's fields here.
    virtual bool BeginRows(TDbQuery &query) = 0;
    //! A row in the record set's visible order, from the first on (position
    //! counts them). The reader is valid during the call only.
    virtual void TakeRow(int position, const TDbRowReader &row) = 0;
    //! Every row was read (complete), or the read failed and the rows taken
    //! so far are void.
    virtual void EndRows(TDbQuery &query, bool complete) = 0;
};

} // namespace kestrum
