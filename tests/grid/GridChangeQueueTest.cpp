// The change queue: immediate execution while unlocked, and dropping of
// duplicates and covered changes when the outermost update ends.
#include "GridTestSource.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrum;
using namespace kestrum::test;

namespace {

char KindLetter(TkvGridChangeKind kind)
{
    switch (kind) {
    case TkvGridChangeKind::Layout:
        return 'L';
    case TkvGridChangeKind::Size:
        return 'S';
    case TkvGridChangeKind::Data:
        return 'D';
    case TkvGridChangeKind::Record:
        return 'R';
    case TkvGridChangeKind::FocusedRecord:
        return 'F';
    case TkvGridChangeKind::View:
        return 'V';
    }
    return '?';
}

struct RecordingQueue {
    std::string Executed;
    TkvGridChangeQueue Queue{[this](const TkvGridChange &change) { Executed += KindLetter(change.Kind); }};
    void Add(TkvGridChangeKind kind, TkvCustomGridView *view = nullptr, int rowIndex = -1)
    {
        TkvGridChange change;
        change.Kind = kind;
        change.View = view;
        change.RowIndex = rowIndex;
        Queue.Add(change);
    }
};

} // namespace

TEST(GridChangeQueue, UnlockedChangesExecuteAtOnce)
{
    RecordingQueue q;
    q.Add(TkvGridChangeKind::Layout);
    q.Add(TkvGridChangeKind::Layout);
    EXPECT_EQ(q.Executed, "LL");
}

TEST(GridChangeQueue, LockedChangesAreMergedAtTheOutermostEnd)
{
    auto *view = reinterpret_cast<TkvCustomGridView *>(0x10);
    auto *other = reinterpret_cast<TkvCustomGridView *>(0x20);
    struct Case {
        const char *Name;
        std::vector<std::pair<TkvGridChangeKind, TkvCustomGridView *>> Changes;
        const char *Expected;
    };
    const Case cases[] = {
        {"duplicates dropped", {{TkvGridChangeKind::Layout, view}, {TkvGridChangeKind::Layout, view}}, "L"},
        {"layout covered by later size",
         {{TkvGridChangeKind::Layout, view}, {TkvGridChangeKind::Size, view}},
         "S"},
        {"size covered by later data",
         {{TkvGridChangeKind::Size, view}, {TkvGridChangeKind::Data, view}},
         "D"},
        {"data not covered by later size",
         {{TkvGridChangeKind::Data, view}, {TkvGridChangeKind::Size, view}},
         "DS"},
        {"record covered by later layout",
         {{TkvGridChangeKind::Record, view}, {TkvGridChangeKind::Layout, view}},
         "L"},
        {"other view not covered",
         {{TkvGridChangeKind::Layout, view}, {TkvGridChangeKind::Size, other}},
         "LS"},
        {"whole-grid layout covers a view's",
         {{TkvGridChangeKind::Layout, view}, {TkvGridChangeKind::Layout, nullptr}},
         "L"},
        {"view changes never equal",
         {{TkvGridChangeKind::View, view}, {TkvGridChangeKind::View, view}},
         "VV"},
        {"focus kept beside layout",
         {{TkvGridChangeKind::FocusedRecord, view}, {TkvGridChangeKind::Layout, view}},
         "FL"},
    };
    for (const Case &c : cases) {
        RecordingQueue q;
        q.Queue.BeginUpdate();
        q.Queue.BeginUpdate();
        for (const auto &[kind, v] : c.Changes)
            q.Add(kind, v);
        q.Queue.EndUpdate();
        EXPECT_EQ(q.Executed, "") << c.Name;
        q.Queue.EndUpdate();
        EXPECT_EQ(q.Executed, c.Expected) << c.Name;
    }
}

TEST(GridChangeQueue, RecordChangesOfDifferentRowsAreKept)
{
    RecordingQueue q;
    auto *view = reinterpret_cast<TkvCustomGridView *>(0x10);
    q.Queue.BeginUpdate();
    q.Add(TkvGridChangeKind::Record, view, 1);
    q.Add(TkvGridChangeKind::Record, view, 2);
    q.Add(TkvGridChangeKind::Record, view, 1);
    q.Queue.EndUpdate();
    EXPECT_EQ(q.Executed, "RR");
}

TEST(GridChangeQueue, LockedViewCoalescesSizeAndDataIntoOneDataChange)
{
    LedgerGrid grid = MakeLedgerGrid(true, {{"1", "a", "", ""}});
    std::string executed;
    grid.View->OnChangeExecuted = [&](const TkvGridChange &change) { executed += KindLetter(change.Kind); };
    grid.View->BeginUpdate();
    grid.View->SetBounds(QRect(0, 0, 700, 300)); // a size change
    grid.Source().Reload();                      // a data change
    EXPECT_EQ(executed, "");
    grid.View->EndUpdate();
    EXPECT_EQ(executed, "D");
    // The one layout ran with both changes applied.
    EXPECT_EQ(grid.View->ViewInfo().Bounds(), QRect(0, 0, 700, 300));
    EXPECT_EQ(grid.View->ViewInfo().Rows().size(), 1u);
}

TEST(GridChangeQueue, ChangesOfALoadingViewAreDiscarded)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    std::string executed;
    grid.View->OnChangeExecuted = [&](const TkvGridChange &change) { executed += KindLetter(change.Kind); };
    grid.View->BeginLoading();
    grid.Item->SetWidth(300);
    grid.View->LayoutChanged();
    EXPECT_EQ(executed, "");
    grid.View->EndLoading();
    EXPECT_EQ(executed, "D");
    EXPECT_EQ(grid.View->ViewInfo().HeaderCells()[1].Bounds.width(), 300);
}

TEST(GridChangeQueue, AChangeThatThrowsDoesNotBlockLaterChanges)
{
    // Guards against a failed layout leaving the queue in its processing state for good.
    std::string executed;
    bool fail = true;
    TkvGridChangeQueue queue([&](const TkvGridChange &change) {
        if (fail) {
            fail = false;
            throw std::runtime_error("layout failed");
        }
        executed += KindLetter(change.Kind);
    });
    queue.BeginUpdate();
    queue.Add(TkvGridChange{});
    EXPECT_THROW(queue.EndUpdate(), std::runtime_error);
    TkvGridChange size;
    size.Kind = TkvGridChangeKind::Size;
    queue.Add(size);
    EXPECT_EQ(executed, "S");
}
