#pragma once
// Reading a source to one string: "I1200 2024-01-05 item|remark@2" per entry
// (I income, E expense, the amount in cents, or "=" and the exact amount when
// it is no whole number of cents, "-" for none; the time when there is one,
// "nodate" for no date; the line), "!3 reason" per bad record, separated by
// "; ".
#include "exchange/ForeignEntry.h"

#include <charconv>
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
        if (!entry.HasAmount) {
            out += "-";
        } else if (entry.Exact) {
            char text[400];
            out += "=" + std::string(text, std::to_chars(text, text + sizeof text, *entry.Exact).ptr);
        } else {
            out += std::to_string(entry.Cents);
        }
        out += " " + (entry.HasDate ? entry.Date.toString(Qt::ISODate).toStdString() : std::string("nodate"));
        if (entry.Seconds != 0)
            out += "+" + std::to_string(entry.Seconds);
        out += " " + entry.Item + "|" + entry.Remark + "@" + std::to_string(entry.Line);
    }
    return out;
}

} // namespace kestrum
