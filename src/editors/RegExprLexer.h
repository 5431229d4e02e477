#pragma once
// The lexical pass of the mask expression language: the source text becomes a
// list of tokens, and every lexical error is collected with its position.
#include "editors/RegExprErrors.h"

#include <QString>

#include <vector>

namespace kestrum {

enum TkvLexemKind {
    lkLiteral = 0,
    lkSpecial = 1,
    lkInteger = 2,
    lkAny = 3,
    lkWordChar = 4,
    lkNonWordChar = 5,
    lkDigit = 6,
    lkNonDigit = 7,
    lkSpace = 8,
    lkNonSpace = 9,
    lkReference = 10,
    lkDateSeparator = 11,
    lkTimeSeparator = 12,
};

struct TkvLexem {
    TkvLexemKind Kind = lkLiteral;
    QString Text;
    int Line = 0;
    int Column = 0;

    bool IsSpecial(char ch) const { return Kind == lkSpecial && Text.size() == 1 && Text[0] == QChar(ch); }
};

using TkvLexems = std::vector<TkvLexem>;

//! Splits source into tokens; errors are appended to errors (all of them).
TkvLexems LexRegExpr(const QString &source, TkvRegExprErrors &errors);

} // namespace kestrum
