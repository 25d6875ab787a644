#include "net/tcp_connector.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kalder {
namespace {

// A loopback listener on an ephemeral port; closed with the object.
struct Listener {
    int fd = -1;
    std::uint16_t port = 0;
    explicit Listener(int backlog = 4) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_GE(fd, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd, backlog), 0);
        socklen_t length = sizeof address;
        EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port = ntohs(address.sin_port);
    }
    ~Listener() {
        if (fd >= 0)
            ::close(fd);
    }
};

int intOption(int fd, int level, int name) {
    int value = -1;
    socklen_t length = sizeof value;
    EXPECT_EQ(::getsockopt(fd, level, name, &value, &length), 0);
    return value;
}

TEST(TcpConnector, ConnectsWithKeepAliveProbes) {
    Listener listener;
    const TcpConnectResult result = connectTcp("127.0.0.1", listener.port, nullptr);
    ASSERT_TRUE(result.connected()) << result.error;
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(intOption(result.fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(intOption(result.fd, IPPROTO_TCP, TCP_KEEPIDLE), 3);
    EXPECT_EQ(intOption(result.fd, IPPROTO_TCP, TCP_KEEPINTVL), 2);

    // The connection is real: the listener accepts it and a byte crosses it.
    const int accepted = ::accept(listener.fd, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    const char byte = 'k';
    EXPECT_EQ(::send(result.fd, &byte, 1, MSG_NOSIGNAL), 1);
    char got = 0;
    EXPECT_EQ(::recv(accepted, &got, 1, 0), 1);
    EXPECT_EQ(got, 'k');
    ::close(accepted);
    ::close(result.fd);
}

TEST(TcpConnector, ReportsRefusalAndBadAddresses) {
    std::uint16_t closedPort;
    {
        Listener gone;
        closedPort = gone.port;
    }
    TcpConnectResult result = connectTcp("127.0.0.1", closedPort, nullptr);
    EXPECT_FALSE(result.connected());
    EXPECT_EQ(result.error, ECONNREFUSED);
    EXPECT_FALSE(result.noSocket);

    // Names are never resolved here.
    result = connectTcp("localhost", 2000, nullptr);
    EXPECT_FALSE(result.connected());
    EXPECT_EQ(result.error, EINVAL);
}

TEST(TcpConnector, AbortFlagAbandonsAConnectInProgress) {
    // A listener whose accept queue is full drops further connection requests, so a connect to
    // it stays in progress until the abort flag rises.
    Listener listener(0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ASSERT_GE(fd, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(listener.port);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(fd);
    }

    // The flag rises once a wait slice has ended with the connect still under way (as the GUI
    // thread raises it while the connecting thread waits): the next look at it ends the attempt.
    std::atomic<bool> abort{false};
    int slices = 0;
    TcpConnectResult result = connectTcp("127.0.0.1", listener.port, &abort, [&] {
        ++slices;
        abort = true;
    });
    EXPECT_EQ(slices, 1);
    EXPECT_FALSE(result.connected());
    EXPECT_EQ(result.error, ECANCELED);

    // Raised before the call, the flag ends the attempt as soon as it is under way.
    result = connectTcp("127.0.0.1", listener.port, &abort);
    EXPECT_EQ(result.error, ECANCELED);
    for (int fd : fillers)
        ::close(fd);
}

} // namespace
} // namespace kalder
