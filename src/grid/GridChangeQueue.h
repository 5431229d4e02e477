#pragma once
// How model changes reach the screen: each change becomes one change object.
// While the update counter is zero a change executes at once; while it is
// above zero changes are queued, and when it returns to zero the queue drops
// duplicates and changes that a later one covers, then executes the rest in
// order.
#include <QRect>

#include <functional>
#include <vector>

namespace kestrum {

class TkvCustomGridView;

enum class TkvGridChangeKind : std::uint8_t {
    Layout,        //!< recompute which parts exist, their sizes and positions; repaint
    Size,          //!< reset cached row heights, then as Layout
    Data,          //!< rows were rebuilt; then as Layout
    Record,        //!< repaint one row or one cell
    FocusedRecord, //!< make the focused row visible and repaint the rows concerned
    View,          //!< repaint a rectangle or the whole view
};

struct TkvGridChange {
    TkvGridChangeKind Kind = TkvGridChangeKind::Layout;
    TkvCustomGridView *View = nullptr; //!< nullptr: the whole grid
    int SizeFlags = 0;
    int RowIndex = -1;
    int RecordIndex = -1;
    int ItemIndex = -1;
    int PreviousFocusedRowIndex = -1;
    bool NewItemRowFocusChanged = false;
    QRect ViewRect; //!< empty: the whole view

    //! Equal changes are dropped from the queue; view changes never count as equal.
    bool IsEqual(const TkvGridChange &other) const;
    //! Whether this (later) change makes an earlier one unnecessary.
    bool Covers(const TkvGridChange &earlier) const;
};

class TkvGridChangeQueue {
public:
    using Executor = std::function<void(const TkvGridChange &)>;
    explicit TkvGridChangeQueue(Executor executor) : FExecutor(std::move(executor)) {}

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    bool IsLocked() const { return FUpdateCount > 0; }

    void Add(const TkvGridChange &change);
    //! Forgets queued changes of a view that goes away.
    void RemoveView(const TkvCustomGridView *view);
    std::size_t QueuedCount() const { return FQueue.size(); }

private:
    void Process();

    Executor FExecutor;
    std::vector<TkvGridChange> FQueue;
    int FUpdateCount = 0;
    bool FProcessing = false;
};

} // namespace kestrum
