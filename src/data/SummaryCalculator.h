#pragma once
// The accumulation of summary values over a run of record positions.
#include "core/MoneySum.h"
#include "core/Variant.h"
#include "data/SummaryKinds.h"

#include <optional>
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

} // namespace kestrum
