#pragma once
// Transfers that a program writes as two plain records, one in each of the
// two accounts (Skrooge does so for HomeBank's transfers): the same date as
// written, the same payee and memo, amounts equal and opposite, in two
// different accounts of the file. Found over the whole file before the
// first entry is read.
#include "exchange/QifSyntax.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrum {

class TQifTransferPairs {
public:
    //! A transaction record with its amount in cents (negative for money out).
    void Add(const TQifRecord &record, std::int64_t signedCents);
    //! The same for a record of another format that names its account (a
    //! CSV file of several accounts): its line, and its date as written.
    void Add(int line, std::string_view account, std::string_view date, std::string_view payee,
             std::string_view memo, std::int64_t signedCents);
    //! Pairs the records up; call once, after the last Add.
    void Finish();
    //! Whether the record at `line` is one side of a pair.
    bool Contains(int line) const;
    int Count() const { return int(FLines.size()); }

private:
    struct TSide {
        std::uint64_t Key = 0; //!< date, amount, payee and memo
        int Line = 0;
        std::uint32_t Account = 0;
        bool Negative = false;
    };
    std::vector<TSide> FSides;
    std::unordered_map<std::string, std::uint32_t> FAccounts;
    std::vector<int> FLines; //!< ascending
};

} // namespace kestrum
