#pragma once
// A bookmark names one row of a record set. Rows of a table are named by
// their key, so a bookmark stays valid across a refresh or a reopen as long
// as the row is still in the result; rows of a result without a key are named
// by their load slot and are valid only until the result is reloaded.
#include <cstdint>
#include <string>

namespace kestrum {

class TBookmark {
public:
    TBookmark() = default;
    bool IsNull() const { return FKind == kNone; }
    //! Printable form for diagnostics: "key:12", "slot:3@7", "null".
    std::string debugString() const;
    friend bool operator==(const TBookmark &, const TBookmark &) = default;

private:
    friend class TDbRowOrder;
    enum Kind : std::uint8_t { kNone, kKey, kSlot };
    Kind FKind = kNone;
    std::uint64_t FOwner = 0;      // the record set that took it
    std::uint64_t FGeneration = 0; // load generation (slot bookmarks only)
    std::int64_t FValue = 0;       // key value or slot
};

} // namespace kestrum
