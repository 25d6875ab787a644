#include "app/live_decode_host.h"

#include "app/resource_library.h"
#include "live/channel_decoder.h"
#include "live/decoder_init_error_event.h"
#include "live/video_window.h"
#include "protocol/recorder_session.h"

namespace kalder {

namespace {

// The mode label of live view in the resource library.
constexpr int kLiveLabelText = 5013;

} // namespace

LiveDecodeHost::LiveDecodeHost(const DecoderLibrary* library, QObject* receiver)
    : m_library(library), m_receiver(receiver),
      m_liveLabel(resourceText(kLiveLabelText).toStdString()) {}

std::unique_ptr<FrameConsumer> LiveDecodeHost::createConsumer(unsigned channel) {
    VideoWindow* window = m_window.load();
    if (window == nullptr || channel >= kChannelCount)
        return nullptr;
    return std::make_unique<ChannelDecoder>(channel, m_library, *window, *this);
}

DecodeHost::LiveVisibility LiveDecodeHost::liveVisibility(unsigned channel) {
    const RecorderSession* session = m_session.load();
    if (session == nullptr)
        return {};
    return {session->liveOn(), session->channelHidden(channel)};
}

void LiveDecodeHost::composeOverlay(const OverlayFacts& facts) {
    VideoWindow* window = m_window.load();
    const RecorderSession* session = m_session.load();
    if (window == nullptr)
        return;
    std::string title;
    AudioFacts audio;
    if (session != nullptr && facts.channel < kChannelCount) {
        title = session->channelTitles()[facts.channel];
        audio.streamHasAudio = session->audioOn();
        audio.audioChannel = session->audioChannel();
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
