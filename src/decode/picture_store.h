#pragma once

#include "wire/channel_count.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace kalder {

// Bytes of one channel's picture buffer: 720 x 576 x 3.
inline constexpr std::size_t kPictureBufferSize = 1244160;

// The picture buffers that the decode threads decode into, one per channel (sixteen, or one per
// slot of a video feed that shows several recorders), each with
// its lock, the size of the picture it holds and whether it holds a decoded picture. One store
// serves a stream's decoders and whoever shows or keeps their pictures (the video window, the
// CLI's summary, a benchmark).
//
// Locking:
// - lock(channel) guards the channel's buffer bytes and its stored size. The channel's decode
//   thread writes both with it held: it decodes (planar) or reorders (BGR) into the buffer,
//   calls setSize, clear and markDecoded with it held. Readers (the GUI thread painting a cell,
//   a snapshot, the CLI at the end) read them with it held. Whoever draws from the store may
//   guard its own per-channel drawing state with the same lock.
// - The decoded flags are atomics: set by the decode thread with the lock held, readable from
//   any thread without it (the window decides what a cell shows from them), cleared by the
//   owner between streams.
// - The buffers themselves are allocated once, zeroed, and live as long as the store: their
//   addresses never change. Each is a mapping of its own, between two pages that fault when
//   touched, whose pages are the system's zero pages until written, so a buffer takes memory
//   only for the bytes its stream's pictures fill, not for the largest possible picture.
// Lock order for those who take several: channel order.
class PictureStore {
public:
    // Size of the picture a buffer holds; 0 x 0 before the first one.
    struct Size {
        int width = 0;
        int height = 0;
    };

    // `channels`: how many buffers, up to 64.
    explicit PictureStore(unsigned channels = kChannelCount);
    PictureStore(const PictureStore&) = delete;
    PictureStore& operator=(const PictureStore&) = delete;

    // Any thread.
    std::mutex& lock(unsigned channel) const { return at(channel).lock; }

    // ---- the channel's lock held ----

    // kPictureBufferSize bytes.
    std::byte* buffer(unsigned channel) { return at(channel).bytes.get(); }
    const std::byte* buffer(unsigned channel) const { return at(channel).bytes.get(); }
    Size size(unsigned channel) const { return at(channel).size; }
    void setSize(unsigned channel, int width, int height) { at(channel).size = {width, height}; }
    // Zeroes the whole buffer (a new stream starts in the channel), handing its pages back to
    // the system: they are resident again only as far as the stream's pictures write them.
    void clear(unsigned channel);
    // When the frame of the picture the buffer holds reached its decoder (the hand-over to the
    // channel's queue); the epoch before the first picture.
    using TimePoint = std::chrono::steady_clock::time_point;
    TimePoint arrival(unsigned channel) const { return at(channel).arrival; }
    void setArrival(unsigned channel, TimePoint time) { at(channel).arrival = time; }
    // Whether the buffer holds planar YUV 4:2:0 (true) or bottom-up BGR (false), as the decode
    // thread that wrote it said; nothing when it never said (the drawing mode's layout).
    std::optional<bool> planar(unsigned channel) const { return at(channel).planar; }
    void setPlanar(unsigned channel, bool planar) { at(channel).planar = planar; }
    // The buffer holds a decoded picture now.
    void markDecoded(unsigned channel) {
        m_decoded.fetch_or(std::uint64_t{1} << (channel % m_count));
    }

    // ---- any thread ----

    unsigned channelCount() const { return m_count; }
    bool decoded(unsigned channel) const { return (m_decoded.load() >> (channel % m_count)) & 1u; }
    // Bit n: channel n (of the first sixteen) holds a decoded picture.
    std::uint16_t decodedChannels() const { return static_cast<std::uint16_t>(m_decoded.load()); }
    // Bit n: channel n holds a decoded picture.
    std::uint64_t decodedAll() const { return m_decoded.load(); }
    // Owner, when a stream starts: no channel counts as decoded until its next picture.
    void forgetDecoded() { m_decoded.store(0); }
    // The same for the channels in `channels` (bit n channel n) alone.
    void forgetDecoded(std::uint64_t channels) { m_decoded.fetch_and(~channels); }

private:
    struct UnmapBytes {
        void operator()(std::byte* bytes) const;
    };
    struct Channel {
        mutable std::mutex lock;
        std::unique_ptr<std::byte[], UnmapBytes> bytes; // contents guarded by lock
        Size size;                                      // guarded by lock
        TimePoint arrival;                              // guarded by lock
        std::optional<bool> planar;                     // guarded by lock
    };
    Channel& at(unsigned channel) { return m_channels[channel % m_count]; }
    const Channel& at(unsigned channel) const { return m_channels[channel % m_count]; }

    const unsigned m_count;
    std::unique_ptr<Channel[]> m_channels;
    std::atomic<std::uint64_t> m_decoded{0};
};

} // namespace kalder
