#include "session/talk_channel.h"

#include "net/transport.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "wire/message_catalogue.h"
#include "wire/nack_outcome.h"

namespace kalder {

TalkChannel::TalkChannel(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    m_session.registerEmptyReplyHandler(A_LISTEN_ACK, [this](const MessageHeader&) {
        m_session.post(WindowMessage::ListenAccepted);
    });
    m_session.registerHandler(A_LISTEN_NACK,
                              [this](const MessageHeader& h) { return RecvFn_AListenNack(h); });
    m_session.registerEmptyReplyHandler(A_LISTEN_STOP_ACK, [](const MessageHeader&) {});
}

// Receive thread. Codes 2, 53, 55 and 98 end talking as well: the front end destroys the sender
// on 21054, which comes before the notification.
bool TalkChannel::RecvFn_AListenNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    const NackOutcome outcome = nackOutcome(MessageId::A_LISTEN_NACK, code);
    if (outcome.listeningStopped)
        m_session.post(WindowMessage::ListenEnded);
    if (outcome.notification)
        m_session.notify(*outcome.notification);
    m_session.post(WindowMessage::TalkRefused, static_cast<std::uintptr_t>(code));
    return true;
}

void TalkChannel::toggleTalk() {
    if (!m_session.loggedIn())
        return;
    if (m_session.hello().account != 0) {
        m_session.notify({15, 0});
        return;
    }
    if (hasSender()) {
        stopTalk();
        return;
    }
    requestTalk();
}

bool TalkChannel::requestTalk() {
    if (!m_session.loggedIn() || !m_soundDeviceAvailable)
        return false;
    if (!requestSpacingPassed())
        return false;
    m_lastRequest = std::chrono::steady_clock::now();
    m_session.send(makeHeader(MessageId::A_LISTEN_REQ));
    return true;
}

bool TalkChannel::requestSpacingPassed() const {
    return !m_lastRequest || std::chrono::steady_clock::now() - *m_lastRequest >= kRequestSpacing;
}

void TalkChannel::stopTalk() {
    if (hasSender()) {
        m_session.send(makeHeader(MessageId::A_LISTEN_STOP_REQ));
        dropSender();
    }
    m_session.post(WindowMessage::MikeButton, static_cast<std::uintptr_t>(ButtonLook::Released));
    m_session.setListenOn(false);
}

void TalkChannel::adoptSender(std::unique_ptr<TalkSlotObject> sender) {
    std::unique_ptr<TalkSlotObject> previous;
    {
        std::lock_guard lock(m_slotMutex);
        previous = std::move(m_sender);
        m_sender = std::move(sender);
    }
    previous.reset();
    m_session.setListenOn(true);
    m_session.post(WindowMessage::MikeButton, static_cast<std::uintptr_t>(ButtonLook::Pressed));
}

void TalkChannel::dropSender() {
    std::unique_ptr<TalkSlotObject> gone;
    {
        std::lock_guard lock(m_slotMutex);
        gone = std::move(m_sender);
    }
    // Destroyed outside the lock: its destructor waits for the sender and input threads.
    gone.reset();
    m_session.setListenOn(false);
}

bool TalkChannel::hasSender() const {
    std::lock_guard lock(m_slotMutex);
    return m_sender != nullptr;
}

void TalkChannel::sendPacket(const TalkPacket& packet) {
    m_session.send(talkHeader(), packet);
}

} // namespace kalder
