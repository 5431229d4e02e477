#pragma once
// States of the mask automaton. A simple state matches one character through
// its class; a block state matches nothing and only passes on to the states
// it links to (the entry and exit of a parenthesised block).
#include "editors/RegExprItems.h"

#include <memory>
#include <vector>

namespace kestrum {

class TkvRegExprSimpleState;

class TkvRegExprState {
public:
    virtual ~TkvRegExprState() = default;
    virtual bool IsBlock() const = 0;
    //! Adds a link once; linking twice changes nothing.
    void Link(TkvRegExprState *next);
    const std::vector<TkvRegExprState *> &Next() const { return FNext; }

private:
    std::vector<TkvRegExprState *> FNext;
};

class TkvRegExprSimpleState : public TkvRegExprState {
public:
    //! item may be null: the automaton's start state has no class.
    explicit TkvRegExprSimpleState(std::unique_ptr<TkvRegExprItem> item) : FItem(std::move(item)) {}
    bool IsBlock() const override { return false; }
    const TkvRegExprItem *Item() const { return FItem.get(); }
    bool Check(QChar &ch, bool caseInsensitive) const { return FItem && FItem->Check(ch, caseInsensitive); }
    bool Final() const { return FFinal; }
    void SetFinal(bool value) { FFinal = value; }

private:
    std::unique_ptr<TkvRegExprItem> FItem;
    bool FFinal = false;
};

class TkvRegExprBlockState : public TkvRegExprState {
public:
    bool IsBlock() const override { return true; }
};

//! A set of current states, in the order they were reached.
class TkvRegExprStates {
public:
    void Add(TkvRegExprSimpleState *state);
    bool Contains(const TkvRegExprSimpleState *state) const;
    bool Empty() const { return FStates.empty(); }
    int Count() const { return int(FStates.size()); }
    TkvRegExprSimpleState *operator[](int index) const { return FStates[std::size_t(index)]; }
    auto begin() const { return FStates.begin(); }
    auto end() const { return FStates.end(); }

private:
    std::vector<TkvRegExprSimpleState *> FStates;
};

} // namespace kestrum
