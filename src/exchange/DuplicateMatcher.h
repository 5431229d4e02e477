#pragma once
// Which entries of a file the ledger holds already, whichever format brought
// them in before. Two entries are taken for the same when they are in the
// same table, on the same day (and, where both carry a time of day, at the
// same time), of the same amount in cents (or exactly the same amount, for
// one that is no whole number of cents), and either both carry the file's
// own transaction id and the ids are equal, or (when one of them has none)
// their texts have something in common: the item and the parts of the
// remark, each compared without regard to case, blanks and full or half
// width, are the same, or those of one are all among those of the other (a
// remark the user added to an imported entry), or some part of one is, or
// stands inside, a part of the other, the two items aside (which text became
// the item and which the remark depends on the program that wrote the file;
// a shared category alone makes no duplicate). The closer match
// wins. Each ledger entry answers for one entry of the file at most, and
// entries this import adds are never matched, so repeats within one file
// all come in.
//
// The ledger is read for the days a batch of the file's entries spans, and
// only rows whose table, day and amount occur in the batch are kept.
#include "exchange/ForeignEntry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

class TDbDriver;

//! The text an entry is compared by: its item and each part of its remark
//! (split at semicolons) in lower case, full-width forms as their half-width
//! ones, without blanks; sorted, without repeats or empty parts.
std::vector<std::string> ComparedTextParts(std::string_view item, std::string_view remark);

//! Whether two entries' compared parts say they are the same entry: equal,
//! or the parts of one (at least one part) all among those of the other.
bool TextsAgree(const std::vector<std::string> &a, const std::vector<std::string> &b);

//! Whether two entries' compared parts share some text: a part of one equals
//! a part of the other or stands inside it (a bank's "my pills" in a QIF's
//! "Other  my pills"), other than the two items alone (the same category
//! says little). Files of one account written by two programs put the same
//! words in different fields. `aItem` and `bItem` are the parts of the items.
bool TextsShare(const std::vector<std::string> &a, const std::vector<std::string> &aItem,
                const std::vector<std::string> &b, const std::vector<std::string> &bItem);

//! The table that remembers the file's own id of an imported transaction.
extern const char *const TransactionIdTable;

class TDuplicateMatcher {
public:
    //! Takes the ledger's entries as they are now (inside the importer's
    //! transaction): rows added later are never matched.
    explicit TDuplicateMatcher(TDbDriver &db);
    ~TDuplicateMatcher();
    TDuplicateMatcher(const TDuplicateMatcher &) = delete;
    TDuplicateMatcher &operator=(const TDuplicateMatcher &) = delete;

    //! For each entry of the batch, the ledger row it duplicates, or 0. A
    //! ledger row matched once (here or in an earlier batch) is not matched
    //! again. Raises Exception when the ledger cannot be read.
    void Match(const std::vector<TForeignEntry> &batch, std::vector<std::int64_t> &rows);

    //! Remembers the transaction id of a ledger row (one just added, or one
    //! a file's entry matched by its text), creating the table when the
    //! ledger has none yet. Raises Exception when it cannot be written.
    void RememberId(TEntryKind kind, std::int64_t row, const std::string &transactionId);

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace kestrum
