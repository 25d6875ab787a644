#pragma once

#include "decode/decode_host.h"
#include "wire/frame_consumer.h"

#include <QObject>

#include "wire/channel_count.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace kalder {

class DecoderLibrary;
class RecorderSession;
class SnapshotBoard;
class WebExportBoard;
class VideoFeed;

// The main window's side of the live decode pipeline: the factory the session creates its
// channel decoders with (they decode into the current video window's feed) and what the decode
// threads
// ask of the client (visibility, overlays, the decoder init error). The overlays' facts (titles,
// audio) are pushed in by the live-view controller when they change; whether a channel is
// hidden is read from the session's lock-free flags, so that a channel made covert stops being
// drawn with the very next frame.
//
// Threads: setSession and setFeed run on the GUI thread, only while no decoder runs (the
// session dismantles its decoders before it ends or before the video window is replaced);
// createConsumer runs on the receive thread or the GUI thread; the DecodeHost functions on the
// decode threads, which reach the feed, never the window. The session and feed pointers are
// atomics for that reason.
class LiveDecodeHost final : public DecodeHost, public FrameConsumerFactory {
public:
    // `library` may be null (no decoding); `receiver` gets the decoder init error events and
    // lives for the whole run.
    LiveDecodeHost(const DecoderLibrary* library, QObject* receiver);
    ~LiveDecodeHost() override;

    void setSession(RecorderSession* session) { m_session.store(session); }
    void setFeed(VideoFeed* feed) { m_feed.store(feed); }
    // The recorder's first slot in the feed (its index in the site × 16; 0 for a single
    // recorder), set while no decoder runs.
    void setSlotBase(unsigned base) { m_slotBase.store(base); }
    // Whether this recorder's decoders take the snapshot requests and feed the web export: the
    // recorder the main window's features work on (the first one until another is chosen).
    void setTakesMedia(bool takes) { m_takesMedia.store(takes); }
    void setDateFormat(int dateFormat) { m_dateFormat.store(dateFormat); }
    // Before any decoder runs: the snapshot requests and savers, and the web export. Either may
    // be null.
    void setMediaBoards(SnapshotBoard* snapshots, WebExportBoard* webExport) {
        m_snapshots.store(snapshots);
        m_webExport.store(webExport);
    }
    // GUI thread, when the session says they changed: what the overlays show.
    void setChannelTitles(const std::array<std::string, kChannelCount>& titles);
    // What every title starts with: the recorder's number in a site ("R2 "), so that a cell
    // says whose camera it shows; empty for a single recorder.
    void setTitlePrefix(std::string prefix);
    void setAudioFacts(bool streamHasAudio, int audioChannel);

    // FrameConsumerFactory
    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override;

    // DecodeHost
    LiveVisibility liveVisibility(unsigned channel) override;
    void composeOverlay(const OverlayFacts& facts) override;
    int dateFormat() override { return m_dateFormat.load(); }
    std::optional<int> webExportInterval() override;
    void exportWebPicture(const PictureView& picture) override;
    bool takeSnapshotRequest(unsigned channel) override;
    bool snapshotRequested(unsigned channel) override;
    void saveSnapshot(const PictureView& picture, std::string_view timeText) override;
    void decoderInitFailed(unsigned channel) override;
    void decodeThreadEnded(unsigned channel) override;

private:
    const DecoderLibrary* const m_library;
    QObject* const m_receiver;
    const std::string m_liveLabel; // read only after construction
    std::atomic<RecorderSession*> m_session{nullptr};
    std::atomic<VideoFeed*> m_feed{nullptr};
    std::atomic<unsigned> m_slotBase{0};
    std::atomic<bool> m_takesMedia{true};
    std::atomic<int> m_dateFormat{0};
    std::atomic<SnapshotBoard*> m_snapshots{nullptr};
    std::atomic<WebExportBoard*> m_webExport{nullptr};
    // Pushed by the GUI thread, read by the decode threads for each overlay.
    std::mutex m_titlesLock;
    std::array<std::string, kChannelCount> m_titles; // guarded by m_titlesLock
    std::string m_titlePrefix;                       // guarded by m_titlesLock
    std::atomic<bool> m_streamHasAudio{false};
    std::atomic<int> m_audioChannel{-1};
};

} // namespace kalder
