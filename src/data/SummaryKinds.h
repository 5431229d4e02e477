#pragma once
// Enumerations of the summaries, shared by the number formatter, the summary
// items and the grid.

namespace kestrum {

//! Aggregate function; skNone computes nothing and shows the raw value text.
enum TkvSummaryKind { skNone, skSum, skMin, skMax, skCount, skAverage };

//! Where a group summary item is shown: in the group row text or in the
//! group footer cell of its column.
enum TkvSummaryPosition { spGroup, spFooter };

enum TkvSummaryOption { soNullIgnore = 1, soSelectedRecords = 2 };
using TkvSummaryOptions = unsigned; //!< set of TkvSummaryOption bits

} // namespace kestrum
