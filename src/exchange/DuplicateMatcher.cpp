#include "exchange/DuplicateMatcher.h"

#include "exchange/ExchangeMessages.h"
#include "exchange/ExchangeText.h"
#include "exchange/LedgerStatements.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace kestrum {

using namespace exchange;

const char *const TransactionIdTable = "kestrum_transaction_id";

namespace {

constexpr std::int64_t NoDate = INT64_MIN;

enum class TAmountForm : std::uint8_t { Cents, Exact, None };

//! Table, day and amount: the entries that may be the same.
struct TMatchKey {
    std::int64_t Day = NoDate;
    std::int64_t Amount = 0; //!< cents, or the bits of an exact amount
    TEntryKind Kind = ekExpense;
    TAmountForm Form = TAmountForm::None;
    bool operator==(const TMatchKey &) const = default;
};

struct TMatchKeyHash {
    std::size_t operator()(const TMatchKey &key) const
    {
        std::uint64_t h = std::uint64_t(key.Day) * 0x9E3779B97F4A7C15ull;
        h ^= std::uint64_t(key.Amount) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
        h ^= std::uint64_t(key.Kind) << 1 | std::uint64_t(key.Form) << 3;
        return std::size_t(h ^ (h >> 29));
    }
};

//! The cents of an amount that is a whole number of them up to what sums of
//! decimals leave behind (0.1 + 0.2 is 30 cents); else the exact amount.
void SetAmount(TMatchKey &key, double amount)
{
    constexpr double CentsLimit = 1e11;
    if (std::fabs(amount) < CentsLimit) {
        const double hundredths = amount * 100.0;
        const double cents = std::nearbyint(hundredths);
        if (std::fabs(hundredths - cents) <= 4e-15 * std::max(1.0, std::fabs(hundredths))) {
            key.Form = TAmountForm::Cents;
            key.Amount = std::int64_t(cents);
            return;
        }
    }
    key.Form = TAmountForm::Exact;
    std::memcpy(&key.Amount, &amount, sizeof amount);
}

TMatchKey KeyOf(const TForeignEntry &entry)
{
    TMatchKey key;
    key.Kind = entry.Kind;
    key.Day = entry.HasDate ? entry.Date.toJulianDay() : NoDate;
    if (entry.HasAmount)
        SetAmount(key, entry.Exact ? *entry.Exact : double(entry.Cents) / 100.0);
    return key;
}

int DaysInMonth(int year, int month)
{
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : Days[month - 1];
}

//! The day of a date as the ledger stores it: "yyyy-MM-dd..." read by hand
//! (this runs for every ledger row in the range), anything else as the
//! readers read dates. False for text that is no date.
bool StoredDay(std::string_view text, std::int64_t &day, int &seconds)
{
    seconds = 0;
    auto digits = [&text](std::size_t at, std::size_t count, int &value) {
        value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    int year = 0, month = 0, dayOfMonth = 0;
    if (text.size() >= 10 && text[4] == '-' && text[7] == '-' && (text.size() == 10 || text[10] == ' ') &&
        digits(0, 4, year) && digits(5, 2, month) && digits(8, 2, dayOfMonth) && month >= 1 && month <= 12 &&
        dayOfMonth >= 1 && dayOfMonth <= DaysInMonth(year, month)) {
        // The Julian day by the civil calendar's arithmetic, as QDate counts it.
        const int a = (14 - month) / 12;
        const std::int64_t y = std::int64_t(year) + 4800 - a;
        const int m = month + 12 * a - 3;
        day = dayOfMonth + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
        int hour = 0, minute = 0, second = 0;
        if (text.size() >= 19 && text[13] == ':' && text[16] == ':' && digits(11, 2, hour) &&
            digits(14, 2, minute) && digits(17, 2, second))
            seconds = hour * 3600 + minute * 60 + second;
        return true;
    }
    QDate date;
    QString reason;
    if (!exchange::ParseDate(text, date, seconds, reason))
        return false;
    day = date.toJulianDay();
    return true;
}

//! Appends the compared form of `text`, one part per semicolon.
void AppendParts(std::string_view text, std::vector<std::string> &parts)
{
    std::string part;
    auto finish = [&] {
        if (!part.empty())
            parts.push_back(std::move(part));
        part.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xEF && i + 2 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xFE) == 0xBC) {
            // U+FF01..U+FF5E: the full-width forms of ASCII's printable characters.
            const unsigned cp = 0xF000u | (unsigned(static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
                                (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            if (cp >= 0xFF01 && cp <= 0xFF5E) {
                c = static_cast<unsigned char>(cp - 0xFEE0);
                i += 2;
            }
        } else if (c == 0xE3 && i + 2 < text.size() && text[i + 1] == '\x80' && text[i + 2] == '\x80') {
            i += 2; // the ideographic space
            continue;
        } else if (c == 0xC2 && i + 1 < text.size() && text[i + 1] == '\xA0') {
            ++i; // the no-break space
            continue;
        }
        if (c == ';')
            finish();
        else if (c == ' ' || (c >= '\t' && c <= '\r'))
            continue;
        else
            part += char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    finish();
}

std::size_t Utf8Characters(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

//! The shortest text that, found inside another, makes two entries alike.
constexpr std::size_t MinSharedCharacters = 3;

} // namespace

std::vector<std::string> ComparedTextParts(std::string_view item, std::string_view remark)
{
    std::vector<std::string> parts;
    AppendParts(item, parts);
    AppendParts(remark, parts);
    std::sort(parts.begin(), parts.end());
    parts.erase(std::unique(parts.begin(), parts.end()), parts.end());
    return parts;
}

bool TextsAgree(const std::vector<std::string> &a, const std::vector<std::string> &b)
{
    if (a == b)
        return true;
    if (a.empty() || b.empty())
        return false;
    const auto &shorter = a.size() <= b.size() ? a : b;
    const auto &longer = a.size() <= b.size() ? b : a;
    return std::includes(longer.begin(), longer.end(), shorter.begin(), shorter.end());
}

bool TextsShare(const std::vector<std::string> &a, const std::vector<std::string> &aItem,
                const std::vector<std::string> &b, const std::vector<std::string> &bItem)
{
    const auto in = [](const std::vector<std::string> &parts, const std::string &part) {
        return std::binary_search(parts.begin(), parts.end(), part);
    };
    for (const std::string &x : a)
        for (const std::string &y : b) {
            // Two entries of one category on one day are not the same for that alone.
            if (in(aItem, x) && in(bItem, y))
                continue;
            const std::string &shorter = x.size() <= y.size() ? x : y;
            const std::string &longer = x.size() <= y.size() ? y : x;
            // A single letter or character inside another text says nothing.
            if (shorter == longer ||
                (Utf8Characters(shorter) >= MinSharedCharacters && longer.find(shorter) != std::string::npos))
                return true;
        }
    return false;
}

struct TDuplicateMatcher::TState {
    struct TCandidate {
        std::int64_t Row = 0;
        std::vector<std::string> Parts;
        std::vector<std::string> ItemParts; //!< those of the item alone
        std::string TransactionId;
        int Seconds = 0; //!< the time of day; 0 for none (or midnight, which the ledger writes for none)
        bool Used = false;
    };

    TDbDriver &Db;
    bool Server = false;
    std::int64_t LastRow[2] = {0, 0};
    bool HasIdTable = false;
    std::unordered_set<std::int64_t> Used[2];
    std::unordered_map<TMatchKey, std::vector<TCandidate>, TMatchKeyHash> Candidates;
    std::unique_ptr<TDbStatement> Remember;

    explicit TState(TDbDriver &db) : Db(db), Server(LedgerOnServer(db)) {}
    //! A row's key: a file's rowid, which every table has, or a server's id.
    const char *Key() const { return Server ? "id" : "rowid"; }

    //! `dated`: whether any entry of the batch has a date (else the days say nothing).
    void Load(TEntryKind kind, bool dated, std::int64_t firstDay, std::int64_t lastDay);
    int Score(const TCandidate &candidate, const TForeignEntry &entry, const std::vector<std::string> &parts,
              const std::vector<std::string> &itemParts) const;
};

TDuplicateMatcher::TDuplicateMatcher(TDbDriver &db) : FState(std::make_unique<TState>(db))
{
    OnLedger(db, "无法读取账本中的纪录", [&] {
        for (const TEntryKind kind : {ekIncome, ekExpense}) {
            auto last = db.Prepare(std::string("SELECT coalesce(max(") + FState->Key() + "), 0) FROM " +
                                   LedgerTables[kind].Name);
            if (!last->Step())
                throw Exception("无法读取账本中的纪录");
            FState->LastRow[kind] = last->ColumnInt64(0);
        }
        FState->HasIdTable = !db.TableColumns(TransactionIdTable).empty();
    });
}

TDuplicateMatcher::~TDuplicateMatcher() = default;

//! Reads the rows of one table dated firstDay to lastDay (and those whose
//! date is stored in another form, or not at all) and keeps those whose key
//! a batch entry has.
void TDuplicateMatcher::TState::Load(TEntryKind kind, bool dated, std::int64_t firstDay, std::int64_t lastDay)
{
    const exchange::TLedgerTable &t = LedgerTables[kind];
    const std::string date = std::string("t.\"") + t.Date + "\"";
    std::string sql = std::string("SELECT t.") + Key() + ", t.\"" + t.Amount + "\", " + date + ", t.\"" +
                      t.Item + "\", t.\"备注\", " + (HasIdTable ? "k.transaction_id" : "NULL") + " FROM " +
                      t.Name + " AS t ";
    if (HasIdTable)
        sql += std::string("LEFT JOIN ") + TransactionIdTable + " AS k ON k.entry_table = '" + t.Name +
               "' AND k.entry_id = t." + Key() + " ";
    if (Server)
        // A server's dates are timestamps: the days compare as such, and
        // a batch without dates asks for the rows without one alone.
        sql += std::string("WHERE t.") + Key() + " <= ?1 AND (" +
               (dated ? "(" + date + " >= CAST(?2 AS timestamp) AND " + date + " < CAST(?3 AS timestamp)) OR "
                      : std::string()) +
               date + " IS NULL)";
    else
        // Dates the program writes sort as text; the few in another form are
        // read one by one.
        sql += std::string("WHERE t.") + Key() + " <= ?1 AND ((" + date + " >= ?2 AND " + date +
               " < ?3) OR typeof(" + date + ") <> 'text' OR substr(" + date + ", 5, 1) <> '-' OR substr(" +
               date + ", 8, 1) <> '-')";
    const std::string from = QDate::fromJulianDay(firstDay).toString(Qt::ISODate).toStdString();
    const std::string to = QDate::fromJulianDay(lastDay + 1).toString(Qt::ISODate).toStdString();
    OnLedger(Db, "无法读取账本中的纪录", [&] {
        std::unique_ptr<TDbStatement> select = Db.Prepare(sql);
        TDbStatement &s = *select;
        s.BindInt64(1, LastRow[kind]);
        if (dated || !Server) {
            // Days past what an ISO date spells are past every stored one.
            s.BindText(2, from.empty() && Server ? std::string("-infinity") : from);
            s.BindText(3, to.empty() && Server ? std::string("infinity") : to);
        }
        TMatchKey key;
        key.Kind = kind;
        int seconds = 0;
        std::string dateBuffer, itemBuffer, remarkBuffer;
        while (s.Step()) {
            const std::int64_t row = s.ColumnInt64(0);
            const TDbValueType amountType = s.ColumnType(1);
            if (amountType == TDbValueType::Null)
                key.Form = TAmountForm::None, key.Amount = 0;
            else if (amountType == TDbValueType::Real || amountType == TDbValueType::Integer)
                SetAmount(key, s.ColumnDouble(1));
            else
                continue; // text in the amount column: no import brings such an entry
            const TDbValueType dateType = s.ColumnType(2);
            if (dateType == TDbValueType::Null)
                key.Day = NoDate, seconds = 0;
            else if (!StoredDay(dateType == TDbValueType::Text || dateType == TDbValueType::DateTime
                                    ? s.ColumnBytes(2)
                                    : CellText(s, 2, dateBuffer),
                                key.Day, seconds))
                continue;
            const auto found = Candidates.find(key);
            if (found == Candidates.end() || Used[kind].count(row))
                continue;
            TCandidate candidate;
            candidate.Row = row;
            candidate.Seconds = seconds;
            const std::string_view item = CellText(s, 3, itemBuffer);
            candidate.Parts = ComparedTextParts(item, CellText(s, 4, remarkBuffer));
            candidate.ItemParts = ComparedTextParts(item, {});
            candidate.TransactionId.assign(CellText(s, 5, dateBuffer));
            found->second.push_back(std::move(candidate));
        }
    });
}

//! How well a ledger row answers for an entry: 0 not at all, 1 they share
//! some text, 2 the text of one holds the other's, 3 the texts are equal, 4
//! the transaction ids are. Different times of day, where both tell one,
//! are different entries whatever their texts.
int TDuplicateMatcher::TState::Score(const TCandidate &candidate, const TForeignEntry &entry,
                                     const std::vector<std::string> &parts,
                                     const std::vector<std::string> &itemParts) const
{
    if (candidate.Seconds != 0 && entry.Seconds != 0 && candidate.Seconds != entry.Seconds)
        return 0;
    if (!candidate.TransactionId.empty() && !entry.TransactionId.empty())
        return candidate.TransactionId == entry.TransactionId ? 4 : 0;
    if (candidate.Parts == parts)
        return 3;
    if (TextsAgree(candidate.Parts, parts))
        return 2;
    return TextsShare(candidate.Parts, candidate.ItemParts, parts, itemParts) ? 1 : 0;
}

void TDuplicateMatcher::Match(const std::vector<TForeignEntry> &batch, std::vector<std::int64_t> &rows)
{
    TState &s = *FState;
    rows.assign(batch.size(), 0);
    s.Candidates.clear();
    std::int64_t first[2] = {INT64_MAX, INT64_MAX};
    std::int64_t last[2] = {INT64_MIN, INT64_MIN};
    bool wanted[2] = {false, false};
    for (const TForeignEntry &entry : batch) {
        const TMatchKey key = KeyOf(entry);
        s.Candidates.try_emplace(key);
        wanted[entry.Kind] = true;
        if (key.Day != NoDate) {
            first[entry.Kind] = std::min(first[entry.Kind], key.Day);
            last[entry.Kind] = std::max(last[entry.Kind], key.Day);
        }
    }
    for (const TEntryKind kind : {ekIncome, ekExpense})
        if (wanted[kind] && s.LastRow[kind] > 0)
            s.Load(kind, first[kind] != INT64_MAX, first[kind] == INT64_MAX ? 0 : first[kind],
                   last[kind] == INT64_MIN ? 0 : last[kind]);
    // Every pair of an entry and a ledger row of its key that may be the
    // same, best first; taken in that order, each side once, so that a row
    // goes to the entry it fits best, not to the first entry it fits at all.
    struct TPair {
        int Score;
        std::size_t Entry;
        TState::TCandidate *Candidate;
    };
    std::vector<TPair> pairs;
    std::vector<std::string> parts, itemParts;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const TForeignEntry &entry = batch[i];
        const auto found = s.Candidates.find(KeyOf(entry));
        if (found == s.Candidates.end() || found->second.empty())
            continue;
        parts = ComparedTextParts(entry.Item, entry.Remark);
        itemParts = ComparedTextParts(entry.Item, {});
        for (TState::TCandidate &candidate : found->second)
            if (const int score = s.Score(candidate, entry, parts, itemParts); score > 0)
                pairs.push_back({score, i, &candidate});
    }
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const TPair &a, const TPair &b) { return a.Score > b.Score; });
    for (const TPair &pair : pairs) {
        if (pair.Candidate->Used || rows[pair.Entry] != 0)
            continue;
        pair.Candidate->Used = true;
        s.Used[batch[pair.Entry].Kind].insert(pair.Candidate->Row);
        rows[pair.Entry] = pair.Candidate->Row;
    }
}

void TDuplicateMatcher::RememberId(TEntryKind kind, std::int64_t row, const std::string &transactionId)
{
    TState &s = *FState;
    OnLedger(s.Db, "无法记下交易编号", [&] {
        if (!s.Remember) {
            if (!s.HasIdTable)
                s.Db.Exec(std::string("CREATE TABLE ") + TransactionIdTable +
                          (s.Server ? " (entry_table text NOT NULL, entry_id bigint NOT NULL, "
                                      "transaction_id text NOT NULL, PRIMARY KEY (entry_table, entry_id))"
                                    : " (entry_table TEXT NOT NULL, entry_id INTEGER NOT NULL, "
                                      "transaction_id TEXT NOT NULL, PRIMARY KEY (entry_table, entry_id)) "
                                      "WITHOUT ROWID"));
            s.HasIdTable = true;
            // A dry run's copy of a file's table has no key to conflict on.
            s.Remember =
                s.Db.Prepare(s.Server ? std::string("INSERT INTO ") + TransactionIdTable +
                                            " (entry_table, entry_id, transaction_id) VALUES (?1, ?2, ?3) "
                                            "ON CONFLICT (entry_table, entry_id) DO UPDATE SET "
                                            "transaction_id = excluded.transaction_id"
                                      : std::string("INSERT OR REPLACE INTO ") + TransactionIdTable +
                                            " (entry_table, entry_id, transaction_id) VALUES (?1, ?2, ?3)");
        }
        TDbStatement &insert = *s.Remember;
        insert.BindText(1, LedgerTables[kind].Name);
        insert.BindInt64(2, row);
        insert.BindText(3, transactionId);
        insert.Step();
        insert.Reset();
    });
}

} // namespace kestrum
