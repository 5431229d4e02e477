#include "editors/RegExprLexer.h"

namespace kestrum {

namespace {

bool IsWhiteSpace(QChar ch)
{
    return ch == u'\t' || ch == u'\n' || ch == u'\f' || ch == u'\r' || ch == u' ';
}

int HexValue(QChar ch)
{
    if (ch >= u'0' && ch <= u'9')
        return ch.unicode() - u'0';
    if (ch >= u'a' && ch <= u'f')
        return ch.unicode() - u'a' + 10;
    if (ch >= u'A' && ch <= u'F')
        return ch.unicode() - u'A' + 10;
    return -1;
}

QString Quoted(const QString &format, QChar ch)
{
    return format.arg(ch);
}

class Lexer {
public:
    Lexer(const QString &source, TkvRegExprErrors &errors) : FSource(source), FErrors(errors) {}

    TkvLexems Run()
    {
        int depth = 0;
        int openLine = 0, openColumn = 0;
        while (SkipWhiteSpace()) {
            QChar ch = Peek();
            int line = FLine, column = FColumn;
            switch (ch.unicode()) {
            case u'\'':
                LexQuoted();
                break;
            case u'(':
                if (depth == 0) {
                    openLine = line;
                    openColumn = column;
                }
                ++depth;
                Advance();
                Add(lkSpecial, ch, line, column);
                break;
            case u')':
                --depth;
                Advance();
                Add(lkSpecial, ch, line, column);
                break;
            case u'*':
            case u'+':
            case u'?':
            case u'|':
            case u']':
            case u'}':
                Advance();
                Add(lkSpecial, ch, line, column);
                break;
            case u'.':
                Advance();
                Add(lkAny, ch, line, column);
                break;
            case u'/':
                Advance();
                Add(lkDateSeparator, ch, line, column);
                break;
            case u':':
                Advance();
                Add(lkTimeSeparator, ch, line, column);
                break;
            case u'[':
                LexBracket();
                break;
            case u'{':
                LexBraces();
                break;
            case u'\\':
                LexEscape();
                break;
            default:
                Advance();
                Add(lkLiteral, ch, line, column);
                break;
            }
        }
        // The balance is judged over the whole text, so ")(" passes here and
        // the parser reports the stray ")".
        if (depth < 0)
            Error(FLine, FColumn, Quoted("Unnecessary '%1'", u')'));
        else if (depth > 0)
            Error(openLine, openColumn, Quoted("Missing '%1'", u')'));
        return std::move(FLexems);
    }

private:
    bool AtEnd() const { return FPos >= FSource.size(); }
    QChar Peek(int ahead = 0) const
    {
        return FPos + ahead < FSource.size() ? FSource[FPos + ahead] : QChar();
    }
    void Advance()
    {
        QChar ch = FSource[FPos++];
        if (ch == u'\r')
            ++FLine;
        if (ch == u'\n')
            FColumn = 1;
        else
            ++FColumn;
    }
    //! Skips white space; false at the end of the text.
    bool SkipWhiteSpace()
    {
        while (!AtEnd() && IsWhiteSpace(Peek()))
            Advance();
        return !AtEnd();
    }
    void Add(TkvLexemKind kind, const QString &text, int line, int column)
    {
        FLexems.push_back(TkvLexem{kind, text, line, column});
    }
    void Add(TkvLexemKind kind, QChar ch, int line, int column) { Add(kind, QString(ch), line, column); }
    void Error(int line, int column, const QString &message)
    {
        FErrors.push_back(TkvRegExprError{line, column, message});
    }

    void LexQuoted()
    {
        int line = FLine, column = FColumn;
        Advance(); // the opening quote
        while (true) {
            if (AtEnd()) {
                Error(line, column, Quoted("Missing '%1'", u'\''));
                return;
            }
            int charLine = FLine, charColumn = FColumn;
            QChar ch = Peek();
            Advance();
            if (ch == u'\'') {
                if (Peek() != u'\'')
                    return;
                Advance();
            }
            Add(lkLiteral, ch, charLine, charColumn);
        }
    }

    //! "\" and what follows it, outside or inside a bracket expression.
    void LexEscape()
    {
        int line = FLine, column = FColumn;
        Advance();
        if (AtEnd()) {
            Error(line, column, QStringLiteral("Missing character after '\\'"));
            return;
        }
        QChar ch = Peek();
        if (IsWhiteSpace(ch)) {
            Error(line, column, QStringLiteral("The space character is not allowed after '\\'"));
            Advance();
            return;
        }
        Advance();
        switch (ch.unicode()) {
        case u'd':
            Add(lkDigit, QStringLiteral("\\d"), line, column);
            return;
        case u'D':
            Add(lkNonDigit, QStringLiteral("\\D"), line, column);
            return;
        case u'w':
            Add(lkWordChar, QStringLiteral("\\w"), line, column);
            return;
        case u'W':
            Add(lkNonWordChar, QStringLiteral("\\W"), line, column);
            return;
        case u's':
            Add(lkSpace, QStringLiteral("\\s"), line, column);
            return;
        case u'S':
            Add(lkNonSpace, QStringLiteral("\\S"), line, column);
            return;
        case u'a':
            Add(lkLiteral, QChar(7), line, column);
            return;
        case u'e':
            Add(lkLiteral, QChar(27), line, column);
            return;
        case u'f':
            Add(lkLiteral, QChar(12), line, column);
            return;
        case u'n':
            Add(lkLiteral, QChar(10), line, column);
            return;
        case u'r':
            Add(lkLiteral, QChar(13), line, column);
            return;
        case u't':
            Add(lkLiteral, QChar(9), line, column);
            return;
        case u'x': {
            int value = 0;
            for (int i = 0; i < 2; ++i) {
                if (AtEnd()) {
                    Error(FLine, FColumn, QStringLiteral("Hexadecimal number expected"));
                    return;
                }
                int digit = HexValue(Peek());
                if (digit < 0) {
                    Error(FLine, FColumn, Quoted("Hexadecimal number expected but '%1' found", Peek()));
                    return;
                }
                value = value * 16 + digit;
                Advance();
            }
            Add(lkLiteral, QChar(value), line, column);
            return;
        }
        default:
            if (ch >= u'1' && ch <= u'9')
                Add(lkReference, ch, line, column);
            else
                Add(lkLiteral, ch, line, column);
        }
    }

    void LexBracket()
    {
        int line = FLine, column = FColumn;
        Advance();
        Add(lkSpecial, u'[', line, column);
        if (SkipWhiteSpace() && Peek() == u'^') {
            Add(lkSpecial, u'^', FLine, FColumn);
            Advance();
        }
        while (true) {
            if (!SkipWhiteSpace()) {
                Error(line, column, Quoted("Missing '%1'", u']'));
                return;
            }
            QChar ch = Peek();
            int charLine = FLine, charColumn = FColumn;
            if (ch == u']') {
                Advance();
                Add(lkSpecial, ch, charLine, charColumn);
                return;
            }
            if (ch == u'-') {
                Advance();
                // A "-" is a range only between two characters: first in the
                // bracket or right before "]" it is the character itself.
                bool beforeClose = SkipWhiteSpace() && Peek() == u']';
                const TkvLexem &previous = FLexems.back();
                bool afterCharacter =
                    !(previous.IsSpecial('[') || previous.IsSpecial('^') || previous.IsSpecial('-'));
                Add(!beforeClose && afterCharacter ? lkSpecial : lkLiteral, ch, charLine, charColumn);
                continue;
            }
            switch (ch.unicode()) {
            case u'\'':
                LexQuoted();
                break;
            case u'\\':
                LexEscape();
                break;
            case u'/':
                Advance();
                Add(lkDateSeparator, ch, charLine, charColumn);
                break;
            case u':':
                Advance();
                Add(lkTimeSeparator, ch, charLine, charColumn);
                break;
            default:
                Advance();
                Add(lkLiteral, ch, charLine, charColumn);
            }
        }
    }

    void LexBraces()
    {
        int line = FLine, column = FColumn;
        Advance();
        Add(lkSpecial, u'{', line, column);
        while (true) {
            if (!SkipWhiteSpace()) {
                Error(line, column, Quoted("Missing '%1'", u'}'));
                return;
            }
            QChar ch = Peek();
            int charLine = FLine, charColumn = FColumn;
            if (ch >= u'0' && ch <= u'9') {
                QString digits;
                while (!AtEnd() && Peek() >= u'0' && Peek() <= u'9') {
                    digits += Peek();
                    Advance();
                }
                Add(lkInteger, digits, charLine, charColumn);
                continue;
            }
            Advance();
            if (ch == u',' || ch == u'}') {
                Add(lkSpecial, ch, charLine, charColumn);
                if (ch == u'}')
                    return;
                continue;
            }
            Error(charLine, charColumn, Quoted("Illegal '%1'", ch));
        }
    }

    const QString &FSource;
    TkvRegExprErrors &FErrors;
    TkvLexems FLexems;
    qsizetype FPos = 0;
    int FLine = 1;
    int FColumn = 1;
};

} // namespace

TkvLexems LexRegExpr(const QString &source, TkvRegExprErrors &errors)
{
    return Lexer(source, errors).Run();
}

} // namespace kestrum
