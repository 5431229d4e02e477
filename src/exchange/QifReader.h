#pragma once
// Reading entries from a QIF file (Quicken interchange format): the bank,
// cash and credit-card sections. Positive amounts are income, negative ones
// expenses. The category (its full path, "Food:Groceries") becomes the item,
// so that statistics by item show what the money went to; the payee and the
// memo go to the remark. The user may take the item from the payee or the
// memo instead; a record without that field falls back to the others. An opening balance and a transfer
// between two accounts (a category in brackets, "[Savings]") move money the household has already; they are
// no income or expense, and are left out unless asked for.
#include "exchange/ForeignEntry.h"
#include "exchange/ItemFields.h"
#include "exchange/TextEncoding.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace kestrum {

//! The order of day and month in dates like 3/4/2024.
enum TQifDateOrder : std::uint8_t {
    qdAuto,       //!< month first, unless some date of the file only reads day first
    qdMonthFirst, //!< 3/4/2024 is March 4
    qdDayFirst,   //!< 3/4/2024 is 3 April
};

//! What the file's transaction dates say about their order.
enum TQifDateEvidence : std::uint8_t {
    qeGiven,     //!< the order was given, not looked for
    qeSettled,   //!< no date reads differently in the other order (or there are none)
    qeDayFirst,  //!< only day first reads every date, so day first was taken
    qeEitherWay, //!< every date reads either way and some differ: month first was taken
    qeMixed,     //!< some dates read only one way, some only the other
};

//! Opening balances and transfers between accounts.
enum TQifTransfers : std::uint8_t {
    qtSkip,   //!< left out, and listed
    qtImport, //!< imported as income or expense like any other record
};

struct TQifOptions {
    TQifDateOrder DateOrder = qdAuto;
    //! Empty: found from the bytes (GuessEncoding).
    std::optional<exchange::TTextEncoding> Encoding;
    TQifTransfers Transfers = qtSkip;
    TQifItemSource Item = qiCategory;
};

//! A record that moves money between the household's own accounts.
struct TQifTransfer {
    enum TKind : std::uint8_t {
        tkOpeningBalance, //!< an account's balance when it was set up
        tkTransfer,       //!< to or from another account
    };
    TKind Kind = tkTransfer;
    TForeignEntry Entry;  //!< as it would come in
    QString Account;      //!< the account whose list holds it ("" when the file names none)
    QString OtherAccount; //!< the bracketed account of a transfer
};

class TQifEntrySource : public TEntrySource {
public:
    //! The text may be UTF-8 (with or without a byte-order mark) or GB18030.
    TQifEntrySource(const QByteArray &data, const TQifOptions &options = {});
    //! Reads the file; raises EImportError when it cannot be opened.
    static std::unique_ptr<TQifEntrySource> FromFile(const QString &path, const TQifOptions &options = {});
    ~TQifEntrySource() override;

    TStep Next(TForeignEntry &entry, TBadRecord &bad) override;
    double Progress() const override;
    QString Description() const override;
    QStringList Notes() const override;

    const exchange::TEncodingGuess &Encoding() const;
    //! The order the dates are read in, and why.
    exchange::TDayMonthOrder DateOrder() const;
    TQifDateEvidence DateEvidence() const;
    //! Whether some transaction of the file has the field (known before the
    //! first entry is read).
    bool HasField(TQifItemSource field) const;
    //! What the user should hear of the order ("" when nothing); also in Notes().
    QString DateNote() const;
    //! The opening balances and transfers read so far (left out or, with
    //! qtImport, imported), the first MaxListed of them; and their count.
    const std::vector<TQifTransfer> &Transfers() const;
    int TransferCount(TQifTransfer::TKind kind) const;
    static constexpr int MaxListed = 200;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

//! "期初余额" or "转到“储蓄”" / "从“储蓄”转入": what a transfer is, for lists.
QString QifTransferText(const TQifTransfer &transfer);

} // namespace kestrum
