#pragma once

#include "decode/decode_host.h"
#include "wire/frame_consumer.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace kalder {

class DecoderLibrary;
class VideoFeed;

// The decoders of a player (remote or local playback): they decode into the video window's
// feed, their overlays carry the frame's title and the player's mode label, and their time is
// the playback clock's, which the GUI thread pushes here each time it sets the clock.
//
// Threads: the setters run on the GUI thread (setFeed only while no decoder runs);
// createConsumer on the thread that starts the stream (receive or GUI); the DecodeHost
// functions on the decode threads, which reach nothing but the feed and these atomics.
class PlayerDecodeHost final : public DecodeHost, public FrameConsumerFactory {
public:
    // `kind`: RemotePlayback or LocalPlayback; `labelText`: the mode label's text number in
    // the resource library; `receiver` gets the decoder init error events.
    PlayerDecodeHost(StreamKind kind, int labelText, const DecoderLibrary* library,
                     QObject* receiver);

    void setFeed(VideoFeed* feed) { m_feed.store(feed); }
    // The slots the decoders draw into: those of the recorder played from in a site (its index
    // × 16; 0 for a single recorder and the local player). Only while no decoder runs.
    void setSlotBase(unsigned base) { m_slotBase.store(base); }
    // The generation of the session the decoders play from (0: a local player's), which their
    // decoder init errors carry.
    void setSessionGeneration(std::uint64_t generation) { m_generation.store(generation); }
    // The time the playback clock shows, in seconds; none while no clock is shown.
    void setClockSeconds(std::optional<std::int64_t> seconds);

    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override;
    std::optional<std::int64_t> playbackClockSeconds(StreamKind kind) override;
    void composeOverlay(const OverlayFacts& facts) override;
    void decoderInitFailed(unsigned channel) override;

private:
    static constexpr std::int64_t kNoClock = -1;

    const StreamKind m_kind;
    const DecoderLibrary* const m_library;
    QObject* const m_receiver;
    const std::string m_label; // read only after construction
    std::atomic<VideoFeed*> m_feed{nullptr};
    std::atomic<unsigned> m_slotBase{0};
    std::atomic<std::int64_t> m_clockSeconds{kNoClock};
    std::atomic<std::uint64_t> m_generation{0};
};

} // namespace kalder
