#include "live/live_decode_host.h"

#include "resources/resource_library.h"
#include "decode/channel_decoder.h"
#include "decode/decoder_init_error_event.h"
#include "video/video_window.h"
#include "session/recorder_session.h"

namespace kalder {

namespace {

// The mode label of live view in the resource library.
constexpr int kLiveLabelText = 5013;

} // namespace

// The video window as the session's decoders draw into it. The session creates its decoders on
// the receive thread as soon as it has asked for live video, which may be before the GUI thread
// has switched the window to live view; a decoder takes its stream kind when it starts, so this
// view answers "live" for the window's mode and passes everything else on.
class LiveDecodeHost::LiveTarget final : public PictureTarget {
public:
    explicit LiveTarget(VideoWindow& window) : m_window(window) {}

    std::byte* pictureBuffer(unsigned channel) override { return m_window.pictureBuffer(channel); }
    std::mutex& pictureLock(unsigned channel) override { return m_window.pictureLock(channel); }
    bool isAccelerated() const override { return m_window.isAccelerated(); }
    StreamKind mode() const override { return StreamKind::Live; }
    void setPictureSize(unsigned channel, int width, int height) override {
        m_window.setPictureSize(channel, width, height);
    }
    void prepareSurface(unsigned channel, int width, int height) override {
        m_window.prepareSurface(channel, width, height);
    }
    void clearPicture(unsigned channel) override { m_window.clearPicture(channel); }
    void markDecoded(unsigned channel) override { m_window.markDecoded(channel); }
    void drawChannel(unsigned channel) override { m_window.drawChannel(channel); }
    CellSize cellSize(unsigned channel) const override { return m_window.cellSize(channel); }
    void countFrame(unsigned channel) override { m_window.countFrame(channel); }

private:
    VideoWindow& m_window;
};

LiveDecodeHost::LiveDecodeHost(const DecoderLibrary* library, QObject* receiver)
    : m_library(library), m_receiver(receiver),
      m_liveLabel(resourceText(kLiveLabelText).toStdString()) {}

LiveDecodeHost::~LiveDecodeHost() = default;

void LiveDecodeHost::setWindow(VideoWindow* window) {
    m_target.store(nullptr);
    m_window.store(window);
    m_liveTarget = window ? std::make_unique<LiveTarget>(*window) : nullptr;
    m_target.store(m_liveTarget.get());
}

std::unique_ptr<FrameConsumer> LiveDecodeHost::createConsumer(unsigned channel) {
    LiveTarget* target = m_target.load();
    if (target == nullptr || channel >= kChannelCount)
        return nullptr;
    return std::make_unique<ChannelDecoder>(channel, m_library, *target, *this);
}

DecodeHost::LiveVisibility LiveDecodeHost::liveVisibility(unsigned channel) {
    const RecorderSession* session = m_session.load();
    if (session == nullptr)
        return {};
    return {session->live().liveOn(), session->status().channelHidden(channel)};
}

void LiveDecodeHost::composeOverlay(const OverlayFacts& facts) {
    VideoWindow* window = m_window.load();
    const RecorderSession* session = m_session.load();
    if (window == nullptr)
        return;
    std::string title;
    AudioFacts audio;
    if (session != nullptr && facts.channel < kChannelCount) {
        title = session->status().channelTitles()[facts.channel];
        audio.streamHasAudio = session->audioOn();
        audio.audioChannel = session->live().audioChannel();
    }
    window->composeOverlay(facts, title, m_liveLabel, audio);
}

void LiveDecodeHost::decoderInitFailed(unsigned channel) {
    postDecoderInitError(m_receiver, channel);
}

void LiveDecodeHost::decodeThreadEnded(unsigned channel) {
    if (VideoWindow* window = m_window.load())
        window->clearAudioMark(channel);
}

} // namespace kalder
