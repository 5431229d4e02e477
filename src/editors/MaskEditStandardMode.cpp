#include "editors/MaskEditStandardMode.h"

#include <algorithm>

namespace kestrum {

int TkvMaskEditStandardMode::SkipLiteralsForward(int position) const
{
    while (position < FMask.Count() && FMask.IsLiteral(position))
        ++position;
    return position;
}

void TkvMaskEditStandardMode::PlaceCaret(TkvMaskEditText &state, int position) const
{
    position = std::clamp(position, 0, FMask.Count());
    state.SelStart = position;
    state.SelLength = position < FMask.Count() ? 1 : 0;
}

void TkvMaskEditStandardMode::Normalize(TkvMaskEditText &state) const
{
    if (state.Text.size() != FMask.Count())
        state.Text = FMask.Apply(state.Text);
    state.SelStart = std::clamp(state.SelStart, 0, FMask.Count());
    state.SelLength = std::clamp(state.SelLength, 0, FMask.Count() - state.SelStart);
}

void TkvMaskEditStandardMode::BlankRange(TkvMaskEditText &state, int from, int to) const
{
    for (int position = from; position < to; ++position)
        if (!FMask.IsLiteral(position))
            state.Text[position] = FMask.BlankChar();
}

void TkvMaskEditStandardMode::PressChar(TkvMaskEditText &state, QChar ch)
{
    Normalize(state);
    int position = state.SelStart;
    if (position < FMask.Count() && FMask.IsLiteral(position)) {
        QChar literal = ch;
        if (FMask.Item(position).Check(literal)) {
            // Typing the literal itself just steps over it.
            PlaceCaret(state, SkipLiteralsForward(position));
            state.Accepted = true;
            return;
        }
        position = SkipLiteralsForward(position);
    }
    QChar converted = ch;
    if (position >= FMask.Count() || !FMask.Item(position).Check(converted)) {
        state.Accepted = false;
        return;
    }
    if (state.SelLength > 1)
        BlankRange(state, state.SelStart, state.SelStart + state.SelLength);
    state.Text[position] = converted;
    PlaceCaret(state, SkipLiteralsForward(position + 1));
    state.Accepted = true;
}

void TkvMaskEditStandardMode::Backspace(TkvMaskEditText &state)
{
    Normalize(state);
    state.Accepted = true;
    if (state.SelLength > 1) {
        BlankRange(state, state.SelStart, state.SelStart + state.SelLength);
        PlaceCaret(state, SkipLiteralsForward(state.SelStart));
        return;
    }
    int position = state.SelStart - 1;
    while (position >= 0 && FMask.IsLiteral(position))
        --position;
    if (position < 0)
        return;
    BlankRange(state, position, position + 1);
    PlaceCaret(state, position);
}

void TkvMaskEditStandardMode::Delete(TkvMaskEditText &state)
{
    Normalize(state);
    state.Accepted = true;
    int to = state.SelStart + std::max(state.SelLength, 1);
    BlankRange(state, state.SelStart, std::min(to, FMask.Count()));
    PlaceCaret(state, state.SelStart);
}

void TkvMaskEditStandardMode::Home(TkvMaskEditText &state, bool shift)
{
    Normalize(state);
    int first = SkipLiteralsForward(0);
    if (shift) {
        int end = state.SelStart + state.SelLength;
        state.SelStart = std::min(first, end);
        state.SelLength = end - state.SelStart;
    } else {
        PlaceCaret(state, first);
    }
}

void TkvMaskEditStandardMode::End(TkvMaskEditText &state, bool shift)
{
    Normalize(state);
    if (shift)
        state.SelLength = FMask.Count() - state.SelStart;
    else
        PlaceCaret(state, FMask.Count());
}

bool TkvMaskEditStandardMode::Left(TkvMaskEditText &state, bool shift)
{
    Normalize(state);
    int position = state.SelStart - 1;
    while (position >= 0 && FMask.IsLiteral(position))
        --position;
    if (position < 0)
        return false;
    if (shift) {
        state.SelLength += state.SelStart - position;
        state.SelStart = position;
    } else {
        PlaceCaret(state, position);
    }
    return true;
}

bool TkvMaskEditStandardMode::Right(TkvMaskEditText &state, bool shift)
{
    Normalize(state);
    if (shift) {
        int end = state.SelStart + state.SelLength;
        if (end >= FMask.Count())
            return false;
        state.SelLength = SkipLiteralsForward(end + 1) - state.SelStart;
        state.SelLength = std::min(state.SelLength, FMask.Count() - state.SelStart);
        return true;
    }
    if (state.SelStart >= FMask.Count())
        return false;
    PlaceCaret(state, SkipLiteralsForward(state.SelStart + 1));
    return true;
}

void TkvMaskEditStandardMode::SelectAll(TkvMaskEditText &state)
{
    Normalize(state);
    state.SelStart = 0;
    state.SelLength = FMask.Count();
}

void TkvMaskEditStandardMode::Paste(TkvMaskEditText &state, const QString &clipboard)
{
    Normalize(state);
    int end = FMask.ApplyAt(state.Text, state.SelStart, clipboard);
    PlaceCaret(state, SkipLiteralsForward(std::min(end, FMask.Count())));
    state.Accepted = true;
}

void TkvMaskEditStandardMode::SetText(TkvMaskEditText &state, const QString &text)
{
    state.Text = FMask.Apply(text);
    PlaceCaret(state, SkipLiteralsForward(0));
    state.Accepted = true;
}

void TkvMaskEditStandardMode::SyncCaret(TkvMaskEditText &state)
{
    Normalize(state);
    PlaceCaret(state, SkipLiteralsForward(state.SelStart));
}

} // namespace kestrum
