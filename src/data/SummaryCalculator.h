#pragma once
// The accumulation of summary values over a run of record positions.
#include "core/MoneySum.h"
#include "core/Variant.h"
#include "data/SummaryKinds.h"

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kestrum {

class TkvDataSummaryItems;
class TkvSummaryHost;

//! Variant addition as summaries use it: integers stay integers (widening to
//! 64 bits on overflow), currency stays currency, a date stays a date, reals
//! win over integers and currency, two strings concatenate, and a string
//! with a number is read as a number. Raises the variant errors.
Variant SummaryAdd(const Variant &a, const Variant &b);

//! Computes one value per item of `items` over positions begin .. end - 1 of
//! `recordList`: an array Variant with one element per item. With
//! soSelectedRecords only selected records count. Sums of floating amounts
//! are exact to four decimals (TMoneySum); when `moneySums` is given it gets,
//! per item, the running total behind a floating sum, so that a later change
//! of one record can be followed without drift.
Variant CalculateSummaryItems(TkvSummaryHost &host, const TkvDataSummaryItems &items,
                              TkvSummaryOptions options, const std::vector<int> &recordList, int begin,
                              int end, std::vector<std::optional<TMoneySum>> *moneySums = nullptr);

//! Receives the summaries of one run: its index, one value per item, and the
//! exact totals behind its floating sums (as CalculateSummaryItems gives them).
using TkvSummaryRunSink =
    std::function<void(int run, Variant &&values, std::vector<std::optional<TMoneySum>> &&moneySums)>;

//! The summaries of many runs of positions of `recordList` (each a begin and
//! an end), given to `take` in run order: the same values CalculateSummaryItems
//! gives for each run. A large list in another order than the records' own
//! (sorted, grouped) is read once in record order, each record adding to its
//! run's totals, where the totals do not depend on the order of adding:
//! counts, sums of floating amounts held exactly, integer and currency sums
//! that cannot overflow whatever the order (floating amounts that are no
//! whole number of units are added to their run afterwards in list order).
//! Every other run, item or list is
//! summed run by run over its positions.
void CalculateSummaryRuns(TkvSummaryHost &host, const TkvDataSummaryItems &items, TkvSummaryOptions options,
                          const std::vector<int> &recordList, const std::vector<std::pair<int, int>> &runs,
                          const TkvSummaryRunSink &take);

} // namespace kestrum
