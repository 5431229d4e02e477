#pragma once
// What every fuzz target of a foreign-file reader asks of the reader: only
// EImportError may leave it, and every entry it gives must be whole.
#include "exchange/ForeignEntry.h"

#include <cmath>
#include <cstdlib>

namespace kestrum::fuzz {

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

//! Whether records of a source may share a line.
enum TLineSharing : unsigned char {
    lsOwn,    //!< each record begins on a later line than the one before
    lsShared, //!< several entries may come from one record (the parts of a split)
};

//! Reads the source to its end, checking each entry, bad record and the
//! progress on the way; lines only ever go forward.
inline void DrainEntrySource(TEntrySource &source, TLineSharing lines = lsOwn)
{
    TForeignEntry entry;
    TBadRecord bad;
    int lastLine = 0;
    for (;;) {
        const TEntrySource::TStep step = source.Next(entry, bad);
        if (step == TEntrySource::esEnd)
            break;
        const int line = step == TEntrySource::esEntry ? entry.Line : bad.Line;
        Check(lines == lsShared ? line >= lastLine : line > lastLine);
        lastLine = line;
        if (step == TEntrySource::esEntry) {
            // A refund is a negative amount; the ledger's own export may give
            // an entry without a date or an amount no cents hold.
            Check(!entry.HasDate || entry.Date.isValid());
            Check(!entry.Exact || std::isfinite(*entry.Exact));
            Check(entry.Seconds >= 0 && entry.Seconds < 86400);
        } else {
            Check(!bad.Reason.isEmpty());
        }
        Check(source.Progress() >= 0.0 && source.Progress() <= 1.0);
    }
    source.Notes();
}

} // namespace kestrum::fuzz
