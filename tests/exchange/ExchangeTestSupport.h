#pragma once
// Reading a source to one string: "I1200 2024-01-05 item|remark@2" per entry
// (I income, E expense, the amount in cents, the time when there is one, the
// line), "!3 reason" per bad record, separated by "; ".
#include "exchange/ForeignEntry.h"

#include <string>

namespace kestrum {

inline std::string ReadAll(TEntrySource &source)
{
    std::string out;
    TForeignEntry entry;
    TBadRecord bad;
    for (;;) {
        const TEntrySource::TStep step = source.Next(entry, bad);
        if (step == TEntrySource::esEnd)
            break;
        if (!out.empty())
            out += "; ";
        if (step == TEntrySource::esBad) {
            out += "!" + std::to_string(bad.Line) + " " + bad.Reason.toStdString();
            continue;
        }
        out += entry.Kind == ekIncome ? "I" : "E";
        out += std::to_string(entry.Cents) + " " + entry.Date.toString(Qt::ISODate).toStdString();
        if (entry.Seconds != 0)
            out += "+" + std::to_string(entry.Seconds);
        out += " " + entry.Item + "|" + entry.Remark + "@" + std::to_string(entry.Line);
    }
    return out;
}

} // namespace kestrum
