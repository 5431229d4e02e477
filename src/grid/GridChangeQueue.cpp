#include "grid/GridChangeQueue.h"

#include <algorithm>

namespace kestrum {

bool TkvGridChange::IsEqual(const TkvGridChange &other) const
{
    if (Kind != other.Kind || View != other.View || Kind == TkvGridChangeKind::View)
        return false;
    switch (Kind) {
    case TkvGridChangeKind::Size:
        return SizeFlags == other.SizeFlags;
    case TkvGridChangeKind::Record:
        return RowIndex == other.RowIndex && RecordIndex == other.RecordIndex && ItemIndex == other.ItemIndex;
    default:
        return true;
    }
}

bool TkvGridChange::Covers(const TkvGridChange &earlier) const
{
    const bool sameView = View == earlier.View;
    switch (earlier.Kind) {
    case TkvGridChangeKind::Layout:
        // A whole-grid layout or size change covers every view's layout.
        return (Kind == TkvGridChangeKind::Layout || Kind == TkvGridChangeKind::Size) &&
               (sameView || View == nullptr);
    case TkvGridChangeKind::Size:
        return Kind == TkvGridChangeKind::Data && sameView;
    case TkvGridChangeKind::Record:
        return (Kind == TkvGridChangeKind::Layout || Kind == TkvGridChangeKind::Size ||
                Kind == TkvGridChangeKind::Data) &&
               sameView;
    default:
        return false;
    }
}

void TkvGridChangeQueue::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0)
        Process();
}

void TkvGridChangeQueue::Add(const TkvGridChange &change)
{
    if (FUpdateCount == 0 && !FProcessing) {
        FExecutor(change);
        return;
    }
    FQueue.push_back(change);
}

void TkvGridChangeQueue::RemoveView(const TkvCustomGridView *view)
{
    std::erase_if(FQueue, [view](const TkvGridChange &change) { return change.View == view; });
}

void TkvGridChangeQueue::Process()
{
    if (FProcessing)
        return;
    FProcessing = true;
    // A change that throws must not leave the queue refusing to execute anything again.
    struct ProcessingGuard {
        bool &Flag;
        ~ProcessingGuard() { Flag = false; }
    } guard{FProcessing};
    // Changes that the executed ones post are queued and handled in the next round.
    while (!FQueue.empty()) {
        std::vector<TkvGridChange> pending;
        pending.swap(FQueue);
        std::vector<TkvGridChange> kept;
        kept.reserve(pending.size());
        for (const TkvGridChange &change : pending) {
            const bool duplicate = std::any_of(kept.begin(), kept.end(),
                                               [&](const TkvGridChange &k) { return k.IsEqual(change); });
            if (!duplicate)
                kept.push_back(change);
        }
        std::vector<TkvGridChange> remaining;
        remaining.reserve(kept.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            bool covered = false;
            for (std::size_t j = i + 1; j < kept.size() && !covered; ++j)
                covered = kept[j].Covers(kept[i]);
            if (!covered)
                remaining.push_back(kept[i]);
        }
        for (const TkvGridChange &change : remaining)
            FExecutor(change);
    }
}

} // namespace kestrum
