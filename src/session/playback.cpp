// Remote playback: start-up, PLAY_DATA reassembly, credits, speed, pacing, the seek step, the
// controls and the stop order.
#include "session/playback.h"

#include "session/recorder_session.h"

#include "net/trace.h"
#include "wire/byte_reader.h"
#include "wire/message_catalogue.h"
#include "wire/playback_records.h"
#include "session/window_message.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace kalder {

namespace {

// Every control message is followed by this pause, so the recorder takes them one by one.
constexpr std::chrono::milliseconds kControlGap{50};
// Pacing gives up on one frame after this long and starts measuring from it.
constexpr std::int64_t kReanchorMs = 3000;
// The pacing clock starts this much before the first frame, so that the first frames show at
// once.
constexpr std::int64_t kPacingLeadMs = 100;
// The longest sleep of one pacing step.
constexpr std::int64_t kPacingStepMs = 5;

std::int64_t tickMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

RemotePlayback::RemotePlayback(RecorderSession& session) : m_session(session) {
    using namespace MessageId;
    m_session.registerHandler(PLAY_ON_ACK,
                              [this](const MessageHeader& h) { return RecvFn_PlayOnAck(h); });
    m_session.registerHandler(PLAY_ON_NACK,
                              [this](const MessageHeader& h) { return RecvFn_PlayOnNack(h); });
    m_session.registerHandler(PLAY_CHANNEL_INFO,
                              [this](const MessageHeader& h) { return RecvFn_PlayChannelInfo(h); });
    m_session.registerHandler(PLAY_DATA,
                              [this](const MessageHeader& h) { return RecvFn_PlayData(h); });
    m_session.registerHandler(PLAY_ON_FAIL,
                              [this](const MessageHeader& h) { return RecvFn_PlayOnFail(h); });
    m_session.registerHandler(PLAY_ON_DONE,
                              [this](const MessageHeader& h) { return RecvFn_PlayOnDone(h); });
    m_session.registerHandler(PLAY_STEP_ACK,
                              [this](const MessageHeader& h) { return RecvFn_PlayStepAck(h); });
    m_session.registerHandler(PLAY_OFF_NACK,
                              [this](const MessageHeader& h) { return RecvFn_PlayOffNack(h); });
    m_session.registerEmptyReplyHandler(PLAY_OFF_ACK, [](const MessageHeader&) {});
}

PlayContext RemotePlayback::context() const {
    const HelloRecord hello = m_session.hello();
    PlayContext c;
    c.channelCount = m_session.channelNum();
    const std::uint16_t all =
        c.channelCount >= 16 ? 0xFFFF : static_cast<std::uint16_t>((1u << c.channelCount) - 1);
    c.shownChannels = static_cast<std::uint16_t>(m_shownChannels & all);
    c.playbackMask = m_playbackMask;
    c.positionVersionByte =
        playPositionVersionByte(hello.product_major_ver, hello.product_minor_ver);
    c.version12 = m_session.atLeastVersion12();
    return c;
}

void RemotePlayback::sendAll(const PlayEffects& effects, bool controlPace) {
    for (const PlayMessage& m : effects.messages) {
        if (m.id == MessageId::PLAY_STEP_DATA && m.payload.size() == 4) {
            ByteReader r(m.payload);
            const std::uint32_t frames = r.readBe32();
            trace("Send...PLAY_STEP_DATA...%u...\n", unsigned(frames));
            std::lock_guard lock(m_stateMutex);
            m_counters.granted += frames;
        }
        m_session.send(makeHeader(m.id, static_cast<std::uint16_t>(m.payload.size())), m.payload);
        if (controlPace)
            std::this_thread::sleep_for(kControlGap);
    }
}

void RemotePlayback::postButtons(int highlight) {
    m_session.post(WindowMessage::PlaybackButtons, static_cast<std::uintptr_t>(highlight));
}

// ---- GUI thread -------------------------------------------------------------------------

bool RemotePlayback::requestPlayback(std::uint32_t start, std::uint32_t end,
                                     std::uint16_t channelMask, std::uint8_t kind) {
    if (!m_session.loggedIn())
        return false;
    {
        std::lock_guard lock(m_stateMutex);
        if (m_state.playRequested)
            return false;
        m_state.playRequested = true;
    }
    m_playbackMask = channelMask;
    m_session.setPlaybackRequestPending(true);
    const auto payload = encodePlayOnRequest({channelMask, kind, start, end});
    trace("Send...PLAY_ON_REQ...\n");
    m_session.send(makeHeader(MessageId::PLAY_ON_REQ, kPlayOnRequestSize), payload);
    return true;
}

bool RemotePlayback::requestPending() const {
    std::lock_guard lock(m_stateMutex);
    return m_state.playRequested;
}

bool RemotePlayback::buttonAllowed(PlayControl control) const {
    std::lock_guard lock(m_stateMutex);
    return controlAllowed(m_state, control, m_session.atLeastVersion12());
}

std::optional<int> RemotePlayback::displayedSpeed() const {
    std::lock_guard lock(m_stateMutex);
    return kalder::displayedSpeed(m_state, m_session.atLeastVersion12());
}

PlaybackState RemotePlayback::state() const {
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

PlaybackCounters RemotePlayback::counters() const {
    std::lock_guard lock(m_stateMutex);
    return m_counters;
}

std::optional<int> RemotePlayback::control(PlayControl which) {
    if (which == PlayControl::Stop) {
        if (!m_playing)
            return std::nullopt;
        stop();
        return 0;
    }
    PlayEffects effects;
    PlayMode mode;
    {
        std::lock_guard lock(m_stateMutex);
        if (!controlAllowed(m_state, which, m_session.atLeastVersion12()))
            return std::nullopt;
        effects = applyControl(m_state, which, context());
        mode = m_state.mode;
    }
    tellAudio(effects.flushAudio, std::nullopt);
    sendAll(effects, true);
    postButtons(effects.highlight);
    m_session.postLatest(WindowMessage::PlaybackPosition);
    // The frames already under way arrive before the window repaints.
    return (mode == PlayMode::Reverse || mode == PlayMode::Forward) ? 100 : 500;
}

bool RemotePlayback::jump(std::uint32_t second) {
    if (!m_playing)
        return false;
    PlayEffects effects;
    {
        std::lock_guard lock(m_stateMutex);
        if (!m_state.playing)
            return false;
        effects = applyJump(m_state, second, context());
    }
    trace("Send...PLAY_FORWARD...%u...\n", unsigned(second));
    m_position = second;
    tellAudio(effects.flushAudio, std::nullopt);
    sendAll(effects, true);
    postButtons(effects.highlight);
    m_session.postLatest(WindowMessage::PlaybackPosition);
    return true;
}

void RemotePlayback::applyPause() {
    PlayEffects effects;
    {
        std::lock_guard lock(m_stateMutex);
        effects = applyControl(m_state, PlayControl::Pause, context());
        // Frames still on their way are shown.
        m_state.seekState = SeekState::Streaming;
    }
    tellAudio(effects.flushAudio, std::nullopt);
    sendAll(effects, true);
    postButtons(effects.highlight);
    m_session.postLatest(WindowMessage::PlaybackPosition);
}

void RemotePlayback::stop() {
    std::lock_guard control(m_controlMutex);
    if (!m_playing.exchange(false))
        return;
    {
        std::lock_guard lock(m_stateMutex);
        m_state.playing = false;
    }
    trace("Send...RPLAY_STOP...\n");
    m_session.send(makeHeader(MessageId::RPLAY_STOP));
    // The sound plays out, then its player goes.
    std::unique_ptr<AudioConsumer> player = m_session.slotRegistry().takeAudio();
    if (player)
        player->waitUntilDrained();
    player.reset();
    // Discard on every decoder first, then stop and destroy them in channel order.
    m_session.live().dismantleConsumers();
    m_session.setPlaybackOn(false);
    m_session.post(WindowMessage::PlaybackEnded);
    m_session.post(WindowMessage::VideoWindowReset, 16);
}

// ---- receive thread ---------------------------------------------------------------------

bool RemotePlayback::RecvFn_PlayOnAck(const MessageHeader& header) {
    if (!discardPayload(m_session.socket(), header))
        return false;
    std::lock_guard control(m_controlMutex);
    trace("Recv...PLAY_ON_ACK...\n");
    m_session.setPlaybackRequestPending(false);
    if (m_session.live().liveOn() || m_session.live().liveRequestPending())
        m_session.live().stopLive();
    PlayEffects effects;
    {
        std::lock_guard lock(m_stateMutex);
        effects = startPlayback(m_state, context());
        m_counters = {};
    }
    m_assembly.reset();
    const unsigned channels = m_session.channelNum();
    // The window goes into playback mode with the layout for the channel count.
    m_session.post(WindowMessage::VideoWindowReset, channels);
    if (m_factory) {
        SessionSlots& registry = m_session.slotRegistry();
        std::lock_guard lock(registry.mutex());
        for (unsigned c = 0; c < channels && c < kChannelCount; ++c)
            if (!registry.consumer(c))
                registry.consumer(c) = m_factory->createConsumer(c);
    }
    m_session.setPlaybackOn(true);
    m_session.resetAudioFlag();
    m_playing = true;
    sendAll(effects, false);
    postButtons(effects.highlight);
    m_session.post(WindowMessage::PlaybackClock, channels);
    return true;
}

bool RemotePlayback::RecvFn_PlayOnNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    {
        std::lock_guard lock(m_stateMutex);
        m_state.playRequested = false;
    }
    m_session.setPlaybackRequestPending(false);
    m_session.notifyNack(MessageId::PLAY_ON_NACK, code);
    if (m_playing)
        stop();
    m_session.post(WindowMessage::PlaybackRefused, 0, code);
    return true;
}

bool RemotePlayback::RecvFn_PlayOnFail(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    m_session.notifyNack(MessageId::PLAY_ON_FAIL, code);
    if (!m_playing)
        return true;
    stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_session.live().startLive();
    return true;
}

bool RemotePlayback::RecvFn_PlayOffNack(const MessageHeader& header) {
    const std::int32_t code = readNackCode(m_session.socket(), header);
    if (code == kNackReadFailed)
        return false;
    m_session.notifyNack(MessageId::PLAY_OFF_NACK, code);
    return true;
}

bool RemotePlayback::RecvFn_PlayChannelInfo(const MessageHeader& header) {
    if (!discardPayload(m_session.socket(), header))
        return false;
    m_assembly.reset();
    return true;
}

bool RemotePlayback::RecvFn_PlayOnDone(const MessageHeader& header) {
    if (!discardPayload(m_session.socket(), header))
        return false;
    trace("Recv...PLAY_ON_DONE...\n");
    {
        std::lock_guard lock(m_stateMutex);
        m_counters.done = true;
    }
    if (m_playing)
        applyPause();
    return true;
}

bool RemotePlayback::RecvFn_PlayStepAck(const MessageHeader& header) {
    if (!discardPayload(m_session.socket(), header))
        return false;
    PlayEffects effects;
    {
        std::lock_guard lock(m_stateMutex);
        if (m_state.playing && m_state.seekState == SeekState::Seeking)
            effects.messages.push_back({MessageId::PLAY_STEP_DATA, [] {
                                            const auto w = encodePlayWord(1);
                                            return std::vector<std::byte>(w.begin(), w.end());
                                        }()});
    }
    sendAll(effects, false);
    return true;
}

bool RemotePlayback::RecvFn_PlayData(const MessageHeader& header) {
    const auto step =
        m_assembly.readFragment(m_session.socket(), header, m_playing, "playback frame");
    if (step == FrameAssembler::Fragment::Failed)
        return false;
    if (step == FrameAssembler::Fragment::Whole) {
        completeFrame(header);
        m_assembly.reset();
    }
    return true;
}

// Receive thread: a whole PLAY_DATA item is in the assembly buffer.
void RemotePlayback::completeFrame(const MessageHeader& lastFragment) {
    const std::span<const std::byte> item = m_assembly.frame();
    auto drop = [this] {
        std::lock_guard lock(m_stateMutex);
        ++m_counters.droppedFrames;
    };
    // An item that starts with the frame magic has no recording header.
    std::size_t offset = 0;
    std::string title;
    bool haveTitle = false;
    {
        ByteReader r(item);
        const std::uint32_t first = r.readLe32();
        if (!r.ok()) {
            drop();
            return;
        }
        if (first != kFrameMagic) {
            if (!recordingTagMatches(item)) {
                trace("%04x\n", unsigned(first & 0xFFFF));
                drop();
                return;
            }
            const auto recording = decodeRecordingFrameHeader(item);
            if (!recording) {
                drop();
                return;
            }
            offset = kRecordingFrameHeaderSize;
            if (recording->titlePresent != 0) {
                title = recording->title;
                haveTitle = true;
            }
        }
    }
    const std::span<const std::byte> frame = item.subspan(offset);
    const std::optional<FrameInfoBlock> block = decodeFrameInfoBlock(frame);
    if (!block || block->frameMagic != kFrameMagic) {
        drop();
        return;
    }
    FrameDescriptor descriptor = makeFrameDescriptor(*block, 0);
    if (descriptor.blockLength > frame.size()) {
        trace("playback frame video length %u beyond %zu bytes\n", unsigned(descriptor.videoLength),
              frame.size());
        drop();
        return;
    }
    if (!haveTitle)
        title = "CH" + std::to_string(descriptor.channel + 1);
    std::memcpy(descriptor.title.data(), title.data(),
                std::min(title.size(), descriptor.title.size() - 1));

    MessageHeader header = lastFragment;
    header.setFragmentChannel(descriptor.channel);
    const unsigned speedCode = lastFragment.fragmentFlags & kFragmentSpeedMask;
    const std::int64_t timeMs = frameTimeMs(descriptor);
    const bool version12 = m_session.atLeastVersion12();

    PlayEffects effects;
    bool show = false;
    bool paceIt = false;
    bool audible = false;
    std::optional<bool> acceptAudio;
    {
        std::lock_guard lock(m_stateMutex);
        ++m_counters.frames;
        if (!m_state.paused)
            ++m_counters.countedFrames;
        if (const auto renewal = countFrameCredit(m_state)) {
            const auto w = encodePlayWord(*renewal);
            effects.messages.push_back({MessageId::PLAY_STEP_DATA, {w.begin(), w.end()}});
        }
        if (descriptor.videoLength > 0) {
            // Whether the player may take sound follows from the speed: see `audible`.
            acceptAudio = applySpeedCode(m_state, speedCode, version12);
            switch (m_state.seekState) {
            case SeekState::Streaming:
                show = true;
                break;
            case SeekState::Holding:
                break;
            case SeekState::Seeking: {
                if (m_state.jumpTarget) {
                    show = jumpStep(m_state, timeMs);
                    break;
                }
                PlayEffects seek = seekStep(m_state, timeMs, context());
                effects.messages.insert(effects.messages.end(), seek.messages.begin(),
                                        seek.messages.end());
                break;
            }
            }
            if (show) {
                if (m_state.reanchor) {
                    m_state.reanchor = false;
                    m_state.pacingBaseMs = timeMs - kPacingLeadMs;
                    m_state.wallBaseMs = tickMs();
                }
                if (m_state.bumpGenerations) {
                    m_state.bumpGenerations = false;
                    for (unsigned c = 0; c < kChannelCount; ++c)
                        if (!((m_state.shownRecord >> c) & 1u))
                            ++m_state.generation[c];
                    m_state.shownRecord = context().shownChannels;
                }
                descriptor.streamGeneration = m_state.generation[descriptor.channel & 0x0F];
                m_state.lastShownFrame = descriptor;
                m_state.position = descriptor.infoWord;
                if (m_counters.shownFrames == 0)
                    m_counters.firstTime = descriptor.infoWord;
                m_counters.lastTime = descriptor.infoWord;
                ++m_counters.shownFrames;
                paceIt = m_state.speed == 1 && !m_state.paused;
                // Sound only in forward play at normal speed.
                audible = paceIt && m_state.mode == PlayMode::Forward;
            }
        }
    }
    sendAll(effects, false);
    if (acceptAudio)
        tellAudio(!*acceptAudio, acceptAudio);
    if (!show)
        return;
    if (audible && descriptor.audioLength > 0 && m_session.audioOn())
        playAudio(descriptor, frame);
    if (m_position.exchange(descriptor.infoWord) != descriptor.infoWord)
        m_session.postLatest(WindowMessage::PlaybackPosition);
    {
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
    if (paceIt)
        pace(timeMs);
    else
        std::this_thread::yield();
}

// Receive thread: the frame's sound element goes to the player while the video window shows
// the channel that carries it alone, as in live view.
void RemotePlayback::playAudio(const FrameDescriptor& descriptor,
                               std::span<const std::byte> frame) {
    if (descriptor.audioChannel == 255 ||
        descriptor.audioChannel != m_session.live().singleViewChannel())
        return;
    const auto element = audioElementOf(descriptor, frame);
    if (!element)
        return;
    SessionSlots& registry = m_session.slotRegistry();
    std::lock_guard lock(registry.mutex());
    if (registry.audio())
        registry.audio()->enqueueAudio(*element);
}

// A control or a speed change: the player drops what it holds (`flush`); at normal speed it takes
// sound again, at any other it discards it (`accept`).
void RemotePlayback::tellAudio(bool flush, std::optional<bool> accept) {
    if (!flush && !accept)
        return;
    SessionSlots& registry = m_session.slotRegistry();
    std::lock_guard lock(registry.mutex());
    AudioConsumer* player = registry.audio().get();
    if (!player)
        return;
    if (accept)
        player->setDiscardAll(!*accept);
    if (flush)
        player->flush();
}

// Receive thread: holds the frame until its time has come on the wall clock, measured from the
// pacing base. A wait longer than three seconds starts measuring afresh from this frame.
void RemotePlayback::pace(std::int64_t frameMs) {
    std::int64_t target;
    std::int64_t wallBase;
    {
        std::lock_guard lock(m_stateMutex);
        target = frameMs - m_state.pacingBaseMs;
        wallBase = m_state.wallBaseMs;
    }
    const std::int64_t began = tickMs();
    for (;;) {
        if (m_closing || !m_playing)
            return;
        {
            std::lock_guard lock(m_stateMutex);
            if (m_state.speed != 1 || m_state.paused)
                return;
        }
        const std::int64_t now = tickMs();
        if (now - wallBase >= target)
            return;
        // Sleeps to the frame's time in short steps, so that a pause, a new speed or the
        // session's end is seen within a few milliseconds.
        const std::int64_t step =
            std::clamp<std::int64_t>(target - (now - wallBase), 1, kPacingStepMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(step));
        if (tickMs() - began > kReanchorMs) {
            std::lock_guard lock(m_stateMutex);
            m_state.pacingBaseMs = frameMs;
            m_state.wallBaseMs = tickMs();
            return;
        }
    }
}

} // namespace kalder
