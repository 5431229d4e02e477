#include "core/Codepage.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

using namespace kestrum;

TEST(Codepage, ConvertsBothWaysLosslessly)
{
    const char *texts[] = {"",      "abc 123", "工资收入", "￥12.50", "😀 emoji takes four bytes",
                           "é ß ü", "【备注】"};
    for (const char *utf8 : texts) {
        NarrowString narrow = utf8ToNarrow(utf8);
        EXPECT_EQ(narrowToUtf8(narrow), utf8);
        EXPECT_EQ(fromNarrow(narrow), QString::fromUtf8(utf8));
        EXPECT_EQ(toNarrow(QString::fromUtf8(utf8)), narrow);
    }
    EXPECT_EQ(utf8ToNarrow("工资"), "\xB9\xA4\xD7\xCA");
    EXPECT_EQ(utf8ToNarrow("😀"), "\x94\x39\xFC\x36");
}

TEST(Codepage, MalformedInputIsReportedNotSwallowed)
{
    const std::string malformed[] = {
        std::string("\xB9", 1),         // lead byte at the end
        std::string("a\xB9\x20", 3),    // second byte out of range
        std::string("\x80", 1),         // no character starts with 80
        std::string("\xFF", 1),         // nor with FF
        std::string("\x94\x39\xFC", 3), // four-byte sequence cut short
    };
    for (const std::string &bytes : malformed) {
        EXPECT_THROW(fromNarrow(bytes), EEncodingError);
        EXPECT_THROW(narrowToUtf8(bytes), EEncodingError);
    }
    EXPECT_THROW(utf8ToNarrow("\xE5\xB7"), EEncodingError);         // cut-short UTF-8
    EXPECT_THROW(toNarrow(QString(QChar(0xD800))), EEncodingError); // lone surrogate
    // An error leaves nothing behind for the next conversion.
    EXPECT_EQ(fromNarrow("\xB9\xA4"), QString::fromUtf8("工"));
    EXPECT_EQ(toNarrow(QString::fromUtf8("资")), "\xD7\xCA");
}

TEST(Codepage, CharacterLengths)
{
    const std::string text = utf8ToNarrow("a工😀b");
    EXPECT_EQ(narrowCharLength(text, 0), 1);
    EXPECT_EQ(narrowCharLength(text, 1), 2);
    EXPECT_EQ(narrowCharLength(text, 3), 4);
    EXPECT_EQ(narrowCharLength(text, 7), 1);
    // Malformed or cut-short sequences advance by one byte.
    EXPECT_EQ(narrowCharLength(std::string("\xB9", 1), 0), 1);
    EXPECT_EQ(narrowCharLength(std::string("\xB9\x20", 2), 0), 1);
    EXPECT_EQ(narrowCharLength(std::string("\x94\x39\xFC", 3), 0), 1);
    EXPECT_EQ(narrowCharLength(std::string("\xFF\xA1", 2), 0), 1);
    EXPECT_EQ(narrowCharLength(std::string("ab"), 5), 1);
}
