#pragma once
// What other programs write into the open ledger shows on the entry pages
// within a second. One watch serves every page on a connection: a ledger
// file is asked on a timer whether another connection committed (one cheap
// pragma every half second); a server tells of each changed row on the
// connection's socket, which wakes the program only when a notice arrives.
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QWidget;

namespace kestrum {

class TkvDBDataProvider;

//! The provider (the grid of `page`) follows other programs' writes into its
//! record set's table for as long as the page lives.
void FollowOtherWriters(QWidget &page, TkvDBDataProvider &provider);

class TDbConnection;

//! The program wrote through another connection of its own (an undo, an
//! import) and read its pages again: the watch of `connection` takes what
//! was written until now as known instead of reading the pages once more.
void AcknowledgeOwnWrites(const TDbConnection &connection);

namespace detail {
class TChangeWatch;
}

//! The program writes through another connection of its own (an undo or
//! redo) and shows the rows it wrote itself. While this lives, the watch of
//! `connection` has shown what other programs wrote before and hears
//! nothing (what it would hear next is the program's own write); at its
//! end, what was written until then is taken as known.
class TOwnWrites {
public:
    explicit TOwnWrites(const TDbConnection &connection);
    ~TOwnWrites();
    TOwnWrites(const TOwnWrites &) = delete;
    TOwnWrites &operator=(const TOwnWrites &) = delete;

private:
    std::vector<QPointer<detail::TChangeWatch>> FWatches;
};

//! The watch of the provider's connection (nullptr when none), for tests
//! that make it look now instead of waiting for its timer or socket.
detail::TChangeWatch *ChangeWatchOf(const TkvDBDataProvider &provider);
//! Takes and applies the changes heard so far; what must wait still waits.
void TakeChangesNow(detail::TChangeWatch &watch);

//! Milliseconds between two looks at a ledger file.
inline constexpr int FileChangeInterval = 500;

} // namespace kestrum
