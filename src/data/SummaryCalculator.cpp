#include "data/SummaryCalculator.h"

#include "core/Errors.h"
#include "core/VariantCompare.h"
#include "data/DataStorage.h"
#include "data/DataSummary.h"
#include "data/ValueTypesHeld.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kestrum {

namespace {

bool isSmallInteger(VarType type)
{
    return type == VarType::Int8 || type == VarType::Int16 || type == VarType::Int32 ||
           type == VarType::UInt8 || type == VarType::Boolean || type == VarType::Empty;
}

bool isLargeInteger(VarType type)
{
    return type == VarType::Int64 || type == VarType::UInt16 || type == VarType::UInt32;
}

bool isReal(VarType type)
{
    return type == VarType::Float32 || type == VarType::Float64;
}

Variant integerSum(std::int64_t a, std::int64_t b, bool keepSmall)
{
    std::int64_t sum;
    if (__builtin_add_overflow(a, b, &sum))
        return Variant(double(a) + double(b));
    if (keepSmall && sum >= std::numeric_limits<std::int32_t>::min() &&
        sum <= std::numeric_limits<std::int32_t>::max())
        return Variant(int(sum));
    return Variant(sum);
}

} // namespace

Variant SummaryAdd(const Variant &a, const Variant &b)
{
    const VarType ta = a.type(), tb = b.type();
    if (a.isString() && b.isString())
        return Variant(a.toString() + b.toString());
    if (ta == VarType::Date || tb == VarType::Date)
        return Variant::fromDate(a.toDouble() + b.toDouble());
    if (isReal(ta) || isReal(tb) || a.isString() || b.isString())
        return Variant(a.toDouble() + b.toDouble());
    if (ta == VarType::Currency || tb == VarType::Currency) {
        std::int64_t sum;
        if (__builtin_add_overflow(a.toCurrency().scaled, b.toCurrency().scaled, &sum))
            throw EVariantConversionError("Arithmetic overflow");
        return Variant(Currency{sum});
    }
    if ((isSmallInteger(ta) || isLargeInteger(ta)) && (isSmallInteger(tb) || isLargeInteger(tb)))
        return integerSum(a.toInt64(), b.toInt64(), isSmallInteger(ta) && isSmallInteger(tb));
    throw EVariantTypeError();
}

namespace {

struct Accumulator {
    Variant result; // Empty while unassigned
    int count = 0;
    //! While every value summed so far is a double: their exact total, which
    //! `result` carries rounded once.
    TMoneySum money;
    bool moneyExact = true;
};

//! A sum or average step: doubles are totalled exactly, anything else takes
//! the variant rule (and the exact total is no longer the result's).
void addToSum(Accumulator &acc, const Variant &value, bool handlerSeesResult)
{
    // While exact, an Int32 result can only be the 0 a Null start gave.
    if (!handlerSeesResult && acc.moneyExact && value.type() == VarType::Float64 &&
        (acc.result.type() == VarType::Float64 || acc.result.type() == VarType::Int32)) {
        acc.money.Add(value.toDouble());
        acc.result = Variant(acc.money.Value());
        return;
    }
    acc.moneyExact = false;
    acc.result = SummaryAdd(acc.result, value);
}

//! The accumulation rule for one record and one item.
void accumulate(const TkvDataSummaryItems &items, TkvDataSummaryItem &item, int recordIndex, Variant value,
                Accumulator &acc, TkvSummaryOptions options)
{
    if (items.OnSummary) {
        TkvSummaryEventArguments arguments{recordIndex, &item};
        TkvSummaryEventOutArguments out{value, acc.result, acc.count, false};
        items.OnSummary(const_cast<TkvDataSummaryItems *>(&items), arguments, out);
        acc.result = out.Accumulated;
        acc.count = out.Counted;
        if (out.Handled)
            return;
    }
    const TkvSummaryKind kind = item.Kind();
    if (kind == skNone || ((options & soNullIgnore) && value.isNull()))
        return;
    if (acc.result.isEmpty()) {
        if (kind != skCount && !(value.isNull() && (kind == skMin || kind == skMax))) {
            acc.result = value;
            if (acc.result.isNull() && (kind == skSum || kind == skAverage))
                acc.result = Variant(0); // the empty exact total stands for it
            else if (acc.result.type() == VarType::Float64)
                acc.money.Add(acc.result.toDouble());
            else
                acc.moneyExact = false;
        }
    } else if (!value.isNull() && !acc.result.isNull()) {
        switch (kind) {
        case skSum:
        case skAverage:
            // A handler may have changed the running result: then the
            // exact total no longer stands for it.
            addToSum(acc, value, bool(items.OnSummary));
            break;
        case skMin:
            if (VariantLess(value, acc.result))
                acc.result = value;
            break;
        case skMax:
            if (VariantGreater(value, acc.result))
                acc.result = value;
            break;
        default:
            break;
        }
    }
    ++acc.count;
}

Variant finish(const TkvDataSummaryItem &item, Accumulator &acc)
{
    if (!item.GetSummaryField())
        return acc.result; // an unresolved field leaves the result unassigned
    Variant result = acc.result.isEmpty() ? Variant::null() : acc.result;
    if (item.Kind() == skCount)
        return Variant(acc.count);
    if (item.Kind() == skAverage && acc.count > 0 && !result.isNull()) {
        const bool isDate = result.type() == VarType::Date;
        double average = result.toDouble() / acc.count;
        return isDate ? Variant::fromDate(average) : Variant(average);
    }
    return result;
}

template <typename T> T readValue(const void *value)
{
    T result;
    std::memcpy(&result, value, sizeof(T));
    return result;
}

//! Reads a column without variants: numbers of the float, date-time,
//! currency, integer and large-integer types. Gives the same results as the
//! variant rule, which keeps the column's type through every addition.
class TypedColumnSummary {
    //! How many positions ahead a record's buffer is fetched.
    static constexpr int PrefetchDistance = 16;

public:
    static bool Applies(const TkvValueDef *def, TkvSummaryKind kind)
    {
        if (!def || kind == skNone)
            return false;
        switch (def->ValueTypeClass()->GetVarType()) {
        case TkvDeclaredVarType::Float:
        case TkvDeclaredVarType::DateTime:
        case TkvDeclaredVarType::Currency:
        case TkvDeclaredVarType::Integer:
        case TkvDeclaredVarType::LargeInt:
            return def->ValueTypeClass() != TkvObjectValueType::Instance();
        default:
            return false;
        }
    }

    static Variant Calculate(TkvSummaryHost &host, const TkvDataStorage &storage, const TkvValueDef *def,
                             TkvSummaryKind kind, TkvSummaryOptions options,
                             const std::vector<int> &recordList, int begin, int end,
                             std::optional<TMoneySum> *money)
    {
        const TkvDeclaredVarType type = def->ValueTypeClass()->GetVarType();
        const bool real = type == TkvDeclaredVarType::Float || type == TkvDeclaredVarType::DateTime;
        const bool nullIgnore = options & soNullIgnore;
        const bool selectedOnly = options & soSelectedRecords;
        bool assigned = false, anyValue = false, leftInt32 = false;
        double realSum = 0; // date-times
        TMoneySum moneySum; // floating amounts, exact to four decimals
        std::int64_t intSum = 0;
        const void *best = nullptr; // min / max
        int count = 0;
        const bool stored = storage.RecordCount() > 0;
        for (int position = begin; position < end; ++position) {
            const int recordIndex = recordList[position];
            // A sorted or grouped list reads the records out of their stored
            // order, each read a cache miss: the values a few positions ahead
            // are fetched meanwhile.
            if (stored && position + PrefetchDistance < end) {
                const int ahead = recordList[position + PrefetchDistance];
                if (ahead >= 0 && ahead < storage.RecordCount())
                    if (const std::byte *buffer = storage.RecordBuffer(ahead))
                        __builtin_prefetch(buffer + def->ValueOffset());
            }
            if (selectedOnly && !host.IsRecordSelected(recordIndex))
                continue;
            const TkvValuePointer pointer = storage.GetValuePointer(recordIndex, def);
            const bool isNull = pointer.IsNull || !pointer.HasBuffer;
            if (isNull && nullIgnore)
                continue;
            ++count;
            if (isNull) {
                // A Null first contribution makes a sum start at 0.
                if (!assigned && (kind == skSum || kind == skAverage))
                    assigned = true;
                continue;
            }
            switch (kind) {
            case skSum:
            case skAverage:
                // 0 + value keeps the value's type, so a Null start changes nothing.
                assigned = anyValue = true;
                if (type == TkvDeclaredVarType::Float) {
                    moneySum.Add(readValue<double>(pointer.Value));
                } else if (real) {
                    realSum += readValue<double>(pointer.Value);
                } else {
                    std::int64_t value = type == TkvDeclaredVarType::Integer
                                             ? readValue<std::int32_t>(pointer.Value)
                                             : readValue<std::int64_t>(pointer.Value);
                    if (__builtin_add_overflow(intSum, value, &intSum))
                        return Variant(); // too large: the variant rule decides
                    if (intSum < std::numeric_limits<std::int32_t>::min() ||
                        intSum > std::numeric_limits<std::int32_t>::max())
                        leftInt32 = true;
                }
                break;
            case skMin:
            case skMax:
                if (!best) {
                    best = pointer.Value;
                } else {
                    int c = def->ValueTypeClass()->Compare(pointer.Value, best);
                    if ((kind == skMin && c < 0) || (kind == skMax && c > 0))
                        best = pointer.Value;
                }
                break;
            default:
                break;
            }
        }
        switch (kind) {
        case skCount:
            return Variant(count);
        case skMin:
        case skMax:
            return best ? def->ValueTypeClass()->GetValueAt(best) : Variant::null();
        default:
            break;
        }
        if (!assigned)
            return Variant::null();
        Variant sum;
        if (!anyValue)
            sum = Variant(0);
        else if (type == TkvDeclaredVarType::DateTime)
            sum = Variant::fromDate(realSum);
        else if (type == TkvDeclaredVarType::Float)
            sum = Variant(moneySum.Value());
        else if (type == TkvDeclaredVarType::Currency)
            sum = Variant(Currency{intSum});
        else if (type == TkvDeclaredVarType::Integer && !leftInt32)
            sum = Variant(int(intSum));
        else
            sum = Variant(intSum);
        if (money && kind == skSum && type == TkvDeclaredVarType::Float)
            *money = moneySum;
        if (kind == skAverage && count > 0) {
            double average = sum.toDouble() / count;
            return sum.type() == VarType::Date ? Variant::fromDate(average) : Variant(average);
        }
        return sum;
    }
};

} // namespace

Variant CalculateSummaryItems(TkvSummaryHost &host, const TkvDataSummaryItems &items,
                              TkvSummaryOptions options, const std::vector<int> &recordList, int begin,
                              int end, std::vector<std::optional<TMoneySum>> *moneySums)
{
    const int itemCount = items.Count();
    std::vector<Variant> results(itemCount);
    std::vector<char> done(itemCount, 0);
    const TkvDataStorage *storage = host.SummaryStorage();
    if (moneySums)
        moneySums->assign(std::size_t(itemCount), std::nullopt);
    auto moneyOf = [moneySums](int i) { return moneySums ? &(*moneySums)[std::size_t(i)] : nullptr; };
    // Without an OnSummary handler, items are independent, so each numeric
    // column is read on its own without variants.
    if (!items.OnSummary && storage) {
        for (int i = 0; i < itemCount; ++i) {
            TkvDataSummaryItem *item = items.Items(i);
            TkvCustomDataField *field = item->GetSummaryField();
            if (!field) {
                done[i] = 1; // stays unassigned
                continue;
            }
            const TkvValueDef *def = host.SummaryValueDef(field);
            if (!TypedColumnSummary::Applies(def, item->Kind()))
                continue;
            results[i] = TypedColumnSummary::Calculate(host, *storage, def, item->Kind(), options, recordList,
                                                       begin, end, moneyOf(i));
            done[i] = !results[i].isEmpty();
        }
    }
    std::vector<Accumulator> accumulators(itemCount);
    bool anyLeft = false;
    for (char d : done)
        anyLeft = anyLeft || !d;
    if (anyLeft) {
        const bool selectedOnly = options & soSelectedRecords;
        for (int position = begin; position < end; ++position) {
            const int recordIndex = recordList[position];
            if (selectedOnly && !host.IsRecordSelected(recordIndex))
                continue;
            for (int i = 0; i < itemCount; ++i) {
                if (done[i])
                    continue;
                TkvDataSummaryItem *item = items.Items(i);
                TkvCustomDataField *field = item->GetSummaryField();
                if (!field)
                    continue;
                accumulate(items, *item, recordIndex, host.SummaryFieldValue(recordIndex, field),
                           accumulators[i], options);
            }
        }
        for (int i = 0; i < itemCount; ++i) {
            if (done[i])
                continue;
            results[i] = finish(*items.Items(i), accumulators[i]);
            const Accumulator &acc = accumulators[std::size_t(i)];
            if (moneyOf(i) && !items.OnSummary && items.Items(i)->Kind() == skSum && acc.moneyExact &&
                results[i].type() == VarType::Float64)
                *moneyOf(i) = acc.money;
        }
    }
    return Variant::fromArray(std::move(results));
}

namespace {

//! Lists shorter than this are summed run by run: they sit in the cache.
constexpr std::size_t MinRecordOrderList = std::size_t(1) << 15;

//! One run's total of one item, added up in record order. Each part is one
//! whose value does not depend on the order of adding, or says when it might.
struct RunTotal {
    TMoneySum Money;                // floating amounts: exact units, later the remainder
    std::int64_t Integer = 0;       // integers and currency (scaled)
    std::uint64_t Magnitude = 0;    // the sum of their (or the units') absolute values
    bool MagnitudeOverflow = false; // ... when it no longer fits
    int Count = 0;
    bool Assigned = false; // a value or a counted Null was met (a sum starts at 0)
    bool AnyValue = false;

    void AddMagnitude(std::int64_t value)
    {
        const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
        if (__builtin_add_overflow(Magnitude, magnitude, &Magnitude))
            MagnitudeOverflow = true;
    }
};

//! Whether the item's run totals can be added in record order: counts of the
//! typed columns, and sums and averages of floating amounts, currency and
//! integers (date-times add as plain doubles, whose rounding follows the
//! order; a minimum or maximum keeps the first of equal values).
bool addsInAnyOrder(const TkvValueDef *def, TkvSummaryKind kind)
{
    if (!TypedColumnSummary::Applies(def, kind))
        return false;
    if (kind == skCount)
        return true;
    if (kind != skSum && kind != skAverage)
        return false;
    const TkvDeclaredVarType type = def->ValueTypeClass()->GetVarType();
    return type == TkvDeclaredVarType::Float || type == TkvDeclaredVarType::Currency ||
           type == TkvDeclaredVarType::Integer || type == TkvDeclaredVarType::LargeInt;
}

//! Adds one record's value to its run's total; false for a floating amount
//! that is no whole number of units, which the caller adds later in list
//! order (the floating remainder depends on its order).
bool addToRun(RunTotal &total, TkvDeclaredVarType type, TkvSummaryKind kind, const TkvValuePointer &pointer,
              bool nullIgnore)
{
    const bool isNull = pointer.IsNull || !pointer.HasBuffer;
    if (isNull && nullIgnore)
        return true;
    ++total.Count;
    if (kind == skCount)
        return true;
    total.Assigned = true; // a Null first contribution makes a sum start at 0
    if (isNull)
        return true;
    total.AnyValue = true;
    if (type == TkvDeclaredVarType::Float) {
        std::int64_t units;
        if (!TMoneySum::ExactUnits(readValue<double>(pointer.Value), units))
            return false;
        total.Money.AddExactUnits(units);
        total.AddMagnitude(units);
        return true;
    }
    const std::int64_t value = type == TkvDeclaredVarType::Integer ? readValue<std::int32_t>(pointer.Value)
                                                                   : readValue<std::int64_t>(pointer.Value);
    // Two's complement: the total is right whenever the magnitude fits.
    total.Integer = std::int64_t(std::uint64_t(total.Integer) + std::uint64_t(value));
    total.AddMagnitude(value);
    return true;
}

//! The run's value as TypedColumnSummary::Calculate gives it over the run's
//! positions; empty when the order of adding may have mattered there (a
//! total whose partial sums could leave their width), and the run is then
//! summed by its positions.
Variant finishRun(const RunTotal &total, TkvDeclaredVarType type, TkvSummaryKind kind,
                  std::optional<TMoneySum> *money)
{
    if (kind == skCount)
        return Variant(total.Count);
    if (!total.Assigned)
        return Variant::null();
    // No partial sum, in any order, is larger than the magnitude.
    const std::uint64_t limit = type == TkvDeclaredVarType::Integer
                                    ? std::uint64_t(std::numeric_limits<std::int32_t>::max())
                                    : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    if (total.MagnitudeOverflow || total.Magnitude > limit)
        return Variant();
    Variant sum;
    if (!total.AnyValue)
        sum = Variant(0);
    else if (type == TkvDeclaredVarType::Float)
        sum = Variant(total.Money.Value());
    else if (type == TkvDeclaredVarType::Currency)
        sum = Variant(Currency{total.Integer});
    else if (type == TkvDeclaredVarType::Integer)
        sum = Variant(int(total.Integer));
    else
        sum = Variant(total.Integer);
    if (money && kind == skSum && type == TkvDeclaredVarType::Float)
        *money = total.Money;
    if (kind == skAverage && total.Count > 0)
        return Variant(sum.toDouble() / total.Count);
    return sum;
}

//! The floating amounts of one item that were no whole units, by position:
//! added to their runs' totals in list order once the walk is done.
struct DeferredAmounts {
    std::vector<double> Amounts;      // by position
    std::vector<std::uint64_t> Marks; // a bit per position
};

} // namespace

void CalculateSummaryRuns(TkvSummaryHost &host, const TkvDataSummaryItems &items, TkvSummaryOptions options,
                          const std::vector<int> &recordList, const std::vector<std::pair<int, int>> &runs,
                          const TkvSummaryRunSink &take)
{
    const auto byPositions = [&]() {
        for (std::size_t run = 0; run < runs.size(); ++run) {
            std::vector<std::optional<TMoneySum>> moneySums;
            Variant values = CalculateSummaryItems(host, items, options, recordList, runs[run].first,
                                                   runs[run].second, &moneySums);
            take(int(run), std::move(values), std::move(moneySums));
        }
    };
    const TkvDataStorage *storage = host.SummaryStorage();
    const int itemCount = items.Count();
    std::size_t listed = 0;
    for (const auto &[begin, end] : runs)
        listed += std::size_t(std::max(end - begin, 0));
    if (items.OnSummary || !storage || itemCount == 0 || listed < MinRecordOrderList ||
        runs.size() * 8 > listed)
        return byPositions();
    // A list in record order (a whole ledger as opened, a filter, a month)
    // is walked as the records lie already: the maps below, four to sixteen
    // bytes a record, would buy nothing.
    if (std::is_sorted(recordList.begin(), recordList.end()))
        return byPositions();
    std::vector<const TkvValueDef *> defs(std::size_t(itemCount), nullptr);
    bool anyFloat = false;
    for (int i = 0; i < itemCount; ++i) {
        const TkvDataSummaryItem *item = items.Items(i);
        if (TkvCustomDataField *field = item->GetSummaryField()) {
            const TkvValueDef *def = host.SummaryValueDef(field);
            if (!addsInAnyOrder(def, item->Kind()))
                return byPositions();
            defs[std::size_t(i)] = def;
            anyFloat = anyFloat || (item->Kind() != skCount &&
                                    def->ValueTypeClass()->GetVarType() == TkvDeclaredVarType::Float);
        }
    }

    // Each listed record's run (and position, for amounts added in list
    // order), then one walk over the records as they lie.
    const int recordCount = storage->RecordCount();
    std::vector<std::int32_t> runOf(std::size_t(std::max(recordCount, 0)), -1);
    std::vector<std::int32_t> positionOf(anyFloat ? runOf.size() : 0);
    for (std::size_t run = 0; run < runs.size(); ++run)
        for (int position = runs[run].first; position < runs[run].second; ++position) {
            const int recordIndex = recordList[std::size_t(position)];
            // A record listed twice, or one the storage does not hold, is
            // summed where it stands.
            if (recordIndex < 0 || recordIndex >= recordCount || runOf[std::size_t(recordIndex)] >= 0)
                return byPositions();
            runOf[std::size_t(recordIndex)] = std::int32_t(run);
            if (anyFloat)
                positionOf[std::size_t(recordIndex)] = position;
        }
    std::vector<TkvDeclaredVarType> types(std::size_t(itemCount), TkvDeclaredVarType::Variant);
    std::vector<TkvSummaryKind> kinds(std::size_t(itemCount), skNone);
    for (int i = 0; i < itemCount; ++i)
        if (defs[std::size_t(i)]) {
            types[std::size_t(i)] = defs[std::size_t(i)]->ValueTypeClass()->GetVarType();
            kinds[std::size_t(i)] = items.Items(i)->Kind();
        }
    const bool nullIgnore = options & soNullIgnore;
    const bool selectedOnly = options & soSelectedRecords;
    std::vector<RunTotal> totals(runs.size() * std::size_t(itemCount));
    std::vector<DeferredAmounts> deferred(static_cast<std::size_t>(itemCount));
    for (int recordIndex = 0; recordIndex < recordCount; ++recordIndex) {
        const std::int32_t run = runOf[std::size_t(recordIndex)];
        if (run < 0 || (selectedOnly && !host.IsRecordSelected(recordIndex)))
            continue;
        RunTotal *runTotals = &totals[std::size_t(run) * std::size_t(itemCount)];
        for (int i = 0; i < itemCount; ++i) {
            const TkvValueDef *def = defs[std::size_t(i)];
            if (!def)
                continue;
            const TkvValuePointer pointer = storage->GetValuePointer(recordIndex, def);
            if (addToRun(runTotals[i], types[std::size_t(i)], kinds[std::size_t(i)], pointer, nullIgnore))
                continue;
            DeferredAmounts &later = deferred[std::size_t(i)];
            if (later.Amounts.empty()) {
                later.Amounts.resize(recordList.size());
                later.Marks.resize((recordList.size() + 63) / 64);
            }
            const std::size_t position = std::size_t(positionOf[std::size_t(recordIndex)]);
            later.Amounts[position] = readValue<double>(pointer.Value);
            later.Marks[position / 64] |= std::uint64_t(1) << (position % 64);
        }
    }
    std::vector<std::int32_t>().swap(runOf);
    std::vector<std::int32_t>().swap(positionOf);
    for (int i = 0; i < itemCount; ++i) {
        const DeferredAmounts &later = deferred[std::size_t(i)];
        if (later.Amounts.empty())
            continue;
        for (std::size_t run = 0; run < runs.size(); ++run) {
            TMoneySum &money = totals[run * std::size_t(itemCount) + std::size_t(i)].Money;
            for (int position = runs[run].first; position < runs[run].second; ++position)
                if (later.Marks[std::size_t(position) / 64] >> (std::size_t(position) % 64) & 1)
                    money.Add(later.Amounts[std::size_t(position)]);
        }
    }
    std::vector<DeferredAmounts>().swap(deferred);

    for (std::size_t run = 0; run < runs.size(); ++run) {
        std::vector<Variant> results(static_cast<std::size_t>(itemCount));
        std::vector<std::optional<TMoneySum>> moneySums(std::size_t(itemCount), std::nullopt);
        bool exact = true;
        for (int i = 0; i < itemCount && exact; ++i) {
            if (!defs[std::size_t(i)])
                continue; // an unresolved field leaves its value unassigned
            results[std::size_t(i)] =
                finishRun(totals[run * std::size_t(itemCount) + std::size_t(i)], types[std::size_t(i)],
                          kinds[std::size_t(i)], &moneySums[std::size_t(i)]);
            exact = !results[std::size_t(i)].isEmpty();
        }
        if (!exact) {
            std::vector<std::optional<TMoneySum>> positionSums;
            Variant values = CalculateSummaryItems(host, items, options, recordList, runs[run].first,
                                                   runs[run].second, &positionSums);
            take(int(run), std::move(values), std::move(positionSums));
            continue;
        }
        take(int(run), Variant::fromArray(std::move(results)), std::move(moneySums));
    }
}

} // namespace kestrum
