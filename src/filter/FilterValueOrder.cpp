#include "filter/FilterValueOrder.h"

#include "core/RegionalSettings.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace kestrum {

namespace {

//! Characters that each collate as one weight of their own: a text made of
//! them alone collates as the sequence of its characters' ranks, compared one
//! by one, a shorter text first. The ranks come from the collation itself,
//! and the rule is checked once on every text of up to two of the characters;
//! where it does not hold no rank is given and every text takes the
//! collator's keys.
class TextRanks {
public:
    //! Digits, signs and separators: amounts and other numbers.
    static const TextRanks &Numbers()
    {
        static const TextRanks ranks(QStringLiteral("0123456789.,-+ "));
        return ranks;
    }
    //! The same with the Latin letters of one case (texts differing only in
    //! case differ beyond the first level of the collation, so one case only).
    static const TextRanks &Words(bool upperCase)
    {
        static const TextRanks lower(QStringLiteral("0123456789.,-+ abcdefghijklmnopqrstuvwxyz"));
        static const TextRanks upper(QStringLiteral("0123456789.,-+ ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        return upperCase ? upper : lower;
    }

    bool Usable() const { return FUsable; }

    //! The text's ranks appended to keys as a collation key would be (an
    //! empty text below every other one); false when a character has none.
    bool AppendKey(const QString &text, std::string &keys) const
    {
        if (!FUsable)
            return false;
        return Append(text, keys);
    }
    //! The same for a text given as its ASCII bytes.
    bool AppendKey(std::string_view text, std::string &keys) const
    {
        if (!FUsable)
            return false;
        const std::size_t start = keys.size();
        keys.push_back(text.empty() ? '\1' : '\2');
        for (const char c : text) {
            const auto unit = std::uint8_t(c);
            if (unit >= FRanks.size() || FRanks[unit] == 0) {
                keys.resize(start);
                return false;
            }
            keys.push_back(char(FRanks[unit]));
        }
        return true;
    }

private:
    explicit TextRanks(const QString &characters)
    {
        const RegionalSettings &settings = regionalSettings();
        std::vector<QChar> ordered(characters.begin(), characters.end());
        std::sort(ordered.begin(), ordered.end(),
                  [&](QChar a, QChar b) { return settings.collate(QString(a), QString(b), false) < 0; });
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            if (i > 0 && settings.collate(QString(ordered[i - 1]), QString(ordered[i]), false) >= 0)
                return; // two characters collate alike
            FRanks[ordered[i].unicode()] = std::uint8_t(i + 1);
        }
        // The ranks order these texts strictly; when each text collates below
        // the next in that order, the collation orders them alike.
        std::vector<QString> texts{QString()};
        for (QChar a : characters) {
            texts.push_back(QString(a));
            for (QChar b : characters)
                texts.push_back(QString(a) + b);
        }
        std::vector<std::pair<std::string, std::size_t>> keyed(texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            Append(texts[i], keyed[i].first);
            keyed[i].second = i;
        }
        std::sort(keyed.begin(), keyed.end());
        for (std::size_t k = 1; k < keyed.size(); ++k)
            if (settings.collate(texts[keyed[k - 1].second], texts[keyed[k].second], false) >= 0)
                return;
        FUsable = true;
    }

    bool Append(const QString &text, std::string &keys) const
    {
        const std::size_t start = keys.size();
        keys.push_back(text.isEmpty() ? '\1' : '\2');
        for (const QChar c : text) {
            const char16_t unit = c.unicode();
            if (unit >= FRanks.size() || FRanks[unit] == 0) {
                keys.resize(start);
                return false;
            }
            keys.push_back(char(FRanks[unit]));
        }
        return true;
    }

    std::array<std::uint8_t, 128> FRanks{};
    bool FUsable = false;
};

//! The distinct keys, each held as the first entry that has it: an
//! open-addressed table of entry positions that grows by doubling.
class KeySet {
public:
    explicit KeySet(std::size_t expected)
    {
        std::size_t capacity = 64;
        while (capacity < expected * 2)
            capacity *= 2;
        FSlots.assign(capacity, Slot{});
        FMask = capacity - 1;
    }

    //! Whether the key was not in the set yet; keyOf(entry) gives an entry's key.
    template <typename KeyOf> bool Insert(std::string_view key, std::uint32_t entry, const KeyOf &keyOf)
    {
        const std::uint32_t hash = Hash(key);
        std::size_t place = hash & FMask;
        while (FSlots[place].Used) {
            if (FSlots[place].Hash == hash && keyOf(FSlots[place].Entry) == key)
                return false;
            place = (place + 1) & FMask;
        }
        FSlots[place] = {hash, entry, true};
        return true;
    }

private:
    struct Slot {
        std::uint32_t Hash = 0;
        std::uint32_t Entry = 0;
        bool Used = false;
    };

    static std::uint32_t Hash(std::string_view text)
    {
        std::uint64_t h = 0xcbf29ce484222325ull;
        for (const char c : text)
            h = (h ^ std::uint8_t(c)) * 0x100000001b3ull;
        h ^= h >> 32;
        h *= 0xd6e8feb86659fd93ull;
        h ^= h >> 32;
        return std::uint32_t(h);
    }

    std::vector<Slot> FSlots;
    std::size_t FMask = 0;
};

//! Positions sorted past the one asked for, so that a screenful of rows
//! asked one by one partitions the rest once.
constexpr std::size_t SortedAhead = 256;

} // namespace

void TkvValueOrder::Build(std::size_t count, const std::function<QString(std::size_t)> &textOf,
                          const std::function<bool(std::size_t, std::string_view &)> &bytesOf)
{
    const RegionalSettings &settings = regionalSettings();
    FKeys.clear();
    FEntries.clear();
    FEntries.reserve(count);
    const auto prepared = [&](std::size_t i) {
        return FCaseInsensitive ? settings.upper(textOf(i)) : textOf(i);
    };
    // Collating costs far more than comparing keys: each text's key is made
    // once into one buffer, and the sort compares keys, most often by their
    // first eight bytes held beside the entry's index.
    bool byRanks = false;
    for (const TextRanks *ranks : {&TextRanks::Words(FCaseInsensitive), &TextRanks::Numbers()}) {
        if (!ranks->Usable())
            continue;
        byRanks = true;
        for (std::size_t i = 0; i < count && byRanks; ++i) {
            const std::size_t offset = FKeys.size();
            // Upper-casing is the locale's: only texts as they are are read as bytes.
            std::string_view bytes;
            if (!FCaseInsensitive && bytesOf && bytesOf(i, bytes))
                byRanks = ranks->AppendKey(bytes, FKeys);
            else
                byRanks = ranks->AppendKey(prepared(i), FKeys);
            FEntries.push_back({0, offset, std::uint32_t(FKeys.size() - offset), std::uint32_t(i)});
        }
        if (byRanks)
            break;
        FKeys.clear();
        FEntries.clear();
    }
    FByRanks = byRanks;
    if (!byRanks) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t offset = FKeys.size();
            const std::size_t size = settings.appendCollationKey(prepared(i), false, FKeys);
            FEntries.push_back({0, offset, std::uint32_t(size), std::uint32_t(i)});
        }
    }
    for (Keyed &entry : FEntries)
        for (std::size_t b = 0; b < 8; ++b)
            entry.Prefix =
                (entry.Prefix << 8) | (b < entry.Size ? std::uint8_t(FKeys[entry.Offset + b]) : 0u);
    FBounds = {0, FEntries.size()};
    FSorted.assign(FEntries.size(), false);
}

void TkvValueOrder::BuildFromBytes(std::size_t count,
                                   const std::function<std::string_view(std::size_t)> &bytesOf)
{
    FKeys.clear();
    FEntries.clear();
    FEntries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view bytes = bytesOf(i);
        FEntries.push_back({0, FKeys.size(), std::uint32_t(bytes.size()), std::uint32_t(i)});
        FKeys.append(bytes);
    }
    for (Keyed &entry : FEntries)
        for (std::size_t b = 0; b < 8; ++b)
            entry.Prefix =
                (entry.Prefix << 8) | (b < entry.Size ? std::uint8_t(FKeys[entry.Offset + b]) : 0u);
    // Bytes tell every two keys apart as ranks do.
    FByRanks = true;
    FBounds = {0, FEntries.size()};
    FSorted.assign(FEntries.size(), false);
}

void TkvValueOrder::DropDuplicates(bool distinctTexts)
{
    // Upper-casing makes texts alike that differed.
    if (distinctTexts && FByRanks && !FCaseInsensitive)
        return;
    const std::string_view keys(FKeys);
    const auto keyOf = [&](std::uint32_t entry) {
        return keys.substr(FEntries[entry].Offset, FEntries[entry].Size);
    };
    KeySet seen(FEntries.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        // Entries before `kept` are the ones kept so far, in place.
        if (seen.Insert(keys.substr(FEntries[i].Offset, FEntries[i].Size), std::uint32_t(kept), keyOf))
            FEntries[kept++] = FEntries[i];
    }
    FEntries.resize(kept);
    FEntries.shrink_to_fit();
    FBounds = {0, FEntries.size()};
    FSorted.assign(FEntries.size(), false);
}

int TkvValueOrder::Compare(const Keyed &a, const Keyed &b) const
{
    if (a.Prefix != b.Prefix)
        return a.Prefix < b.Prefix ? -1 : 1;
    const std::string_view keys(FKeys);
    const int c = keys.substr(a.Offset, a.Size).compare(keys.substr(b.Offset, b.Size));
    return (c > 0) - (c < 0);
}

bool TkvValueOrder::Less(const Keyed &a, const Keyed &b) const
{
    const int c = Compare(a, b);
    return c < 0 || (c == 0 && a.Index < b.Index);
}

void TkvValueOrder::SortPositions(std::size_t first, std::size_t last)
{
    const auto less = [this](const Keyed &a, const Keyed &b) { return Less(a, b); };
    const auto split = [&](std::size_t p) {
        if (FBounds.count(p))
            return;
        // Inside a sorted run every position already parts what is before from what is after.
        if (!FSorted[p]) {
            const auto next = FBounds.upper_bound(p);
            const std::size_t low = *std::prev(next);
            const std::size_t high = *next;
            std::nth_element(FEntries.begin() + std::ptrdiff_t(low), FEntries.begin() + std::ptrdiff_t(p),
                             FEntries.begin() + std::ptrdiff_t(high), less);
        }
        FBounds.insert(p);
    };
    split(first);
    split(last);
    for (auto bound = FBounds.find(first); *bound < last; ++bound) {
        const std::size_t low = *bound;
        const std::size_t high = *std::next(bound);
        if (FSorted[low])
            continue;
        std::sort(FEntries.begin() + std::ptrdiff_t(low), FEntries.begin() + std::ptrdiff_t(high), less);
        std::fill(FSorted.begin() + std::ptrdiff_t(low), FSorted.begin() + std::ptrdiff_t(high), true);
    }
}

std::size_t TkvValueOrder::IndexAt(std::size_t position)
{
    if (!FSorted[position])
        SortPositions(position, std::min(FEntries.size(), position + SortedAhead));
    return FEntries[position].Index;
}

std::ptrdiff_t TkvValueOrder::PositionOfIndex(std::size_t index) const
{
    const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                    [&](const Keyed &entry) { return entry.Index == index; });
    if (found == FEntries.end())
        return -1;
    return std::count_if(FEntries.begin(), FEntries.end(),
                         [&](const Keyed &entry) { return Less(entry, *found); });
}

void TkvValueOrder::SortAll()
{
    if (!FEntries.empty())
        SortPositions(0, FEntries.size());
}

void TkvValueOrder::SortedWithTies(std::vector<std::size_t> &order, std::vector<bool> &equalsPrevious)
{
    SortAll();
    order.resize(FEntries.size());
    equalsPrevious.assign(FEntries.size(), false);
    for (std::size_t k = 0; k < FEntries.size(); ++k) {
        order[k] = FEntries[k].Index;
        equalsPrevious[k] = k > 0 && Compare(FEntries[k - 1], FEntries[k]) == 0;
    }
}

} // namespace kestrum
