#include "exchange/CsvRecords.h"

#include "exchange/ExchangeText.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace kestrum::exchange {

bool TCsvRecordReader::Next(std::vector<std::string> &cells, std::size_t &count, int &line)
{
    const std::size_t size = FText.size();
    if (FAt >= size)
        return false;
    line = FLine;
    count = 0;
    const char *text = FText.data();
    auto isBreak = [&](char c) { return c == FSeparator || c == '\n' || c == '\r'; };
    for (;;) {
        if (cells.size() <= count)
            cells.emplace_back();
        std::string &cell = cells[count++];
        cell.clear();
        if (FQuoted.size() < count)
            FQuoted.resize(count);
        FQuoted[count - 1] = false;
        std::size_t p = FAt;
        while (p < size && (text[p] == ' ' || (text[p] == '\t' && FSeparator != '\t')))
            ++p;
        if (p < size && text[p] == '"') {
            const int openedOn = FLine;
            FQuoted[count - 1] = true;
            FAt = p + 1;
            for (;;) {
                const void *quote = std::memchr(text + FAt, '"', size - FAt);
                if (!quote)
                    throw EImportError(
                        LineMessage(openedOn, QStringLiteral("这里开始的引号没有结束（文件在引号内结束）")));
                const std::size_t q = static_cast<const char *>(quote) - text;
                cell.append(text + FAt, q - FAt);
                FLine += int(std::count(text + FAt, text + q, '\n'));
                if (q + 1 < size && text[q + 1] == '"') {
                    cell += '"';
                    FAt = q + 2;
                    continue;
                }
                FAt = q + 1;
                break;
            }
        }
        // Unquoted text, or text after a closing quote, up to the cell's end.
        std::size_t end = FAt;
        while (end < size && !isBreak(text[end]))
            ++end;
        cell.append(text + FAt, end - FAt);
        FAt = end;
        if (FAt >= size)
            return true;
        const char c = text[FAt++];
        if (c == FSeparator)
            continue;
        if (c == '\r' && FAt < size && text[FAt] == '\n')
            ++FAt;
        ++FLine;
        return true;
    }
}

char DetectSeparator(std::string_view text)
{
    char best = ',';
    double bestScore = -1;
    for (const char separator : {',', ';', '\t'}) {
        TCsvRecordReader reader(text, separator);
        std::vector<std::string> cells;
        std::size_t count = 0;
        int line = 0;
        std::map<std::size_t, int> counts;
        int records = 0;
        try {
            while (records < 50 && reader.Next(cells, count, line)) {
                if (count == 1 && Trimmed(cells[0]).empty())
                    continue;
                ++counts[count];
                ++records;
            }
        } catch (const EImportError &) {
            // A quote left open reads the same with every separator.
        }
        if (records == 0)
            continue;
        // The most common number of cells, and how many records have it;
        // records split in one cell say nothing for this separator.
        const auto modal = std::max_element(counts.begin(), counts.end(),
                                            [](const auto &a, const auto &b) { return a.second < b.second; });
        if (modal->first < 2)
            continue;
        const double score = double(modal->second) / records + double(modal->first) / 1000.0;
        if (score > bestScore) {
            bestScore = score;
            best = separator;
        }
    }
    return best;
}

} // namespace kestrum::exchange
