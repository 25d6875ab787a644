#include "audio/mixer_control.h"

#include "audio/audio_trace.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/thread-mainloop.h>
#include <pulse/volume.h>

#include <algorithm>

namespace kalder {

struct MixerControl::SinkState {
    bool done = false;
    bool found = false;
    std::string name;
    pa_cvolume volume{};
    bool mute = false;
};

struct MixerControl::StartChannels {
    pa_cvolume volume{};
};

namespace {

constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

int toSlider(pa_volume_t volume) {
    const std::uint64_t scaled = std::uint64_t{volume} * MixerControl::kMaxVolume / PA_VOLUME_NORM;
    return static_cast<int>(std::min<std::uint64_t>(scaled, MixerControl::kMaxVolume));
}

pa_volume_t fromSlider(int volume) {
    const int v = std::clamp(volume, 0, MixerControl::kMaxVolume);
    return static_cast<pa_volume_t>(std::uint64_t(v) * PA_VOLUME_NORM / MixerControl::kMaxVolume);
}

// A finished operation; `ok` as the server reported it.
struct Completion {
    pa_threaded_mainloop* loop;
    bool ok = false;
};

void onSuccess(pa_context*, int success, void* data) {
    auto* c = static_cast<Completion*>(data);
    c->ok = success != 0;
    pa_threaded_mainloop_signal(c->loop, 0);
}

// With the main loop locked: waits until `op` is done, then releases it.
void finish(pa_threaded_mainloop* loop, pa_operation* op) {
    if (!op)
        return;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(loop);
    pa_operation_unref(op);
}

} // namespace

MixerControl::MixerControl() {
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop)
        return;
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Kalder");
    if (!m_context)
        return;
    pa_context_set_state_callback(
        m_context,
        [](pa_context*, void* loop) {
            pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
        },
        m_loop);
    if (pa_threaded_mainloop_start(m_loop) < 0)
        return;
    if (!waitReady())
        return;
    SinkState state;
    if (!readSink(state) || !state.found) {
        audioTrace("mixer: no default sink");
        return;
    }
    m_available = true;
    m_sinkName = state.name;
    m_startVolume = toSlider(pa_cvolume_max(&state.volume));
    m_startMute = state.mute;
    m_start = new StartChannels{state.volume};
}

MixerControl::~MixerControl() {
    if (m_loop)
        pa_threaded_mainloop_stop(m_loop);
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop)
        pa_threaded_mainloop_free(m_loop);
    delete m_start;
}

bool MixerControl::waitReady() {
    pa_threaded_mainloop_lock(m_loop);
    bool ready = false;
    // No server is started on the client's behalf: without one there is no sound device.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        for (;;) {
            const pa_context_state_t s = pa_context_get_state(m_context);
            if (s == PA_CONTEXT_READY) {
                ready = true;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(s))
                break;
            pa_threaded_mainloop_wait(m_loop);
        }
    }
    if (!ready)
        audioTrace("mixer: no sound server: %s", pa_strerror(pa_context_errno(m_context)));
    pa_threaded_mainloop_unlock(m_loop);
    return ready;
}

bool MixerControl::readSink(SinkState& state) {
    struct Query {
        pa_threaded_mainloop* loop;
        SinkState* state;
    } query{m_loop, &state};
    pa_threaded_mainloop_lock(m_loop);
    const std::string name = m_sinkName.empty() ? kDefaultSink : m_sinkName;
    pa_operation* op = pa_context_get_sink_info_by_name(
        m_context, name.c_str(),
        [](pa_context*, const pa_sink_info* info, int eol, void* data) {
            auto* q = static_cast<Query*>(data);
            if (eol == 0 && info) {
                q->state->found = true;
                q->state->name = info->name ? info->name : "";
                q->state->volume = info->volume;
                q->state->mute = info->mute != 0;
            }
            if (eol != 0)
                q->state->done = true;
            pa_threaded_mainloop_signal(q->loop, 0);
        },
        &query);
    finish(m_loop, op);
    pa_threaded_mainloop_unlock(m_loop);
    return op != nullptr && state.done;
}

bool MixerControl::setVolume(int volume) {
    if (!m_available)
        return false;
    SinkState state;
    if (!readSink(state) || !state.found)
        return false;
    pa_cvolume target;
    pa_cvolume_set(&target, state.volume.channels, fromSlider(volume));
    Completion done{m_loop};
    pa_threaded_mainloop_lock(m_loop);
    pa_operation* op = pa_context_set_sink_volume_by_name(m_context, m_sinkName.c_str(), &target,
                                                          onSuccess, &done);
    finish(m_loop, op);
    pa_threaded_mainloop_unlock(m_loop);
    if (!done.ok)
        audioTrace("mixer: volume %d refused", volume);
    return done.ok;
}

bool MixerControl::setMute(bool mute) {
    if (!m_available)
        return false;
    Completion done{m_loop};
    pa_threaded_mainloop_lock(m_loop);
    pa_operation* op = pa_context_set_sink_mute_by_name(m_context, m_sinkName.c_str(), mute ? 1 : 0,
                                                        onSuccess, &done);
    finish(m_loop, op);
    pa_threaded_mainloop_unlock(m_loop);
    if (!done.ok)
        audioTrace("mixer: mute %d refused", mute ? 1 : 0);
    return done.ok;
}

std::optional<int> MixerControl::volume() {
    SinkState state;
    if (!m_available || !readSink(state) || !state.found)
        return std::nullopt;
    return toSlider(pa_cvolume_max(&state.volume));
}

std::optional<bool> MixerControl::muted() {
    SinkState state;
    if (!m_available || !readSink(state) || !state.found)
        return std::nullopt;
    return state.mute;
}

void MixerControl::restoreStart() {
    if (!m_available || !m_start)
        return;
    Completion done{m_loop};
    pa_threaded_mainloop_lock(m_loop);
    finish(m_loop, pa_context_set_sink_volume_by_name(m_context, m_sinkName.c_str(),
                                                      &m_start->volume, onSuccess, &done));
    finish(m_loop, pa_context_set_sink_mute_by_name(m_context, m_sinkName.c_str(),
                                                    m_startMute ? 1 : 0, onSuccess, &done));
    pa_threaded_mainloop_unlock(m_loop);
}

bool detectSoundOutput() {
    return MixerControl().available();
}

} // namespace kalder
