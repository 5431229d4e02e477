#pragma once
// The records of a QIF file as they stand in it: lines, "!" headers that
// open sections, fields of one letter each, "^" that ends a record, and the
// account the records of a section belong to. Shared by the first pass over
// a file and by its reader.
#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum {

enum TQifSection : std::uint8_t {
    qsNone,
    qsTransactions, //!< bank, cash, credit card, other asset or liability
    qsAccounts,     //!< the account records after "!Account"
    qsList,         //!< categories, classes, memorized transactions and other lists
    qsInvestment,
    qsUnknown,
    qsKeep, //!< "!Option:" and "!Clear:" lines, which leave the section as it is
};

//! The section a "!" line starts.
TQifSection QifSectionOf(std::string_view header);

//! ASCII letters in lower case; other bytes as they are.
std::string QifLower(std::string_view text);

//! The fields of one record, between two "^" lines.
struct TQifRecord {
    int Line = 0; //!< of its first field
    TQifSection Section = qsNone;
    std::string SectionName; //!< its header as written ("!Type:Bank")
    //! The account whose list holds it ("" when the file names none), and
    //! whether it is the first record of that list.
    std::string Account;
    bool FirstOfList = false;
    std::string Date, Total, Amount, Payee, Memo, Category, Name;
    bool Split = false;
};

class TQifRecordReader {
public:
    enum TRead : std::uint8_t {
        qrRecord, //!< `record` holds the next record
        qrCut,    //!< a record was cut short by a header or the end of the text
        qrEnd,
    };

    //! `text` (UTF-8) must outlive the reading.
    explicit TQifRecordReader(const QByteArray &text);

    //! The next record of any section. On qrCut, `record` holds what was
    //! read of it and CutAt() the line that cut it (0 at the end of the text).
    TRead Next(TQifRecord &record);
    int CutAt() const { return FCutAt; }
    int Line() const { return FLine; }
    double Progress() const
    {
        return FText.empty() ? 1.0 : double(std::min(FAt, FText.size())) / double(FText.size());
    }

private:
    bool nextLine(std::string_view &line);
    void enterSection(std::string_view header);

    std::string_view FText;
    std::size_t FAt = 0;
    int FLine = 0;
    int FCutAt = 0;
    TQifSection FSection = qsNone;
    std::string FSectionName;
    //! Within "!Option:AutoSwitch" the account records are a list of every
    //! account; outside it each one names the account whose records follow.
    bool FAccountList = false;
    std::string FAccount;
    bool FListStarts = false; //!< the next transaction record is its list's first
};

} // namespace kestrum
