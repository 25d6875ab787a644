#include "setup/pages/time_server_ask.h"

#include <utility>

namespace kalder {

TimeServerAsk::TimeServerAsk(QObject* parent, TimeServerQuery::Asker asker) : QObject(parent) {
    // Query thread: only posts. Events still queued for this object when it is destroyed are
    // dropped with it.
    m_query = std::make_unique<TimeServerQuery>(
        [this](std::uint64_t ticket) {
            QMetaObject::invokeMethod(
                this, [this, ticket] { ended(ticket); }, Qt::QueuedConnection);
        },
        std::move(asker));
}

TimeServerAsk::~TimeServerAsk() {
    // Joins the query thread before anything it posts to goes away.
    m_query.reset();
}

void TimeServerAsk::start(std::vector<TimeServerAddress> servers, int timeoutMs) {
    m_newest = m_query->start(std::move(servers), timeoutMs);
}

void TimeServerAsk::outliveOwner(QObject* keeper) {
    m_orphaned = true;
    setParent(keeper);
    if (!busy())
        deleteLater();
}

void TimeServerAsk::ended(std::uint64_t ticket) {
    if (m_orphaned) {
        if (!busy())
            deleteLater();
        return;
    }
    if (ticket != m_newest)
        return;
    if (const std::optional<std::uint32_t> answer = m_query->take(ticket))
        emit answered(*answer);
}

} // namespace kalder
