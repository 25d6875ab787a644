#include "sim/media_source.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace kalder::sim {

std::uint8_t linearToMuLaw(std::int16_t sample) {
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int value = sample;
    const int sign = value < 0 ? 0x80 : 0;
    if (value < 0)
        value = -value;
    if (value > kClip)
        value = kClip;
    value += kBias;
    int exponent = 7;
    for (int mask = 0x4000; (value & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (value >> (exponent + 3)) & 0x0F;
    return static_cast<std::uint8_t>(~(sign | (exponent << 4) | mantissa));
}

void MediaSource::fillAudioElement(unsigned channel, std::uint64_t firstSample,
                                   std::span<std::uint8_t, kAudioElementBytes> out) {
    const double pitch = 300.0 + 80.0 * (channel % 16);
    constexpr double kTwoPi = 6.283185307179586;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint64_t n = firstSample + i;
        const double t = static_cast<double>(n) / kAudioSampleRate;
        // Bursts of 250 ms sound and 125 ms pause with soft edges, like syllables.
        const double phase = std::fmod(t, 0.375);
        double envelope = phase < 0.25 ? std::sin(kTwoPi * phase * 2.0) : 0.0;
        if (envelope < 0)
            envelope = -envelope;
        // The pitch wobbles by 5 % three times a second. The wobble modulates the frequency
        // (the phase is its integral), so the tone stays near its pitch however long it runs.
        const double angle = kTwoPi * pitch * t - (pitch * 0.05 / 3.0) * std::cos(kTwoPi * 3.0 * t);
        const double sample = 9000.0 * envelope * std::sin(angle);
        out[i] = linearToMuLaw(static_cast<std::int16_t>(sample));
    }
}

std::shared_ptr<const VideoLoop> MediaSource::liveLoop(unsigned channel) const {
    std::lock_guard lock(m_liveMutex);
    return channel < m_live.size() ? m_live[channel] : nullptr;
}

void MediaSource::setLiveLoop(unsigned channel, std::shared_ptr<const VideoLoop> loop) {
    std::lock_guard lock(m_liveMutex);
    if (channel < m_live.size())
        m_live[channel] = std::move(loop);
}

LoopParams loopParamsFor(const SimConfig& config, unsigned channel) {
    const ChannelSettings& settings = config.channels[channel];
    const FrameSize size = frameSizeFor(settings.resolution, config.pal);
    LoopParams p;
    p.width = size.width;
    p.height = size.height;
    p.framesPerSecond = framesPerSecondOf(config, channel);
    p.bitrateKbps = settings.bitrateKbps;
    p.keyIntervalFrames = p.framesPerSecond * config.keyIntervalSeconds;
    const unsigned intervals = std::max(1u, (config.loopSeconds + config.keyIntervalSeconds - 1) /
                                                config.keyIntervalSeconds);
    p.frameCount = p.keyIntervalFrames * intervals;
    p.channel = channel;
    p.title = settings.title;
    p.preset = config.encoderPreset;
    return p;
}

bool MediaSource::build(const SimConfig& config, unsigned threads, std::string& error) {
    const std::string cacheDir = effectiveCacheDir(config);
    const unsigned count = std::min<unsigned>(config.channelCount, kMaxChannels);
    std::atomic<unsigned> next{0};
    std::atomic<unsigned> fromCache{0};
    std::atomic<unsigned> encoded{0};
    std::mutex errorMutex; // guards firstError
    std::string firstError;
    auto worker = [&] {
        for (unsigned ch = next++; ch < count; ch = next++) {
            bool cached = false;
            std::string err;
            auto loop = obtainVideoLoop(loopParamsFor(config, ch), cacheDir, cached, err);
            if (!loop) {
                std::lock_guard lock(errorMutex);
                if (firstError.empty())
                    firstError = "channel " + std::to_string(ch + 1) + ": " + err;
                continue;
            }
            m_loops[ch] = std::move(loop);
            (cached ? fromCache : encoded)++;
            if (config.verbose)
                std::fprintf(stderr, "kalder-recorder-sim: channel %u loop %s\n", ch + 1,
                             cached ? "from cache" : "encoded");
        }
    };
    threads = std::max(1u, std::min(threads, count));
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i)
        pool.emplace_back(worker);
    worker();
    for (auto& t : pool)
        t.join();
    m_fromCache = fromCache;
    m_encoded = encoded;
    {
        std::lock_guard lock(m_liveMutex);
        m_live = m_loops;
    }
    if (!firstError.empty()) {
        error = firstError;
        return false;
    }
    return true;
}

} // namespace kalder::sim
