#pragma once

#include "session/playback_state.h"
#include "ui/clock_display.h"
#include "video/player_decode_host.h"

#include <QObject>
#include <QPointer>

#include <cstdint>

namespace kalder {

class DecoderLibrary;
class RecorderSession;
class VideoWindow;

// Remote playback as the main window shows it: routes the playback buttons (1, 2, 3, 4, 6, 7)
// to the session, says which of them may be pressed, puts the video window into playback mode
// and back, keeps the playback clock and the speed mark in step with the session.
//
// GUI thread only. The main window routes the session's playback messages here.
class PlaybackController : public QObject {
    Q_OBJECT
public:
    // `library` may be null; `receiver` (the main window) gets the decoders' events and is the
    // parent of the playback clock.
    PlaybackController(const DecoderLibrary* library, QWidget* receiver);
    ~PlaybackController() override;

    // While no playback decoder runs.
    void setSession(RecorderSession* session);
    void setVideoWindow(VideoWindow* window);

    // The entry point of the windows that start playback (search window, log lists): the
    // period from `start` to `end` (RecorderTime, 0: no end) of the channels of `channelMask`
    // and the recording kinds `kind`. False when no request could be sent.
    bool play(std::uint32_t start, std::uint32_t end, std::uint16_t channelMask, std::uint8_t kind);

    // A playback button; nothing when its rule forbids it now.
    void press(PlayControl control);
    bool buttonEnabled(PlayControl control) const;
    bool active() const;
    ClockDisplay* clock() const { return m_clock; }

    // Posted by the session.
    void started(int channels); // PLAY_ON_ACK: playback mode and its clock
    void buttonsChanged(int highlight);
    void positionChanged();
    void ended();

signals:
    // The playback buttons' enabled states changed; `highlight` is the control shown pressed
    // (0: keep).
    void buttonsUpdated(int highlight);
    // The layout the video window shows now, for the layout buttons.
    void layoutShown(int cells);
    // The operator stopped a playback started from the search window: it opens again.
    void searchResumeWanted();

private:
    QWidget* const m_owner;
    PlayerDecodeHost m_host;
    RecorderSession* m_session = nullptr;
    VideoWindow* m_window = nullptr;
    QPointer<ClockDisplay> m_clock;
};

} // namespace kalder
