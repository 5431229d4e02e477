#include "core/LikeMatch.h"

#include "core/Codepage.h"
#include "core/RegionalSettings.h"

namespace kestrum {

namespace {

std::size_t charLength(std::string_view bytes, std::size_t pos)
{
    // Single bytes are the common case; only lead bytes need the full rule.
    if (static_cast<unsigned char>(bytes[pos]) < 0x81)
        return 1;
    return static_cast<std::size_t>(narrowCharLength(bytes, pos));
}

} // namespace

bool MatchLike(std::string_view text, std::string_view pattern, char percent, char underscore)
{
    // Iterative matching with one backtrack point (the latest percent) finds a
    // match whenever the recursive definition does, without its exponential
    // cost on patterns with many percent characters: reaching a percent at the
    // earliest text position is never worse than reaching it later.
    const std::size_t n = text.size();
    const std::size_t m = pattern.size();
    std::size_t s = 0;
    std::size_t p = 0;
    bool haveStar = false;
    std::size_t starP = 0;
    std::size_t starS = 0;
    for (;;) {
        if (p < m) {
            std::size_t patternLength = charLength(pattern, p);
            if (patternLength == 1 && pattern[p] == percent) {
                if (p + 1 == m)
                    return true;
                if (s == n)
                    return false;
                haveStar = true;
                starP = p;
                starS = s;
                ++p;
                continue;
            }
            if (s < n) {
                std::size_t textLength = charLength(text, s);
                bool matches = patternLength == 1 && pattern[p] == underscore
                                   ? true
                                   : patternLength == textLength &&
                                         text.substr(s, textLength) == pattern.substr(p, patternLength);
                if (matches) {
                    p += patternLength;
                    s += textLength;
                    continue;
                }
            }
        } else if (s == n) {
            return true;
        }
        if (!haveStar)
            return false;
        // Let the percent take one more character; the rest of the pattern is
        // never tried against an empty remainder.
        starS += charLength(text, starS);
        if (starS >= n)
            return false;
        s = starS;
        p = starP + 1;
    }
}

int ClassifyLikePattern(std::string_view pattern, char percent, NarrowString *stripped)
{
    // Split into characters so that a trail byte equal to the percent
    // character is not taken for one.
    NarrowString collapsed;
    bool lastWasPercent = false;
    bool firstIsPercent = false;
    std::size_t charCount = 0;
    for (std::size_t pos = 0; pos < pattern.size();) {
        std::size_t length = charLength(pattern, pos);
        bool isPercent = length == 1 && pattern[pos] == percent;
        if (!(isPercent && lastWasPercent)) {
            if (charCount == 0)
                firstIsPercent = isPercent;
            collapsed.append(pattern.substr(pos, length));
            ++charCount;
        }
        lastWasPercent = isPercent;
        pos += length;
    }
    int kind = lpkPlain;
    if (charCount >= 2) {
        kind = (firstIsPercent ? lpkEndsWith : 0) + (lastWasPercent ? lpkBeginsWith : 0);
        if (lastWasPercent)
            collapsed.pop_back();
        if (firstIsPercent)
            collapsed.erase(0, 1);
    }
    if (stripped)
        *stripped = std::move(collapsed);
    return kind;
}

bool TextBeginsWith(const QString &text, const QString &search, bool partial)
{
    const RegionalSettings &settings = regionalSettings();
    QString upperText = settings.upper(text);
    QString upperSearch = settings.upper(search);
    if (upperSearch.isEmpty() || !partial)
        return upperText == upperSearch;
    return upperText.startsWith(upperSearch);
}

} // namespace kestrum
