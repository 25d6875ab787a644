#include "connect/address_lookup.h"

#include "post/call_poster.h"

#include <utility>

namespace kalder {

AddressLookup::AddressLookup(NameLookup::Resolver resolver, QObject* parent) : QObject(parent) {
    // Lookup thread: only posts. Answers still queued when this object is destroyed are
    // dropped with its child poster.
    auto* answers = new CallPoster(this);
    m_lookup = std::make_unique<NameLookup>(
        [this, answers](std::uint64_t ticket, const std::string& address) {
            answers->post([this, ticket, address] { take(ticket, address); });
        },
        std::move(resolver));
}

AddressLookup::~AddressLookup() {
    // Joins the lookup thread before anything it posts to goes away.
    m_lookup.reset();
}

void AddressLookup::start(const std::string& typed) {
    // The NameLookup answers its newest request only, so every request eventually has an answer
    // with m_newest or a newer ticket: busy() ends.
    m_newest = m_lookup->start(typed);
    m_wanted = m_newest;
}

void AddressLookup::abandon() {
    m_wanted = 0;
}

void AddressLookup::outliveOwner(QObject* keeper) {
    m_orphaned = true;
    setParent(keeper);
    if (!busy())
        deleteLater();
}

void AddressLookup::take(std::uint64_t ticket, const std::string& address) {
    m_answered = ticket;
    if (ticket == m_wanted) {
        m_wanted = 0;
        emit resolved(address);
    }
    if (m_orphaned && !busy())
        deleteLater();
}

} // namespace kalder
