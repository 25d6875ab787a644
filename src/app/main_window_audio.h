#pragma once

#include "audio/audio_player_factory.h"
#include "audio/mixer_control.h"

#include <array>
#include <cstdint>
#include <memory>

namespace kalder {

class RecorderSession;

// The main window's sound: the PC's volume and mute (the default sink, put back at exit), the
// audio players of the session with the buffer multiples of the local settings, the recorder's
// audio on and off, and talking (the Mike button, the talk sender on acceptance). GUI thread
// only; the main window routes its buttons, the volume slider and 21053/21054 here.
class MainWindowAudio {
public:
    static constexpr int kStartVolume = 40000;

    // `mixer` null or without a device: no sound device, nothing is asked of the recorder.
    explicit MainWindowAudio(std::unique_ptr<MixerControl> mixer);
    ~MainWindowAudio();
    MainWindowAudio(const MainWindowAudio&) = delete;
    MainWindowAudio& operator=(const MainWindowAudio&) = delete;

    bool soundDeviceAvailable() const { return m_available; }

    // A new session (before it starts), or none.
    void attach(RecorderSession* session);
    void setBufferMultiples(const std::array<std::uint8_t, 3>& multiples);

    // Sound button: mutes (the volume slider is then disabled) or unmutes. True when muted.
    bool toggleSound();
    bool soundMuted() const { return m_muted; }
    // Volume slider (moved while held, or released): 0-65,535.
    void setVolume(int volume);
    int volume() const { return m_volume; }

    // Audio button: while live view or playback runs, the recorder's audio off when on, on when
    // off.
    void toggleRecorderAudio();
    // SelAudio button: the channel that carries the recorder's audio, to be shown alone (the
    // sound is heard only there); -1 when none is known.
    int audioChannel() const;
    // Mike button.
    void toggleTalk();
    // 21053: the talk sender with its capture starts. 21054: it goes.
    void startTalking();
    void endTalking();
    // Quit: the talk stops when it runs.
    void stopTalking();

    const AudioPlayerFactory& playerFactory() const { return m_factory; }
    // Where local playback's sound goes: nothing without a sound output.
    AudioConsumerFactory* localPlaybackSound() { return m_available ? &m_factory : nullptr; }

private:
    std::unique_ptr<MixerControl> m_mixer;
    const bool m_available;
    AudioPlayerFactory m_factory;
    RecorderSession* m_session = nullptr;
    bool m_muted = false;
    int m_volume = kStartVolume;
};

} // namespace kalder
