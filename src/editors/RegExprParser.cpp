#include "editors/RegExprParser.h"

#include <algorithm>

namespace kestrum {

void TkvRegExprState::Link(TkvRegExprState *next)
{
    if (std::find(FNext.begin(), FNext.end(), next) == FNext.end())
        FNext.push_back(next);
}

void TkvRegExprStates::Add(TkvRegExprSimpleState *state)
{
    if (!Contains(state))
        FStates.push_back(state);
}

bool TkvRegExprStates::Contains(const TkvRegExprSimpleState *state) const
{
    return std::find(FStates.begin(), FStates.end(), state) != FStates.end();
}

TkvRegExprParserItem::TkvRegExprParserItem(std::unique_ptr<TkvRegExprQuantifier> quantifier)
    : FQuantifier(std::move(quantifier))
{
}

TkvRegExprParserSimpleItem::TkvRegExprParserSimpleItem(std::unique_ptr<TkvRegExprItem> item,
                                                       std::unique_ptr<TkvRegExprQuantifier> quantifier)
    : TkvRegExprParserItem(std::move(quantifier)), FState(std::move(item))
{
}

std::unique_ptr<TkvRegExprParserItem> TkvRegExprParserSimpleItem::Clone() const
{
    return std::make_unique<TkvRegExprParserSimpleItem>(FState.Item()->Clone(), Quantifier().Clone());
}

bool TkvRegExprParserAlt::CanMatchEmpty() const
{
    return std::all_of(Items.begin(), Items.end(), [](const auto &item) { return item->CanMatchEmpty(); });
}

std::unique_ptr<TkvRegExprParserAlt> TkvRegExprParserAlt::Clone() const
{
    auto copy = std::make_unique<TkvRegExprParserAlt>();
    for (const auto &item : Items)
        copy->Items.push_back(item->Clone());
    return copy;
}

bool TkvRegExprParserAlts::CanMatchEmpty() const
{
    // A block still being parsed may have no alternative yet: it matches
    // nothing but the empty text.
    return Alts.empty() ||
           std::any_of(Alts.begin(), Alts.end(), [](const auto &alt) { return alt->CanMatchEmpty(); });
}

int TkvRegExprParserAlts::StateCount() const
{
    int count = 0;
    for (const auto &alt : Alts)
        for (const auto &item : alt->Items)
            count += item->StateCount();
    return count;
}

int TkvRegExprParserAlts::Depth() const
{
    int depth = 0;
    for (const auto &alt : Alts)
        for (const auto &item : alt->Items)
            depth = std::max(depth, item->Depth());
    return depth;
}

TkvRegExprParserAlts TkvRegExprParserAlts::Clone() const
{
    TkvRegExprParserAlts copy;
    for (const auto &alt : Alts)
        copy.Alts.push_back(alt->Clone());
    return copy;
}

TkvRegExprParserBlockItem::TkvRegExprParserBlockItem(std::unique_ptr<TkvRegExprQuantifier> quantifier)
    : TkvRegExprParserItem(std::move(quantifier))
{
}

std::unique_ptr<TkvRegExprParserItem> TkvRegExprParserBlockItem::Clone() const
{
    auto copy = std::make_unique<TkvRegExprParserBlockItem>(Quantifier().Clone());
    copy->FAlts = FAlts.Clone();
    return copy;
}

namespace {

struct ParseError {
    const TkvLexem *At;
    QString Message;
};

std::unique_ptr<TkvRegExprQuantifier> Simple()
{
    return std::make_unique<TkvRegExprSimpleQuantifier>();
}

std::unique_ptr<TkvRegExprItem> ClassItem(const TkvLexem &lexem)
{
    switch (lexem.Kind) {
    case lkLiteral:
        return std::make_unique<TkvRegExprSymbol>(lexem.Text[0]);
    case lkAny:
        return std::make_unique<TkvRegExprAll>();
    case lkWordChar:
        return std::make_unique<TkvRegExprIdLetter>(false);
    case lkNonWordChar:
        return std::make_unique<TkvRegExprIdLetter>(true);
    case lkDigit:
        return std::make_unique<TkvRegExprDigit>(false);
    case lkNonDigit:
        return std::make_unique<TkvRegExprDigit>(true);
    case lkSpace:
        return std::make_unique<TkvRegExprSpace>(false);
    case lkNonSpace:
        return std::make_unique<TkvRegExprSpace>(true);
    case lkDateSeparator:
        return std::make_unique<TkvRegExprDateSeparator>();
    case lkTimeSeparator:
        return std::make_unique<TkvRegExprTimeSeparator>();
    default:
        return nullptr;
    }
}

class Parser {
public:
    explicit Parser(const TkvLexems &lexems) : FLexems(lexems) {}

    TkvRegExprParserAlts Run()
    {
        TkvRegExprParserAlts alts;
        ParseAlts(alts, 0);
        if (!AtEnd())
            Fail(Current(), QStringLiteral("Illegal '%1'").arg(Current().Text));
        return alts;
    }

private:
    bool AtEnd() const { return FPos >= FLexems.size(); }
    const TkvLexem &Current() const { return FLexems[FPos]; }
    //! Where an error at the end of the tokens is reported.
    const TkvLexem *Last() const { return FLexems.empty() ? nullptr : &FLexems.back(); }
    [[noreturn]] void Fail(const TkvLexem &at, const QString &message) { throw ParseError{&at, message}; }
    [[noreturn]] void Fail(const TkvLexem *at, const QString &message) { throw ParseError{at, message}; }

    void CheckBudget(int addedStates, int depth, const TkvLexem &at)
    {
        FStates += addedStates;
        if (FStates > kvRegExprMaxStates || depth > kvRegExprMaxDepth)
            Fail(at, QStringLiteral("The expression is too complex"));
    }

    //! Alternatives separated by "|" up to ")" or the end.
    void ParseAlts(TkvRegExprParserAlts &alts, int depth)
    {
        while (true) {
            const TkvLexem *start = AtEnd() ? Last() : &Current();
            alts.Alts.push_back(std::make_unique<TkvRegExprParserAlt>());
            ParseAlt(*alts.Alts.back(), depth);
            if (alts.Alts.back()->Items.empty() && depth == 0 && !AtEnd() && Current().IsSpecial(')'))
                Fail(Current(), QStringLiteral("Illegal ')'"));
            if (alts.Alts.back()->Items.empty())
                Fail(start, QStringLiteral("The alternative should not be empty"));
            if (AtEnd() || !Current().IsSpecial('|'))
                return;
            ++FPos;
        }
    }

    void ParseAlt(TkvRegExprParserAlt &alt, int depth)
    {
        auto &items = alt.Items;
        while (!AtEnd()) {
            const TkvLexem &lexem = Current();
            if (lexem.IsSpecial('|') || lexem.IsSpecial(')'))
                return;
            ++FPos;
            if (auto item = ClassItem(lexem)) {
                CheckBudget(1, depth, lexem);
                items.push_back(std::make_unique<TkvRegExprParserSimpleItem>(std::move(item), Simple()));
                continue;
            }
            switch (lexem.Kind) {
            case lkInteger:
                Fail(lexem, QStringLiteral("Illegal integer value"));
            case lkReference: {
                int number = lexem.Text.toInt();
                if (number > int(FBlocks.size()))
                    Fail(lexem, QStringLiteral("Too big reference number"));
                // The copy repeats the block's pattern, not the text it matched.
                const TkvRegExprParserBlockItem *block = FBlocks[std::size_t(number - 1)];
                CheckBudget(block->StateCount(), depth + block->Depth(), lexem);
                auto copy = std::make_unique<TkvRegExprParserBlockItem>(Simple());
                copy->Alts() = block->Alts().Clone();
                items.push_back(std::move(copy));
                continue;
            }
            default:
                break;
            }
            QChar symbol = lexem.Text[0];
            switch (symbol.unicode()) {
            case u'(': {
                auto block = std::make_unique<TkvRegExprParserBlockItem>(Simple());
                FBlocks.push_back(block.get());
                if (!AtEnd() && Current().IsSpecial(')'))
                    Fail(lexem, QStringLiteral("The block should not be empty"));
                CheckBudget(0, depth + 1, lexem);
                ParseAlts(block->Alts(), depth + 1);
                if (AtEnd())
                    Fail(Last(), QStringLiteral("Missing ')'"));
                ++FPos; // ")"
                items.push_back(std::move(block));
                break;
            }
            case u'[':
                CheckBudget(1, depth, lexem);
                items.push_back(
                    std::make_unique<TkvRegExprParserSimpleItem>(ParseEnumeration(lexem), Simple()));
                break;
            case u'?':
            case u'*':
            case u'+':
                ApplyQuantifier(items, lexem, depth);
                break;
            case u'{':
                ApplyParameterQuantifier(items, lexem, depth);
                break;
            default:
                Fail(lexem, QStringLiteral("Illegal '%1'").arg(lexem.Text));
            }
        }
    }

    std::unique_ptr<TkvRegExprItem> ParseEnumeration(const TkvLexem &open)
    {
        auto enumeration = std::make_unique<TkvRegExprUserEnumeration>();
        if (!AtEnd() && Current().IsSpecial('^')) {
            enumeration->SetInverse(true);
            ++FPos;
        }
        bool afterRange = false;
        while (true) {
            if (AtEnd())
                Fail(open, QStringLiteral("Missing ']'"));
            const TkvLexem &lexem = Current();
            ++FPos;
            if (lexem.IsSpecial(']'))
                break;
            if (lexem.IsSpecial('-') && afterRange)
                Fail(lexem, QStringLiteral("Illegal '%1'").arg(lexem.Text));
            afterRange = false;
            auto item = ClassItem(lexem);
            if (!item || lexem.Kind == lkAny)
                Fail(lexem, QStringLiteral("Illegal '%1'").arg(lexem.Text));
            if (!AtEnd() && Current().IsSpecial('-')) {
                const TkvLexem &dash = Current();
                ++FPos;
                if (lexem.Kind != lkLiteral || AtEnd() || Current().Kind != lkLiteral)
                    Fail(dash, QStringLiteral("Illegal '%1'").arg(dash.Text));
                const TkvLexem &last = Current();
                ++FPos;
                if (lexem.Text[0].unicode() >= last.Text[0].unicode())
                    Fail(lexem, QStringLiteral("The starting character of the subrange must be less than the "
                                               "finishing one"));
                enumeration->Add(std::make_unique<TkvRegExprSubrange>(lexem.Text[0], last.Text[0]));
                afterRange = true;
                continue;
            }
            enumeration->Add(std::move(item));
        }
        if (enumeration->Empty())
            Fail(open, QStringLiteral("Can't create empty enumeration"));
        return enumeration;
    }

    //! Puts item into a new block (used when an item already has a quantifier).
    std::unique_ptr<TkvRegExprParserBlockItem> Wrap(std::unique_ptr<TkvRegExprParserItem> item,
                                                    std::unique_ptr<TkvRegExprQuantifier> quantifier)
    {
        auto block = std::make_unique<TkvRegExprParserBlockItem>(std::move(quantifier));
        block->Alts().Alts.push_back(std::make_unique<TkvRegExprParserAlt>());
        block->Alts().Alts.back()->Items.push_back(std::move(item));
        return block;
    }

    //! Gives item the quantifier symbol ("?", "*", "+"), wrapping it when it
    //! already has one; reports the repetition of an item that may be empty.
    std::unique_ptr<TkvRegExprParserItem> Quantify(std::unique_ptr<TkvRegExprParserItem> item, QChar symbol,
                                                   const TkvLexem &at, int depth)
    {
        if (symbol != u'?' && item->CanMatchEmpty())
            Fail(at, QStringLiteral("The '%1' quantifier cannot be applied here").arg(symbol));
        if (item->Quantifier().IsSimple()) {
            item->SetQuantifier(MakeRegExprQuantifier(symbol));
            return item;
        }
        CheckBudget(0, depth + item->Depth() + 1, at);
        return Wrap(std::move(item), MakeRegExprQuantifier(symbol));
    }

    void ApplyQuantifier(std::vector<std::unique_ptr<TkvRegExprParserItem>> &items, const TkvLexem &lexem,
                         int depth)
    {
        if (items.empty())
            Fail(lexem, QStringLiteral("Illegal quantifier '%1'").arg(lexem.Text));
        items.back() = Quantify(std::move(items.back()), lexem.Text[0], lexem, depth);
    }

    int ReadCount(const TkvLexem &open)
    {
        if (AtEnd() || Current().Kind != lkInteger)
            Fail(open, QStringLiteral("Incorrect parameter quantifier"));
        const QString &digits = Current().Text;
        ++FPos;
        bool ok = false;
        int value = digits.size() <= 4 ? digits.toInt(&ok) : -1;
        if (!ok || value > kvRegExprMaxRepeat)
            Fail(open, QStringLiteral("Incorrect parameter quantifier"));
        return value;
    }

    void ApplyParameterQuantifier(std::vector<std::unique_ptr<TkvRegExprParserItem>> &items,
                                  const TkvLexem &open, int depth)
    {
        const QString incorrect = QStringLiteral("Incorrect parameter quantifier");
        if (items.empty())
            Fail(open, incorrect);
        int minCount = ReadCount(open);
        int maxCount = minCount;
        bool unbounded = false;
        if (!AtEnd() && Current().IsSpecial(',')) {
            ++FPos;
            if (!AtEnd() && Current().Kind == lkInteger)
                maxCount = ReadCount(open);
            else
                unbounded = true;
        }
        if (AtEnd() || !Current().IsSpecial('}') || maxCount < minCount || (!unbounded && maxCount == 0))
            Fail(open, incorrect);
        ++FPos;
        if (items.back()->CanSkip())
            Fail(open, QStringLiteral("The parameter quantifier cannot be applied here"));

        std::unique_ptr<TkvRegExprParserItem> original = std::move(items.back());
        int size = original->StateCount();
        int copies = minCount + (unbounded ? 1 : maxCount - minCount);
        CheckBudget(size * (copies - 1), depth + original->Depth() + 1 + (maxCount - minCount), open);

        auto block = std::make_unique<TkvRegExprParserBlockItem>(Simple());
        block->Alts().Alts.push_back(std::make_unique<TkvRegExprParserAlt>());
        auto &sequence = block->Alts().Alts.back()->Items;
        // The original object stays in the tree (as the first copy), so a
        // back-reference to it keeps pointing at live storage.
        const TkvRegExprParserItem *model = original.get();
        std::vector<std::unique_ptr<TkvRegExprParserItem>> pool;
        pool.push_back(std::move(original));
        for (int i = 1; i < copies; ++i)
            pool.push_back(model->Clone());
        std::size_t next = 0;
        for (int i = 0; i < minCount; ++i)
            sequence.push_back(std::move(pool[next++]));
        if (unbounded) {
            sequence.push_back(Quantify(std::move(pool[next++]), u'*', open, depth));
        } else if (maxCount > minCount) {
            // (copy (copy (...)?)?)? built from the innermost block outwards.
            std::unique_ptr<TkvRegExprParserItem> chain;
            for (int i = maxCount - minCount; i > 0; --i) {
                auto link = std::make_unique<TkvRegExprParserBlockItem>(
                    std::make_unique<TkvRegExprQuestionQuantifier>());
                link->Alts().Alts.push_back(std::make_unique<TkvRegExprParserAlt>());
                link->Alts().Alts.back()->Items.push_back(std::move(pool[next + std::size_t(i) - 1]));
                if (chain)
                    link->Alts().Alts.back()->Items.push_back(std::move(chain));
                chain = std::move(link);
            }
            sequence.push_back(std::move(chain));
        }
        items.back() = std::move(block);
    }

    const TkvLexems &FLexems;
    std::size_t FPos = 0;
    std::vector<const TkvRegExprParserBlockItem *> FBlocks;
    int FStates = 0;
};

} // namespace

TkvRegExprParserAlts ParseRegExpr(const TkvLexems &lexems, TkvRegExprErrors &errors)
{
    try {
        return Parser(lexems).Run();
    } catch (const ParseError &error) {
        if (error.At)
            errors.push_back(TkvRegExprError{error.At->Line, error.At->Column, error.Message});
        else
            errors.push_back(TkvRegExprError{0, 0, error.Message});
        return {};
    }
}

} // namespace kestrum
