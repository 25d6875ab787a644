#pragma once

#include "decode/decode_host.h"
#include "session/playback_state.h"
#include "ui/clock_display.h"
#include "wire/frame_consumer.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <string>

namespace kalder {

class DecoderLibrary;
class RecorderSession;
class VideoWindow;

// The decoders of remote playback: they draw into the video window in playback mode, their
// overlays carry the frame's title, the playback mode label and the playback clock's time.
// Threads as the live decode host: setters on the GUI thread while no decoder runs,
// createConsumer on the receive thread, the rest on the decode threads.
class PlaybackDecodeHost final : public DecodeHost, public FrameConsumerFactory {
public:
    PlaybackDecodeHost(const DecoderLibrary* library, QObject* receiver);

    void setWindow(VideoWindow* window) { m_window.store(window); }
    void setClock(ClockDisplay* clock) { m_clock.store(clock); }

    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override;
    std::optional<std::int64_t> playbackClockSeconds(StreamKind kind) override;
    void composeOverlay(const OverlayFacts& facts) override;
    void decoderInitFailed(unsigned channel) override;

private:
    const DecoderLibrary* const m_library;
    QObject* const m_receiver;
    const std::string m_label; // read only after construction
    std::atomic<VideoWindow*> m_window{nullptr};
    std::atomic<ClockDisplay*> m_clock{nullptr};
};

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
    PlaybackDecodeHost m_host;
    RecorderSession* m_session = nullptr;
    VideoWindow* m_window = nullptr;
    QPointer<ClockDisplay> m_clock;
};

} // namespace kalder
