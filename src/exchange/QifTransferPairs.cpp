#include "exchange/QifTransferPairs.h"

#include "exchange/ExchangeText.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>

namespace kestrum {

void TQifTransferPairs::Add(const TQifRecord &record, std::int64_t signedCents)
{
    Add(record.Line, record.Account, record.Date, record.Payee, record.Memo, signedCents);
}

void TQifTransferPairs::Add(int line, std::string_view account, std::string_view date, std::string_view payee,
                            std::string_view memo, std::int64_t signedCents)
{
    if (signedCents == 0)
        return;
    const auto number =
        FAccounts.emplace(std::string(account), std::uint32_t(FAccounts.size())).first->second;
    std::string key(exchange::Trimmed(date));
    key += '\x1f';
    key += std::to_string(signedCents < 0 ? -signedCents : signedCents);
    key += '\x1f';
    key += payee;
    key += '\x1f';
    key += memo;
    FSides.push_back({std::hash<std::string>()(key), line, number, signedCents < 0});
}

void TQifTransferPairs::Finish()
{
    // A file of one account has nothing to pair.
    if (FAccounts.size() < 2) {
        FSides.clear();
        return;
    }
    std::sort(FSides.begin(), FSides.end(), [](const TSide &a, const TSide &b) {
        return a.Key != b.Key ? a.Key < b.Key : a.Line < b.Line;
    });
    // Within a group of equal keys each money-out record takes the earliest
    // money-in record of another account that is still free. The free ones
    // wait per account, so a group of many equal records stays linear.
    std::map<std::uint32_t, std::deque<int>> freeIn;
    for (std::size_t first = 0; first < FSides.size();) {
        std::size_t end = first;
        while (end < FSides.size() && FSides[end].Key == FSides[first].Key)
            ++end;
        freeIn.clear();
        for (std::size_t i = first; i < end; ++i)
            if (!FSides[i].Negative)
                freeIn[FSides[i].Account].push_back(FSides[i].Line);
        for (std::size_t out = first; out < end; ++out) {
            if (!FSides[out].Negative)
                continue;
            std::deque<int> *best = nullptr;
            for (auto &[account, lines] : freeIn)
                if (account != FSides[out].Account && !lines.empty() &&
                    (!best || lines.front() < best->front()))
                    best = &lines;
            if (!best)
                continue;
            FLines.push_back(FSides[out].Line);
            FLines.push_back(best->front());
            best->pop_front();
        }
        first = end;
    }
    std::sort(FLines.begin(), FLines.end());
    FSides.clear();
    FSides.shrink_to_fit();
}

bool TQifTransferPairs::Contains(int line) const
{
    return std::binary_search(FLines.begin(), FLines.end(), line);
}

} // namespace kestrum
