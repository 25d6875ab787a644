#include "sim/sim_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalder::sim {

namespace {

int listenOn(const std::string& address, std::uint16_t port, std::uint16_t& boundPort,
             std::string& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        ::close(fd);
        return -1;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(fd, 64) < 0) {
        error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    boundPort = ntohs(addr.sin_port);
    return fd;
}

} // namespace

SimServer::SimServer(const SimConfig& config, RecorderModel& model, const MediaSource& media)
    : m_config(config), m_model(model), m_media(media), m_epoch(std::chrono::steady_clock::now()) {}

SimServer::~SimServer() {
    m_quit = true;
    if (m_adminThread.joinable())
        m_adminThread.join();
    reapEnded(true);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    if (m_adminFd >= 0)
        ::close(m_adminFd);
}

bool SimServer::listen(std::string& error) {
    m_listenFd = listenOn(m_config.bindAddress, m_config.port, m_port, error);
    if (m_listenFd < 0)
        return false;
    if (m_config.adminPort) {
        std::uint16_t bound = 0;
        m_adminFd = listenOn("127.0.0.1", *m_config.adminPort, bound, error);
        if (m_adminFd < 0)
            return false;
        m_adminPort = bound;
    }
    if (m_config.timePort) {
        m_timeServer = std::make_unique<TimeServer>();
        if (!m_timeServer->start(m_config.bindAddress, *m_config.timePort, error))
            return false;
    }
    return true;
}

void SimServer::run(const std::atomic<bool>& stopFlag) {
    if (m_adminFd >= 0)
        m_adminThread = std::thread([this] { adminLoop(); });
    const pid_t parent = ::getppid();
    while (!stopFlag && !m_quit) {
        // A test that dies without stopping its simulator must not leave it running.
        if (m_config.exitWithParent && ::getppid() != parent)
            break;
        pollfd pfd{m_listenFd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, 200);
        if (ready > 0)
            acceptClient();
        reapEnded(false);
    }
    m_quit = true;
    if (m_adminThread.joinable())
        m_adminThread.join();
    reapEnded(true);
}

void SimServer::acceptClient() {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    char address[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    const std::string peerText = std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));

    ConnectionSettings settings;
    settings.idleTimeoutSeconds = m_config.idleTimeoutSeconds;
    settings.maxFragmentBytes = m_config.maxFragmentBytes;
    settings.byeAfterLogin = m_config.byeAfterLogin;
    settings.aliveReply = m_config.aliveReply;
    settings.verbose = m_config.verbose;
    settings.epoch = m_epoch;
    std::lock_guard lock(m_clientsMutex);
    auto client =
        std::make_unique<ClientConnection>(fd, m_nextId++, peerText, m_model, m_media, settings);
    client->start();
    m_clients.push_back(std::move(client));
}

void SimServer::reapEnded(bool all) {
    std::vector<std::unique_ptr<ClientConnection>> ended;
    {
        std::lock_guard lock(m_clientsMutex);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            if (all || (*it)->ended()) {
                ended.push_back(std::move(*it));
                it = m_clients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& client : ended)
        client->stop();
}

std::vector<std::string> SimServer::describeClients() {
    std::lock_guard lock(m_clientsMutex);
    std::vector<std::string> out;
    for (auto& client : m_clients)
        if (!client->ended())
            out.push_back(client->describe());
    return out;
}

unsigned SimServer::forEachClient(const std::function<void(ClientConnection&)>& fn,
                                  std::optional<int> onlyId) {
    std::lock_guard lock(m_clientsMutex);
    unsigned count = 0;
    for (auto& client : m_clients) {
        if (client->ended() || !client->loggedIn())
            continue;
        if (onlyId && client->id() != *onlyId)
            continue;
        fn(*client);
        ++count;
    }
    return count;
}

void SimServer::adminLoop() {
    struct AdminClient {
        int fd;
        std::string buffer;
    };
    std::vector<AdminClient> clients;
    while (!m_quit) {
        std::vector<pollfd> fds;
        fds.push_back({m_adminFd, POLLIN, 0});
        for (auto& c : clients)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 200) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(m_adminFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                clients.push_back({fd, {}});
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            AdminClient& c = clients[i - 1];
            char chunk[1024];
            const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                ::close(c.fd);
                c.fd = -1;
                continue;
            }
            c.buffer.append(chunk, static_cast<std::size_t>(n));
            std::size_t newline;
            while ((newline = c.buffer.find('\n')) != std::string::npos) {
                std::string line = c.buffer.substr(0, newline);
                c.buffer.erase(0, newline + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                const std::string reply = runAdminCommand(*this, line) + "\n";
                ::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            if (c.buffer.size() > 4096) { // no line that long is a command
                ::close(c.fd);
                c.fd = -1;
            }
        }
        std::erase_if(clients, [](const AdminClient& c) { return c.fd < 0; });
    }
    for (auto& c : clients)
        ::close(c.fd);
}

} // namespace kalder::sim
