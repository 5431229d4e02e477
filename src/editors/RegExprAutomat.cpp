#include "editors/RegExprAutomat.h"

#include <unordered_set>

namespace kestrum {

TkvRegExprAutomat::TkvRegExprAutomat(TkvRegExprParserAlts tree) : FTree(std::move(tree))
{
    FSimpleStates.push_back(&FStart);
    LinkAlts(FTree, &FStart, &FAccept);
    // A state is final when block states alone lead from it to the end.
    for (TkvRegExprSimpleState *state : FSimpleStates)
        state->SetFinal(ReachesAccept(state));
    Reset();
}

void TkvRegExprAutomat::LinkAlts(TkvRegExprParserAlts &alts, TkvRegExprState *entry, TkvRegExprState *exit)
{
    if (alts.CanMatchEmpty())
        entry->Link(exit);
    for (auto &alt : alts.Alts) {
        auto &items = alt->Items;
        for (std::size_t i = 0; i < items.size(); ++i) {
            entry->Link(items[i]->Entry());
            if (!items[i]->CanSkip())
                break;
        }
        for (std::size_t i = items.size(); i-- > 0;) {
            items[i]->Exit()->Link(exit);
            if (!items[i]->CanSkip())
                break;
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            TkvRegExprParserItem &item = *items[i];
            if (auto *block = dynamic_cast<TkvRegExprParserBlockItem *>(&item))
                LinkAlts(block->Alts(), block->Entry(), block->Exit());
            else
                FSimpleStates.push_back(&static_cast<TkvRegExprParserSimpleItem &>(item).State());
            if (item.CanRepeat())
                item.Exit()->Link(item.Entry());
            for (std::size_t j = i + 1; j < items.size(); ++j) {
                item.Exit()->Link(items[j]->Entry());
                if (!items[j]->CanSkip())
                    break;
            }
        }
    }
}

bool TkvRegExprAutomat::ReachesAccept(const TkvRegExprState *from) const
{
    std::vector<const TkvRegExprState *> stack(from->Next().begin(), from->Next().end());
    std::unordered_set<const TkvRegExprState *> seen;
    while (!stack.empty()) {
        const TkvRegExprState *state = stack.back();
        stack.pop_back();
        if (state == &FAccept)
            return true;
        if (!state->IsBlock() || !seen.insert(state).second)
            continue;
        stack.insert(stack.end(), state->Next().begin(), state->Next().end());
    }
    return false;
}

void TkvRegExprAutomat::Collect(const TkvRegExprState *from, QChar *ch, TkvRegExprStates &into,
                                QChar *accepted) const
{
    std::vector<const TkvRegExprState *> stack(from->Next().rbegin(), from->Next().rend());
    std::unordered_set<const TkvRegExprState *> seen;
    while (!stack.empty()) {
        const TkvRegExprState *state = stack.back();
        stack.pop_back();
        if (state->IsBlock()) {
            if (seen.insert(state).second)
                stack.insert(stack.end(), state->Next().rbegin(), state->Next().rend());
            continue;
        }
        auto *simple = const_cast<TkvRegExprSimpleState *>(static_cast<const TkvRegExprSimpleState *>(state));
        if (ch) {
            QChar candidate = *ch;
            if (!simple->Check(candidate, FCaseInsensitive))
                continue;
            if (accepted->isNull())
                *accepted = candidate;
        }
        into.Add(simple);
    }
}

void TkvRegExprAutomat::Reset()
{
    FHistory.clear();
    FCurrent = TkvRegExprStates();
    FCurrent.Add(&FStart);
}

bool TkvRegExprAutomat::Next(QChar &ch)
{
    TkvRegExprStates next;
    QChar accepted;
    for (TkvRegExprSimpleState *state : FCurrent)
        Collect(state, &ch, next, &accepted);
    if (next.Empty())
        return false;
    ch = accepted;
    FHistory.push_back(std::move(FCurrent));
    FCurrent = std::move(next);
    return true;
}

bool TkvRegExprAutomat::Prev()
{
    if (FHistory.empty())
        return false;
    FCurrent = std::move(FHistory.back());
    FHistory.pop_back();
    return true;
}

bool TkvRegExprAutomat::AtFinalState() const
{
    for (TkvRegExprSimpleState *state : FCurrent)
        if (state->Final())
            return true;
    return false;
}

bool TkvRegExprAutomat::AtStartState() const
{
    return !FCurrent.Empty() && FCurrent[0] == &FStart;
}

TkvRegExprStates TkvRegExprAutomat::Following() const
{
    TkvRegExprStates following;
    for (TkvRegExprSimpleState *state : FCurrent)
        Collect(state, nullptr, following, nullptr);
    return following;
}

namespace {

std::optional<QChar> CommonLiteral(const TkvRegExprStates &states)
{
    std::optional<QChar> common;
    for (TkvRegExprSimpleState *state : states) {
        std::optional<QChar> literal = state->Item() ? state->Item()->LiteralChar() : std::nullopt;
        if (!literal || (common && *common != *literal))
            return std::nullopt;
        common = literal;
    }
    return common;
}

} // namespace

std::optional<QChar> TkvRegExprAutomat::ForcedLiteral() const
{
    if (AtFinalState())
        return std::nullopt;
    return CommonLiteral(Following());
}

void TkvRegExprAutomat::PushForced()
{
    TkvRegExprStates following = Following();
    FHistory.push_back(std::move(FCurrent));
    FCurrent = std::move(following);
}

void TkvRegExprAutomat::Push(TkvRegExprStates states)
{
    FHistory.push_back(std::move(FCurrent));
    FCurrent = std::move(states);
}

bool TkvRegExprAutomat::AtLiteral() const
{
    return CommonLiteral(FCurrent).has_value();
}

} // namespace kestrum
