#pragma once

#include "session/playback_state.h"
#include "ui/clock_display.h"
#include "video/feed_slots.h"
#include "video/player_decode_host.h"

#include <QObject>
#include <QPointer>

#include <cstdint>

namespace kalder {

class DecoderLibrary;
class RecorderSession;
class SkinSlider;
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
    // The recorder of a site that session is (its index; 0 for a single recorder): the player
    // draws into that recorder's cells. Set with the session, while nothing plays.
    void setRecorder(int index) {
        m_recorder = index;
        m_host.setSlotBase(slotOf(index, 0));
    }
    void setVideoWindow(VideoWindow* window);

    // The entry point of the windows that start playback (search window, log lists): the
    // period from `start` to `end` (RecorderTime, 0: no end) of the channels of `channelMask`
    // and the recording kinds `kind`. False when no request could be sent.
    bool play(std::uint32_t start, std::uint32_t end, std::uint16_t channelMask, std::uint8_t kind);

    // Instant replay: channel `channel` (0-15) alone from `secondsBack` seconds before the
    // recorder's clock of the live pictures, with no end, through play(). False when live view
    // has not told the recorder's clock yet or no request could be sent.
    bool replay(int channel, int secondsBack);
    // The playback under way was started by replay(); until it ends.
    bool replaying() const { return m_replay; }

    // The position slider (control 420): while remote playback runs its range is the period
    // played, it follows the playback clock, and its release (or Page Up / Page Down on it)
    // restarts the playback at the chosen second. The local player drives it otherwise.
    void setPositionSlider(SkinSlider* slider);
    // Restarts the playback at `second` (RecorderTime) within the period played.
    bool jumpTo(std::uint32_t second);
    // The period played: its first and last second (the last grows with an open end).
    std::uint32_t periodStart() const { return m_periodStart; }
    std::uint32_t periodEnd() const { return m_periodEnd; }

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
    // A playback that replay() started has ended (stopped by the operator, the recorder or the
    // session's end): the owner brings live view back as it was.
    void replayEnded();

protected:
    // Page Up / Page Down on the position slider while remote playback runs.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateSlider();
    // The slider's second, as a RecorderTime.
    std::uint32_t sliderSecond(int position) const;

    QWidget* const m_owner;
    PlayerDecodeHost m_host;
    int m_recorder = 0;
    RecorderSession* m_session = nullptr;
    VideoWindow* m_window = nullptr;
    QPointer<ClockDisplay> m_clock;
    QPointer<SkinSlider> m_slider;
    bool m_sliderOwned = false; // remote playback enabled the slider and drives it
    bool m_replay = false;
    // The period of the last request; an open end (0) follows the position.
    std::uint32_t m_periodStart = 0;
    std::uint32_t m_periodEnd = 0;
    bool m_openEnd = false;
};

} // namespace kalder
