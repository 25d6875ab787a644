#pragma once

#include "sim/media_source.h"
#include "sim/sim_config.h"
#include "sim/video_loop.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kalder::sim {

class RecorderModel;

// The loop a channel's live stream needs under `config`: the picture size (resolution and line
// standard) and rate of the channel's settings, key frames and loop length as at start, the bit
// rate of the start-up loop `started` scaled by the pixels a second (at least kMinLiveKbps), and
// what the recording settings do not decide (channel, title, preset) as `started` was encoded.
inline constexpr unsigned kMinLiveKbps = 32;
LoopParams liveLoopParams(const LoopParams& started, const SimConfig& config, unsigned channel);

// Keeps every channel's live loop on the size and rate its recording settings ask for. When the
// model changes, a builder thread of its own compares each channel's live loop with the one its
// settings need and swaps in the needed loop: from memory when it was built before, else from
// the loop cache or a fresh encode (one encoder, never on a connection thread). Until the new
// loop is ready the channel keeps playing the old one. Construct after the model and the media
// are ready; destroy before either.
class LiveLoopFollower {
public:
    LiveLoopFollower(RecorderModel& model, MediaSource& media, std::string cacheDir, bool verbose);
    ~LiveLoopFollower();
    LiveLoopFollower(const LiveLoopFollower&) = delete;
    LiveLoopFollower& operator=(const LiveLoopFollower&) = delete;

    // Compares the channels with the model now (normally a model change does this).
    void wake();
    // Waits until every change noticed so far has been acted on (tests).
    void waitIdle();
    unsigned loopsEncoded() const;

private:
    void run();
    void follow(const SimConfig& config);
    void forgetUnused();

    static constexpr std::size_t kMaxBuiltLoops = 64;

    RecorderModel& m_model;
    MediaSource& m_media;
    const std::string m_cacheDir;
    const bool m_verbose;
    int m_listener = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_dirty = false;   // guarded by m_mutex
    bool m_busy = false;    // guarded by m_mutex
    bool m_stop = false;    // guarded by m_mutex
    unsigned m_encoded = 0; // guarded by m_mutex
    // Every loop built so far, by LoopParams::key(); builder thread only.
    std::map<std::string, std::shared_ptr<const VideoLoop>> m_built;
    std::thread m_thread;
};

} // namespace kalder::sim
