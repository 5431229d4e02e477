#include "app/ChangeWatch.h"

#include "data/DbChangeDispatcher.h"
#include "data/DbDataProvider.h"
#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/DbQuery.h"
#include "db/PgDriver.h"
#include "ledger/JournalChanges.h"

#include <libpq-fe.h>

#include <QAbstractEventDispatcher>
#include <QMainWindow>
#include <QPointer>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace kestrum {

namespace detail {

class TChangeWatch : public QObject {
public:
    explicit TChangeWatch(TDbConnection &connection) : FConnection(connection)
    {
        FFileTimer.setInterval(FileChangeInterval);
        connect(&FFileTimer, &QTimer::timeout, this, [this] { Take(); });
        // While an entry holds changes back, look again now and then
        // whether it was saved or given up; the database is not asked.
        FRetryTimer.setInterval(250);
        connect(&FRetryTimer, &QTimer::timeout, this, [this] { Retry(); });
    }

    TDbConnection &Connection() const { return FConnection; }

    void AddPage(QWidget &page, TkvDBDataProvider &provider)
    {
        FDispatcher.Add(provider);
        FPages.push_back({&page, &provider});
        if (TDbQuery *query = provider.DataSet()) {
            // Rows just read are where news starts; a connection opened anew
            // (another ledger, a server reached again) is watched anew.
            // The record set may outlive the pages and this watch.
            const QPointer<TChangeWatch> watch(this);
            query->AfterOpen = [watch, before = std::move(query->AfterOpen)](TDbQuery *dataSet) {
                if (before)
                    before(dataSet);
                if (watch)
                    watch->Take(false);
            };
            query->AfterClose = [watch, before = std::move(query->AfterClose)](TDbQuery *dataSet) {
                if (before)
                    before(dataSet);
                if (watch)
                    watch->DropSocket();
            };
        }
        Take();
    }
    //! False once no page is left.
    bool RemovePage(QObject *page)
    {
        for (auto it = FPages.begin(); it != FPages.end(); ++it)
            if (it->Page == page) {
                FDispatcher.Remove(*it->Provider);
                FPages.erase(it);
                break;
            }
        return !FPages.empty();
    }
    bool Serves(const TkvDBDataProvider &provider) const { return FDispatcher.Follows(provider); }

    //! Looks for news in the way the connection's engine gives it: a file
    //! on the timer, a server on its socket.
    void Arm()
    {
        if (!FConnection.Connected()) {
            DropSocket();
            FFileTimer.stop();
            return;
        }
        auto *server = dynamic_cast<TPgDriver *>(&FConnection.Driver());
        if (!server) {
            DropSocket();
            if (!FFileTimer.isActive())
                FFileTimer.start();
            // The journal is read from where it ends when watching begins.
            try {
                Journal();
            } catch (const std::exception &) {
                // Without it, a change reads the pages again.
            }
            return;
        }
        FFileTimer.stop();
        if (FSocketDriver == server)
            return;
        DropSocket();
        try {
            server->WatchChanges();
        } catch (const std::exception &error) {
            Report(error);
            return;
        }
        FSocketDriver = server;
        FSocket = std::make_unique<QSocketNotifier>(PQsocket(server->Handle()), QSocketNotifier::Read);
        connect(FSocket.get(), &QSocketNotifier::activated, this, [this] { Take(); });
        // A notice that came in while the program ran a statement of its
        // own was read off the socket with the statement's result: it is
        // taken before the program waits again.
        if (QAbstractEventDispatcher *events = QAbstractEventDispatcher::instance())
            FBeforeWait = connect(events, &QAbstractEventDispatcher::aboutToBlock, this, [this] { Take(); });
    }

    //! Takes what the connection heard; `apply` false leaves applying it
    //! until the program is back in its event loop (a record set that has
    //! just opened must finish opening first).
    void Take(bool apply = true)
    {
        if (FTaking || FRetired || FHeld)
            return;
        Arm();
        if (!FConnection.Connected())
            return;
        FTaking = true;
        std::vector<TDbChange> changes;
        try {
            changes = FConnection.Driver().TakeChanges(0);
        } catch (const std::exception &error) {
            // A server link that broke: nothing more is heard until the
            // pages open on it again.
            FTaking = false;
            if (FSocketDriver) {
                DropSocket();
                FFileTimer.stop();
            }
            Report(error);
            return;
        }
        if (!FSocketDriver && !changes.empty())
            changes = FromJournal();
        FTaking = false;
        FHeard.insert(FHeard.end(), changes.begin(), changes.end());
        if (!apply) {
            if (!FHeard.empty())
                QTimer::singleShot(0, this, [this] { Take(); });
            return;
        }
        std::vector<TDbChange> heard;
        heard.swap(FHeard);
        if (!heard.empty() || FDispatcher.Waiting()) {
            Dispatch(heard);
            // A notice that came while the pages read what they heard was
            // read off the socket with their statements' results, and the
            // socket stays quiet: it is taken soon, not when the program
            // next waits (a loop that only polls for events never waits).
            if (FSocketDriver && !heard.empty())
                QTimer::singleShot(0, this, [this] { Take(); });
        }
    }

    //! What was written until now through other connections of this
    //! program is known: it read its pages again itself.
    void Acknowledge()
    {
        if (!FConnection.Connected() || FSocketDriver)
            return;
        try {
            FConnection.Driver().TakeChanges(0);
            Journal().Skip();
        } catch (const std::exception &) {
            // Heard later as a change, at worst read again once.
        }
    }

    //! While held, nothing is taken (the program writes through another
    //! connection of its own and shows those rows itself).
    void Hold(bool held) { FHeld = held; }

    //! No page is left: nothing is looked at any more (the connection may
    //! go before this is deleted).
    void Retire()
    {
        FRetired = true;
        FFileTimer.stop();
        FRetryTimer.stop();
        DropSocket();
    }

    //! Lets go of a server's socket (before its connection closes).
    void DropSocket()
    {
        FSocket.reset();
        disconnect(FBeforeWait);
        FSocketDriver = nullptr;
    }

private:
    struct TPage {
        QObject *Page;
        TkvDBDataProvider *Provider;
    };

    //! A file's journal for the file now open.
    TJournalChanges &Journal()
    {
        TDbDriver &driver = FConnection.Driver();
        if (!FJournal || FJournalDriver != &driver) {
            FJournal = std::make_unique<TJournalChanges>(driver);
            FJournalDriver = &driver;
        }
        return *FJournal;
    }

    //! A file only says that another connection committed; its journal
    //! says which entries, so that the pages read those rows again instead
    //! of every row.
    std::vector<TDbChange> FromJournal()
    {
        try {
            return Journal().Since();
        } catch (const std::exception &) {
            return {TDbChange{}};
        }
    }

    void Retry()
    {
        if (!FDispatcher.Waiting()) {
            FRetryTimer.stop();
            return;
        }
        Dispatch({});
    }

    void Dispatch(const std::vector<TDbChange> &changes)
    {
        bool waiting = false;
        try {
            waiting = FDispatcher.Dispatch(changes);
        } catch (const std::exception &error) {
            Report(error);
            waiting = FDispatcher.Waiting();
        }
        if (waiting && !FRetryTimer.isActive())
            FRetryTimer.start();
        else if (!waiting)
            FRetryTimer.stop();
    }

    //! A change that could not be shown: the window's status bar says so.
    void Report(const std::exception &error) const
    {
        for (const TPage &page : FPages)
            if (auto *window = qobject_cast<QMainWindow *>(static_cast<QWidget *>(page.Page)->window())) {
                window->statusBar()->showMessage(QString::fromUtf8("未能显示其他用户的修改：") +
                                                 QString::fromUtf8(error.what()));
                return;
            }
    }

    TDbConnection &FConnection;
    TkvDbChangeDispatcher FDispatcher;
    std::vector<TPage> FPages;
    TPgDriver *FSocketDriver = nullptr; //!< the server whose socket is watched
    QTimer FFileTimer;
    QTimer FRetryTimer;
    std::unique_ptr<QSocketNotifier> FSocket;
    QMetaObject::Connection FBeforeWait;
    bool FTaking = false;
    bool FRetired = false;
    bool FHeld = false;
    std::vector<TDbChange> FHeard; //!< taken, not applied yet
    std::unique_ptr<TJournalChanges> FJournal;
    const TDbDriver *FJournalDriver = nullptr; //!< the connection FJournal reads
};

} // namespace detail

namespace {

std::vector<detail::TChangeWatch *> &Watches()
{
    static std::vector<detail::TChangeWatch *> watches;
    return watches;
}

} // namespace

void FollowOtherWriters(QWidget &page, TkvDBDataProvider &provider)
{
    TDbQuery *query = provider.DataSet();
    TDbConnection *connection = query ? query->Connection() : nullptr;
    if (!connection)
        return;
    auto &watches = Watches();
    auto found = std::find_if(watches.begin(), watches.end(),
                              [&](detail::TChangeWatch *w) { return &w->Connection() == connection; });
    detail::TChangeWatch *watch = found != watches.end() ? *found : nullptr;
    if (!watch) {
        watch = new detail::TChangeWatch(*connection);
        watches.push_back(watch);
    }
    watch->AddPage(page, provider);
    QObject::connect(&page, &QObject::destroyed, watch, [watch](QObject *gone) {
        if (!watch->RemovePage(gone)) {
            watch->Retire();
            std::erase(Watches(), watch);
            watch->deleteLater();
        }
    });
}

detail::TChangeWatch *ChangeWatchOf(const TkvDBDataProvider &provider)
{
    for (detail::TChangeWatch *watch : Watches())
        if (watch->Serves(provider))
            return watch;
    return nullptr;
}

void AcknowledgeOwnWrites(const TDbConnection &connection)
{
    for (detail::TChangeWatch *watch : Watches())
        if (&watch->Connection() == &connection)
            watch->Acknowledge();
}

TOwnWrites::TOwnWrites(const TDbConnection &connection)
{
    for (detail::TChangeWatch *watch : Watches())
        if (&watch->Connection() == &connection) {
            watch->Take();
            watch->Hold(true);
            FWatches.emplace_back(watch);
        }
}

TOwnWrites::~TOwnWrites()
{
    for (const QPointer<detail::TChangeWatch> &watch : FWatches)
        if (watch) {
            watch->Hold(false);
            watch->Acknowledge();
        }
}

void TakeChangesNow(detail::TChangeWatch &watch)
{
    watch.Take();
}

} // namespace kestrum
