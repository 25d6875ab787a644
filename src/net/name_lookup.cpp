#include "net/name_lookup.h"

#include "net/name_resolver.h"

#include <algorithm>
#include <utility>

namespace kalder {

bool isHostName(std::string_view typed) {
    return std::any_of(typed.begin(), typed.end(),
                       [](char ch) { return (ch < '0' || ch > '9') && ch != '.'; });
}

NameLookup::NameLookup(Done done, Resolver resolver)
    : m_done(std::move(done)),
      m_resolver(resolver ? std::move(resolver) : Resolver(resolveRecorderAddress)),
      m_thread([this] { run(); }) {}

NameLookup::~NameLookup() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wanted = 0;
        m_request.reset();
    }
    m_wake.notify_all();
    m_thread.join();
}

std::uint64_t NameLookup::start(std::string typed) {
    std::uint64_t ticket;
    {
        std::lock_guard lock(m_mutex);
        ticket = ++m_ticket;
        m_wanted = ticket;
        m_request = std::move(typed);
    }
    m_wake.notify_one();
    return ticket;
}

void NameLookup::cancel() {
    std::lock_guard lock(m_mutex);
    m_wanted = 0;
    m_request.reset();
}

// Lookup thread.
void NameLookup::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_request; });
        if (m_stop)
            return;
        const std::string typed = std::move(*m_request);
        m_request.reset();
        const std::uint64_t ticket = m_ticket;
        lock.unlock();
        const std::string address = m_resolver(typed);
        lock.lock();
        // Answers of cancelled or replaced lookups go nowhere.
        if (!m_stop && ticket == m_wanted) {
            lock.unlock();
            m_done(ticket, address);
            lock.lock();
        }
    }
}

} // namespace kalder
