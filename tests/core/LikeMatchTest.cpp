#include "core/LikeMatch.h"
#include "core/Codepage.h"
#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

// Texts are written in UTF-8 here and matched as the GB18030 bytes they are
// stored as.
bool like(const char *text, const char *pattern, char percent = '%', char underscore = '_')
{
    return MatchLike(utf8ToNarrow(text), utf8ToNarrow(pattern), percent, underscore);
}

std::string classify(const char *pattern, char percent = '%')
{
    NarrowString stripped;
    int kind = ClassifyLikePattern(utf8ToNarrow(pattern), percent, &stripped);
    return std::to_string(kind) + ":" + narrowToUtf8(stripped);
}

} // namespace

TEST(MatchLike, WildcardsAndLiterals)
{
    struct Row {
        const char *text;
        const char *pattern;
        bool expected;
    } rows[] = {
        {"abc", "a%", true},
        {"abc", "%c", true},
        {"abc", "a_c", true},
        {"abc", "abc", true},
        {"", "%", true},
        {"x", "x%%", false},
        {"xy", "x%%", true},
        {"ABC", "a%", false},
        {"abc", "%b%", true},
        {"abc", "%d%", false},
        {"abc", "ab", false},
        {"ab", "abc", false},
        {"", "", true},
        {"a", "", false},
        {"", "_", false},
        {"", "%%", false},
        {"abc", "___", true},
        {"abc", "__", false},
        {"abc", "%", true},
        {"aXbXc", "%X%X%", true},
        {"abcabd", "%abd", true},
        {"abcab", "%ab%", true},
        {"a%b", "a%b", true},
        {"a_b", "a_b", true},
        {"mississippi", "%iss%ipp%", true},
        {"mississippi", "m%ss%pi", true},
        {"mississippi", "m%ssx%", false},
    };
    for (const Row &row : rows)
        EXPECT_EQ(like(row.text, row.pattern), row.expected) << row.text << " LIKE " << row.pattern;
}

TEST(MatchLike, ChineseCharactersCountAsOnePosition)
{
    // Regression: matching byte by byte let "_" take half a character.
    EXPECT_TRUE(like("工资", "工_"));
    EXPECT_TRUE(like("工资收入", "工_收%"));
    EXPECT_TRUE(like("工资", "__"));
    EXPECT_FALSE(like("工资", "___"));
    EXPECT_FALSE(like("工资", "____"));
    EXPECT_TRUE(like("工资", "%资"));
    EXPECT_FALSE(MatchLike("\xB9\xA4\xD7\xCA", "%\xCA")); // never matches half a character
    EXPECT_TRUE(like("a😀b", "a_b"));                      // four-byte sequence
    EXPECT_TRUE(like("月工资", "%工%"));
    EXPECT_FALSE(like("工资", "工"));
}

TEST(MatchLike, TrailByteEqualToTheUnderscoreIsNoWildcard)
{
    // "郷" is E0 5F in GBK: its second byte is the underscore's code.
    const NarrowString text = utf8ToNarrow("郷");
    ASSERT_EQ(text, "\xE0\x5F");
    EXPECT_FALSE(MatchLike(text, "\xE0\x5F\x5F"));
    EXPECT_FALSE(MatchLike("\xE0\x41", text)); // "郃" is not matched by "郷"
    EXPECT_TRUE(MatchLike(text + "x", text + "_"));
}

TEST(MatchLike, CustomWildcardCharacters)
{
    EXPECT_TRUE(like("abc", "a*", '*', '?'));
    EXPECT_TRUE(like("abc", "a?c", '*', '?'));
    EXPECT_FALSE(like("abc", "a%", '*', '?'));
    EXPECT_TRUE(like("a%", "a%", '*', '?'));
}

TEST(MatchLike, ManyPercentsStayFast)
{
    std::string text(20000, 'a');
    std::string pattern;
    for (int i = 0; i < 30; ++i)
        pattern += "%a";
    pattern += "%b";
    EXPECT_FALSE(MatchLike(text, pattern));
    EXPECT_TRUE(MatchLike(text + "b", pattern));
}

TEST(ClassifyLikePattern, KindsAndStrippedText)
{
    EXPECT_EQ(classify("abc%"), "1:abc");
    EXPECT_EQ(classify("%abc"), "2:abc");
    EXPECT_EQ(classify("%abc%"), "3:abc");
    EXPECT_EQ(classify("%%ab%%"), "3:ab");
    EXPECT_EQ(classify("%"), "0:%");
    EXPECT_EQ(classify("%%"), "0:%");
    EXPECT_EQ(classify("a"), "0:a");
    EXPECT_EQ(classify("abc"), "0:abc");
    EXPECT_EQ(classify("a%%%b"), "0:a%b");
    EXPECT_EQ(classify("%%%"), "0:%");
    EXPECT_EQ(classify("a%"), "1:a");
    EXPECT_EQ(classify("工资*", '*'), "1:工资");
    EXPECT_EQ(classify("工%"), "1:工");
    EXPECT_EQ(ClassifyLikePattern("%x", '%', nullptr), 2);
}

TEST(TextBeginsWith, UpperCasedPrefixOrWholeText)
{
    EXPECT_TRUE(TextBeginsWith("Salary", "sal", true));
    EXPECT_FALSE(TextBeginsWith("Salary", "sal", false));
    EXPECT_TRUE(TextBeginsWith("Salary", "SALARY", false));
    EXPECT_TRUE(TextBeginsWith("", "", true));
    EXPECT_FALSE(TextBeginsWith("Salary", "", true)); // empty search needs an empty text
    EXPECT_TRUE(TextBeginsWith(QString::fromUtf8("工资"), QString::fromUtf8("工"), true));
    EXPECT_FALSE(TextBeginsWith("ab", "abc", true));
}
