#include "editors/MaskEditRegExprMode.h"

namespace kestrum {

namespace {

bool SameChar(QChar a, QChar b, bool caseInsensitive)
{
    return a == b || (caseInsensitive && a.toUpper() == b.toUpper());
}

void SetCaret(TkvMaskEditText &state, int caret)
{
    state.SelStart = caret;
    state.SelLength = 0;
}

} // namespace

TkvMaskEditRegExprMode::TkvMaskEditRegExprMode() : TkvMaskEditRegExprMode(false)
{
}

TkvMaskEditRegExprMode::TkvMaskEditRegExprMode(bool completion) : FCompletion(completion)
{
    FRegExpr.SetCaseInsensitive(FCaseInsensitive);
}

void TkvMaskEditRegExprMode::SetMask(const QString &mask)
{
    // Compile into a fresh expression first so that a bad mask leaves the
    // working one in place.
    auto probe = std::make_unique<TkvRegExpr>();
    try {
        probe->Compile(mask);
    } catch (const EkvRegExprError &error) {
        throw EkvMaskEditError(error.message());
    }
    FRegExpr.Compile(mask);
}

void TkvMaskEditRegExprMode::SetCaseInsensitive(bool value)
{
    FCaseInsensitive = value;
    FRegExpr.SetCaseInsensitive(value);
}

int TkvMaskEditRegExprMode::FeedHead(const QString &text, int length)
{
    FRegExpr.Reset();
    for (int i = 0; i < length; ++i) {
        QChar ch = text[i];
        if (!FRegExpr.Next(ch))
            return i;
    }
    return length;
}

bool TkvMaskEditRegExprMode::FeedRest(const QString &chars, QString &out, int *lead, bool completeAtEnd)
{
    int leadCount = 0;
    bool fedAny = false;
    for (QChar wanted : chars) {
        bool consumed = false;
        while (FCompletion) {
            std::optional<QChar> literal = FRegExpr.StepForced();
            if (!literal)
                break;
            out += *literal;
            if (!fedAny)
                ++leadCount;
            if (SameChar(wanted, *literal, FCaseInsensitive)) {
                consumed = true;
                break;
            }
        }
        fedAny = true;
        if (consumed)
            continue;
        QChar ch = wanted;
        if (!FRegExpr.Next(ch)) {
            if (lead)
                *lead = leadCount;
            return false;
        }
        out += ch;
    }
    if (FCompletion && completeAtEnd) {
        QString completed = FRegExpr.Complete();
        out += completed;
        if (!fedAny)
            leadCount += int(completed.size());
    }
    if (lead)
        *lead = leadCount;
    return true;
}

std::vector<bool> TkvMaskEditRegExprMode::CompletedFlags(const QString &text)
{
    std::vector<bool> flags(std::size_t(text.size()), false);
    if (!FCompletion)
        return flags;
    FRegExpr.Reset();
    for (int i = 0; i < text.size(); ++i) {
        std::optional<QChar> forced = FRegExpr.ForcedLiteral();
        flags[std::size_t(i)] = forced && SameChar(text[i], *forced, FCaseInsensitive);
        QChar ch = text[i];
        if (!FRegExpr.Next(ch))
            break;
    }
    return flags;
}

void TkvMaskEditRegExprMode::Rebuild(TkvMaskEditText &state, const QString &head, const QString &tail)
{
    int accepted = FeedHead(head, int(head.size()));
    QString kept = head.left(accepted);
    QString out;
    int lead = 0;
    bool fits = accepted == head.size() && FeedRest(tail, out, &lead);
    if (!fits) {
        // The tail no longer fits: the text ends at the caret.
        FeedHead(kept, int(kept.size()));
        out.clear();
        FeedRest(QString(), out, &lead);
    }
    state.Text = kept + out;
    SetCaret(state, int(kept.size()) + lead);
}

void TkvMaskEditRegExprMode::RemoveSelection(TkvMaskEditText &state)
{
    if (state.SelLength <= 0)
        return;
    state.Text.remove(state.SelStart, state.SelLength);
    state.SelLength = 0;
}

QString TkvMaskEditRegExprMode::EmptyText()
{
    if (!FCompletion)
        return QString();
    FRegExpr.Reset();
    return FRegExpr.Complete();
}

QString TkvMaskEditRegExprMode::FormatFocused(const QString &valueText)
{
    if (!FCompletion)
        return FormatDisplay(valueText);
    TkvMaskEditText state;
    SetText(state, valueText);
    return state.Text;
}

QString TkvMaskEditRegExprMode::FormatDisplay(const QString &valueText)
{
    FRegExpr.Reset();
    return FRegExpr.Filter(valueText);
}

bool TkvMaskEditRegExprMode::IsValid(const QString &text, bool ignoreMaskBlank)
{
    if (text.isEmpty() || (FCompletion && text == EmptyText()))
        return true;
    if (FeedHead(text, int(text.size())) < text.size())
        return false;
    return ignoreMaskBlank || FRegExpr.AtFinalState();
}

void TkvMaskEditRegExprMode::PressChar(TkvMaskEditText &state, QChar ch)
{
    TkvMaskEditText work = state;
    RemoveSelection(work);
    int caret = work.SelStart;
    if (FCompletion && caret < work.Text.size() && state.SelLength == 0) {
        // Typing the literal that was completed right here steps over it.
        // Not after a selection went: the text behind it has to be fed again.
        std::vector<bool> flags = CompletedFlags(work.Text);
        if (flags[std::size_t(caret)] && SameChar(work.Text[caret], ch, FCaseInsensitive)) {
            SetCaret(state, caret + 1);
            state.Text = work.Text;
            state.Accepted = true;
            return;
        }
    }
    QString head = work.Text.left(caret);
    QString tail = work.Text.mid(caret);
    int accepted = FeedHead(head, int(head.size()));
    if (accepted < head.size()) {
        head.truncate(accepted);
        tail.clear();
    }
    QChar typed = ch;
    if (FRegExpr.Next(typed)) {
        Rebuild(work, head + typed, tail);
        state = work;
        state.Accepted = true;
        return;
    }
    // The user typing a separator the mask has already put in: no change,
    // and no complaint either.
    if (FCompletion && caret > 0 && state.SelLength == 0 &&
        CompletedFlags(work.Text)[std::size_t(caret - 1)] &&
        SameChar(work.Text[caret - 1], ch, FCaseInsensitive)) {
        state.Accepted = true;
        return;
    }
    state.Accepted = false;
}

void TkvMaskEditRegExprMode::Backspace(TkvMaskEditText &state)
{
    state.Accepted = true;
    if (state.SelLength > 0) {
        RemoveSelection(state);
        Rebuild(state, state.Text.left(state.SelStart), state.Text.mid(state.SelStart));
        return;
    }
    int caret = state.SelStart;
    if (caret <= 0)
        return;
    std::vector<bool> flags = CompletedFlags(state.Text);
    int from = caret - 1;
    while (from >= 0 && flags[std::size_t(from)])
        --from;
    if (from < 0) {
        // Only completed literals before the caret: they stay.
        state.Accepted = false;
        return;
    }
    Rebuild(state, state.Text.left(from), state.Text.mid(caret));
}

void TkvMaskEditRegExprMode::Delete(TkvMaskEditText &state)
{
    state.Accepted = true;
    if (state.SelLength > 0) {
        RemoveSelection(state);
        Rebuild(state, state.Text.left(state.SelStart), state.Text.mid(state.SelStart));
        return;
    }
    int caret = state.SelStart;
    int size = int(state.Text.size());
    if (caret >= size)
        return;
    std::vector<bool> flags = CompletedFlags(state.Text);
    int to = caret;
    while (to < size && flags[std::size_t(to)])
        ++to;
    if (to < size)
        ++to;
    while (to < size && flags[std::size_t(to)])
        ++to;
    Rebuild(state, state.Text.left(caret), state.Text.mid(to));
}

void TkvMaskEditRegExprMode::Home(TkvMaskEditText &state, bool shift)
{
    if (shift)
        state.SelLength += state.SelStart;
    else
        state.SelLength = 0;
    state.SelStart = 0;
}

void TkvMaskEditRegExprMode::End(TkvMaskEditText &state, bool shift)
{
    int size = int(state.Text.size());
    if (shift) {
        state.SelLength = size - state.SelStart;
    } else {
        SetCaret(state, size);
    }
}

bool TkvMaskEditRegExprMode::Left(TkvMaskEditText &state, bool shift)
{
    if (!shift && state.SelLength > 0) {
        SetCaret(state, state.SelStart);
        return true;
    }
    int caret = state.SelStart;
    if (caret <= 0)
        return false;
    std::vector<bool> flags = CompletedFlags(state.Text);
    int to = caret - 1;
    while (to > 0 && flags[std::size_t(to)])
        --to;
    if (shift) {
        state.SelLength += caret - to;
        state.SelStart = to;
    } else {
        SetCaret(state, to);
    }
    return true;
}

bool TkvMaskEditRegExprMode::Right(TkvMaskEditText &state, bool shift)
{
    int size = int(state.Text.size());
    if (!shift && state.SelLength > 0) {
        SetCaret(state, state.SelStart + state.SelLength);
        return true;
    }
    int caret = state.SelStart + state.SelLength;
    if (caret >= size)
        return false;
    std::vector<bool> flags = CompletedFlags(state.Text);
    int to = caret + 1;
    while (to < size && flags[std::size_t(to)])
        ++to;
    if (shift)
        state.SelLength = to - state.SelStart;
    else
        SetCaret(state, to);
    return true;
}

void TkvMaskEditRegExprMode::SelectAll(TkvMaskEditText &state)
{
    state.SelStart = 0;
    state.SelLength = int(state.Text.size());
}

void TkvMaskEditRegExprMode::Paste(TkvMaskEditText &state, const QString &clipboard)
{
    RemoveSelection(state);
    QString head = state.Text.left(state.SelStart);
    QString tail = state.Text.mid(state.SelStart);
    int accepted = FeedHead(head, int(head.size()));
    head.truncate(accepted);
    // Characters of the clipboard that do not fit are left out, so a date
    // pasted with other separators still comes in.
    QString pasted;
    for (QChar ch : clipboard) {
        QString out;
        FeedRest(QString(ch), out, nullptr, false);
        pasted += out;
    }
    QString rest;
    if (!FeedRest(tail, rest)) {
        FeedHead(head + pasted, int(head.size() + pasted.size()));
        rest.clear();
        FeedRest(QString(), rest);
    }
    state.Text = head + pasted + rest;
    SetCaret(state, int(head.size() + pasted.size()));
    state.Accepted = true;
}

void TkvMaskEditRegExprMode::SetText(TkvMaskEditText &state, const QString &text)
{
    FRegExpr.Reset();
    QString out;
    FeedRest(text, out);
    state.Text = out;
    SetCaret(state, int(out.size()));
    state.Accepted = true;
}

void TkvMaskEditRegExprMode::SyncCaret(TkvMaskEditText &state)
{
    int caret = state.SelStart;
    int accepted = FeedHead(state.Text, caret);
    if (accepted < caret) {
        state.Text.truncate(accepted);
        SetCaret(state, accepted);
    }
}

} // namespace kestrum
