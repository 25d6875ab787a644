#include "net/tcp_connector.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalder {

namespace {

// How often a connect in progress looks at the abort flag.
constexpr int kConnectPollMs = 100;

} // namespace

TcpConnectResult connectTcp(const std::string& address, std::uint16_t port,
                            const std::atomic<bool>* abort) {
    return connectTcp(address, port, abort, {});
}

TcpConnectResult connectTcp(const std::string& address, std::uint16_t port,
                            const std::atomic<bool>* abort,
                            const std::function<void()>& stillWaiting) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return {-1, errno, true};
    const int on = 1, idle = 3, interval = 2;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    int error = 0;
    if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) {
        error = EINVAL;
    } else {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
            error = errno;
            if (error == EINPROGRESS || error == EINTR) {
                error = EINPROGRESS;
                while (error == EINPROGRESS) {
                    if (abort && abort->load()) {
                        error = ECANCELED;
                        break;
                    }
                    pollfd pfd{fd, POLLOUT, 0};
                    if (::poll(&pfd, 1, kConnectPollMs) > 0) {
                        socklen_t len = sizeof error;
                        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
                            error = errno;
                    } else if (stillWaiting) {
                        stillWaiting();
                    }
                }
            }
        }
    }
    if (error != 0) {
        ::close(fd);
        return {-1, error};
    }
    return {fd, 0};
}

} // namespace kalder
