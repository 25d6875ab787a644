#pragma once

// Helpers of the session tests: a Qt event receiver that records the posted window messages, a
// scripted recorder on the other end of a socket pair, and test sinks for frames and audio.
#include "wire/audio_consumer.h"
#include "wire/frame_consumer.h"
#include "wire/message_header.h"
#include "wire/notification.h"
#include "session/window_message.h"
#include "support/raw_message_peer.h"
#include "support/wait_until.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <span>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kalder::test {

// A QCoreApplication for the whole test program (posted events need one).
void ensureCoreApplication();

struct PostedMessage {
    int message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::uint64_t generation = 0;
};

// Records every WindowMessageEvent delivered to it (GUI thread of the test).
class EventRecorder : public QObject {
public:
    bool event(QEvent* event) override;

    const std::vector<PostedMessage>& messages() const { return m_messages; }
    std::vector<Notification> notifications() const;
    bool has(int message) const { return count(message) > 0; }
    std::size_t count(int message) const;
    std::optional<PostedMessage> last(int message) const;
    bool hasNotification(Notification n) const;
    // Called for each message as it is delivered (the CLI-like tests react to (2,0)).
    std::function<void(const PostedMessage&)> onMessage;

private:
    std::vector<PostedMessage> m_messages;
};

// Delivers the events posted so far.
void pumpEvents();

// One message as the scripted recorder read it.
using WireMessage = RawMessage;

// The recorder's end of a socket pair; the session gets the other end.
class ScriptedRecorder {
public:
    ScriptedRecorder();
    ~ScriptedRecorder();
    int sessionEnd() const { return m_sessionFd; } // hand to startOnConnectedSocket
    void send(const MessageHeader& header, std::span<const std::byte> payload = {}) const;
    void send(std::uint16_t id, std::span<const std::byte> payload = {},
              std::uint16_t fragmentFlags = 0, std::uint16_t codeExtra = 0,
              std::uint32_t word3 = 0) const;
    void writeRaw(std::span<const std::byte> bytes) const;
    // The next message from the session, or nothing within `limit`.
    std::optional<WireMessage> read(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Reads until a message with `id` comes; the messages passed on the way are kept in seen().
    std::optional<WireMessage> readUntil(std::uint16_t id,
                                         std::chrono::milliseconds limit = std::chrono::seconds(5));
    const std::vector<WireMessage>& seen() const { return m_seen; }
    // True when the session closed its end (reads reach the end of the stream).
    bool sessionClosed(std::chrono::milliseconds limit = std::chrono::seconds(5));
    void close();

private:
    int m_fd = -1;
    int m_sessionFd = -1;
    std::vector<WireMessage> m_seen;
};

// Channel consumers that keep every frame (no thread of their own: a frame counts as taken at
// once) and a journal of the stop order.
class FrameSinkFactory : public FrameConsumerFactory {
public:
    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override;
    // Frames the consumers of `channel` took so far.
    std::vector<FrameRecord> frames(unsigned channel) const;
    std::size_t totalFrames() const;
    std::size_t alive() const;
    // Video loss as last set on the live consumer of `channel` (false when there is none).
    bool videoLoss(unsigned channel) const;
    // "create 3", "discard 3", "stop 3", "destroy 3" in the order they happened.
    std::vector<std::string> journal() const;

    // Used by the consumers.
    mutable std::mutex m_mutex;
    std::vector<std::string> m_journal;
    std::map<unsigned, std::vector<FrameRecord>> m_frames;
    std::map<unsigned, bool> m_videoLoss;
    std::size_t m_alive = 0;
};

class AudioSinkFactory : public AudioConsumerFactory {
public:
    std::unique_ptr<AudioConsumer> startPlayer(StreamKind kind) override;
    std::size_t started() const;
    std::size_t alive() const;
    std::vector<std::vector<std::byte>> elements() const;
    // "discard on", "discard off" and "flush", in the order the players were told.
    std::vector<std::string> controls() const;

    // Used by the players.
    mutable std::mutex m_mutex;
    std::size_t m_started = 0;
    std::size_t m_alive = 0;
    std::vector<std::vector<std::byte>> m_elements;
    std::vector<std::string> m_controls;
};

std::vector<std::byte> be32Bytes(std::uint32_t value);

} // namespace kalder::test
