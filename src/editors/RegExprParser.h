#pragma once
// The parse tree of a mask expression and the parser that builds it from the
// token list. Every tree item owns the automaton states it stands for, so the
// tree is also the storage of the automaton.
#include "editors/RegExprLexer.h"
#include "editors/RegExprStates.h"

#include <memory>
#include <vector>

namespace kestrum {

class TkvRegExprParserAlts;

class TkvRegExprParserItem {
public:
    explicit TkvRegExprParserItem(std::unique_ptr<TkvRegExprQuantifier> quantifier);
    virtual ~TkvRegExprParserItem() = default;
    virtual std::unique_ptr<TkvRegExprParserItem> Clone() const = 0;
    //! The item may match the empty text (skippable, or a block whose
    //! contents may be empty).
    virtual bool CanMatchEmpty() const = 0;
    //! Number of simple states under the item (the size a copy costs).
    virtual int StateCount() const = 0;
    virtual int Depth() const = 0;
    virtual TkvRegExprState *Entry() = 0;
    virtual TkvRegExprState *Exit() = 0;

    const TkvRegExprQuantifier &Quantifier() const { return *FQuantifier; }
    void SetQuantifier(std::unique_ptr<TkvRegExprQuantifier> quantifier)
    {
        FQuantifier = std::move(quantifier);
    }
    bool CanSkip() const { return FQuantifier->CanSkip(); }
    bool CanRepeat() const { return FQuantifier->CanRepeat(); }

private:
    std::unique_ptr<TkvRegExprQuantifier> FQuantifier;
};

class TkvRegExprParserSimpleItem : public TkvRegExprParserItem {
public:
    TkvRegExprParserSimpleItem(std::unique_ptr<TkvRegExprItem> item,
                               std::unique_ptr<TkvRegExprQuantifier> quantifier);
    std::unique_ptr<TkvRegExprParserItem> Clone() const override;
    bool CanMatchEmpty() const override { return CanSkip(); }
    int StateCount() const override { return 1; }
    int Depth() const override { return 1; }
    TkvRegExprState *Entry() override { return &FState; }
    TkvRegExprState *Exit() override { return &FState; }
    TkvRegExprSimpleState &State() { return FState; }

private:
    TkvRegExprSimpleState FState;
};

//! An alternative: a sequence of items.
class TkvRegExprParserAlt {
public:
    std::vector<std::unique_ptr<TkvRegExprParserItem>> Items;
    bool CanMatchEmpty() const;
    std::unique_ptr<TkvRegExprParserAlt> Clone() const;
};

//! A set of alternatives.
class TkvRegExprParserAlts {
public:
    std::vector<std::unique_ptr<TkvRegExprParserAlt>> Alts;
    bool CanMatchEmpty() const;
    int StateCount() const;
    int Depth() const;
    TkvRegExprParserAlts Clone() const;
};

class TkvRegExprParserBlockItem : public TkvRegExprParserItem {
public:
    explicit TkvRegExprParserBlockItem(std::unique_ptr<TkvRegExprQuantifier> quantifier);
    std::unique_ptr<TkvRegExprParserItem> Clone() const override;
    bool CanMatchEmpty() const override { return CanSkip() || FAlts.CanMatchEmpty(); }
    int StateCount() const override { return FAlts.StateCount(); }
    int Depth() const override { return 1 + FAlts.Depth(); }
    TkvRegExprState *Entry() override { return &FEntry; }
    TkvRegExprState *Exit() override { return &FExit; }
    TkvRegExprParserAlts &Alts() { return FAlts; }
    const TkvRegExprParserAlts &Alts() const { return FAlts; }

private:
    TkvRegExprParserAlts FAlts;
    TkvRegExprBlockState FEntry;
    TkvRegExprBlockState FExit;
};

//! Parses tokens into alternatives; the first error stops parsing and is
//! appended to errors (the result is then meaningless).
TkvRegExprParserAlts ParseRegExpr(const TkvLexems &lexems, TkvRegExprErrors &errors);

//! Bounds that keep a hostile expression from exhausting memory or stack.
inline constexpr int kvRegExprMaxStates = 20000;
inline constexpr int kvRegExprMaxDepth = 400;
inline constexpr int kvRegExprMaxRepeat = 255;

} // namespace kestrum
