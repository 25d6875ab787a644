#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;

namespace kalder {

// The PC's volume and mute: the sound server's default sink, found once when the control is
// made. Volumes run 0-65,535 (one value for all channels); 65,535 is the sink's normal volume.
// The sink's state as found is remembered and can be put back. A call that fails leaves the
// volume as it was. Used by the GUI thread only; its own main-loop thread runs the callbacks.
class MixerControl {
public:
    static constexpr int kMaxVolume = 65535;

    MixerControl();
    ~MixerControl();
    MixerControl(const MixerControl&) = delete;
    MixerControl& operator=(const MixerControl&) = delete;

    // A sound server answered and has a default sink: there is a sound output device.
    bool available() const { return m_available; }
    const std::string& sinkName() const { return m_sinkName; }
    int startVolume() const { return m_startVolume; }
    bool startMute() const { return m_startMute; }

    bool setVolume(int volume);
    bool setMute(bool mute);
    // The sink's state now; nothing when it cannot be read.
    std::optional<int> volume();
    std::optional<bool> muted();
    // Puts back the volume of every channel and the mute state found at start.
    void restoreStart();

private:
    struct SinkState;
    bool readSink(SinkState& state);
    bool waitReady();

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    bool m_available = false;
    std::string m_sinkName;
    int m_startVolume = 0;
    bool m_startMute = false;
    struct StartChannels;
    StartChannels* m_start = nullptr; // the per-channel volumes found at start
};

// Whether a sound output device exists (a server with a default sink), asked once.
bool detectSoundOutput();

} // namespace kalder
