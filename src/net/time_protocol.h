#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder {

// The Time Protocol (RFC 868) over TCP: the server sends four big-endian bytes, the seconds since
// 1900-01-01 00:00:00 UTC, and closes. The time page previews the recorder's clock with it.

// Seconds from 1900 to 1970 subtracted modulo 2^32 (2085978496 = 2^32 - 2208988800).
inline constexpr std::uint32_t kRfc868ToUnix = 2085978496u;
inline std::uint32_t unixFromRfc868(std::uint32_t value) {
    return value + kRfc868ToUnix;
}

struct TimeServerAddress {
    std::string host;
    std::uint16_t port = 0; // 0: the "time" service's port (37 when the system does not know it)
    friend bool operator==(const TimeServerAddress&, const TimeServerAddress&) = default;
};

// The servers the time page asks, in order. `KALDER_TIME_SERVERS` (a comma-separated list of
// "host" or "host:port", for example "127.0.0.1:3737" to point the page at the recorder
// simulator's time server) replaces the two public defaults when it is set and not empty.
std::vector<TimeServerAddress> defaultTimeServers();
// "host[:port],host[:port]": entries that are empty or carry a bad port are skipped.
std::vector<TimeServerAddress> parseTimeServers(std::string_view text);

// Asks the first server; the second only when the first host name does not resolve. Nothing on
// any failure (no host, no socket, no connection, a short read). Connect and read each wait at
// most `timeoutMs`. Blocks the calling thread: never call it on the GUI thread.
std::optional<std::uint32_t> queryTimeServers(const std::vector<TimeServerAddress>& servers,
                                              int timeoutMs = 3000);

// One query on a thread of its own, so that a slow name server or a dead time server never
// freezes the page that asked. The owner polls take() from its own thread. The thread is
// detached and keeps only a shared answer slot: an owner that goes away leaves nothing behind
// but a thread that ends after its time-outs (the system resolver cannot be interrupted).
class TimeServerQuery {
public:
    TimeServerQuery();
    ~TimeServerQuery();
    TimeServerQuery(const TimeServerQuery&) = delete;
    TimeServerQuery& operator=(const TimeServerQuery&) = delete;

    // Starts a query; the answer of an earlier one that has not been taken is dropped.
    void start(std::vector<TimeServerAddress> servers, int timeoutMs = 3000);
    // The answer once the newest query has ended: the UNIX time, or 0 when it failed. Nothing
    // while it runs (or when none was started); the answer is handed out once.
    std::optional<std::uint32_t> take();
    bool running() const;

private:
    struct Slot;
    std::shared_ptr<Slot> m_slot;
};

} // namespace kalder
