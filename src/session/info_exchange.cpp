#include "session/info_exchange.h"

#include "session/diagnostics.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "wire/message_catalogue.h"

namespace kalder {

InfoExchange::InfoExchange(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    m_session.registerHandler(STATUS_INFO_ACK,
                              [this](const MessageHeader& h) { return RecvFn_StatusInfoAck(h); });
    m_session.registerHandler(SYSTEM_INFO_ACK,
                              [this](const MessageHeader& h) { return RecvFn_SystemInfoAck(h); });
    m_session.registerHandler(STATUS_INFO_NACK, [this](const MessageHeader& h) {
        return RecvFn_InfoNack(h, STATUS_INFO_NACK);
    });
    m_session.registerHandler(SYSTEM_INFO_NACK, [this](const MessageHeader& h) {
        return RecvFn_InfoNack(h, SYSTEM_INFO_NACK);
    });
}

void InfoExchange::requestStatus() {
    {
        std::lock_guard lock(m_mutex);
        m_statusPieces.clear();
        m_reply.reset();
        m_statusWanted = true;
    }
    qCDebug(lcSession, "Send...STATUS_INFO_REQ...");
    m_session.send(makeHeader(MessageId::STATUS_INFO_REQ));
}

std::optional<std::vector<std::byte>> InfoExchange::takeStatusReply() {
    std::lock_guard lock(m_mutex);
    std::optional<std::vector<std::byte>> reply = std::move(m_reply);
    m_reply.reset();
    return reply;
}

bool InfoExchange::statusPending() const {
    std::lock_guard lock(m_mutex);
    return m_statusWanted;
}

bool InfoExchange::RecvFn_StatusInfoAck(const MessageHeader& header) {
    std::vector<std::byte> piece;
    if (!m_session.readPayload(header, piece))
        return false;
    int outcome = -1;
    {
        std::lock_guard lock(m_mutex);
        if (!m_statusWanted)
            return true; // nobody asked: dropped
        switch (m_statusPieces.append(piece, header.lastFragment())) {
        case ReplyAssembler::Step::NeedMore:
            return true;
        case ReplyAssembler::Step::Complete: {
            const auto bytes = m_statusPieces.bytes();
            m_reply.emplace(bytes.begin(), bytes.end());
            outcome = kReplyReady;
            break;
        }
        case ReplyAssembler::Step::Overflow:
            outcome = kReplyTooLarge;
            break;
        }
        m_statusWanted = false;
        m_statusPieces.clear();
    }
    m_session.post(WindowMessage::StatusInfoReady, static_cast<std::uintptr_t>(outcome));
    return true;
}

bool InfoExchange::RecvFn_SystemInfoAck(const MessageHeader& header) {
    // The client never asks for it: the pieces are read whole and dropped.
    std::vector<std::byte> piece;
    return m_session.readPayload(header, piece);
}

bool InfoExchange::RecvFn_InfoNack(const MessageHeader& header, std::uint16_t id) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    qCDebug(lcSession, "%s... %d",
            id == MessageId::STATUS_INFO_NACK ? "RecvFn_StatusInfoNack" : "RecvFn_SystemInfoNack",
            code);
    m_session.notifyNack(id, code);
    bool wasWanted = false;
    {
        std::lock_guard lock(m_mutex);
        wasWanted = m_statusWanted;
        m_statusWanted = false;
        m_statusPieces.clear();
    }
    m_session.post(WindowMessage::CloseWindow, CloseTarget::RequestWindow);
    if (wasWanted)
        m_session.post(WindowMessage::StatusInfoReady, kReplyRefused);
    return true;
}

} // namespace kalder
