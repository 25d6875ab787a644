#pragma once

#include "decode/decode_host.h"
#include "wire/frame_consumer.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <string>

namespace kalder {

class DecoderLibrary;
class RecorderSession;
class VideoWindow;

// The main window's side of the live decode pipeline: the factory the session creates its
// channel decoders with (they draw into the current video window) and what the decode threads
// ask of the client (visibility, overlays, the decoder init error).
//
// Threads: setSession and setWindow run on the GUI thread, only while no decoder runs (the
// session dismantles its decoders before it ends or before the video window is replaced);
// createConsumer runs on the receive thread or the GUI thread; the DecodeHost functions on the
// decode threads. The session and window pointers are atomics for that reason.
class LiveDecodeHost final : public DecodeHost, public FrameConsumerFactory {
public:
    // `library` may be null (no decoding); `receiver` gets the decoder init error events and
    // lives for the whole run.
    LiveDecodeHost(const DecoderLibrary* library, QObject* receiver);
    ~LiveDecodeHost() override;

    void setSession(RecorderSession* session) { m_session.store(session); }
    void setWindow(VideoWindow* window);
    void setDateFormat(int dateFormat) { m_dateFormat.store(dateFormat); }

    // FrameConsumerFactory
    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override;

    // DecodeHost
    LiveVisibility liveVisibility(unsigned channel) override;
    void composeOverlay(const OverlayFacts& facts) override;
    int dateFormat() override { return m_dateFormat.load(); }
    void decoderInitFailed(unsigned channel) override;
    void decodeThreadEnded(unsigned channel) override;

private:
    const DecoderLibrary* const m_library;
    QObject* const m_receiver;
    const std::string m_liveLabel; // read only after construction
    std::atomic<RecorderSession*> m_session{nullptr};
    std::atomic<VideoWindow*> m_window{nullptr};
    std::atomic<int> m_dateFormat{0};
};

} // namespace kalder
