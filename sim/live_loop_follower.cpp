#include "sim/live_loop_follower.h"

#include "sim/recorder_model.h"

#include <algorithm>
#include <cstdio>

namespace kalder::sim {

LoopParams liveLoopParams(const LoopParams& started, const SimConfig& config, unsigned channel) {
    LoopParams p = loopParamsFor(config, channel);
    p.channel = started.channel;
    p.title = started.title;
    p.preset = started.preset;
    // A recorder's encoder spends about as many bits on a picture whatever the rate: the bit rate
    // scales with the pixels a second, so a slowed or smaller channel sends smaller totals and
    // not bigger pictures.
    const std::uint64_t startedPixels =
        std::uint64_t(started.width) * started.height * std::max(1u, started.framesPerSecond);
    const std::uint64_t pixels = std::uint64_t(p.width) * p.height * p.framesPerSecond;
    p.bitrateKbps = static_cast<unsigned>(
        std::max<std::uint64_t>(kMinLiveKbps, std::uint64_t(started.bitrateKbps) * pixels /
                                                  std::max<std::uint64_t>(1, startedPixels)));
    return p;
}

LiveLoopFollower::LiveLoopFollower(RecorderModel& model, MediaSource& media, std::string cacheDir,
                                   bool verbose)
    : m_model(model), m_media(media), m_cacheDir(std::move(cacheDir)), m_verbose(verbose) {
    for (unsigned ch = 0; ch < kMaxChannels; ++ch)
        if (auto loop = m_media.loop(ch))
            m_built.emplace(loop->params.key(), loop);
    m_thread = std::thread([this] { run(); });
    // Listeners only flag work: the comparison runs on the builder thread.
    m_listener = m_model.addListener([this](unsigned) { wake(); });
}

LiveLoopFollower::~LiveLoopFollower() {
    m_model.removeListener(m_listener);
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void LiveLoopFollower::wake() {
    {
        std::lock_guard lock(m_mutex);
        m_dirty = true;
    }
    m_changed.notify_all();
}

void LiveLoopFollower::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stop || (!m_dirty && !m_busy); });
}

unsigned LiveLoopFollower::loopsEncoded() const {
    std::lock_guard lock(m_mutex);
    return m_encoded;
}

void LiveLoopFollower::run() {
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_stop || m_dirty; });
            if (m_stop)
                return;
            m_dirty = false;
            m_busy = true;
        }
        follow(m_model.config());
    }
}

void LiveLoopFollower::forgetUnused() {
    // Many settings tried one after another would keep every loop ever built: past the bound,
    // loops no channel plays and no connection holds are dropped (the disk cache keeps them).
    if (m_built.size() <= kMaxBuiltLoops)
        return;
    std::erase_if(m_built, [](const auto& entry) { return entry.second.use_count() == 1; });
}

void LiveLoopFollower::follow(const SimConfig& config) {
    const unsigned channels = std::min<unsigned>(config.channelCount, kMaxChannels);
    for (unsigned ch = 0; ch < channels; ++ch) {
        const auto started = m_media.loop(ch);
        const auto live = m_media.liveLoop(ch);
        if (!started || !live)
            continue;
        const LoopParams wanted = liveLoopParams(started->params, config, ch);
        const std::string key = wanted.key();
        if (live->params.key() == key)
            continue;
        std::shared_ptr<const VideoLoop> loop;
        const char* how = "from memory";
        if (auto it = m_built.find(key); it != m_built.end()) {
            loop = it->second;
        } else {
            bool cached = false;
            std::string error;
            loop = obtainVideoLoop(wanted, m_cacheDir, cached, error);
            if (!loop) {
                std::fprintf(stderr, "kalder-recorder-sim: channel %u: no %ux%u loop: %s\n", ch + 1,
                             wanted.width, wanted.height, error.c_str());
                continue;
            }
            how = cached ? "from cache" : "encoded";
            if (!cached) {
                std::lock_guard lock(m_mutex);
                ++m_encoded;
            }
            m_built.emplace(key, loop);
            forgetUnused();
        }
        m_media.setLiveLoop(ch, loop);
        if (m_verbose)
            std::fprintf(stderr, "kalder-recorder-sim: channel %u live at %ux%u, %u fps (%s)\n",
                         ch + 1, wanted.width, wanted.height, wanted.framesPerSecond, how);
    }
}

} // namespace kalder::sim
