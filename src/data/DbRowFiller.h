#pragma once
// Filling a controller's records straight from a record set's rows as they
// are read: each cell converted once into its column's stored form, without
// a variant for the common column types. A cell of any other type, or one
// that does not read in its column's usual way, takes the variant path, so a
// record holds exactly what reading it through the record set's fields gives.
#include "db/DbTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

class TDbQuery;
class TDbRowReader;
class TkvDataStorage;
class TkvValueDef;

class TkvDbRowFiller {
public:
    //! Learns how each stored column of the storage is read from the record
    //! set's rows. False when a column needs more than the row itself (a
    //! lookup field, a stored display text): such records are read through
    //! the record set's current row instead.
    bool Plan(TkvDataStorage &storage, const TDbQuery &query);
    //! Writes a row's values into a fresh (empty) ordinary record.
    void Fill(TkvDataStorage &storage, int recordIndex, const TDbRowReader &row);

private:
    enum class Way : std::uint8_t { Skip, Null, String, Memo, Float, DateTime, Integer, Other };
    struct Column {
        const TkvValueDef *def;
        int column;
        TFieldType type;
        Way way;
    };
    //! Narrow (GB18030) bytes of UTF-8 text; false when the text is no UTF-8.
    bool Narrow(std::string_view utf8, std::string_view &narrow);
    //! The days of a stored date text, as IsoTextToDays reads it.
    std::optional<double> DaysOf(std::string_view text);

    std::vector<Column> FColumns;
    // Recently converted short texts by hash: the same few items and remarks
    // recur on many rows.
    struct Converted {
        std::string utf8;
        std::string narrow;
    };
    static constexpr std::size_t CacheSlots = 1024;
    static constexpr std::size_t CachedMaxLength = 96;
    std::vector<Converted> FCache;
    std::string FScratch;
    // The first day and length of recently read months, by year and month:
    // a ledger's dates fall in a few hundred months, each on many rows.
    struct Month {
        int key = -1; // year * 12 + month - 1
        int length = 0;
        double first = 0;
    };
    static constexpr std::size_t MonthSlots = 256;
    std::vector<Month> FMonths;
};

} // namespace kestrum
