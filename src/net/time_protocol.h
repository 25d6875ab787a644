#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
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

// Queries on a thread of their own, so that a slow name server or a dead time server never
// freezes the page that asked. One query runs at a time: a newer one waits for the call under way
// (the system resolver cannot be interrupted) and replaces one that has not started; only the
// newest query's answer is kept.
//
// Threads: start(), take(), running() and busy() from the owner's thread; `ended` runs on the
// query thread with the ticket of the newest query once its answer is in the slot, and must only
// hand that over (post it to the owner's thread, which then calls take()). The thread starts with
// the first query; the destructor stops it and joins it, waiting for a call under way (a
// resolver call, then a connect and a read of at most `timeoutMs` each).
class TimeServerQuery {
public:
    using Ended = std::function<void(std::uint64_t ticket)>;
    // Asks the servers; queryTimeServers unless the owner brings its own. Query thread.
    using Asker = std::function<std::optional<std::uint32_t>(
        const std::vector<TimeServerAddress>& servers, int timeoutMs)>;

    explicit TimeServerQuery(Ended ended, Asker asker = {});
    ~TimeServerQuery();
    TimeServerQuery(const TimeServerQuery&) = delete;
    TimeServerQuery& operator=(const TimeServerQuery&) = delete;

    // Starts a query and returns the ticket its `ended` call carries.
    std::uint64_t start(std::vector<TimeServerAddress> servers, int timeoutMs = 3000);
    // The answer of query `ticket` once it has ended, if it is still the newest: the UNIX time,
    // or 0 when it failed. Handed out once.
    std::optional<std::uint32_t> take(std::uint64_t ticket);
    // The newest query has not ended.
    bool running() const;
    // A call is under way or waits to start (also for a query that a newer one replaced).
    bool busy() const;

private:
    struct Request {
        std::vector<TimeServerAddress> servers;
        int timeoutMs = 0;
    };
    void run();

    const Ended m_ended;
    const Asker m_asker;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_request;      // guarded by m_mutex
    std::uint64_t m_newest = 0;            // guarded by m_mutex: the newest query's ticket
    std::uint64_t m_answered = 0;          // guarded by m_mutex: the ticket of m_answer
    std::optional<std::uint32_t> m_answer; // guarded by m_mutex
    bool m_calling = false;                // guarded by m_mutex
    bool m_stop = false;                   // guarded by m_mutex
    std::thread m_thread;                  // started by the first start()
};

} // namespace kalder
