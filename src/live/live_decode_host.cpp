#include "live/live_decode_host.h"

#include "resources/resource_library.h"
#include "decode/channel_decoder.h"
#include "decode/decoder_init_error_event.h"
#include "decode/snapshot_saver.h"
#include "decode/web_exporter.h"
#include "video/video_feed.h"
#include "session/recorder_session.h"

namespace kalder {

namespace {

// The mode label of live view in the resource library.
constexpr int kLiveLabelText = 5013;

// The picture as its recorder names it: the file names of snapshots and web pictures carry the
// recorder's channel, not the feed's slot.
PictureView recorderPicture(PictureView picture) {
    picture.channel %= kChannelCount;
    return picture;
}

} // namespace

LiveDecodeHost::LiveDecodeHost(const DecoderLibrary* library, QObject* receiver)
    : m_library(library), m_receiver(receiver),
      m_liveLabel(resourceText(kLiveLabelText).toStdString()) {}

LiveDecodeHost::~LiveDecodeHost() = default;

std::unique_ptr<FrameConsumer> LiveDecodeHost::createConsumer(unsigned channel) {
    // The session creates its decoders on the receive thread as soon as it has asked for live
    // video, which may be before the GUI thread has switched the window to live view: the
    // decoders are live ones whatever the window shows yet.
    VideoFeed* feed = m_feed.load();
    if (feed == nullptr || channel >= kChannelCount)
        return nullptr;
    const unsigned base = m_slotBase.load();
    return std::make_unique<ChannelDecoder>(base + channel, StreamKind::Live, m_library,
                                            feed->pictures(), *feed, *this, base);
}

DecodeHost::LiveVisibility LiveDecodeHost::liveVisibility(unsigned slot) {
    const RecorderSession* session = m_session.load();
    if (session == nullptr)
        return {};
    return {session->live().liveOn(), session->status().channelHidden(slot % kChannelCount)};
}

void LiveDecodeHost::composeOverlay(const OverlayFacts& facts) {
    VideoFeed* feed = m_feed.load();
    const RecorderSession* session = m_session.load();
    if (feed == nullptr)
        return;
    std::string title;
    AudioFacts audio;
    if (session != nullptr) {
        {
            std::lock_guard lock(m_titlesLock);
            title = m_titlePrefix + m_titles[facts.channel % kChannelCount];
        }
        audio.streamHasAudio = m_streamHasAudio.load();
        audio.audioChannel = m_audioChannel.load();
    }
    feed->composeOverlay(facts, title, m_liveLabel, audio);
}

void LiveDecodeHost::setChannelTitles(const std::array<std::string, kChannelCount>& titles) {
    std::lock_guard lock(m_titlesLock);
    m_titles = titles;
}

void LiveDecodeHost::setTitlePrefix(std::string prefix) {
    std::lock_guard lock(m_titlesLock);
    m_titlePrefix = std::move(prefix);
}

void LiveDecodeHost::setAudioFacts(bool streamHasAudio, int audioChannel) {
    m_streamHasAudio = streamHasAudio;
    m_audioChannel = audioChannel;
}

void LiveDecodeHost::decoderInitFailed(unsigned slot) {
    // A session's decoders all end before it is replaced: this is the decoder's own session.
    const RecorderSession* session = m_session.load();
    postDecoderInitError(m_receiver, slot % kChannelCount, session ? session->generation() : 0);
}

void LiveDecodeHost::decodeThreadEnded(unsigned slot) {
    if (VideoFeed* feed = m_feed.load())
        feed->overlays().clearAudioMark(slot);
    if (WebExportBoard* web = m_webExport.load(); web && m_takesMedia.load())
        web->channelEnded(slot % kChannelCount);
}

std::optional<int> LiveDecodeHost::webExportInterval() {
    WebExportBoard* web = m_webExport.load();
    return web && m_takesMedia.load() ? web->interval() : std::nullopt;
}

void LiveDecodeHost::exportWebPicture(const PictureView& picture) {
    if (WebExportBoard* web = m_webExport.load(); web && m_takesMedia.load())
        web->exportPicture(recorderPicture(picture));
}

bool LiveDecodeHost::takeSnapshotRequest(unsigned slot) {
    SnapshotBoard* board = m_snapshots.load();
    return board != nullptr && m_takesMedia.load() && board->takeRequest(slot % kChannelCount);
}

bool LiveDecodeHost::snapshotRequested(unsigned slot) {
    SnapshotBoard* board = m_snapshots.load();
    return board != nullptr && m_takesMedia.load() &&
           (board->pendingRequests() & (1u << (slot % 16))) != 0;
}

void LiveDecodeHost::saveSnapshot(const PictureView& picture, std::string_view timeText) {
    if (SnapshotBoard* board = m_snapshots.load(); board && m_takesMedia.load())
        board->start(recorderPicture(picture), timeText);
}

} // namespace kalder
