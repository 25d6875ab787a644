#include "playback/playback_controller.h"

#include "decode/channel_decoder.h"
#include "decode/decoder_init_error_event.h"
#include "resources/resource_library.h"
#include "session/recorder_session.h"
#include "ui/clock_display.h"
#include "video/video_window.h"

#include <QTimer>

namespace kalder {

namespace {

constexpr int kPlaybackLabelText = 5125;
// The playback clock lies over the main window's clock area.
const QRect kClockArea(250, 630, 428, 15);

} // namespace

PlaybackDecodeHost::PlaybackDecodeHost(const DecoderLibrary* library, QObject* receiver)
    : m_library(library), m_receiver(receiver),
      m_label(resourceText(kPlaybackLabelText).toStdString()) {}

std::unique_ptr<FrameConsumer> PlaybackDecodeHost::createConsumer(unsigned channel) {
    VideoWindow* window = m_window.load();
    if (window == nullptr || channel >= kChannelCount)
        return nullptr;
    return std::make_unique<ChannelDecoder>(channel, StreamKind::RemotePlayback, m_library,
                                            window->pictures(), *window, *this);
}

std::optional<std::int64_t> PlaybackDecodeHost::playbackClockSeconds(StreamKind kind) {
    ClockDisplay* clock = m_clock.load();
    if (kind != StreamKind::RemotePlayback || clock == nullptr)
        return std::nullopt;
    return clock->playbackTime();
}

void PlaybackDecodeHost::composeOverlay(const OverlayFacts& facts) {
    if (VideoWindow* window = m_window.load())
        window->composeOverlay(facts, facts.title, m_label, {});
}

void PlaybackDecodeHost::decoderInitFailed(unsigned channel) {
    postDecoderInitError(m_receiver, channel);
}

PlaybackController::PlaybackController(const DecoderLibrary* library, QWidget* receiver)
    : QObject(receiver), m_owner(receiver), m_host(library, receiver) {}

PlaybackController::~PlaybackController() {
    m_host.setClock(nullptr);
    delete m_clock;
}

void PlaybackController::setSession(RecorderSession* session) {
    m_session = session;
    if (m_session)
        m_session->playback().setFrameConsumerFactory(&m_host);
    if (!m_session)
        ended();
}

void PlaybackController::setVideoWindow(VideoWindow* window) {
    m_window = window;
    m_host.setWindow(window);
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
        m_host.setClock(m_clock);
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
    if (m_clock)
        m_clock->setPlaybackTime(m_session->playback().position());
    if (m_window) {
        // No mark is drawn for a speed the recorder has not told.
        const std::optional<int> speed = m_session->playback().displayedSpeed();
        m_window->setSpeedCode(speed ? *speed : 99);
    }
}

void PlaybackController::ended() {
    m_host.setClock(nullptr);
    delete m_clock;
    if (m_window && m_window->mode() == StreamKind::RemotePlayback)
        m_window->stopStream();
    emit buttonsUpdated(0);
}

} // namespace kalder
