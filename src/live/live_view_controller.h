#pragma once

#include "live/live_decode_host.h"

#include <QObject>

#include <cstdint>

namespace kalder {

class DecoderLibrary;
class RecorderSession;
class VideoWindow;

// Live view as the main window shows it: owns the live decode host (the factory of the
// session's channel decoders and what their threads ask), keeps the video window in step with
// what the session posts (live start and stop, the channel masks, hidden channels) and pushes
// the facts the overlays show (channel titles, audio) down to the decode host when the session
// says they changed, so that no decode thread pulls them from the session for every picture.
//
// GUI thread only. The main window routes the session's posted messages here; setSession and
// setVideoWindow are called only while no decoder runs (see LiveDecodeHost).
class LiveViewController : public QObject {
    Q_OBJECT
public:
    // `library` may be null (no decoding); `receiver` gets the decode threads' events.
    LiveViewController(const DecoderLibrary* library, QObject* receiver);
    ~LiveViewController() override;

    // A new session (null: none). Sets the session's frame-consumer factory.
    void setSession(RecorderSession* session);
    // The recorder's index in the site the video window shows (0, the default, for a single
    // recorder); set before the window and the session. The decoders draw into the recorder's
    // slots of the window's feed. A controller of another recorder than the first never starts
    // or stops the window's stream as a whole: it starts and stops its recorder's part.
    void setRecorder(int index);
    int recorder() const { return m_recorder; }
    // Whether snapshots and the web export come from this recorder's pictures.
    void setTakesMedia(bool takes) { m_host.setTakesMedia(takes); }
    void setVideoWindow(VideoWindow* window);
    void setDateFormat(int dateFormat) { m_host.setDateFormat(dateFormat); }
    void setMediaBoards(SnapshotBoard* snapshots, WebExportBoard* webExport) {
        m_host.setMediaBoards(snapshots, webExport);
    }

    // Posted by the session.
    // `channels`: the recorder's channel count, or 0 to keep the layout and repaint.
    void videoWindowReset(int channels);
    void liveChannels(std::uint16_t mask, std::uint16_t videoLoss);
    void hiddenChannelsChanged();
    void channelTitlesChanged();
    void audioChanged();

    // LIVE_CHANNEL_INFO answers handled so far; for tests and diagnostics.
    int liveChannelInfoCount() const { return m_liveChannelInfoCount; }

signals:
    // The layout the video window shows now (0: none pressed), for the layout buttons.
    void layoutShown(int cells);

private:
    void onVisibleChannelsChanged(quint16 mask);
    std::uint16_t hiddenChannelMask() const;
    // The window shows several recorders: each controller starts and stops its own part.
    bool sitePart() const;

    LiveDecodeHost m_host;
    RecorderSession* m_session = nullptr;
    VideoWindow* m_window = nullptr;
    QMetaObject::Connection m_visibleConnection;
    int m_recorder = 0;
    // In a site, live view starts with every channel asked for: the first channel report
    // narrows the request to the channels shown.
    bool m_narrowAfterStart = false;
    int m_liveChannelInfoCount = 0;
};

} // namespace kalder
