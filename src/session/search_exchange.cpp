#include "session/search_exchange.h"

#include "net/trace.h"
#include "net/transport.h"
#include "session/recorder_session.h"
#include "wire/message_catalogue.h"

#include <utility>

namespace kalder {

SearchExchange::SearchExchange(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    auto bind = [this](std::uint16_t id, bool nack, Query query) {
        m_session.registerHandler(id, [this, nack, query](const MessageHeader& h) {
            return nack ? RecvFn_SearchNack(h, query) : RecvFn_SearchAck(h, query);
        });
    };
    bind(PLAY_INFO_MONTH_ACK, false, Query::Years);
    bind(PLAY_INFO_MONTH_NACK, true, Query::Years);
    bind(PLAY_INFO_DAY_ACK, false, Query::Day);
    bind(PLAY_INFO_DAY_NACK, true, Query::Day);
    bind(EVENT_INFO_ACK, false, Query::Events);
    bind(EVENT_INFO_NACK, true, Query::Events);
    bind(TRANS_INFO_MONTH_ACK, false, Query::BackupYears);
    bind(TRANS_INFO_MONTH_NACK, true, Query::BackupYears);
    bind(TRANS_INFO_DAY_ACK, false, Query::BackupDay);
    bind(TRANS_INFO_DAY_NACK, true, Query::BackupDay);
}

void SearchExchange::beginRequest() {
    std::lock_guard lock(m_mutex);
    m_assembler.clear();
}

void SearchExchange::requestYears() {
    beginRequest();
    trace("Send... PLAY_INFO_MONTH_REQ...\n");
    m_session.send(makeHeader(MessageId::PLAY_INFO_MONTH_REQ));
}

void SearchExchange::requestDaySegments(int year, int month, int day) {
    {
        std::lock_guard lock(m_mutex);
        m_assembler.clear();
        m_segments.clear();
    }
    const auto payload = encodeDayQuery(year, month, day);
    trace("Send... PLAY_INFO_DAY_REQ... %04d-%02d-%02d\n", year, month, day);
    m_session.send(makeHeader(MessageId::PLAY_INFO_DAY_REQ, payload.size()), payload);
}

void SearchExchange::requestEvents() {
    beginRequest();
    trace("Send... EVENT_INFO_REQ...\n");
    m_session.send(makeHeader(MessageId::EVENT_INFO_REQ));
}

void SearchExchange::requestBackupYears() {
    {
        std::lock_guard lock(m_mutex);
        m_assembler.clear();
        m_backupYears.clear();
    }
    trace("Send... TRANS_INFO_MONTH_REQ...\n");
    m_session.send(makeHeader(MessageId::TRANS_INFO_MONTH_REQ));
}

void SearchExchange::requestBackupDaySegments(int year, int month, int day) {
    {
        std::lock_guard lock(m_mutex);
        m_assembler.clear();
        m_backupSegments.clear();
    }
    const auto payload = encodeDayQuery(year, month, day);
    trace("Send... TRANS_INFO_DAY_REQ... %04d-%02d-%02d\n", year, month, day);
    m_session.send(makeHeader(MessageId::TRANS_INFO_DAY_REQ, payload.size()), payload);
}

std::vector<YearAvailability> SearchExchange::takeBackupYears() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_backupYears, {});
}

std::vector<DaySegment> SearchExchange::takeBackupDaySegments() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_backupSegments, {});
}

void SearchExchange::cancel() {
    trace("Send... CAPA_CAL_CANCEL...\n");
    m_session.send(makeHeader(MessageId::CAPA_CAL_CANCEL));
}

std::vector<YearAvailability> SearchExchange::years() const {
    std::lock_guard lock(m_mutex);
    return m_years;
}

std::vector<DaySegment> SearchExchange::daySegments() const {
    std::lock_guard lock(m_mutex);
    return m_segments;
}

std::vector<EventEntry> SearchExchange::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

SearchResumeContext SearchExchange::resumeContext() const {
    std::lock_guard lock(m_mutex);
    return m_context;
}

void SearchExchange::setResumeContext(SearchResumeContext context) {
    std::lock_guard lock(m_mutex);
    m_context = std::move(context);
}

void SearchExchange::clearResumeContext() {
    std::lock_guard lock(m_mutex);
    m_context = SearchResumeContext{};
}

void SearchExchange::forgetRecords() {
    std::lock_guard lock(m_mutex);
    m_context = SearchResumeContext{};
    m_years = {};
    m_segments = {};
    m_events = {};
}

void SearchExchange::post(Query query, SearchReplyResult result, std::int32_t code) {
    int message = WindowMessage::SearchEventsReady;
    switch (query) {
    case Query::Years:
        message = WindowMessage::SearchYearsReady;
        break;
    case Query::Day:
        message = WindowMessage::SearchDaySegmentsReady;
        break;
    case Query::BackupYears:
        message = WindowMessage::BackupYearsReady;
        break;
    case Query::BackupDay:
        message = WindowMessage::BackupDaySegmentsReady;
        break;
    case Query::Events:
        break;
    }
    m_session.post(message, static_cast<std::uintptr_t>(result), code);
}

// Receive thread: one fragment of a reply.
bool SearchExchange::RecvFn_SearchAck(const MessageHeader& header, Query query) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    if (!m_windowOpen)
        return true; // nobody waits for it: read off the connection and dropped
    std::unique_lock lock(m_mutex);
    const ReplyAssembler::Step step = m_assembler.append(payload, header.lastFragment());
    if (step == ReplyAssembler::Step::NeedMore)
        return true;
    const std::span<const std::byte> reply = m_assembler.bytes();
    // An acknowledgement without any record completes too: the window shows the empty result.
    if (query == Query::Years) {
        m_years = decodeYearAvailabilities(reply);
    } else if (query == Query::Day) {
        m_segments = decodeDaySegments(reply);
        m_events.clear();
    } else if (query == Query::BackupYears) {
        m_backupYears = decodeYearAvailabilities(reply);
    } else if (query == Query::BackupDay) {
        m_backupSegments = decodeDaySegments(reply);
    } else {
        m_events = decodeEventEntries(reply);
        m_segments.clear();
    }
    trace("search reply : %zu bytes\n", m_assembler.fill());
    m_assembler.clear();
    lock.unlock();
    // A reply larger than the buffer was dropped whole and decodes to no record.
    post(query, step == ReplyAssembler::Step::Overflow ? SearchReplyResult::Oversized
                                                       : SearchReplyResult::Records);
    return true;
}

// Receive thread: a refusal. Its notification follows the refusal table; the window learns that
// its request ended either way.
bool SearchExchange::RecvFn_SearchNack(const MessageHeader& header, Query query) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    trace("RecvFn_SearchNack... %d\n", code);
    m_session.notifyNack(header.messageId(), code);
    {
        std::lock_guard lock(m_mutex);
        m_assembler.clear();
        // The event list opens empty after a refusal.
        if (query == Query::Events)
            m_events.clear();
    }
    // A month query that found nothing opens the calendar with the years already held.
    if ((query == Query::Years || query == Query::BackupYears) && code == 83)
        post(query, SearchReplyResult::Records, code);
    else
        post(query, SearchReplyResult::Refused, code);
    return true;
}

} // namespace kalder
