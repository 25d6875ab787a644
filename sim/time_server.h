#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kalder::sim {

// A Time Protocol server (RFC 868 over TCP) beside the recorder, so that the client's time page
// can be pointed at it on loopback: each connection gets the four big-endian bytes of the
// seconds since 1900-01-01 00:00:00 UTC and is closed. The answer is the system clock unless a
// fixed UNIX time was set; the short-answer knob sends two bytes only (a broken server).
// Serves on its own thread; the knobs may be set from any thread.
class TimeServer {
public:
    TimeServer() = default;
    ~TimeServer();
    TimeServer(const TimeServer&) = delete;
    TimeServer& operator=(const TimeServer&) = delete;

    // Listens on `address`:`port` (0 picks a free port) and starts serving.
    bool start(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t port() const { return m_port; }

    void setFixedTime(std::uint32_t unixTime) { m_fixed = unixTime; } // 0: the system clock
    void setShortAnswer(bool on) { m_short = on; }
    unsigned answered() const { return m_answered; }

private:
    void serve();

    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<std::uint32_t> m_fixed{0};
    std::atomic<bool> m_short{false};
    std::atomic<unsigned> m_answered{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The "time-server ..." admin commands (sim/README.md); nothing when `words` is not one.
std::optional<std::string> runTimeServerAdminCommand(TimeServer* server,
                                                     const std::vector<std::string>& words);

} // namespace kalder::sim
