#include "setup/pages/time_server_ask.h"

#include "post/call_poster.h"

#include <utility>

namespace kalder {

TimeServerAsk::TimeServerAsk(QObject* parent, TimeServerQuery::Asker asker) : QObject(parent) {
    // Query thread: only posts. Answers still queued when this object is destroyed are dropped
    // with its child poster.
    auto* answers = new CallPoster(this);
    m_query = std::make_unique<TimeServerQuery>(
        [this, answers](std::uint64_t ticket) { answers->post([this, ticket] { ended(ticket); }); },
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
