#include "local/local_playback_controller.h"

#include "post/call_poster.h"
#include "ui/clock_display.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"
#include "video/video_window.h"

#include <QDir>
#include <QMetaObject>
#include <QTimer>

namespace kalder {

namespace {

constexpr int kPlaybackLabelText = 5972; // "Local playback"
const QRect kClockArea(250, 630, 428, 15);
constexpr int kNoDataCategory = 4, kNoDataDetail = 0;
// The playback buttons by their control number: 340-346 call 1-7 (344, record, is not one).
constexpr int kFirstPlayButton = 340, kRecordButton = 344, kStopButton = 345;
constexpr int kRepaintAfterMs = 500;

} // namespace

LocalPlaybackController::LocalPlaybackController(const DecoderLibrary* library, bool removableMode,
                                                 QWidget* owner)
    : QObject(owner), m_owner(owner), m_removableMode(removableMode),
      m_host(StreamKind::LocalPlayback, kPlaybackLabelText, library, owner) {}

LocalPlaybackController::~LocalPlaybackController() {
    stop();
}

void LocalPlaybackController::setVideoWindow(VideoWindow* window) {
    // The window is made again only while nothing plays into it.
    if (window == nullptr)
        stop();
    m_video = window;
    m_host.setFeed(window ? &window->feed() : nullptr);
    // The page decides the steps' channels and the channel whose sound is heard.
    if (window)
        connect(window, &VideoWindow::visibleChannelsChanged, this, [this](quint16 mask) {
            if (m_player)
                m_player->setShownChannels(mask);
        });
}

void LocalPlaybackController::setControls(std::function<SkinButton*(int)> buttonFor,
                                          SkinSlider* slider) {
    m_buttonFor = std::move(buttonFor);
    m_slider = slider;
    if (!m_slider)
        return;
    // 1 pressed, 2 dragged: nothing is asked of the player until the release.
    connect(m_slider, &SkinSlider::sliderPressed, this, [this] { m_sliderHeld = true; });
    connect(m_slider, &SkinSlider::sliderReleased, this, [this](int, int position) {
        m_sliderHeld = false;
        if (m_player)
            m_player->seek(static_cast<std::uint32_t>(std::max(0, position)));
    });
}

std::filesystem::path LocalPlaybackController::downloadFolder(const QString& dataFolder) const {
    const QString base = m_removableMode ? QDir::currentPath() : dataFolder;
    return std::filesystem::path(base.toStdString()) / "Download";
}

void LocalPlaybackController::openSearchWindow(const QString& dataFolder, unsigned dateFormat) {
    if (m_window) {
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    const std::filesystem::path folder = downloadFolder(dataFolder);
    auto* window = new LocalSearchWindow(folder, m_removableMode, dateFormat, m_owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_window = window;
    connect(window, &LocalSearchWindow::notify, this, &LocalPlaybackController::notify);
    connect(window, &LocalSearchWindow::playRequested, this,
            [this, folder](const LocalPlayRequest& request) {
                emit stopLiveRequested();
                play(request, folder);
            });
    emit searchWindowOpened(window);
    window->open();
}

bool LocalPlaybackController::play(const LocalPlayRequest& request,
                                   const std::filesystem::path& folder) {
    stop();
    Playlist playlist = buildPlaylist(discoverBackupSets(folder, SetTagSource::Data), request);
    if (playlist.empty() || m_video == nullptr) {
        emit notify(kNoDataCategory, kNoDataDetail);
        return false;
    }
    m_video->startStream(StreamKind::LocalPlayback, 16);
    m_clock = new ClockDisplay(ClockVariant::Playback, m_owner);
    m_clock->setGeometry(kClockArea);
    m_clock->show();
    m_host.setClockSeconds(m_clock->playbackTime());

    // The player's events come on its thread: each goes to this object queued, and is dropped
    // once the player it came from has gone.
    m_alive = std::make_shared<std::atomic<bool>>(true);
    if (!m_playerEvents)
        m_playerEvents = new CallPoster(this);
    auto queued = [alive = m_alive, to = m_playerEvents](auto fn) {
        to->post([alive, fn] {
            if (alive->load())
                fn();
        });
    };
    LocalPlayerEvents events;
    events.clock = [this, queued](std::uint32_t time) {
        queued([this, time] {
            if (m_clock) {
                m_clock->setPlaybackTime(time);
                m_host.setClockSeconds(m_clock->playbackTime());
            }
            updateSlider();
        });
    };
    events.layout = [this, queued](int cells, std::uint16_t channels) {
        queued([this, cells, channels] {
            if (m_video) {
                // The pages turn over the run's channels; a run with the layout already shown
                // keeps the page the operator is on.
                m_video->setStreamChannels(channels);
                if (m_video->layoutModel().layout() != cells)
                    m_video->selectLayout(cells);
                emit layoutShown(m_video->layoutModel().layout());
            }
        });
    };
    events.paused = [this, queued] { queued([this] { onPaused(); }); };
    events.ended = [this, queued] { queued([this] { stop(); }); };
    m_player = std::make_unique<LocalPlayer>(std::move(playlist), m_host, std::move(events));
    m_player->setAudioFactory(m_audioFactory);
    if (m_video)
        m_player->setShownChannels(m_video->visibleChannelMask());
    m_player->start();
    if (m_video)
        m_video->feed().setSpeedCode(m_player->speedMark());
    updateButtons(3);
    if (m_owner)
        m_owner->update(kClockArea);
    return true;
}

void LocalPlaybackController::press(int control) {
    if (!m_player)
        return;
    if (control == 6) {
        stop();
        return;
    }
    if (m_video)
        m_player->setShownChannels(m_video->visibleChannelMask());
    const LocalControlEffects effects = m_player->control(control);
    if (m_video)
        m_video->feed().setSpeedCode(m_player->speedMark());
    updateButtons(effects.highlight);
    // Steps and pause show their last picture once the frames under way are drawn.
    if (effects.repaintLater && m_video)
        QTimer::singleShot(kRepaintAfterMs, m_video, [video = QPointer<VideoWindow>(m_video)] {
            if (video)
                video->update();
        });
}

void LocalPlaybackController::stop() {
    if (!m_player)
        return;
    if (m_alive)
        m_alive->store(false);
    m_player->stop(); // the thread has ended and every decoder is gone when it returns
    m_player.reset();
    m_host.setClockSeconds(std::nullopt);
    delete m_clock;
    if (m_video && m_video->mode() == StreamKind::LocalPlayback) {
        m_video->stopStream();
        m_video->feed().setSpeedCode(0);
        emit layoutShown(m_video->layoutModel().layout());
    }
    updateButtons(0);
    updateSlider();
    if (m_owner)
        m_owner->update(kClockArea);
}

void LocalPlaybackController::onPaused() {
    if (m_video && m_player)
        m_video->feed().setSpeedCode(m_player->speedMark());
    updateButtons(m_player && m_player->mode() == LocalMode::Pause ? 4 : 0);
}

void LocalPlaybackController::updateButtons(int highlight) {
    if (!m_buttonFor)
        return;
    const bool on = m_player != nullptr;
    for (int id = kFirstPlayButton; id <= kFirstPlayButton + 6; ++id) {
        if (id == kRecordButton)
            continue;
        SkinButton* b = m_buttonFor(id);
        if (b == nullptr)
            continue;
        if (on || id != kStopButton)
            b->setEnabled(on);
        if (!on || highlight != 0)
            b->setPressedLook(on && id - kFirstPlayButton + 1 == highlight);
    }
}

void LocalPlaybackController::updateSlider() {
    if (!m_slider)
        return;
    m_slider->setEnabled(m_player != nullptr);
    if (!m_player || m_sliderHeld)
        return;
    const RunSpan span = m_player->span();
    m_slider->setRange(0, static_cast<int>(span.end > span.start ? span.end - span.start : 0));
    const std::uint32_t now = m_player->currentTime();
    m_slider->setPosition(now > span.start ? static_cast<int>(now - span.start) : 0);
}

} // namespace kalder
