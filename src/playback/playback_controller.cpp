#include "playback/playback_controller.h"

#include "session/recorder_session.h"
#include "ui/clock_display.h"
#include "ui/skin_slider.h"
#include "video/video_window.h"

#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace kalder {

namespace {

constexpr int kPlaybackLabelText = 5125;
// The kind selector of a request made without the search window: every kind of recording.
constexpr std::uint8_t kEveryRecordingKind = 0x3F;
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
    if (!m_session || !m_session->playback().requestPlayback(start, end, channelMask, kind))
        return false;
    m_replay = false;
    m_periodStart = start;
    m_openEnd = end == 0;
    m_periodEnd = m_openEnd ? std::max(start, m_session->live().recorderClock()) : end;
    return true;
}

bool PlaybackController::replay(int channel, int secondsBack) {
    if (!m_session || channel < 0 || channel > 15 || secondsBack <= 0)
        return false;
    const std::uint32_t now = m_session->live().recorderClock();
    if (now <= static_cast<std::uint32_t>(secondsBack))
        return false;
    const std::uint32_t start = now - static_cast<std::uint32_t>(secondsBack);
    if (!play(start, 0, static_cast<std::uint16_t>(1u << channel), kEveryRecordingKind))
        return false;
    m_replay = true;
    return true;
}

void PlaybackController::setPositionSlider(SkinSlider* slider) {
    m_slider = slider;
    if (!slider)
        return;
    // Page Up and Page Down reach it once it has the focus (Tab or a click).
    slider->setFocusPolicy(Qt::StrongFocus);
    slider->installEventFilter(this);
    // Nothing is asked of the recorder while the thumb is dragged; the release jumps.
    connect(slider, &SkinSlider::sliderReleased, this, [this](int, int position) {
        if (m_sliderOwned && active())
            jumpTo(sliderSecond(position));
    });
}

std::uint32_t PlaybackController::sliderSecond(int position) const {
    return m_periodStart + static_cast<std::uint32_t>(std::max(0, position));
}

bool PlaybackController::jumpTo(std::uint32_t second) {
    if (!m_session || !active())
        return false;
    second = std::clamp(second, m_periodStart, std::max(m_periodStart, m_periodEnd));
    if (m_window)
        m_session->playback().setShownChannels(m_window->visibleChannelMask(m_recorder));
    if (!m_session->playback().jump(second))
        return false;
    positionChanged();
    return true;
}

bool PlaybackController::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_slider || !m_sliderOwned || !active())
        return QObject::eventFilter(watched, event);
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_PageUp && key->key() != Qt::Key_PageDown)
        return QObject::eventFilter(watched, event);
    // The slider takes these keys before the window's shortcuts do.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    // A page is a tenth of the period, a second at least.
    const int page = std::max(1, (m_slider->maximum() - m_slider->minimum()) / 10);
    const int position = m_slider->position() + (key->key() == Qt::Key_PageUp ? page : -page);
    m_slider->setPosition(position);
    jumpTo(sliderSecond(m_slider->position()));
    return true;
}

void PlaybackController::updateSlider() {
    if (!m_slider || !m_sliderOwned)
        return;
    if (!active()) {
        m_sliderOwned = false;
        m_slider->setEnabled(false);
        return;
    }
    const std::uint32_t position = m_session->playback().position();
    if (m_openEnd && position > m_periodEnd)
        m_periodEnd = position;
    m_slider->setEnabled(true);
    if (m_slider->held())
        return;
    m_slider->setRange(0, static_cast<int>(m_periodEnd - m_periodStart));
    m_slider->setPosition(position > m_periodStart ? static_cast<int>(position - m_periodStart)
                                                   : 0);
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
        m_session->playback().setShownChannels(m_window->visibleChannelMask(m_recorder));
    const std::optional<int> repaintMs = m_session->playback().control(control);
    if (!repaintMs)
        return;
    emit buttonsUpdated(0);
    // An instant replay returns to live view, not to the search.
    if (control == PlayControl::Stop && !m_replay && m_session->search().resumeContext().active)
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
        m_window->startStream(StreamKind::RemotePlayback, channels, m_recorder);
        // The pages turn over the channels asked for, wherever their cells lie.
        if (m_session) {
            const std::uint16_t asked = m_session->playback().playbackChannelMask();
            m_window->setStreamChannels(
                static_cast<std::uint16_t>(asked & m_window->streamChannels(m_recorder)),
                m_recorder);
        }
        emit layoutShown(m_window->layoutModel().layout());
    }
    if (!m_clock) {
        m_clock = new ClockDisplay(ClockVariant::Playback, m_owner);
        m_clock->setGeometry(kClockArea);
        m_clock->show();
    }
    m_sliderOwned = m_slider != nullptr;
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
    updateSlider();
}

void PlaybackController::ended() {
    m_host.setClockSeconds(std::nullopt);
    delete m_clock;
    if (m_window)
        m_window->feed().setFastPlay(false);
    if (m_window && m_window->mode() == StreamKind::RemotePlayback)
        m_window->stopStream();
    if (m_slider && m_sliderOwned) {
        m_sliderOwned = false;
        m_slider->setEnabled(false);
    }
    emit buttonsUpdated(0);
    if (std::exchange(m_replay, false))
        emit replayEnded();
}

} // namespace kalder
