#pragma once
// The LIKE pattern matcher of the like / not-like filter operators, the
// pattern's classification for captions, and the prefix test of incremental
// search.
#include "core/Variant.h"

#include <QString>

#include <string_view>

namespace kestrum {

//! Matches a narrow (GB18030) text against a pattern. The percent character
//! stands for any run of characters, the underscore character for exactly one;
//! there is no escape. Wildcards count whole characters: a double-byte or
//! four-byte sequence is one position, so "工_" matches "工资". A percent that
//! is not the pattern's last character needs at least one character left to
//! match at ("x%%" does not match "x"). Case-sensitive.
bool MatchLike(std::string_view text, std::string_view pattern, char percent = '%', char underscore = '_');

//! Kind of a LIKE pattern for the caption words.
enum LikePatternKind { lpkPlain = 0, lpkBeginsWith = 1, lpkEndsWith = 2, lpkContains = 3 };

//! Collapses runs of the percent character, then classifies: 1 begins with,
//! 2 ends with, 3 contains, 0 plain (also any pattern shorter than two
//! characters). The pattern without the counted leading and trailing percent
//! goes to stripped (when given).
int ClassifyLikePattern(std::string_view pattern, char percent, NarrowString *stripped);

//! The incremental-search test: both sides upper-cased by the regional
//! settings; an empty search text or partial = false requires equal texts,
//! otherwise the text must begin with the search text.
bool TextBeginsWith(const QString &text, const QString &search, bool partial);

} // namespace kestrum
