#pragma once

#include "net/name_lookup.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

namespace kalder {

// A window's way to a NameLookup: answers come back on the GUI thread as resolved(). One lookup
// counts at a time; abandon() makes its answer be ignored (by ticket) while the resolver call
// itself runs to its end on the lookup thread.
//
// The system resolver cannot be interrupted, and joining the lookup thread waits for it. So that
// a window that closes during a slow lookup does not freeze the GUI thread, the window hands its
// lookup to a longer-lived object with outliveOwner(); the lookup deletes itself once the call
// under way has answered.
//
// Threads: everything on the GUI thread; the lookup thread only posts the answer to this object,
// which outlives the NameLookup it owns (the destructor joins the lookup thread first).
class AddressLookup : public QObject {
    Q_OBJECT
public:
    explicit AddressLookup(NameLookup::Resolver resolver, QObject* parent);
    ~AddressLookup() override;

    void start(const std::string& typed);
    void abandon();
    // A resolver call may still be under way (also for an abandoned lookup).
    bool busy() const { return m_newest != m_answered; }
    // Becomes a child of `keeper` and deletes itself when no resolver call is under way.
    void outliveOwner(QObject* keeper);

signals:
    // The dotted-quad address of the lookup that counts; empty when nothing resolved.
    void resolved(const std::string& address);

private:
    void take(std::uint64_t ticket, const std::string& address);

    std::uint64_t m_newest = 0;   // ticket of the newest request
    std::uint64_t m_answered = 0; // ticket of the newest answer that arrived
    std::uint64_t m_wanted = 0;   // ticket whose answer counts; 0 when none does
    bool m_orphaned = false;
    std::unique_ptr<NameLookup> m_lookup; // created last, destroyed first
};

} // namespace kalder
