#pragma once
// The rows of an Access (Jet) database's tables as plain values, behind an
// interface, so that what the ledger makes of them is tested without a file.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrum {

struct TJetValue {
    enum TKind : std::uint8_t { jvNull, jvText, jvNumber, jvCurrency, jvDate };
    TKind Kind = jvNull;
    //! A text that did not fit the reader's buffer and came back cut short.
    bool Truncated = false;
    std::string Text;          //!< jvText: UTF-8
    double Number = 0;         //!< jvNumber; jvDate: days since 30 Dec 1899, fraction the time
    std::int64_t Currency = 0; //!< jvCurrency: ten-thousandths, exact as Jet keeps them

    static TJetValue Null() { return {}; }
    static TJetValue FromText(std::string text) { return {jvText, false, std::move(text), 0, 0}; }
    static TJetValue FromNumber(double number) { return {jvNumber, false, {}, number, 0}; }
    static TJetValue FromCurrency(std::int64_t tenThousandths) { return {jvCurrency, false, {}, 0, tenThousandths}; }
    static TJetValue FromDate(double days) { return {jvDate, false, {}, days, 0}; }
};

//! The values of one row, in the order of the cursor's Columns().
using TJetRow = std::vector<TJetValue>;

//! Reads one table's rows in stored order.
class TJetRowCursor {
public:
    virtual ~TJetRowCursor() = default;
    virtual const std::vector<std::string> &Columns() const = 0; //!< UTF-8 names
    //! The number of rows the table says it holds (for progress only).
    virtual std::int64_t RowCount() const = 0;
    //! Fills `row` with the next row; false at the end.
    virtual bool Next(TJetRow &row) = 0;
};

class TJetTableSource {
public:
    virtual ~TJetTableSource() = default;
    //! "Access 97 (Jet 3)" and the like, for messages.
    virtual std::string Description() const = 0;
    //! Whether a user table of that name exists; names compare without
    //! regard to case, as the Jet engine compares them.
    virtual bool HasTable(const std::string &table) = 0;
    //! Raises kestrum::Exception when the table is missing or unreadable.
    //! Several cursors may be open at once, but the rows are read one table
    //! after the other: a file reader may share one page buffer among them.
    virtual std::unique_ptr<TJetRowCursor> OpenTable(const std::string &table) = 0;
};

} // namespace kestrum
