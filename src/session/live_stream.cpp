// Live streaming: the live request and stop, the channel masks, frame reassembly and the hand-off
// of video to the channel consumers and of audio to the player.
#include "session/live_stream.h"

#include "session/recorder_session.h"
#include "session/recorder_status.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"
#include "wire/message_catalogue.h"
#include "net/trace.h"
#include "session/window_message.h"

#include <algorithm>
#include <array>
#include <memory>
#include <thread>

namespace kalder {

namespace {

constexpr std::uint16_t kAudioOnCode = 0x0B88;
constexpr std::uint16_t kAudioOffCode = 0x0B80;

std::array<std::byte, 4> be32(std::uint32_t value) {
    std::array<std::byte, 4> bytes{};
    ByteWriter w(bytes);
    w.writeBe32(value);
    return bytes;
}

std::uintptr_t look(ButtonLook l) {
    return static_cast<std::uintptr_t>(l);
}

} // namespace

LiveStream::LiveStream(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    m_session.registerHandler(LIVE_CHANNEL_INFO,
                              [this](const MessageHeader& h) { return RecvFn_LiveChannelInfo(h); });
    m_session.registerHandler(LIVE_DATA,
                              [this](const MessageHeader& h) { return RecvFn_LiveData(h); });
    m_session.registerHandler(LIVE_NACK,
                              [this](const MessageHeader& h) { return RecvFn_LiveNack(h); });
    m_session.registerHandler(LIVE_STOP_NACK,
                              [this](const MessageHeader& h) { return RecvFn_LiveStopNack(h); });
    m_session.registerEmptyReplyHandler(LIVE_STOP_ACK, [](const MessageHeader&) {});
}

// GUI thread (Live button) or receive thread (after login).
void LiveStream::startLive() {
    std::unique_lock lock(m_controlMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        m_startsHeldBack.fetch_add(1);
        lock.lock();
    }
    startLiveLocked();
}

void LiveStream::startLiveLocked() {
    if (m_liveRequestPending || m_session.playbackRequestPending())
        return;
    m_liveRequestPending = true;
    // While the local file player is open live view resumes when the main window says so.
    if (m_localPlayerOpen)
        return;
    m_liveGeneration = 0;
    const unsigned channels = m_session.channelNum();
    m_session.post(WindowMessage::VideoWindowReset, channels);
    // The masks of this request reach the window after the reset above, never with a message
    // of the previous request still queued before it.
    m_session.restartLatest(WindowMessage::LiveChannels);
    if (m_frameFactory) {
        SessionSlots& registry = m_session.slotRegistry();
        std::lock_guard lock(registry.mutex());
        for (unsigned c = 0; c < channels && c < kChannelCount; ++c)
            if (!registry.consumer(c))
                registry.consumer(c) = m_frameFactory->createConsumer(c);
    }
    m_session.send(makeHeader(MessageId::LIVE_REQ, 4), be32(0x0000FFFF));
    m_session.resetAudioFlag();
    m_session.post(WindowMessage::LiveButton, look(ButtonLook::Pressed));
}

// GUI thread: the visible channels changed while live view runs.
void LiveStream::requestChannels(std::uint16_t mask) {
    if (!m_liveOn)
        return;
    m_session.send(makeHeader(MessageId::LIVE_REQ, 4), be32(mask));
}

// GUI thread.
void LiveStream::stopLive() {
    std::lock_guard lock(m_controlMutex);
    stopLiveLocked();
}

void LiveStream::stopLiveLocked() {
    m_session.postLatest(WindowMessage::ChannelInfoFile, 0);
    m_liveOn = false;
    // A request still waiting for its reply is abandoned too: the next start asks again.
    m_liveRequestPending = false;
    m_liveGeneration = 0;
    m_session.send(makeHeader(MessageId::LIVE_STOP));
    // The player plays out what it holds, then goes. Taken out of its slot first, so that the
    // receive thread (whose live frames are dropped from now on) never feeds it while it drains.
    std::unique_ptr<AudioConsumer> player = m_session.slotRegistry().takeAudio();
    if (player) {
        player->waitUntilDrained();
        player.reset();
        stopPlayer();
    }
    m_session.post(WindowMessage::CloseWindow, CloseTarget::PtzPresetKeypad);
    m_session.post(WindowMessage::CloseWindow, CloseTarget::DomeMenu);
    m_session.post(WindowMessage::CloseWindow, CloseTarget::PtzPanel);
    dismantleConsumers();
    m_session.post(WindowMessage::LiveButton, look(ButtonLook::Released));
    m_session.post(WindowMessage::VideoWindowReset, 16);
}

// The consumers' stop order: discard on all first; then one by one drain, stop, destroy.
void LiveStream::dismantleConsumers() {
    SessionSlots& registry = m_session.slotRegistry();
    std::array<FrameConsumer*, kChannelCount> consumers{};
    {
        std::lock_guard lock(registry.mutex());
        for (std::size_t c = 0; c < kChannelCount; ++c) {
            consumers[c] = registry.consumer(c).get();
            if (consumers[c])
                consumers[c]->setDiscardAll();
        }
    }
    // Only this thread removes consumers, so the pointers stay valid until taken out below;
    // the producer sees discardAll and queues nothing more.
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        if (!consumers[c])
            continue;
        consumers[c]->waitUntilDrained();
        consumers[c]->stop();
        // Destroyed outside the slot lock.
        std::unique_ptr<FrameConsumer> gone = registry.takeConsumer(c);
    }
}

// GUI thread: AUDIO_ONOFF_REQ; the change shows when the recorder echoes the audio flag.
void LiveStream::setAudio(bool on) {
    if (!m_soundDeviceAvailable || !(m_liveOn || m_session.playbackOn()))
        return;
    MessageHeader header = makeHeader(MessageId::AUDIO_ONOFF_REQ);
    header.code = on ? kAudioOnCode : kAudioOffCode;
    m_session.send(header);
}

// Receive thread: the session's audio-flag hook.
void LiveStream::audioFlagRose(StreamKind kind) {
    m_audioStoppedByView = false;
    startPlayer(kind);
}

void LiveStream::audioFlagFell() {
    m_audioStoppedByView = false;
    stopPlayer();
    m_audioChannelMask = 0;
}

// Receive thread (audio flag, live audio): slot 16.
void LiveStream::startPlayer(StreamKind kind) {
    stopPlayer();
    m_audioChannel = -1;
    m_audioChannelMask = 0;
    if (!m_soundDeviceAvailable || !m_audioFactory)
        return;
    auto player = m_audioFactory->startPlayer(kind);
    SessionSlots& registry = m_session.slotRegistry();
    std::lock_guard lock(registry.mutex());
    registry.audio() = std::move(player);
}

// Any thread of the session: empties slot 16.
void LiveStream::stopPlayer() {
    std::unique_ptr<AudioConsumer> player = m_session.slotRegistry().takeAudio();
    // Destroyed outside the lock: its destructor waits for the feeding thread.
    player.reset();
}

bool LiveStream::RecvFn_LiveChannelInfo(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!m_session.readPayload(header, payload))
        return false;
    if (payload.size() < 4) {
        trace("channel info size : %zu\n", payload.size());
        return true;
    }
    m_liveGeneration.fetch_add(1);
    m_assembly.reset();

    ByteReader r(payload);
    const std::uint32_t word = r.readBe32();
    std::uint16_t mask = static_cast<std::uint16_t>(word & 0xFFFF);
    for (unsigned n = 0; n < kChannelCount; ++n)
        if (m_session.status().channelHidden(n))
            mask = static_cast<std::uint16_t>(mask & ~(1u << n));

    std::uint16_t loss = 0;
    {
        SessionSlots& registry = m_session.slotRegistry();
        std::lock_guard lock(registry.mutex());
        for (unsigned n = 0; n < kChannelCount; ++n) {
            if (!registry.consumer(n))
                continue;
            const bool lost = (word >> (16 + n)) & 1u;
            registry.consumer(n)->setVideoLoss(lost);
            if (lost)
                loss = static_cast<std::uint16_t>(loss | (1u << n));
        }
    }
    m_videoLossMask = loss;
    m_liveChannelMask = mask;
    // Live view counts as on before the masks are posted, so that whoever handles the message
    // already sees it on; and before the request stops counting as pending, so that the window
    // handling the request's video-window reset never sees neither (and leaves the layout).
    m_liveOn = true;
    m_liveRequestPending = false;
    // The video window takes the masks (and repaints when they changed while live view was on);
    // the main window records the mask in the channel information file when its settings ask
    // for it.
    m_session.postLatest(WindowMessage::LiveChannels, mask, loss);
    m_session.postLatest(WindowMessage::ChannelInfoFile, mask);
    return true;
}

bool LiveStream::RecvFn_LiveData(const MessageHeader& header) {
    const auto step = m_assembly.readFragment(m_session.socket(), header, m_liveOn, "frame");
    if (step == FrameAssembler::Fragment::Failed)
        return false;
    if (step == FrameAssembler::Fragment::Whole) {
        completeLiveFrame(header);
        m_assembly.reset();
    }
    return true;
}

// Receive thread: a whole frame is in the assembly buffer.
void LiveStream::completeLiveFrame(const MessageHeader& lastFragment) {
    const std::span<const std::byte> frame = m_assembly.frame();
    const std::optional<FrameInfoBlock> block = decodeFrameInfoBlock(frame);
    if (!block || block->frameMagic != kFrameMagic)
        return;
    const FrameDescriptor descriptor = makeFrameDescriptor(*block, m_liveGeneration);
    // A block that claims more video than arrived is not handed on.
    if (descriptor.blockLength > frame.size()) {
        trace("frame video length %u beyond %zu bytes\n", unsigned(descriptor.videoLength),
              frame.size());
        return;
    }
    MessageHeader header = lastFragment;
    header.setFragmentChannel(descriptor.channel);

    // The recorder's clock, shown while live view runs: stored, and posted when it changes.
    m_recorderClock = header.headerWord3;
    if (header.headerWord3 != m_lastPostedClock) {
        m_lastPostedClock = header.headerWord3;
        m_session.postLatest(WindowMessage::RecorderClock, 0,
                             static_cast<std::intptr_t>(header.headerWord3));
    }

    if (descriptor.videoLength != 0) {
        SessionSlots& registry = m_session.slotRegistry();
        std::lock_guard lock(registry.mutex());
        FrameConsumer* consumer = registry.consumer(descriptor.channel).get();
        if (consumer && !consumer->discardAll()) {
            auto record = std::make_unique<FrameRecord>();
            record->descriptor = descriptor;
            record->header = header;
            record->data.assign(frame.begin(), frame.begin() + descriptor.blockLength);
            consumer->enqueueFrame(std::move(record));
        }
    }
    if (descriptor.videoLength != 0)
        std::this_thread::yield();

    if (descriptor.audioLength != 0 && m_session.audioOn())
        liveAudio(descriptor, frame);
}

// Receive thread: sound is heard only while the video window shows the channel that carries it
// alone.
void LiveStream::liveAudio(const FrameDescriptor& descriptor, std::span<const std::byte> frame) {
    const int previous = m_audioChannel.load();
    if (descriptor.audioChannel == 255) {
        m_audioChannel = -1;
        m_audioChannelMask = 0;
    } else {
        m_audioChannel = descriptor.audioChannel;
        m_audioChannelMask = static_cast<std::uint16_t>(1u << descriptor.audioChannel);
    }
    // Only a change is posted: the overlays' audio mark follows it.
    if (m_audioChannel.load() != previous)
        m_session.postLatest(WindowMessage::AudioFactsChanged);
    const int channel = m_audioChannel;
    if (channel < 0 || channel != m_singleViewChannel) {
        if (!m_audioStoppedByView) {
            stopPlayer();
            m_audioStoppedByView = true;
        }
        m_audioFramesUnheard.fetch_add(1);
        return;
    }
    if (m_audioStoppedByView) {
        startPlayer(StreamKind::Live);
        m_audioChannel = channel;
        m_audioChannelMask = static_cast<std::uint16_t>(1u << channel);
        m_audioStoppedByView = false;
    }
    const auto element = audioElementOf(descriptor, frame);
    if (!element)
        return;
    SessionSlots& registry = m_session.slotRegistry();
    std::lock_guard lock(registry.mutex());
    if (registry.audio())
        registry.audio()->enqueueAudio(*element);
}

bool LiveStream::RecvFn_LiveNack(const MessageHeader& header) {
    m_session.markLoggedOut();
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    m_session.notifyNack(MessageId::LIVE_NACK, code);
    stopPlayer();
    return true;
}

bool LiveStream::RecvFn_LiveStopNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    m_session.notifyNack(MessageId::LIVE_STOP_NACK, code);
    return true;
}

} // namespace kalder
