#pragma once

#include "sim/sim_config.h"
#include "sim/video_loop.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace kalder::sim {

inline constexpr std::size_t kAudioElementBytes = 512; // 64 ms of 8 kHz mu-law
inline constexpr unsigned kAudioSampleRate = 8000;

// G.711 mu-law of one 16-bit linear sample.
std::uint8_t linearToMuLaw(std::int16_t sample);

// The recorder's sources: one encoded loop per channel (built or loaded once at start-up and
// never changed afterwards, so connection threads read them without a lock), the loop each
// channel's live stream plays now (the start-up loop until the recording settings ask for
// another size or rate; swapped under a lock of its own) and a test signal per channel for the
// audio.
class MediaSource {
public:
    // Loads or encodes the loops of the first `config.channelCount` channels, using up to
    // `threads` encoder threads. Reports progress on standard error when `verbose` is set.
    bool build(const SimConfig& config, unsigned threads, std::string& error);

    std::shared_ptr<const VideoLoop> loop(unsigned channel) const {
        return channel < m_loops.size() ? m_loops[channel] : nullptr;
    }
    // The loop the channel's live stream plays now. Any thread.
    std::shared_ptr<const VideoLoop> liveLoop(unsigned channel) const;
    void setLiveLoop(unsigned channel, std::shared_ptr<const VideoLoop> loop);
    unsigned loopsFromCache() const { return m_fromCache; }
    unsigned loopsEncoded() const { return m_encoded; }

    // 512 samples of channel `channel`'s signal from sample number `firstSample` on: a tone
    // whose pitch depends on the channel, switched on and off in syllable-like bursts.
    static void fillAudioElement(unsigned channel, std::uint64_t firstSample,
                                 std::span<std::uint8_t, kAudioElementBytes> out);

private:
    std::array<std::shared_ptr<const VideoLoop>, kMaxChannels> m_loops;
    mutable std::mutex m_liveMutex;
    std::array<std::shared_ptr<const VideoLoop>, kMaxChannels> m_live; // guarded by m_liveMutex
    unsigned m_fromCache = 0;
    unsigned m_encoded = 0;
};

// Encoder parameters of a channel under a configuration.
LoopParams loopParamsFor(const SimConfig& config, unsigned channel);

} // namespace kalder::sim
