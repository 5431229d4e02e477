#include "app/ServerLink.h"

#include "db/PgDriver.h"

#include <libpq-fe.h>

#include <poll.h>

namespace kestrum {

TServerLink::TServerLink(std::unique_ptr<TLinkReconnect> link, std::chrono::milliseconds retryEvery,
                         std::chrono::milliseconds giveUpAfter, TClock clock)
    : FLink(std::move(link)), FRetryEvery(retryEvery), FGiveUpAfter(giveUpAfter), FClock(std::move(clock))
{
}

void TServerLink::enter(TServerLinkState state)
{
    if (FState == state)
        return;
    FState = state;
    if (OnChange)
        OnChange(state);
}

void TServerLink::failed()
{
    ++FFailedTries;
    FLastFailure = FLink->Failure();
    FNextTry = FClock() + FRetryEvery;
    enter(TServerLinkState::Lost);
}

TServerLinkState TServerLink::Tick()
{
    const auto now = FClock();
    switch (FState) {
    case TServerLinkState::Connected:
        if (!FLink->Broken())
            break;
        // The first try at once: a server restarted meanwhile is back already.
        FFailedTries = 0;
        FLastFailure.clear();
        FNextTry = now;
        enter(TServerLinkState::Lost);
        [[fallthrough]];
    case TServerLinkState::Lost:
        if (now < FNextTry)
            break;
        if (!FLink->Start()) {
            failed();
            break;
        }
        FGiveUpAt = now + FGiveUpAfter;
        enter(TServerLinkState::Retrying);
        [[fallthrough]];
    case TServerLinkState::Retrying:
        switch (FLink->Step()) {
        case TLinkReconnect::TStep::Done:
            FFailedTries = 0;
            FLastFailure.clear();
            enter(TServerLinkState::Connected);
            break;
        case TLinkReconnect::TStep::Failed:
            failed();
            break;
        case TLinkReconnect::TStep::Pending:
            if (FClock() >= FGiveUpAt) {
                FLink->Abandon();
                failed();
            }
            break;
        }
        break;
    }
    return FState;
}

void TServerLink::TryNow()
{
    if (FState == TServerLinkState::Lost)
        FNextTry = FClock();
}

QString TServerLink::StatusText() const
{
    switch (FState) {
    case TServerLinkState::Connected:
        return QString();
    case TServerLinkState::Retrying:
        return QStringLiteral("与数据库服务器的连接断开了，正在重新连接……");
    case TServerLinkState::Lost: {
        const auto wait = std::chrono::duration_cast<std::chrono::seconds>(FNextTry - FClock() +
                                                                           std::chrono::milliseconds(999));
        QString text = QStringLiteral("与数据库服务器的连接断开了，%1 秒后重试（已试 %2 次）。")
                           .arg(std::max<long long>(0, wait.count()))
                           .arg(FFailedTries);
        if (!FLastFailure.isEmpty())
            text += ' ' + FLastFailure;
        return text + QStringLiteral(" 正在录入的内容不会丢失。");
    }
    }
    return QString();
}

std::chrono::milliseconds TServerLink::TickInterval() const
{
    // Steps of a reconnect go quickly; a link that works is looked at now and then.
    return FState == TServerLinkState::Retrying ? std::chrono::milliseconds(50)
                                                : std::chrono::milliseconds(1000);
}

bool TPgLinkReconnect::Broken() const
{
    return PQstatus(FDriver.Handle()) == CONNECTION_BAD;
}

bool TPgLinkReconnect::Start()
{
    FWantWrite = true;
    const TPgConnectWords words(FDriver.Handle());
    if (PQresetStart(FDriver.Handle()) == 0) {
        FFailure = QString::fromUtf8(TPgDriver::ConnectFailure(FDriver.Handle()).what());
        return false;
    }
    return true;
}

TLinkReconnect::TStep TPgLinkReconnect::Step()
{
    pg_conn *connection = FDriver.Handle();
    // libpq asks to be called again only once its socket is ready.
    for (;;) {
        pollfd socket{PQsocket(connection), short(FWantWrite ? POLLOUT : POLLIN), 0};
        if (socket.fd < 0 || ::poll(&socket, 1, 0) == 0)
            return socket.fd < 0 ? TStep::Failed : TStep::Pending;
        PostgresPollingStatusType status;
        {
            const TPgConnectWords words(connection);
            status = PQresetPoll(connection);
        }
        switch (status) {
        case PGRES_POLLING_READING:
            FWantWrite = false;
            break;
        case PGRES_POLLING_WRITING:
            FWantWrite = true;
            break;
        case PGRES_POLLING_OK:
            try {
                // A new session on the server: the settings the driver made
                // when it connected, its statements prepared anew when next
                // run, and listening for others' changes.
                FDriver.RenewSession();
                FDriver.WatchChanges();
            } catch (const std::exception &error) {
                FFailure = QString::fromUtf8(error.what());
                return TStep::Failed;
            }
            return TStep::Done;
        default:
            FFailure = QString::fromUtf8(TPgDriver::ConnectFailure(connection).what());
            return TStep::Failed;
        }
    }
}

void TPgLinkReconnect::Abandon()
{
    // A connection left half made is as broken as before; the next Start
    // begins anew.
    FFailure = QStringLiteral("服务器没有在规定时间内应答。");
}

} // namespace kestrum
