#pragma once

#include "wire/message_header.h"
#include "wire/talk_packet.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace kalder {

class RecorderSession;

// Talking to the recorder (the PC's microphone to the recorder's speaker): A_LISTEN_REQ and its
// answers, the talk sender in the session's talk slot (18), the stop request. The acceptance
// reaches the front end as window message 21053, on which it makes the sender (capture and the
// sender thread) and hands it over with adoptSender(); a refusal that ends talking posts 21054.
// Owned by its RecorderSession; the handlers run on the receive thread, the rest on the GUI
// thread unless said otherwise.
class TalkChannel {
public:
    // At most one A_LISTEN_REQ in this period.
    static constexpr std::chrono::milliseconds kRequestSpacing{2000};

    explicit TalkChannel(RecorderSession& session);
    TalkChannel(const TalkChannel&) = delete;
    TalkChannel& operator=(const TalkChannel&) = delete;

    // Without a sound device no talk request is sent.
    void setSoundDeviceAvailable(bool available) { m_soundDeviceAvailable = available; }

    // The Mike button: a user other than the first account is told it lacks the right; a
    // running talk stops; otherwise A_LISTEN_REQ, at most once every two seconds.
    void toggleTalk();
    // A_LISTEN_REQ when connected, a sound device exists and the last request is two seconds
    // old; false when nothing was sent.
    bool requestTalk();
    // The last A_LISTEN_REQ is two seconds old (or none went yet): a Mike press now asks.
    bool requestSpacingPassed() const;
    // A_LISTEN_STOP_REQ when a sender exists, then the sender goes; the Mike button shows
    // released and listening is off.
    void stopTalk();

    // On 21053: the sender takes over the talk slot; listening is on, Mike shows pressed.
    void adoptSender(std::unique_ptr<TalkSlotObject> sender);
    // On 21054 and in the disconnect order: the sender goes without a stop request.
    void dropSender();
    bool hasSender() const;

    // Sender thread: one talk message on the session's connection.
    void sendPacket(const TalkPacket& packet);

private:
    bool RecvFn_AListenNack(const MessageHeader& header);

    RecorderSession& m_session;
    std::atomic<bool> m_soundDeviceAvailable{false};
    std::optional<std::chrono::steady_clock::time_point> m_lastRequest; // GUI thread only
    mutable std::mutex m_slotMutex;                                     // guards m_sender (slot 18)
    std::unique_ptr<TalkSlotObject> m_sender;
};

} // namespace kalder
