#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace kalder {

// Resolves what the operator typed (resolveRecorderAddress) on a thread of its own, so that a
// slow or dead name server never freezes the window that asked. One lookup at a time: a new
// request replaces one that has not started, and cancel() makes the answer of a lookup that has
// not finished be dropped (the system resolver cannot be interrupted; its thread finishes the
// call and the answer goes nowhere). An answer already being handed over when cancel() runs
// still arrives: the owner keeps the ticket it waits for and ignores any other.
//
// Threads: start() and cancel() from the owner's thread; `done` runs on the lookup thread with
// the request's ticket and the dotted-quad address (empty when nothing resolved), and must only
// hand the answer over (post it). The destructor cancels and joins the thread, waiting for a
// resolver call under way at most as long as the resolver's own time-out.
class NameLookup {
public:
    using Done = std::function<void(std::uint64_t ticket, const std::string& address)>;
    // Turns typed text into a dotted-quad address, empty when nothing resolves; runs on the
    // lookup thread. resolveRecorderAddress unless the owner brings its own.
    using Resolver = std::function<std::string(std::string_view typed)>;

    explicit NameLookup(Done done, Resolver resolver = {});
    ~NameLookup();
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;

    // Returns the ticket the answer will carry.
    std::uint64_t start(std::string typed);
    // Drops the answer of every lookup started so far.
    void cancel();

private:
    void run();

    const Done m_done;
    const Resolver m_resolver;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<std::string> m_request; // guarded by m_mutex
    std::uint64_t m_ticket = 0;           // guarded by m_mutex: the newest request's ticket
    std::uint64_t m_wanted = 0;           // guarded by m_mutex: the ticket whose answer counts
    bool m_stop = false;                  // guarded by m_mutex
    std::thread m_thread;                 // started last
};

// True when `typed` names a host that only a resolver call can turn into an address. Empty text
// and text of digits and dots are rewritten (or refused) by resolveRecorderAddress at once.
bool isHostName(std::string_view typed);

} // namespace kalder
