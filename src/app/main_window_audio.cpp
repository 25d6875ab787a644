#include "app/main_window_audio.h"

#include "audio/sound_device.h"
#include "audio/sound_input.h"
#include "audio/talk_sender.h"
#include "session/recorder_session.h"

namespace kalder {

MainWindowAudio::MainWindowAudio(std::unique_ptr<MixerControl> mixer)
    : m_mixer(std::move(mixer)), m_available(m_mixer && m_mixer->available()) {
    if (!m_available)
        return;
    // The state found is remembered by the mixer and put back at exit; sound starts unmuted at
    // the volume slider's start value.
    m_mixer->setMute(false);
    m_mixer->setVolume(kStartVolume);
}

MainWindowAudio::~MainWindowAudio() {
    if (m_available)
        m_mixer->restoreStart();
}

void MainWindowAudio::attach(RecorderSession* session) {
    m_session = session;
    if (!session)
        return;
    session->live().setSoundDeviceAvailable(m_available);
    session->live().setAudioConsumerFactory(m_available ? &m_factory : nullptr);
    session->talk().setSoundDeviceAvailable(m_available);
}

void MainWindowAudio::setBufferMultiples(const std::array<std::uint8_t, 3>& multiples) {
    m_factory.setBufferMultiples(multiples);
}

bool MainWindowAudio::toggleSound() {
    if (!m_available)
        return m_muted;
    // A refused call leaves the state as it was.
    if (m_mixer->setMute(!m_muted))
        m_muted = !m_muted;
    return m_muted;
}

void MainWindowAudio::setVolume(int volume) {
    if (!m_available)
        return;
    if (m_mixer->setVolume(volume))
        m_volume = volume;
}

void MainWindowAudio::toggleRecorderAudio() {
    if (!m_session || !m_session->loggedIn())
        return;
    if (!m_session->live().liveOn() && !m_session->playbackOn())
        return;
    // setAudio sends nothing without a sound device.
    m_session->live().setAudio(!m_session->audioOn());
}

int MainWindowAudio::audioChannel() const {
    if (!m_session)
        return -1;
    const int playing = m_session->live().audioChannel();
    if (playing >= 0)
        return playing;
    const auto config = m_session->status().channelConfig();
    if (config && config->audioChannel < m_session->channelNum())
        return config->audioChannel;
    return -1;
}

void MainWindowAudio::toggleTalk() {
    if (m_session)
        m_session->talk().toggleTalk();
}

void MainWindowAudio::startTalking() {
    if (!m_session || m_session->talk().hasSender())
        return;
    RecorderSession* session = m_session;
    auto sender = std::make_unique<TalkSender>(
        [session](const TalkPacket& packet) { session->talk().sendPacket(packet); });
    // Without a capture source the talk channel stays open and sends nothing.
    sender->startCapture(openCaptureDevice(SoundInput::kCaptureBytes));
    session->talk().adoptSender(std::move(sender));
}

void MainWindowAudio::endTalking() {
    if (!m_session)
        return;
    m_session->talk().dropSender();
}

void MainWindowAudio::stopTalking() {
    if (m_session && (m_session->listenOn() || m_session->talk().hasSender()))
        m_session->talk().stopTalk();
}

} // namespace kalder
