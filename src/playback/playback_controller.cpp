#include "playback/playback_controller.h"

#include "session/recorder_session.h"
#include "ui/clock_display.h"
#include "video/video_window.h"

#include <QTimer>

#include <cstdlib>

namespace kalder {

namespace {

constexpr int kPlaybackLabelText = 5125;
// The playback clock lies over the main window's clock area.
const QRect kClockArea(250, 630, 428, 15);

} // namespace

PlaybackController::PlaybackController(const DecoderLibrary* library, QWidget* receiver)
    : QObject(receiver), m_owner(receiver),
      m_host(StreamKind::RemotePlayback, kPlaybackLabelText, library, receiver) {}

PlaybackController::~PlaybackController() {
    m_host.setClockSeconds(std::nullopt);
    delete m_clock;
}

void PlaybackController::setSession(RecorderSession* session) {
    m_session = session;
    m_host.setSessionGeneration(session ? session->generation() : 0);
    if (m_session)
        m_session->playback().setFrameConsumerFactory(&m_host);
    if (!m_session)
        ended();
}

void PlaybackController::setVideoWindow(VideoWindow* window) {
    m_window = window;
    m_host.setFeed(window ? &window->feed() : nullptr);
}

bool PlaybackController::play(std::uint32_t start, std::uint32_t end, std::uint16_t channelMask,
                              std::uint8_t kind) {
    return m_session && m_session->playback().requestPlayback(start, end, channelMask, kind);
}

bool PlaybackController::active() const {
    return m_session && m_session->playback().playing();
}

bool PlaybackController::buttonEnabled(PlayControl control) const {
    return m_session && m_session->playback().buttonAllowed(control);
}

void PlaybackController::press(PlayControl control) {
    if (!m_session)
        return;
    if (m_window)
        m_session->playback().setShownChannels(m_window->visibleChannelMask());
    const std::optional<int> repaintMs = m_session->playback().control(control);
    if (!repaintMs)
        return;
    emit buttonsUpdated(0);
    if (control == PlayControl::Stop && m_session->search().resumeContext().active)
        emit searchResumeWanted();
    // The frames under way have arrived by then.
    if (m_window)
        QTimer::singleShot(*repaintMs, m_window, [window = QPointer<VideoWindow>(m_window)] {
            if (window)
                window->update();
        });
}

void PlaybackController::started(int channels) {
    if (m_window) {
        m_window->startStream(StreamKind::RemotePlayback, channels);
        // The pages turn over the channels asked for, wherever their cells lie.
        if (m_session) {
            const std::uint16_t asked = m_session->playback().playbackChannelMask();
            m_window->setStreamChannels(
                static_cast<std::uint16_t>(asked & m_window->streamChannels()));
        }
        emit layoutShown(m_window->layoutModel().layout());
    }
    if (!m_clock) {
        m_clock = new ClockDisplay(ClockVariant::Playback, m_owner);
        m_clock->setGeometry(kClockArea);
        m_clock->show();
    }
    positionChanged();
    emit buttonsUpdated(0);
}

void PlaybackController::buttonsChanged(int highlight) {
    emit buttonsUpdated(highlight);
}

void PlaybackController::positionChanged() {
    if (!m_session)
        return;
    if (m_clock) {
        m_clock->setPlaybackTime(m_session->playback().position());
        // The decode threads stamp snapshots with the clock's time; they never read the clock.
        m_host.setClockSeconds(m_clock->playbackTime());
    }
    if (m_window) {
        // No mark is drawn for a speed the recorder has not told.
        const std::optional<int> speed = m_session->playback().displayedSpeed();
        m_window->feed().setSpeedCode(speed ? *speed : 99);
        // Speeds 3 and 4 (and their reverse): the recorder sends every frame, only key frames
        // are decoded and shown.
        m_window->feed().setFastPlay(speed && std::abs(*speed) > 2);
    }
}

void PlaybackController::ended() {
    m_host.setClockSeconds(std::nullopt);
    delete m_clock;
    if (m_window)
        m_window->feed().setFastPlay(false);
    if (m_window && m_window->mode() == StreamKind::RemotePlayback)
        m_window->stopStream();
    emit buttonsUpdated(0);
}

} // namespace kalder
