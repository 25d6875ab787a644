#include "net/time_protocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace kalder {

namespace {

// Public servers that still answer the Time Protocol on TCP port 37.
constexpr std::string_view kPublicTimeServers = "time.nist.gov,time-a.nist.gov";

std::uint16_t timeServicePort() {
    // getservbyname is not thread-safe; its answer is the same every time, so ask once.
    static const std::uint16_t port = [] {
        servent entry{};
        servent* found = nullptr;
        char buffer[1024];
        if (::getservbyname_r("time", "tcp", &entry, buffer, sizeof buffer, &found) == 0 && found)
            return ntohs(static_cast<std::uint16_t>(found->s_port));
        return std::uint16_t{37};
    }();
    return port;
}

std::optional<sockaddr_in> resolve(const TimeServerAddress& server) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (server.host.empty() || ::getaddrinfo(server.host.c_str(), nullptr, &hints, &result) != 0 ||
        !result)
        return std::nullopt;
    sockaddr_in address{};
    std::memcpy(&address, result->ai_addr, sizeof address);
    ::freeaddrinfo(result);
    address.sin_port = htons(server.port != 0 ? server.port : timeServicePort());
    return address;
}

bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int r;
    do
        r = ::poll(&p, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    return r == 1 && (p.revents & (events | POLLHUP | POLLERR)) != 0;
}

std::optional<std::uint32_t> ask(const sockaddr_in& address, int timeoutMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::uint32_t> answer;
    int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    bool connected = r == 0;
    if (!connected && errno == EINPROGRESS && waitFor(fd, POLLOUT, timeoutMs)) {
        int error = 0;
        socklen_t length = sizeof error;
        connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    // The read as a whole waits at most timeoutMs: a server that sends a byte at a time
    // cannot stretch it.
    const auto readEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned char bytes[4];
    std::size_t got = 0;
    while (connected && got < sizeof bytes) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            readEnd - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !waitFor(fd, POLLIN, static_cast<int>(left.count())))
            break;
        const ssize_t n = ::recv(fd, bytes + got, sizeof bytes - got, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // closed early: a short read
        got += static_cast<std::size_t>(n);
    }
    if (got == sizeof bytes)
        answer = unixFromRfc868((std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
                                (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]));
    ::close(fd);
    return answer;
}

} // namespace

std::vector<TimeServerAddress> parseTimeServers(std::string_view text) {
    std::vector<TimeServerAddress> servers;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view entry = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        while (!entry.empty() && entry.front() == ' ')
            entry.remove_prefix(1);
        while (!entry.empty() && entry.back() == ' ')
            entry.remove_suffix(1);
        TimeServerAddress server;
        const std::size_t colon = entry.rfind(':');
        if (colon != std::string_view::npos) {
            const std::string_view digits = entry.substr(colon + 1);
            unsigned port = 0;
            const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), port);
            if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || port == 0 ||
                port > 65535)
                continue;
            server.port = static_cast<std::uint16_t>(port);
            entry = entry.substr(0, colon);
        }
        if (entry.empty())
            continue;
        server.host = std::string(entry);
        servers.push_back(std::move(server));
    }
    return servers;
}

std::vector<TimeServerAddress> defaultTimeServers() {
    if (const char* env = std::getenv("KALDER_TIME_SERVERS"); env && *env)
        return parseTimeServers(env);
    return parseTimeServers(kPublicTimeServers);
}

std::optional<std::uint32_t> queryTimeServers(const std::vector<TimeServerAddress>& servers,
                                              int timeoutMs) {
    // The second server is asked only when the first one's name does not resolve.
    for (std::size_t i = 0; i < servers.size() && i < 2; ++i) {
        if (const std::optional<sockaddr_in> address = resolve(servers[i]))
            return ask(*address, timeoutMs);
    }
    return std::nullopt;
}

TimeServerQuery::TimeServerQuery(Ended ended, Asker asker)
    : m_ended(std::move(ended)), m_asker(asker ? std::move(asker) : Asker(queryTimeServers)) {}

TimeServerQuery::~TimeServerQuery() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_request.reset();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::uint64_t TimeServerQuery::start(std::vector<TimeServerAddress> servers, int timeoutMs) {
    std::uint64_t ticket;
    {
        std::lock_guard lock(m_mutex);
        ticket = ++m_newest;
        m_request = Request{std::move(servers), timeoutMs};
        m_answer.reset();
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_wake.notify_one();
    return ticket;
}

std::optional<std::uint32_t> TimeServerQuery::take(std::uint64_t ticket) {
    std::lock_guard lock(m_mutex);
    if (ticket != m_newest || ticket != m_answered)
        return std::nullopt;
    return std::exchange(m_answer, std::nullopt);
}

bool TimeServerQuery::running() const {
    std::lock_guard lock(m_mutex);
    return m_newest != m_answered;
}

bool TimeServerQuery::busy() const {
    std::lock_guard lock(m_mutex);
    return m_calling || m_request.has_value();
}

// Query thread.
void TimeServerQuery::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_request; });
        if (m_stop)
            return;
        const Request request = std::move(*m_request);
        m_request.reset();
        const std::uint64_t ticket = m_newest;
        m_calling = true;
        lock.unlock();
        const std::optional<std::uint32_t> time = m_asker(request.servers, request.timeoutMs);
        lock.lock();
        m_calling = false;
        // The answer of a query that a newer one replaced goes nowhere.
        if (m_stop || ticket != m_newest)
            continue;
        m_answered = ticket;
        m_answer = time.value_or(0);
        lock.unlock();
        m_ended(ticket);
        lock.lock();
    }
}

} // namespace kalder
