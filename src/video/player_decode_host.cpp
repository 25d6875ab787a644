#include "video/player_decode_host.h"

#include "decode/channel_decoder.h"
#include "decode/decoder_init_error_event.h"
#include "resources/resource_library.h"
#include "video/video_feed.h"

#include <algorithm>

namespace kalder {

PlayerDecodeHost::PlayerDecodeHost(StreamKind kind, int labelText, const DecoderLibrary* library,
                                   QObject* receiver)
    : m_kind(kind), m_library(library), m_receiver(receiver),
      m_label(resourceText(labelText).toStdString()) {}

void PlayerDecodeHost::setClockSeconds(std::optional<std::int64_t> seconds) {
    // The clock shows no time before 1970.
    m_clockSeconds.store(seconds ? std::max<std::int64_t>(*seconds, 0) : kNoClock);
}

std::unique_ptr<FrameConsumer> PlayerDecodeHost::createConsumer(unsigned channel) {
    VideoFeed* feed = m_feed.load();
    if (feed == nullptr || channel >= kChannelCount)
        return nullptr;
    const unsigned base = m_slotBase.load();
    return std::make_unique<ChannelDecoder>(base + channel, m_kind, m_library, feed->pictures(),
                                            *feed, *this, base);
}

std::optional<std::int64_t> PlayerDecodeHost::playbackClockSeconds(StreamKind kind) {
    const std::int64_t seconds = m_clockSeconds.load();
    if (kind != m_kind || seconds == kNoClock)
        return std::nullopt;
    return seconds;
}

void PlayerDecodeHost::composeOverlay(const OverlayFacts& facts) {
    if (VideoFeed* feed = m_feed.load())
        feed->composeOverlay(facts, facts.title, m_label, {});
}

void PlayerDecodeHost::decoderInitFailed(unsigned channel) {
    postDecoderInitError(m_receiver, channel, m_generation.load());
}

} // namespace kalder
