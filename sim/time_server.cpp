#include "sim/time_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalder::sim {

namespace {

constexpr std::uint32_t kUnixToRfc868 = 2208988800u; // seconds from 1900 to 1970

} // namespace

TimeServer::~TimeServer() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TimeServer::start(const std::string& address, std::uint16_t port, std::string& error) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        error = std::string("time server socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1 ||
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::listen(m_fd, 16) < 0) {
        error = "time server " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    socklen_t length = sizeof addr;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &length);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
    return true;
}

void TimeServer::serve() {
    while (!m_stop) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, 200) <= 0)
            continue;
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::uint32_t unixTime = m_fixed;
        if (unixTime == 0)
            unixTime =
                static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count());
        const std::uint32_t value = unixTime + kUnixToRfc868; // modulo 2^32, as the protocol
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
        const std::size_t count = m_short ? 2 : 4;
        (void)::send(client, bytes, count, MSG_NOSIGNAL);
        ::close(client);
        ++m_answered;
    }
}

std::optional<std::string> runTimeServerAdminCommand(TimeServer* server,
                                                     const std::vector<std::string>& words) {
    if (words.empty() || words[0] != "time-server")
        return std::nullopt;
    if (!server)
        return std::string("error no time server (start with --time-port)");
    if (words.size() == 1)
        return "ok " + std::to_string(server->port()) + " " + std::to_string(server->answered());
    if (words.size() == 3 && words[1] == "fixed") {
        std::uint32_t value = 0;
        const std::string& text = words[2];
        const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
        if (r.ec != std::errc() || r.ptr != text.data() + text.size())
            return std::string("error usage: time-server fixed UNIX_SECONDS (0: system clock)");
        server->setFixedTime(value);
        return std::string("ok");
    }
    if (words.size() == 3 && words[1] == "short" && (words[2] == "on" || words[2] == "off")) {
        server->setShortAnswer(words[2] == "on");
        return std::string("ok");
    }
    return std::string("error usage: time-server [fixed UNIX_SECONDS | short on|off]");
}

} // namespace kalder::sim
