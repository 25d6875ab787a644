// The recorder's log: one request, a reply in fragments, decoded once and kept in the session.
#include "session/log_request.h"

#include "session/recorder_session.h"

#include "net/trace.h"
#include "wire/message_catalogue.h"

namespace kalder {

LogRequest::LogRequest(RecorderSession& session) : m_session(session) {
    m_session.registerHandler(MessageId::LOG_INFO_ACK,
                              [this](const MessageHeader& h) { return RecvFn_LogInfoAck(h); });
    m_session.registerHandler(MessageId::LOG_INFO_NACK,
                              [this](const MessageHeader& h) { return RecvFn_LogInfoNack(h); });
}

void LogRequest::request() {
    {
        std::lock_guard lock(m_assemblyMutex);
        m_assembler.clear();
        m_requestPending = true;
    }
    trace("Send... LOG_INFO_REQ...\n");
    m_session.send(makeHeader(MessageId::LOG_INFO_REQ));
}

bool LogRequest::fetched() const {
    std::lock_guard lock(m_mutex);
    return m_fetched;
}

std::vector<LogRecord> LogRequest::records() const {
    std::lock_guard lock(m_mutex);
    return m_records;
}

bool LogRequest::RecvFn_LogInfoAck(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    // A reply nobody asked for is dropped: a recorder repeating it must not make the client
    // decode and post again and again.
    LogReplyResult result = LogReplyResult::TooLarge;
    std::vector<LogRecord> records;
    {
        std::lock_guard lock(m_assemblyMutex);
        if (!m_requestPending)
            return true;
        const ReplyAssembler::Step step = m_assembler.append(payload, header.lastFragment());
        if (step == ReplyAssembler::Step::NeedMore)
            return true;
        if (step == ReplyAssembler::Step::Complete) {
            LogReply reply = decodeLogReply(m_assembler.bytes());
            result = reply.rejected ? LogReplyResult::BadSize : LogReplyResult::Decoded;
            if (reply.rejected)
                trace("log record size : %zu\n", reply.recordSize);
            records = std::move(reply.records);
        } else {
            trace("log reply larger than %zu bytes\n", ReplyAssembler::kCapacity);
        }
        m_assembler.clear();
        m_requestPending = false;
    }
    {
        std::lock_guard lock(m_mutex);
        // A refused reply is not a log: what an earlier fetch brought stays.
        if (result == LogReplyResult::Decoded) {
            m_records = std::move(records);
            m_fetched = true;
        }
    }
    m_session.post(WindowMessage::LogReplyComplete, static_cast<std::uintptr_t>(result));
    return true;
}

bool LogRequest::RecvFn_LogInfoNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    trace("Recv...LOG_INFO_NACK... %d\n", code);
    if (!m_requestPending.exchange(false))
        return true; // no request of ours to refuse
    m_session.notifyNack(MessageId::LOG_INFO_NACK, code);
    m_session.post(WindowMessage::CloseWindow, CloseTarget::RequestWindow);
    return true;
}

} // namespace kalder
