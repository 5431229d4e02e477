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

//! A character that stands for itself, in or out of a bracket expression:
//! the two separators follow the regional settings, the rest is literal.
TkvLexemKind PlainKind(QChar ch)
{
    switch (ch.unicode()) {
    case u'/':
        return lkDateSeparator;
    case u':':
        return lkTimeSeparator;
    default:
        return lkLiteral;
    }
}

struct EscapeLetter {
    char16_t Letter;
    TkvLexemKind Kind; //!< a character class, or lkLiteral for a control character
    char16_t Control;
};

//! "\" and a letter: the character classes and the control characters.
constexpr EscapeLetter EscapeLetters[] = {
    {u'd', lkDigit, 0},    {u'D', lkNonDigit, 0}, {u'w', lkWordChar, 0}, {u'W', lkNonWordChar, 0},
    {u's', lkSpace, 0},    {u'S', lkNonSpace, 0}, {u'a', lkLiteral, 7},  {u'e', lkLiteral, 27},
    {u'f', lkLiteral, 12}, {u'n', lkLiteral, 10}, {u'r', lkLiteral, 13}, {u't', lkLiteral, 9},
};

class Lexer {
public:
    Lexer(const QString &source, TkvRegExprErrors &errors) : FSource(source), FErrors(errors) {}

    TkvLexems Run()
    {
        int depth = 0;
        int openLine = 0, openColumn = 0;
        while (SkipWhiteSpace()) {
            QChar ch = Peek();
            switch (ch.unicode()) {
            case u'(':
                if (depth == 0) {
                    openLine = FLine;
                    openColumn = FColumn;
                }
                ++depth;
                TakeSingle(lkSpecial);
                break;
            case u')':
                --depth;
                TakeSingle(lkSpecial);
                break;
            case u'*':
            case u'+':
            case u'?':
            case u'|':
            case u']':
            case u'}':
                TakeSingle(lkSpecial);
                break;
            case u'.':
                TakeSingle(lkAny);
                break;
            case u'[':
                LexBracket();
                break;
            case u'{':
                LexBraces();
                break;
            default:
                LexPlain();
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
    //! The character at the current position as a token of its own.
    void TakeSingle(TkvLexemKind kind)
    {
        int line = FLine, column = FColumn;
        QChar ch = Peek();
        Advance();
        Add(kind, ch, line, column);
    }
    //! A quoted text, an escape, or a character standing for itself: the
    //! tokens that read alike in and out of bracket expressions.
    void LexPlain()
    {
        switch (Peek().unicode()) {
        case u'\'':
            LexQuoted();
            break;
        case u'\\':
            LexEscape();
            break;
        default:
            TakeSingle(PlainKind(Peek()));
            break;
        }
    }
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
        for (const EscapeLetter &escape : EscapeLetters) {
            if (ch == QChar(escape.Letter)) {
                if (escape.Kind == lkLiteral)
                    Add(lkLiteral, QChar(escape.Control), line, column);
                else
                    Add(escape.Kind, QString(u'\\') + ch, line, column);
                return;
            }
        }
        switch (ch.unicode()) {
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
            if (ch == u']') {
                TakeSingle(lkSpecial);
                return;
            }
            if (ch == u'-') {
                int charLine = FLine, charColumn = FColumn;
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
            LexPlain();
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
