// The token list of the mask expression language: the kind, text and position
// of every token, inside and outside bracket expressions.
#include "editors/RegExprLexer.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

QString Tokens(const QString &source, QStringList *errors = nullptr)
{
    TkvRegExprErrors found;
    const TkvLexems lexems = LexRegExpr(source, found);
    QStringList parts;
    for (const TkvLexem &lexem : lexems) {
        QString text;
        for (QChar ch : lexem.Text)
            text += ch.unicode() < 32 ? QStringLiteral("^%1").arg(ch.unicode()) : QString(ch);
        parts
            << QStringLiteral("%1:%2@%3.%4").arg(int(lexem.Kind)).arg(text).arg(lexem.Line).arg(lexem.Column);
    }
    if (errors) {
        for (const TkvRegExprError &error : found)
            *errors << QStringLiteral("%1.%2 %3").arg(error.Line).arg(error.Column).arg(error.Message);
    }
    return parts.join(' ');
}

TEST(RegExprLexer, SingleCharacterTokensOutsideBrackets)
{
    // 1 special, 3 any, 11 date separator, 12 time separator, 0 literal.
    EXPECT_EQ(Tokens("(a|b)*+?.]}/:x"),
              "1:(@1.1 0:a@1.2 1:|@1.3 0:b@1.4 1:)@1.5 1:*@1.6 1:+@1.7 1:?@1.8 3:.@1.9 1:]@1.10 "
              "1:}@1.11 11:/@1.12 12::@1.13 0:x@1.14");
}

TEST(RegExprLexer, InsideBracketsOnlySeparatorsKeepTheirKind)
{
    EXPECT_EQ(Tokens("[^a-z/:.*(]"), "1:[@1.1 1:^@1.2 0:a@1.3 1:-@1.4 0:z@1.5 11:/@1.6 12::@1.7 0:.@1.8 "
                                     "0:*@1.9 0:(@1.10 1:]@1.11");
    // A "-" first or right before "]" is the character itself.
    EXPECT_EQ(Tokens("[-a-]"), "1:[@1.1 0:-@1.2 0:a@1.3 0:-@1.4 1:]@1.5");
    EXPECT_EQ(Tokens("['q'\\d]"), "1:[@1.1 0:q@1.3 6:\\d@1.5 1:]@1.7");
}

TEST(RegExprLexer, EscapesGiveClassesControlCharactersAndReferences)
{
    EXPECT_EQ(Tokens("\\d\\D\\w\\W\\s\\S"), "6:\\d@1.1 7:\\D@1.3 4:\\w@1.5 5:\\W@1.7 8:\\s@1.9 9:\\S@1.11");
    EXPECT_EQ(Tokens("\\a\\e\\f\\n\\r\\t\\x41\\x7e"),
              "0:^7@1.1 0:^27@1.3 0:^12@1.5 0:^10@1.7 0:^13@1.9 0:^9@1.11 0:A@1.13 0:~@1.17");
    EXPECT_EQ(Tokens("\\3\\.\\/\\0"), "10:3@1.1 0:.@1.3 0:/@1.5 0:0@1.7");
}

TEST(RegExprLexer, QuotesBracesAndPositionsOverLines)
{
    EXPECT_EQ(Tokens("'it''s'"), "0:i@1.2 0:t@1.3 0:'@1.4 0:s@1.6");
    EXPECT_EQ(Tokens("{1, 23}"), "1:{@1.1 2:1@1.2 1:,@1.3 2:23@1.5 1:}@1.7");
    EXPECT_EQ(Tokens("a\r\n b"), "0:a@1.1 0:b@2.2");
}

TEST(RegExprLexer, ErrorsAreCollectedWithTheirPositions)
{
    QStringList errors;
    Tokens("(\\x4g{1;}[a", &errors);
    EXPECT_EQ(errors.join(" | "), "1.5 Hexadecimal number expected but 'g' found | 1.8 Illegal ';' | "
                                  "1.10 Missing ']' | 1.1 Missing ')'");
}

} // namespace
} // namespace kestrum
