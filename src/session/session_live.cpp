// Live streaming: the live request and stop, the channel masks, frame reassembly and the hand-off
// of video to the channel consumers and of audio to the player.
#include "session/recorder_session.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"
#include "wire/message_catalogue.h"
#include "net/trace.h"
#include "session/window_message.h"

#include <algorithm>

namespace kalder {

namespace {

constexpr auto kDrainPoll = std::chrono::milliseconds(10);
constexpr std::uint16_t kAudioOnCode = 0x0B88;
constexpr std::uint16_t kAudioOffCode = 0x0B80;
constexpr std::byte kMuLawSilence{0xFF};

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

void RecorderSession::registerLiveHandlers() {
    using namespace MessageId;
    m_dispatcher.setHandler(LIVE_CHANNEL_INFO,
                            [this](const MessageHeader& h) { return RecvFn_LiveChannelInfo(h); });
    m_dispatcher.setHandler(LIVE_DATA,
                            [this](const MessageHeader& h) { return RecvFn_LiveData(h); });
    m_dispatcher.setHandler(LIVE_NACK,
                            [this](const MessageHeader& h) { return RecvFn_LiveNack(h); });
    m_dispatcher.setHandler(LIVE_STOP_NACK,
                            [this](const MessageHeader& h) { return RecvFn_LiveStopNack(h); });
    m_dispatcher.setEmptyReplyHandler(LIVE_STOP_ACK, [](const MessageHeader&) {});
}

// GUI thread (Live button) or receive thread (after login).
void RecorderSession::startLive() {
    if (m_liveRequestPending || m_playbackRequestPending)
        return;
    m_liveRequestPending = true;
    // While the local file player is open live view resumes when the main window says so.
    if (m_localPlayerOpen)
        return;
    m_liveGeneration = 0;
    const unsigned channels = m_channelNum;
    const unsigned panes = channels <= 4 ? 4 : channels <= 8 ? 9 : 16;
    post(WindowMessage::VideoWindowReset, panes);
    if (m_frameFactory) {
        std::lock_guard lock(m_slotMutex);
        for (unsigned c = 0; c < channels && c < kChannelCount; ++c)
            if (!m_consumers[c])
                m_consumers[c] = m_frameFactory->createConsumer(c);
    }
    send(makeHeader(MessageId::LIVE_REQ, 4), be32(0x0000FFFF));
    m_lastAudioFlag = false;
    post(WindowMessage::LiveButton, look(ButtonLook::Pressed));
}

// GUI thread: the visible channels changed while live view runs.
void RecorderSession::requestChannels(std::uint16_t mask) {
    if (!m_liveOn)
        return;
    send(makeHeader(MessageId::LIVE_REQ, 4), be32(mask));
}

// GUI thread.
void RecorderSession::stopLive() {
    post(WindowMessage::ChannelInfoFile, 0);
    m_liveOn = false;
    m_liveGeneration = 0;
    send(makeHeader(MessageId::LIVE_STOP));
    bool hasPlayer;
    {
        std::lock_guard lock(m_slotMutex);
        hasPlayer = m_audio != nullptr;
    }
    if (hasPlayer) {
        for (;;) {
            {
                std::lock_guard lock(m_slotMutex);
                if (!m_audio || m_audio->queuedBuffers() == 0)
                    break;
            }
            std::this_thread::sleep_for(kDrainPoll);
        }
        stopPlayer();
    }
    post(WindowMessage::CloseWindow, CloseTarget::PtzPresetKeypad);
    post(WindowMessage::CloseWindow, CloseTarget::DomeMenu);
    post(WindowMessage::CloseWindow, CloseTarget::PtzPanel);
    dismantleConsumers();
    post(WindowMessage::LiveButton, look(ButtonLook::Released));
    post(WindowMessage::VideoWindowReset, 16);
}

// The consumers' stop order: discard on all first; then one by one drain, stop, destroy.
void RecorderSession::dismantleConsumers() {
    std::array<FrameConsumer*, kChannelCount> consumers{};
    {
        std::lock_guard lock(m_slotMutex);
        for (std::size_t c = 0; c < kChannelCount; ++c) {
            consumers[c] = m_consumers[c].get();
            if (consumers[c])
                consumers[c]->setDiscardAll();
        }
    }
    // Only this thread removes consumers, so the pointers stay valid until taken out below;
    // the producer sees discardAll and queues nothing more.
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        if (!consumers[c])
            continue;
        while (consumers[c]->queuedFrames() != 0)
            std::this_thread::sleep_for(kDrainPoll);
        consumers[c]->stop();
        std::unique_ptr<FrameConsumer> gone;
        {
            std::lock_guard lock(m_slotMutex);
            gone = std::move(m_consumers[c]);
        }
    }
}

// GUI thread: AUDIO_ONOFF_REQ; the change shows when the recorder echoes the audio flag.
void RecorderSession::setAudio(bool on) {
    if (!m_soundDeviceAvailable || !(m_liveOn || m_playbackOn))
        return;
    MessageHeader header = makeHeader(MessageId::AUDIO_ONOFF_REQ);
    header.code = on ? kAudioOnCode : kAudioOffCode;
    send(header);
}

// Receive thread (audio flag) or GUI thread (live stop): slot 16.
void RecorderSession::startPlayer(AudioStreamKind kind) {
    stopPlayer();
    m_audioChannel = -1;
    m_audioChannelMask = 0;
    if (!m_soundDeviceAvailable || !m_audioFactory)
        return;
    auto player = m_audioFactory->startPlayer(kind);
    std::lock_guard lock(m_slotMutex);
    m_audio = std::move(player);
}

void RecorderSession::stopPlayer() {
    std::unique_ptr<AudioConsumer> player;
    {
        std::lock_guard lock(m_slotMutex);
        player = std::move(m_audio);
    }
    // Destroyed outside the lock: its destructor waits for the feeding thread.
    player.reset();
}

bool RecorderSession::RecvFn_LiveChannelInfo(const MessageHeader& header) {
    std::vector<std::byte> payload;
    if (!readPayload(header, payload))
        return false;
    if (payload.size() < 4) {
        trace("channel info size : %zu\n", payload.size());
        return true;
    }
    m_liveGeneration.fetch_add(1);
    m_liveRequestPending = false;
    m_assembly.reset();

    ByteReader r(payload);
    const std::uint32_t word = r.readBe32();
    std::uint16_t mask = static_cast<std::uint16_t>(word & 0xFFFF);
    for (unsigned n = 0; n < kChannelCount; ++n)
        if (m_hidden[n])
            mask = static_cast<std::uint16_t>(mask & ~(1u << n));

    std::uint16_t loss = 0;
    {
        std::lock_guard lock(m_slotMutex);
        for (unsigned n = 0; n < kChannelCount; ++n) {
            if (!m_consumers[n])
                continue;
            const bool lost = (word >> (16 + n)) & 1u;
            m_consumers[n]->setVideoLoss(lost);
            if (lost)
                loss = static_cast<std::uint16_t>(loss | (1u << n));
        }
    }
    m_videoLossMask = loss;
    m_liveChannelMask = mask;
    // Live view counts as on before the masks are posted, so that whoever handles the message
    // already sees it on.
    m_liveOn = true;
    // The video window takes the masks (and repaints when they changed while live view was on);
    // the main window records the mask in the channel information file when its settings ask
    // for it.
    post(WindowMessage::LiveChannels, mask, loss);
    post(WindowMessage::ChannelInfoFile, mask);
    return true;
}

bool RecorderSession::RecvFn_LiveData(const MessageHeader& header) {
    const std::size_t length = header.payloadLength;
    const std::span<std::byte> space = m_assembly.spaceFor(length);
    if (space.size() != length || (length == 0 && m_assembly.skipping())) {
        // Part of a frame larger than the assembly buffer: read and dropped, never stored.
        if (!m_assembly.skipping())
            trace("frame larger than %zu bytes dropped\n", m_assembly.capacity());
        if (!discardPayload(m_socket, header))
            return false;
        m_assembly.dropFragment(header.lastFragment());
        return true;
    }
    if (!LoopReceive(m_socket, space))
        return false;
    if (!m_liveOn) {
        m_assembly.reset();
        return true;
    }
    m_assembly.commit(length);
    if (!header.lastFragment())
        return true;
    completeLiveFrame(header);
    m_assembly.reset();
    return true;
}

// Receive thread: a whole frame is in the assembly buffer.
void RecorderSession::completeLiveFrame(const MessageHeader& lastFragment) {
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
        post(WindowMessage::RecorderClock, 0, static_cast<std::intptr_t>(header.headerWord3));
    }

    if (descriptor.videoLength != 0) {
        std::lock_guard lock(m_slotMutex);
        FrameConsumer* consumer = m_consumers[descriptor.channel].get();
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

    if (descriptor.audioLength != 0 && m_audioOn)
        liveAudio(descriptor, frame);
}

// Receive thread: sound is heard only while the video window shows the channel that carries it
// alone.
void RecorderSession::liveAudio(const FrameDescriptor& descriptor,
                                std::span<const std::byte> frame) {
    if (descriptor.audioChannel == 255) {
        m_audioChannel = -1;
        m_audioChannelMask = 0;
    } else {
        m_audioChannel = descriptor.audioChannel;
        m_audioChannelMask = static_cast<std::uint16_t>(1u << descriptor.audioChannel);
    }
    const int channel = m_audioChannel;
    if (channel < 0 || channel != m_singleViewChannel) {
        if (!m_audioStoppedByView) {
            stopPlayer();
            m_audioStoppedByView = true;
        }
        return;
    }
    if (m_audioStoppedByView) {
        startPlayer(AudioStreamKind::Live);
        m_audioChannel = channel;
        m_audioChannelMask = static_cast<std::uint16_t>(1u << channel);
        m_audioStoppedByView = false;
    }
    // The element: audioLength / 4 bytes, 1,536 bytes after the end of the video; cut or padded
    // with silence to the player's 512 bytes, and only from bytes that arrived.
    const std::size_t start = kFrameInfoBlockSize + descriptor.videoLength + kLiveAudioOffset;
    if (start >= frame.size())
        return;
    const std::size_t wanted = descriptor.audioLength / 4;
    const std::size_t available = std::min({wanted, frame.size() - start, kAudioElementSize});
    std::array<std::byte, kAudioElementSize> element;
    element.fill(kMuLawSilence);
    std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(start), available, element.begin());
    std::lock_guard lock(m_slotMutex);
    if (m_audio)
        m_audio->enqueueAudio(element);
}

bool RecorderSession::RecvFn_LiveNack(const MessageHeader& header) {
    m_loggedIn = false;
    const std::int32_t code = readNackCode(m_socket, header);
    if (code == kNackReadFailed)
        return false;
    notifyNack(MessageId::LIVE_NACK, code);
    stopPlayer();
    return true;
}

bool RecorderSession::RecvFn_LiveStopNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_socket, header);
    if (code == kNackReadFailed)
        return false;
    notifyNack(MessageId::LIVE_STOP_NACK, code);
    return true;
}

} // namespace kalder
