#pragma once

// A TCP proxy on loopback for the tests of lost connections: it forwards every connection to a
// target port and can cut the connections it carries, stall them (nothing forwarded either way,
// sockets kept open) and refuse new ones (accepted and closed at once, as a recorder that is
// restarting). The target can change while it runs (a recorder restarted on another port is
// the same address for the client).
//
//   TcpFaultProxy proxy(sim.port());
//   client connects to 127.0.0.1:proxy.port()
//   proxy.cut();  proxy.setStalled(true);  proxy.setRefusing(true);  proxy.setTarget(port);
//
// One thread accepts and pumps every connection (poll with a short timeout); the destructor
// stops and joins it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace kalder::test {

class TcpFaultProxy {
public:
    explicit TcpFaultProxy(std::uint16_t target) : m_target(target) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr = loopback(0);
        socklen_t length = sizeof addr;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_listen, 16) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~TcpFaultProxy() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (const Link& link : m_links)
            closeLink(link);
        ::close(m_listen);
    }
    TcpFaultProxy(const TcpFaultProxy&) = delete;
    TcpFaultProxy& operator=(const TcpFaultProxy&) = delete;

    std::uint16_t port() const { return m_port; } // 0 when the proxy could not listen
    void setTarget(std::uint16_t target) { m_target = target; }
    void setStalled(bool stalled) { m_stalled = stalled; }
    void setRefusing(bool refusing) { m_refusing = refusing; }
    // Closes every connection carried now (both sides), on the proxy's thread.
    void cut() { ++m_cutRequests; }
    // Connections accepted so far (also the refused ones).
    unsigned accepted() const { return m_accepted; }

private:
    struct Link {
        int client;
        int server;
    };

    static sockaddr_in loopback(std::uint16_t port) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return addr;
    }
    static void closeLink(const Link& link) {
        ::shutdown(link.client, SHUT_RDWR);
        ::close(link.client);
        ::shutdown(link.server, SHUT_RDWR);
        ::close(link.server);
    }
    // One read from `from` written whole to `to`; false when either side has ended.
    static bool pump(int from, int to) {
        char buffer[65536];
        const ssize_t n = ::recv(from, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0)
            return false;
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        for (ssize_t sent = 0; sent < n;) {
            const ssize_t w = ::send(to, buffer + sent, std::size_t(n - sent), MSG_NOSIGNAL);
            if (w <= 0)
                return false;
            sent += w;
        }
        return true;
    }

    void acceptOne() {
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        ++m_accepted;
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in addr = loopback(m_target);
        if (m_refusing ||
            ::connect(server, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(server);
            ::close(client);
            return;
        }
        m_links.push_back({client, server});
    }

    void run() {
        unsigned cutsDone = 0;
        while (!m_stop) {
            if (const unsigned cuts = m_cutRequests; cuts != cutsDone) {
                cutsDone = cuts;
                for (const Link& link : m_links)
                    closeLink(link);
                m_links.clear();
            }
            std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
            const bool stalled = m_stalled;
            for (const Link& link : m_links) {
                // A negative descriptor is left out of the poll: a stalled link reads nothing.
                fds.push_back({stalled ? -1 : link.client, POLLIN, 0});
                fds.push_back({stalled ? -1 : link.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0)
                continue;
            if (!stalled) {
                std::vector<Link> kept;
                for (std::size_t i = 0; i < m_links.size(); ++i) {
                    const Link link = m_links[i];
                    const short c = fds[1 + 2 * i].revents, s = fds[2 + 2 * i].revents;
                    const short ready = POLLIN | POLLHUP | POLLERR;
                    bool alive = true;
                    if (c & ready)
                        alive = pump(link.client, link.server);
                    if (alive && (s & ready))
                        alive = pump(link.server, link.client);
                    if (alive)
                        kept.push_back(link);
                    else
                        closeLink(link);
                }
                m_links = std::move(kept);
            }
            if (fds[0].revents & POLLIN)
                acceptOne();
        }
    }

    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<std::uint16_t> m_target;
    std::atomic<bool> m_stalled{false};
    std::atomic<bool> m_refusing{false};
    std::atomic<unsigned> m_cutRequests{0};
    std::atomic<unsigned> m_accepted{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::vector<Link> m_links; // the proxy's thread only (and the destructor after the join)
};

} // namespace kalder::test
