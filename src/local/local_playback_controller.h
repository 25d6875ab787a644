#pragma once

#include "local/local_player.h"
#include "local/local_search_window.h"
#include "video/player_decode_host.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace kalder {

class CallPoster;
class ClockDisplay;
class DecoderLibrary;
class SkinButton;
class SkinSlider;
class VideoWindow;

// Local search and playback as the main window shows them: opens the local search window,
// turns its play requests into a playlist and a running LocalPlayer, routes the playback
// buttons and the position slider (control 420) to the player while the video window is in
// local-playback mode, keeps the playback clock, the speed mark and the slider in step, and
// stops the player (stop button, quit). GUI thread only; a child of the main window.
class LocalPlaybackController : public QObject {
    Q_OBJECT
public:
    LocalPlaybackController(const DecoderLibrary* library, bool removableMode, QWidget* owner);
    ~LocalPlaybackController() override;

    void setVideoWindow(VideoWindow* window);
    // Where the sound of the channel shown alone goes (none: no sound).
    void setAudioFactory(AudioConsumerFactory* factory) { m_audioFactory = factory; }
    // The main window's playback buttons (by control id) and the position slider.
    void setControls(std::function<SkinButton*(int)> buttonFor, SkinSlider* slider);

    // The download folder: the data folder's "Download", or in removable mode the current
    // directory's.
    std::filesystem::path downloadFolder(const QString& dataFolder) const;
    // LSearch (and the start in removable mode): opens or raises the window.
    void openSearchWindow(const QString& dataFolder, unsigned dateFormat);
    LocalSearchWindow* searchWindow() const { return m_window; }

    // A play request over the sets of `folder`: false (and the no-data notification) when
    // nothing is there to play.
    bool play(const LocalPlayRequest& request, const std::filesystem::path& folder);
    // A playback button by its control number (1, 2, 3, 4, 6 stop, 7).
    void press(int control);
    void stop();
    bool active() const { return m_player != nullptr; }
    LocalPlayer* player() const { return m_player.get(); }

signals:
    // (category, detail) for the main window's notification box.
    void notify(int category, int detail);
    // A local search window was made and is about to open: the main window fills its Log tab.
    void searchWindowOpened(kalder::LocalSearchWindow* window);
    // A play request is about to start: live streaming must stop first.
    void stopLiveRequested();
    void layoutShown(int cells);

private:
    void updateButtons(int highlight);
    void updateSlider();
    void onPaused();

    QWidget* const m_owner;
    const bool m_removableMode;
    PlayerDecodeHost m_host;
    VideoWindow* m_video = nullptr;
    std::function<SkinButton*(int)> m_buttonFor;
    SkinSlider* m_slider = nullptr;
    AudioConsumerFactory* m_audioFactory = nullptr;
    bool m_sliderHeld = false;
    QPointer<LocalSearchWindow> m_window;
    QPointer<ClockDisplay> m_clock;
    std::unique_ptr<LocalPlayer> m_player;
    // Set for the player's events while it lives; they arrive queued and check it.
    std::shared_ptr<std::atomic<bool>> m_alive;
    CallPoster* m_playerEvents = nullptr; // child, made by the first play: the events' way here
};

} // namespace kalder
