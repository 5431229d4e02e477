#pragma once
// The nondeterministic automaton built from a parse tree. Matching is a
// set-of-states simulation; every accepted step pushes the previous set, so
// undo is a pop.
#include "editors/RegExprParser.h"

#include <optional>
#include <vector>

namespace kestrum {

class TkvRegExprAutomat {
public:
    //! Links the states of the tree (Thompson style, nothing merged).
    explicit TkvRegExprAutomat(TkvRegExprParserAlts tree);
    TkvRegExprAutomat(const TkvRegExprAutomat &) = delete;
    TkvRegExprAutomat &operator=(const TkvRegExprAutomat &) = delete;

    void SetCaseInsensitive(bool value) { FCaseInsensitive = value; }

    void Reset();
    //! Feeds one character; ch may be replaced by the pattern's spelling.
    bool Next(QChar &ch);
    //! Undoes the last step; false when there is none.
    bool Prev();
    bool AtFinalState() const;
    bool AtStartState() const;
    int HistoryDepth() const { return int(FHistory.size()); }

    //! The states that may come next, whatever the character.
    TkvRegExprStates Following() const;
    //! The one literal character every following state stands for, when the
    //! current set is not final and there is exactly one.
    std::optional<QChar> ForcedLiteral() const;
    //! Takes the forced literal as a step.
    void PushForced();
    //! Whether every current state stands for the same literal character.
    bool AtLiteral() const;
    const TkvRegExprStates &Current() const { return FCurrent; }
    //! Makes states current, keeping the present set on the history (the
    //! inverse of Prev).
    void Push(TkvRegExprStates states);

private:
    void LinkAlts(TkvRegExprParserAlts &alts, TkvRegExprState *entry, TkvRegExprState *exit);
    //! Simple states reachable from state's links through block states; with
    //! ch, only those whose class accepts it.
    void Collect(const TkvRegExprState *from, QChar *ch, TkvRegExprStates &into, QChar *accepted) const;
    bool ReachesAccept(const TkvRegExprState *from) const;

    TkvRegExprParserAlts FTree;
    TkvRegExprSimpleState FStart{nullptr};
    TkvRegExprBlockState FAccept;
    std::vector<TkvRegExprSimpleState *> FSimpleStates;
    TkvRegExprStates FCurrent;
    std::vector<TkvRegExprStates> FHistory;
    bool FCaseInsensitive = false;
};

} // namespace kestrum
