#pragma once

#include <QEvent>
#include <QObject>

#include <cstdint>

namespace kalder {

// Shown in a message box when a decode thread could not set up its decoder.
inline constexpr const char* kDecoderInitErrorText = "H.264 Decoder Init Error !";

// Posted by a decode thread (through its DecodeHost) to the main window, which shows
// kDecoderInitErrorText once for each event that is not stale. The event carries the generation
// of the session whose stream the decoder was fed (0 for a decoder of no session, local
// playback), so that the event of a decoder of an ended session is dropped by its tag, as window
// messages are.
class DecoderInitErrorEvent final : public QEvent {
public:
    explicit DecoderInitErrorEvent(unsigned channel, std::uint64_t generation = 0)
        : QEvent(eventType()), m_channel(channel), m_generation(generation) {}

    static QEvent::Type eventType();
    unsigned channel() const { return m_channel; }
    std::uint64_t generation() const { return m_generation; }
    // The decoder belonged to a session other than the one of `currentGeneration`: the receiver
    // drops the event. Events of no session are never stale.
    bool staleFor(std::uint64_t currentGeneration) const {
        return m_generation != 0 && m_generation != currentGeneration;
    }

private:
    unsigned m_channel;
    std::uint64_t m_generation;
};

// Any thread: posts a DecoderInitErrorEvent to `receiver`, which must live for the whole run.
// `generation` is the session's (RecorderSession::generation()) whose frames the decoder got,
// 0 for a decoder of no session.
void postDecoderInitError(QObject* receiver, unsigned channel, std::uint64_t generation = 0);

} // namespace kalder
