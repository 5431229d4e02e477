#pragma once
// What the server tests read of a driver's failure, and a loopback port of
// their own for a server that is down.
#include "db/DbDriver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace kestrum::test {

struct TFailure {
    TDbErrorKind Kind = TDbErrorKind::Other;
    std::string Message;
};

inline TFailure FailureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EDbDriverError &e) {
        return {e.Kind(), e.what()};
    }
    ADD_FAILURE() << "no failure";
    return {};
}

inline bool Says(const TFailure &failure, const char *words)
{
    return failure.Message.find(words) != std::string::npos;
}

//! A loopback TCP socket listening on a port of its own.
class TListener {
public:
    TListener()
    {
        FSocket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(FSocket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::getsockname(FSocket, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
            ::listen(FSocket, 4) != 0)
            ADD_FAILURE() << "no loopback socket";
        FPort = ntohs(address.sin_port);
    }
    ~TListener()
    {
        if (FSocket >= 0)
            ::close(FSocket);
    }
    int Port() const { return FPort; }
    int Socket() const { return FSocket; }
    //! Nobody listens there any more: connecting is refused.
    void Close()
    {
        ::close(FSocket);
        FSocket = -1;
    }

private:
    int FSocket = -1;
    int FPort = 0;
};

} // namespace kestrum::test
