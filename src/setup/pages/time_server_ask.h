#pragma once

#include "net/time_protocol.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <vector>

namespace kalder {

// A page's way to a TimeServerQuery: the query thread posts the newest query's ticket to this
// object, which then takes the answer from the query's slot and emits answered() on the GUI
// thread. An answer of an older query, or one that arrives after a newer start(), is dropped by
// its ticket.
//
// Joining the query thread waits for a resolver call under way, which cannot be interrupted. So
// that a page that goes during a slow query does not freeze the GUI thread, the page hands this
// object to a longer-lived one with outliveOwner(); it deletes itself once no call is under way.
//
// Threads: everything on the GUI thread; the query thread only posts to this object, which
// outlives the query it owns (the destructor joins the query thread first).
class TimeServerAsk : public QObject {
    Q_OBJECT
public:
    explicit TimeServerAsk(QObject* parent, TimeServerQuery::Asker asker = {});
    ~TimeServerAsk() override;

    void start(std::vector<TimeServerAddress> servers, int timeoutMs = 3000);
    // The newest query has not answered yet.
    bool running() const { return m_query->running(); }
    // A call is under way (also one whose answer is no longer wanted).
    bool busy() const { return m_query->busy(); }
    // Becomes a child of `keeper`, answers nobody any more, and deletes itself when no call is
    // under way.
    void outliveOwner(QObject* keeper);

signals:
    // The UNIX time of the newest query, or 0 when it failed.
    void answered(std::uint32_t unixTime);

private:
    void ended(std::uint64_t ticket);

    std::uint64_t m_newest = 0;
    bool m_orphaned = false;
    std::unique_ptr<TimeServerQuery> m_query; // created last, destroyed first
};

} // namespace kalder
