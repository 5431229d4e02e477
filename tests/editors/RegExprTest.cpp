// The mask expression compiler and automaton: error texts with positions,
// quantifiers, back-references, completion and undo.
#include "editors/RegExpr.h"
#include "core/RegionalSettings.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

//! "ok" or the errors as "line:column message" joined by " / ".
std::string CompileResult(const QString &source)
{
    TkvRegExpr expr;
    try {
        expr.Compile(source);
        return "ok";
    } catch (const EkvRegExprError &error) {
        QStringList parts;
        for (const TkvRegExprError &e : error.Errors())
            parts << QStringLiteral("%1:%2 %3").arg(e.Line).arg(e.Column).arg(e.Message);
        return parts.join(" / ").toStdString();
    }
}

//! Whether the whole text is accepted and ends in a final state.
bool Matches(const QString &source, const QString &text, bool caseInsensitive = false)
{
    TkvRegExpr expr;
    expr.SetCaseInsensitive(caseInsensitive);
    expr.Compile(source);
    for (QChar ch : text)
        if (!expr.Next(ch))
            return false;
    return expr.AtFinalState();
}

class RegExprTest : public testing::Test {
protected:
    void SetUp() override { setRegionalSettings(RegionalSettings::simplifiedChinese()); }
};

TEST_F(RegExprTest, ReportsLexicalErrorsWithPositions)
{
    EXPECT_EQ(CompileResult("'abc"), "1:1 Missing '''");
    EXPECT_EQ(CompileResult("[abc"), "1:1 Missing ']'");
    EXPECT_EQ(CompileResult("a{2"), "1:2 Missing '}'");
    EXPECT_EQ(CompileResult("a{2x}"), "1:4 Illegal 'x'");
    EXPECT_EQ(CompileResult("a{'}"), "1:3 Illegal '''");
    EXPECT_EQ(CompileResult("(ab"), "1:1 Missing ')'");
    EXPECT_EQ(CompileResult("ab)"), "1:4 Unnecessary ')'");
    EXPECT_EQ(CompileResult("ab\\x4"), "1:6 Hexadecimal number expected");
    EXPECT_EQ(CompileResult("\\x4g"), "1:4 Hexadecimal number expected but 'g' found");
    EXPECT_EQ(CompileResult("a\\ b"), "1:2 The space character is not allowed after '\\'");
    // Every lexical error is reported, each on its own line and column.
    EXPECT_EQ(CompileResult("a{x}\r\n'b"), "1:3 Illegal 'x' / 2:1 Missing '''");
}

TEST_F(RegExprTest, ReportsParseErrors)
{
    EXPECT_EQ(CompileResult("a*"), "ok");
    EXPECT_EQ(CompileResult("(a*)*"), "1:5 The '*' quantifier cannot be applied here");
    EXPECT_EQ(CompileResult("a**"), "1:3 The '*' quantifier cannot be applied here");
    EXPECT_EQ(CompileResult("a?+"), "1:3 The '+' quantifier cannot be applied here");
    EXPECT_EQ(CompileResult("*a"), "1:1 Illegal quantifier '*'");
    EXPECT_EQ(CompileResult("[z-a]"),
              "1:2 The starting character of the subrange must be less than the finishing one");
    EXPECT_EQ(CompileResult("[]"), "1:1 Can't create empty enumeration");
    EXPECT_EQ(CompileResult("[a-c-e]"), "1:5 Illegal '-'");
    EXPECT_EQ(CompileResult("a?{2}"), "1:3 The parameter quantifier cannot be applied here");
    EXPECT_EQ(CompileResult("a{3,2}"), "1:2 Incorrect parameter quantifier");
    EXPECT_EQ(CompileResult("{2}"), "1:1 Incorrect parameter quantifier");
    EXPECT_EQ(CompileResult("a{,2}"), "1:2 Incorrect parameter quantifier");
    EXPECT_EQ(CompileResult("(a)\\2"), "1:4 Too big reference number");
    EXPECT_EQ(CompileResult("|a"), "1:1 The alternative should not be empty");
    EXPECT_EQ(CompileResult("a|"), "1:2 The alternative should not be empty");
    EXPECT_EQ(CompileResult("a()"), "1:2 The block should not be empty");
    EXPECT_EQ(CompileResult(")a("), "1:1 Illegal ')'");
    EXPECT_EQ(CompileResult("a]"), "1:2 Illegal ']'");
    EXPECT_EQ(CompileResult("''"), "0:0 The alternative should not be empty");
    EXPECT_EQ(CompileResult("  \r\n "), "0:0 The source stream is empty");
}

TEST_F(RegExprTest, ErrorMessageListsEveryErrorWithItsPosition)
{
    TkvRegExprErrors errors{
        {1, 3, "Illegal 'x'"}, {2, 0, "Missing '''"}, {0, 0, "The source stream is empty"}};
    EXPECT_EQ(RegExprErrorsText(errors).toStdString(), "Regular expression errors:\r\nLine1, Char3: Illegal "
                                                       "'x'\r\nLine2: Missing '''\r\nThe source stream is "
                                                       "empty");
}

TEST_F(RegExprTest, StreamsThatCannotBeReadAreReported)
{
    TkvRegExpr expr;
    EXPECT_THROW(expr.Compile(static_cast<QIODevice *>(nullptr)), EkvRegExprError);
    EXPECT_EQ(expr.Errors().at(0).Message.toStdString(), "The source stream is not assigned");
    QByteArray bytes("a|b");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    expr.Compile(&buffer);
    QChar b('b');
    EXPECT_TRUE(expr.Next(b));
}

TEST_F(RegExprTest, UseBeforeCompilationRaises)
{
    TkvRegExpr expr;
    QChar ch('a');
    EXPECT_THROW(expr.Next(ch), EkvRegExprNotCompiled);
    EXPECT_THROW(expr.Reset(), EkvRegExprNotCompiled);
    try {
        expr.Prev();
    } catch (const Exception &error) {
        EXPECT_EQ(error.message(), "Regular expression is not compiled");
    }
    // A failed compilation leaves the expression uncompiled.
    EXPECT_THROW(expr.Compile("a("), EkvRegExprError);
    EXPECT_FALSE(expr.Compiled());
}

struct MatchCase {
    const char *Source;
    const char *Text;
    bool Expected;
};

TEST_F(RegExprTest, MatchesWholeTexts)
{
    const MatchCase cases[] = {
        {"a{2,4}", "a", false},     {"a{2,4}", "aa", true},       {"a{2,4}", "aaaa", true},
        {"a{2,4}", "aaaaa", false}, {"a{2}", "aa", true},         {"a{2}", "aaa", false},
        {"a{2,}", "aaaaaa", true},  {"a{2,}", "a", false},        {"(a|b)\\1", "ab", true},
        {"(a|b)\\1", "ba", true},   {"(a|b)\\1", "a", false},     {"[a-]", "-", true},
        {"[a-]", "a", true},        {"[^0-9]", "x", true},        {"[^0-9]", "5", false},
        {"a+?", "", true},          {"a+?", "aaa", true},         {"\\d\\d'-'\\d", "12-3", true},
        {"ab*c", "ac", true},       {"ab*c", "abbbc", true},      {"(ab|cd)+", "abcdab", true},
        {"(ab|cd)+", "abc", false}, {"\\x41", "A", true},         {"\\0", "0", true},
        {"'it''s'", "it's", true},  {"a|", "a", false},           {"\\w\\W\\s\\S", "a- x", true},
        {"(a?)b", "b", true},       {"((a|b)c)\\2", "acb", true}, {"[\\d/]+", "1-2", true},
    };
    for (const MatchCase &c : cases) {
        bool result = false;
        try {
            result = Matches(c.Source, c.Text);
        } catch (const EkvRegExprError &) {
            result = false;
        }
        EXPECT_EQ(result, c.Expected) << c.Source << " on " << c.Text;
    }
}

TEST_F(RegExprTest, SeparatorsFollowTheRegionalSettings)
{
    EXPECT_TRUE(Matches("\\d/\\d:\\d", "1-2:3"));
    RegionalSettings settings = RegionalSettings::simplifiedChinese();
    settings.dateSeparator = '.';
    setRegionalSettings(settings);
    EXPECT_TRUE(Matches("\\d/\\d", "1.2"));
    EXPECT_FALSE(Matches("\\d/\\d", "1-2"));
}

TEST_F(RegExprTest, CaseInsensitiveMatchingGivesThePatternSpelling)
{
    TkvRegExpr expr;
    expr.SetCaseInsensitive(true);
    expr.Compile("X[a-z]");
    QChar x('x');
    ASSERT_TRUE(expr.Next(x));
    EXPECT_EQ(x, QChar('X'));
    // Subranges compare code units, so case does not matter to them.
    QChar upperB('B');
    EXPECT_FALSE(expr.Next(upperB));
    EXPECT_FALSE(Matches("X", "x", false));
}

TEST_F(RegExprTest, RejectedCharacterLeavesTheStateAndUndoStepsBack)
{
    TkvRegExpr expr;
    expr.Compile("ab|ac");
    EXPECT_TRUE(expr.AtStartState());
    QChar a('a'), d('d'), c('c');
    EXPECT_TRUE(expr.Next(a));
    EXPECT_FALSE(expr.Next(d));
    EXPECT_TRUE(expr.Next(c));
    EXPECT_TRUE(expr.AtFinalState());
    EXPECT_TRUE(expr.Prev());
    EXPECT_FALSE(expr.AtFinalState());
    EXPECT_TRUE(expr.Prev());
    EXPECT_TRUE(expr.AtStartState());
    EXPECT_FALSE(expr.Prev());
    EXPECT_EQ(expr.Filter("xaqb").toStdString(), "ab");
}

TEST_F(RegExprTest, CompletionTakesForcedLiteralsAndUndoRemovesThem)
{
    TkvRegExpr expr;
    expr.SetUpdateOn(true);
    expr.Compile("\\d\\d'-'\\d\\d");
    QString completed;
    int removals = 0;
    expr.OnCompletion = [&](QChar ch) { completed += ch; };
    expr.OnRemoval = [&] { ++removals; };
    QChar one('1'), two('2');
    expr.Next(one);
    EXPECT_TRUE(completed.isEmpty());
    expr.Next(two);
    EXPECT_EQ(completed.toStdString(), "-");
    // Backspace removes the "-" together with the digit that caused it.
    EXPECT_TRUE(expr.Prev());
    EXPECT_EQ(removals, 1);
    QChar five('5');
    EXPECT_TRUE(expr.Next(five));
    EXPECT_EQ(completed.toStdString(), "--");
}

TEST_F(RegExprTest, UndoRefusesWhenOnlyCompletedLiteralsAreLeft)
{
    TkvRegExpr expr;
    expr.SetUpdateOn(true);
    expr.Compile("'ID-'\\d");
    EXPECT_EQ(expr.Complete().toStdString(), "ID-");
    EXPECT_FALSE(expr.Prev());
    QChar seven('7');
    EXPECT_TRUE(expr.Next(seven));
    EXPECT_TRUE(expr.AtFinalState());
    EXPECT_TRUE(expr.Prev());
    EXPECT_FALSE(expr.Prev());
}

TEST_F(RegExprTest, HostileExpressionsAreRefusedInsteadOfExhaustingMemory)
{
    EXPECT_EQ(CompileResult("a{1000}"), "1:2 Incorrect parameter quantifier");
    EXPECT_EQ(CompileResult("((a{200}){200}){200}"), "1:10 The expression is too complex");
    EXPECT_EQ(CompileResult(QString(1000, '(') + "a" + QString(1000, ')')),
              "1:401 The expression is too complex");
}

} // namespace
