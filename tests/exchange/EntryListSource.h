#pragma once
// Entries handed to the importer straight from a list, as a reader of
// another ledger would give them, without a file to parse.
#include "exchange/ForeignEntry.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace kestrum::test {

class TEntryListSource : public TEntrySource {
public:
    explicit TEntryListSource(std::vector<TForeignEntry> entries) : FEntries(std::move(entries)) {}
    TStep Next(TForeignEntry &entry, TBadRecord &) override
    {
        if (FNext >= FEntries.size())
            return esEnd;
        entry = FEntries[FNext++];
        return esEntry;
    }
    double Progress() const override { return FEntries.empty() ? 1.0 : double(FNext) / FEntries.size(); }
    QString Description() const override { return QStringLiteral("list"); }

private:
    std::vector<TForeignEntry> FEntries;
    std::size_t FNext = 0;
};

} // namespace kestrum::test
