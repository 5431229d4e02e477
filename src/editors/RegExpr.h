#pragma once
// A compiled mask expression: lexer, parser and automaton behind one object,
// with step-by-step matching, undo and the completion of forced literals.
#include "editors/RegExprAutomat.h"

#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace kestrum {

class TkvRegExpr {
public:
    TkvRegExpr();
    ~TkvRegExpr();

    //! Compiles source; raises EkvRegExprError with every error found. On
    //! failure the expression is left uncompiled.
    void Compile(const QString &source);
    //! Compiles the UTF-8 text of a stream (null: "The source stream is not
    //! assigned").
    void Compile(QIODevice *stream);
    bool Compiled() const { return FAutomat != nullptr; }
    const TkvRegExprErrors &Errors() const { return FErrors; }
    const TkvLexems &Lexems() const { return FLexems; }

    bool CaseInsensitive() const { return FCaseInsensitive; }
    void SetCaseInsensitive(bool value);
    //! With completion on, literals that are the only way on are taken
    //! automatically after each accepted character.
    bool UpdateOn() const { return FUpdateOn; }
    void SetUpdateOn(bool value) { FUpdateOn = value; }

    //! Feeds one character; ch may come back in the pattern's spelling.
    bool Next(QChar &ch);
    //! Undoes the last typed step together with the literals completed after
    //! it (with completion on); false when there is nothing to undo.
    bool Prev();
    void Reset();
    bool AtFinalState() const;
    bool AtStartState() const;
    //! Feeds text from the current state; the characters that were accepted.
    QString Filter(const QString &text);
    //! Takes the forced literals now (what Next does after a character).
    QString Complete();
    //! The literal that is the only way on, if any.
    std::optional<QChar> ForcedLiteral() const;
    //! Takes one forced literal as a step (without notification).
    std::optional<QChar> StepForced();

    //! A literal was completed forward.
    std::function<void(QChar)> OnCompletion;
    //! A completed literal was removed backward.
    std::function<void()> OnRemoval;

private:
    TkvRegExprAutomat &Automat() const;

    TkvRegExprErrors FErrors;
    TkvLexems FLexems;
    std::unique_ptr<TkvRegExprAutomat> FAutomat;
    bool FCaseInsensitive = false;
    bool FUpdateOn = false;
};

} // namespace kestrum
