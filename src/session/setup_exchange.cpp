// The remote-setup exchange: the configuration record fetched, checked and sent back.
#include "session/setup_exchange.h"

#include "session/recorder_session.h"
#include "session/window_message.h"

#include "net/trace.h"
#include "net/transport.h"
#include "wire/message_catalogue.h"
#include "wire/nack_outcome.h"

namespace kalder {

namespace {

constexpr Notification kIntegrityFailed{9, 0};
constexpr Notification kConfigSaved{10, 0};

} // namespace

// Logged in, and the connection still there (the receive thread ends when it is lost).
bool SetupExchange::connected() const {
    return m_session.loggedIn() && m_session.receiving();
}

SetupExchange::SetupExchange(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    m_session.registerHandler(DB_INFO_ACK,
                              [this](const MessageHeader& h) { return RecvFn_DbInfoAck(h); });
    m_session.registerHandler(DB48_INFO_NACK,
                              [this](const MessageHeader& h) { return RecvFn_DbInfoNack(h); });
    m_session.registerEmptyReplyHandler(DB_UPDATE_ACK,
                                        [this](const MessageHeader& h) { RecvFn_DbUpdateAck(h); });
    m_session.registerHandler(DB_UPDATE_NACK,
                              [this](const MessageHeader& h) { return RecvFn_DbUpdateNack(h); });
}

bool SetupExchange::busy() const {
    return m_session.configRequestPending();
}

bool SetupExchange::RequestConfig() {
    if (m_session.configRequestPending() || !connected())
        return false;
    m_session.setConfigRequestPending(true);
    {
        std::lock_guard lock(m_mutex);
        m_pieces.clear();
        m_overflow = false;
        m_receiving = true;
    }
    m_session.send(makeHeader(MessageId::DB_INFO_REQ));
    trace("Send...DB_INFO_REQ...\n");
    return true;
}

bool SetupExchange::RecvFn_DbInfoAck(const MessageHeader& header) {
    std::vector<std::byte> piece;
    if (!m_session.readPayload(header, piece))
        return false;
    bool complete = false;
    {
        std::lock_guard lock(m_mutex);
        // A piece nobody asked for (no request outstanding) is read and dropped.
        if (!m_receiving)
            return true;
        if (m_overflow || piece.size() > kReassemblyCapacity - m_pieces.size())
            m_overflow = true; // refused whole at the last piece, never written past the buffer
        else
            m_pieces.insert(m_pieces.end(), piece.begin(), piece.end());
        complete = header.lastFragment();
        if (complete)
            m_receiving = false;
    }
    if (complete)
        completeTransfer();
    return true;
}

void SetupExchange::completeTransfer() {
    bool ok = false;
    {
        std::lock_guard lock(m_mutex);
        m_payload = std::move(m_pieces);
        m_pieces.clear();
        if (m_overflow)
            m_payload.clear(); // a part is never taken for the whole
        // The update goes back with the length received, in one message whose length field
        // has 16 bits: a longer transfer could never be sent back whole, so it is refused
        // like one that fails its CRC.
        const bool fits = !m_overflow && m_payload.size() <= kMaxPayloadLength;
        m_record = fits ? ConfigRecord::fromTransfer(m_payload) : std::nullopt;
        ok = m_record.has_value();
        if (ok)
            m_receivedLength = m_payload.size();
        trace("config transfer : %zu bytes, %s\n", m_payload.size(),
              ok ? "crc ok" : (m_overflow ? "too large" : "crc mismatch"));
    }
    if (!ok) {
        m_session.setConfigRequestPending(false);
        m_session.notify(kIntegrityFailed);
        ended(ConfigExchangeEnd::IntegrityFailed);
        return;
    }
    m_session.post(WindowMessage::ConfigArrived);
    ended(ConfigExchangeEnd::Arrived);
}

bool SetupExchange::RecvFn_DbInfoNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_receiving = false;
        m_pieces.clear();
    }
    if (!nackOutcome(MessageId::DB48_INFO_NACK, code).notification)
        trace("RecvFn_DBInfoNack... %d\n", code);
    m_session.notifyNack(MessageId::DB48_INFO_NACK, code);
    m_session.setConfigRequestPending(false);
    ended(ConfigExchangeEnd::FetchRefused, code);
    return true;
}

bool SetupExchange::SendConfigUpdate(const ConfigRecord& workingCopy) {
    std::size_t length = 0;
    {
        std::lock_guard lock(m_mutex);
        length = m_receivedLength;
    }
    if (length < kConfigCrcSize || length != workingCopy.transferLength()) {
        endWithoutUpdate();
        return false;
    }
    return sendUpdatePayload(workingCopy.seal());
}

bool SetupExchange::sendUpdatePayload(std::vector<std::byte> payload) {
    if (payload.size() < kConfigCrcSize || payload.size() > kMaxPayloadLength) {
        endWithoutUpdate();
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_lastUpdate = std::move(payload);
    }
    return resendConfigUpdate();
}

bool SetupExchange::resendConfigUpdate() {
    std::vector<std::byte> payload;
    {
        std::lock_guard lock(m_mutex);
        payload = m_lastUpdate;
    }
    if (payload.empty() || !connected()) {
        endWithoutUpdate();
        return false;
    }
    return sendUpdate(payload);
}

bool SetupExchange::sendUpdate(const std::vector<std::byte>& payload) {
    // The exchange stays busy until the recorder answers.
    m_session.setConfigRequestPending(true);
    m_session.send(makeHeader(MessageId::DB_UPDATE_REQ, static_cast<std::uint16_t>(payload.size())),
                   payload);
    trace("Send...DB_UPDATE_REQ...\n");
    return true;
}

void SetupExchange::endWithoutUpdate() {
    m_session.setConfigRequestPending(false);
}

void SetupExchange::RecvFn_DbUpdateAck(const MessageHeader&) {
    m_session.setConfigRequestPending(false);
    m_session.notify(kConfigSaved);
    ended(ConfigExchangeEnd::UpdateAccepted);
}

bool SetupExchange::RecvFn_DbUpdateNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    m_session.setConfigRequestPending(false);
    if (!nackOutcome(MessageId::DB_UPDATE_NACK, code).notification)
        trace("RecvFn_DBUpdateNack... %d\n", code);
    m_session.notifyNack(MessageId::DB_UPDATE_NACK, code);
    ended(ConfigExchangeEnd::UpdateRefused, code);
    return true;
}

bool SetupExchange::requestFactoryReset() {
    if (!connected())
        return false;
    m_session.device().requestDbInit();
    trace("Send...DB_INIT_REQ...\n");
    // The setup window must not send its copy over the recorder's fresh defaults: it closes
    // as Cancel does.
    m_session.post(WindowMessage::CloseWindow, CloseTarget::RemoteSetup);
    return true;
}

void SetupExchange::ended(ConfigExchangeEnd how, std::int32_t code) {
    m_session.post(WindowMessage::ConfigExchangeEnded, static_cast<std::uintptr_t>(how), code);
}

std::vector<std::byte> SetupExchange::receivedPayload() const {
    std::lock_guard lock(m_mutex);
    return m_payload;
}

std::optional<ConfigRecord> SetupExchange::receivedRecord() const {
    std::lock_guard lock(m_mutex);
    return m_record;
}

std::size_t SetupExchange::receivedLength() const {
    std::lock_guard lock(m_mutex);
    return m_receivedLength;
}

} // namespace kalder
