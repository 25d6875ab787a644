#include "local/local_player.h"

#include "files/backup_set_records.h"
#include "files/local_log.h"
#include "local/backup_set_file.h"
#include "local/local_frame_reader.h"
#include "wire/message_header.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kalder {

namespace {

using Clock = std::chrono::steady_clock;

// The synthetic header of a local frame: id 18 with sub-code 1.
constexpr std::uint16_t kLocalFrameCode = 0x0901;
constexpr auto kPauseTurn = std::chrono::milliseconds(50);

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

bool forwardMode(LocalMode mode) {
    return mode == LocalMode::Forward || mode == LocalMode::StepForward;
}
bool stepMode(LocalMode mode) {
    return mode == LocalMode::StepForward || mode == LocalMode::StepBackward;
}

} // namespace

// The thread's reading state.
struct LocalPlayer::Reader {
    std::size_t entry = 0;
    std::optional<BackupSetFile> vih, vid;
    std::filesystem::path openVih; // the set whose files are open
    std::uint64_t pos = 0;         // .vih offset of the next header going forward
    bool runOpen = false;
    std::uint32_t lastHeaderTime = 0;
    std::int64_t baseMs = 0; // pacing base: frame time and tick
    std::int64_t baseTick = 0;
    FrameSelector selector;
    int selectorSpeed = 0;
    std::uint32_t stepToken = 0;
    std::uint16_t stepShown = 0; // channels shown during the current step
    bool stepAfterSeek = false;  // the step after a seek shows key frames only
    std::vector<std::byte> buffer = std::vector<std::byte>(kFrameAssemblySize);
};

LocalPlayer::LocalPlayer(Playlist playlist, FrameConsumerFactory& factory, LocalPlayerEvents events)
    : m_playlist(std::move(playlist)), m_factory(factory), m_events(std::move(events)) {}

LocalPlayer::~LocalPlayer() {
    stop();
}

bool LocalPlayer::start(int speed) {
    std::lock_guard lock(m_controlMutex);
    if (m_thread.joinable() || m_playlist.empty())
        return false;
    for (unsigned c = 0; c < kChannelCount; ++c)
        m_consumers[c] = m_factory.createConsumer(c);
    m_mode = LocalMode::Forward;
    m_speed = 0;
    m_stop = false;
    m_running = true;
    const RunSpan first = runSpan(m_playlist, m_playlist.current);
    m_spanStart = first.start;
    m_spanEnd = first.end;
    control(3);
    for (int s = 1; s < speed && s < 4; ++s)
        control(3);
    for (int s = 0; s > std::max(speed, -4) + 1; --s) // -2, -3, -4: once, twice, three times
        control(2);
    m_thread = std::thread([this] { run(); });
    return true;
}

LocalControlEffects LocalPlayer::control(int control) {
    LocalControlState state{m_mode.load(), m_speed.load()};
    const LocalControlEffects effects = applyLocalControl(state, control);
    if (effects.resync)
        m_resync = true;
    if (effects.restart)
        ++m_restarts;
    if (control == 1 || control == 7)
        ++m_stepToken;
    if (state.mode == LocalMode::Forward || state.mode == LocalMode::StepForward)
        m_lastForward = true;
    else if (state.mode == LocalMode::Reverse || state.mode == LocalMode::StepBackward)
        m_lastForward = false;
    m_speed = state.speed;
    m_mode = state.mode;
    { std::lock_guard lock(m_wakeMutex); }
    m_wake.notify_all();
    return effects;
}

void LocalPlayer::seek(std::uint32_t seconds) {
    m_seekTarget = m_spanStart.load() + seconds;
    m_seek = 3;
    // When paused, one step in the last direction shows the new place.
    if (m_mode.load() == LocalMode::Pause)
        control(m_lastForward.load() ? 7 : 1);
    m_wake.notify_all();
}

void LocalPlayer::stop() {
    std::lock_guard lock(m_controlMutex);
    m_speed = 0;
    {
        std::lock_guard wakeLock(m_wakeMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    for (auto& consumer : m_consumers)
        if (consumer)
            consumer->setDiscardAll();
    for (auto& consumer : m_consumers) {
        if (!consumer)
            continue;
        consumer->waitUntilDrained();
        consumer->stop();
        consumer.reset();
    }
    m_running = false;
}

RunSpan LocalPlayer::span() const {
    return {m_spanStart.load(), m_spanEnd.load()};
}

LocalPlayerCounters LocalPlayer::counters() const {
    std::lock_guard lock(m_countersMutex);
    return m_counters;
}

bool LocalPlayer::changed(int speed) const {
    const LocalMode mode = m_mode.load();
    return m_stop.load() || m_speed.load() != speed || mode == LocalMode::StepBackward ||
           mode == LocalMode::Pause || mode == LocalMode::StepForward || m_seek.load() >= 3;
}

void LocalPlayer::pace(Reader& reader, std::int64_t frameMs) {
    const int speed = m_speed.load();
    if (m_resync.exchange(false)) {
        reader.baseMs = frameMs - kLocalPacingLeadMs;
        reader.baseTick = nowMs();
    }
    const std::optional<std::int64_t> target = localPaceTargetMs(speed, frameMs, reader.baseMs);
    if (!target)
        return;
    const std::int64_t waitStart = nowMs();
    std::unique_lock lock(m_wakeMutex);
    while (nowMs() - reader.baseTick < *target) {
        if (changed(speed))
            return;
        if (nowMs() - waitStart > kLocalPacingReanchorMs) {
            // A gap in the recording: go on from this frame.
            reader.baseMs = frameMs;
            reader.baseTick = nowMs();
            return;
        }
        const std::int64_t left = *target - (nowMs() - reader.baseTick);
        m_wake.wait_for(lock, std::chrono::milliseconds(std::clamp<std::int64_t>(left, 1, 50)));
    }
}

void LocalPlayer::waitForQueue(unsigned channel) {
    FrameConsumer* consumer = m_consumers[channel].get();
    const int speed = m_speed.load();
    while (consumer && consumer->queuedFrames() > kLocalQueueWaitFrames && !changed(speed))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void LocalPlayer::pauseAtEnd() {
    control(4);
    if (m_events.paused)
        m_events.paused();
}

// ---- player thread --------------------------------------------------------------------------

void LocalPlayer::run() {
    localLog(kLogKindLocalPlay, kLogEventLocalPlayStart);
    Reader r;
    r.entry = m_playlist.current;
    r.pos = m_playlist.entries[r.entry].forwardStart();
    const bool failed = !playUntilStopped(r);
    r.vih.reset();
    r.vid.reset();
    m_audio.reset();
    localLog(kLogKindLocalPlay, kLogEventLocalPlayEnd);
    if (failed && m_events.ended)
        m_events.ended();
}

bool LocalPlayer::playUntilStopped(Reader& r) {
    while (!m_stop.load()) {
        const LocalMode mode = m_mode.load();
        endSoundAwayFromNormalPlay(mode);
        if (m_seek.load() >= 3) {
            if (!seekToTarget(r))
                return false;
            continue;
        }
        if (mode == LocalMode::Pause) {
            restWhilePaused();
            continue;
        }
        if (!r.runOpen)
            startRun(r, r.entry);
        if (!openEntry(r, r.entry))
            return false;
        playNextHeader(r, mode);
    }
    return true;
}

void LocalPlayer::endSoundAwayFromNormalPlay(LocalMode mode) {
    if (m_audio && (mode != LocalMode::Forward || m_speed.load() != 1))
        m_audio.reset();
}

void LocalPlayer::restWhilePaused() {
    std::unique_lock lock(m_wakeMutex);
    m_wake.wait_for(lock, kPauseTurn);
}

bool LocalPlayer::openEntry(Reader& r, std::size_t index) {
    const PlaylistEntry& e = m_playlist.entries[index];
    if (r.vih && r.vid && r.openVih == e.vihPath)
        return true;
    r.vih = BackupSetFile::open(e.vihPath);
    r.vid = BackupSetFile::open(e.vidPath);
    r.openVih = e.vihPath;
    return r.vih && r.vid;
}

void LocalPlayer::startRun(Reader& r, std::size_t index) {
    const PlaylistEntry& e = m_playlist.entries[index];
    const RunSpan span = runSpan(m_playlist, index);
    m_spanStart = span.start;
    m_spanEnd = span.end;
    m_resync = true;
    r.selector.reset();
    r.runOpen = true;
    if (m_events.layout)
        m_events.layout(localLayoutForChannels(e.channels),
                        static_cast<std::uint16_t>(e.channels & 0xFFFF));
}

bool LocalPlayer::moveEntry(Reader& r, bool forward, bool joinedOnly) {
    const auto& entries = m_playlist.entries;
    const PlaylistEntry& e = entries[r.entry];
    if (forward ? r.entry + 1 >= entries.size() : r.entry == 0)
        return false;
    const bool joined = forward ? e.joinedNext : e.joinedPrev;
    if (joinedOnly && !joined)
        return false;
    r.entry = forward ? r.entry + 1 : r.entry - 1;
    const PlaylistEntry& next = entries[r.entry];
    r.pos = forward ? next.readBegin() : next.stopOffset;
    if (!joined)
        r.runOpen = false;
    return true;
}

bool LocalPlayer::seekToTarget(Reader& r) {
    m_seek = 4;
    const auto& entries = m_playlist.entries;
    const std::uint32_t target = m_seekTarget.load();
    const bool forward = target >= r.lastHeaderTime;
    while (forward && entries[r.entry].end < target && r.entry + 1 < entries.size())
        ++r.entry;
    while (!forward && target < entries[r.entry].start && r.entry > 0)
        --r.entry;
    const PlaylistEntry& e = entries[r.entry];
    if (!openEntry(r, r.entry))
        return false;
    std::optional<BackupSetFile> idx = BackupSetFile::open(e.idxPath);
    if (!idx)
        return false;
    r.pos = localSeekPosition(*idx, *r.vih, e, target);
    r.lastHeaderTime = std::max(target, e.start);
    startRun(r, r.entry);
    ++m_restarts; // the decoders wait for a key frame at the new place
    r.stepAfterSeek = true;
    int expected = 4;
    m_seek.compare_exchange_strong(expected, 0);
    return true;
}

void LocalPlayer::playNextHeader(Reader& r, LocalMode mode) {
    const bool forward = forwardMode(mode);
    const bool step = stepMode(mode);
    trackStep(r, step);
    const std::optional<std::uint64_t> at = nextHeaderOffset(r, mode);
    if (!at)
        return;
    const PlaylistEntry& e = m_playlist.entries[r.entry];
    const LocalFrame frame =
        readLocalFrame(*r.vih, *r.vid, *at, m_restarts.load(), r.buffer.size());
    if (frame.status == LocalFrame::Status::NoHeader) {
        // The .vih ends early: nothing more in this entry.
        r.pos = forward ? e.stopOffset : e.readBegin();
        return;
    }
    // Moved past this header; undone when a step ends on it.
    r.pos = forward ? *at + kBackupFrameHeaderSize : *at;
    r.lastHeaderTime = frame.header.frameTime;
    if (frame.status == LocalFrame::Status::Damaged) {
        countSkippedFrame();
        return;
    }
    const int speed = m_speed.load();
    const bool show = step ? takeStepFrame(r, frame.descriptor, mode, *at)
                           : selectPlayedFrame(r, frame.descriptor, speed);
    if (show && waitUntilDue(r, frame.descriptor, mode, speed, *at))
        showFrame(r, frame, mode, speed);
}

void LocalPlayer::trackStep(Reader& r, bool step) {
    if (step && m_stepToken.load() != r.stepToken) {
        r.stepToken = m_stepToken.load();
        r.stepShown = 0;
    }
    if (!step)
        r.stepAfterSeek = false;
}

std::optional<std::uint64_t> LocalPlayer::nextHeaderOffset(Reader& r, LocalMode mode) {
    const PlaylistEntry& e = m_playlist.entries[r.entry];
    r.pos = std::clamp(r.pos, e.readBegin(), std::max(e.readBegin(), e.stopOffset));
    const bool forward = forwardMode(mode);
    const bool entryEnds = forward ? r.pos + kBackupFrameHeaderSize > e.stopOffset
                                   : r.pos < e.readBegin() + kBackupFrameHeaderSize;
    if (!entryEnds)
        return forward ? r.pos : r.pos - kBackupFrameHeaderSize;
    const bool joinedOnly =
        forward ? mode == LocalMode::StepForward : mode == LocalMode::StepBackward;
    const bool more = moveEntry(r, forward, joinedOnly);
    if (!more && m_seek.load() == 0)
        pauseAtEnd();
    return std::nullopt;
}

bool LocalPlayer::takeStepFrame(Reader& r, const FrameDescriptor& d, LocalMode mode,
                                std::uint64_t at) {
    const unsigned channel = d.channel;
    const bool onPage = (m_shownChannels.load() >> channel) & 1u;
    const bool keyOnly = mode == LocalMode::StepBackward || r.stepAfterSeek;
    if (!onPage || d.videoLength == 0 || (keyOnly && !d.keyFrame()))
        return false;
    if ((r.stepShown >> channel) & 1u) {
        // The step is whole: back to before this frame, and pause.
        r.pos = forwardMode(mode) ? at : at + kBackupFrameHeaderSize;
        r.stepAfterSeek = false;
        m_mode = LocalMode::Pause;
        if (m_events.paused)
            m_events.paused();
        return false;
    }
    r.stepShown = static_cast<std::uint16_t>(r.stepShown | (1u << channel));
    m_resync = true;
    return true;
}

bool LocalPlayer::selectPlayedFrame(Reader& r, const FrameDescriptor& d, int speed) {
    if (r.selectorSpeed != speed) {
        r.selectorSpeed = speed;
        r.selector.reset();
    }
    return d.videoLength > 0 && r.selector.select(speed, d.channel, d.keyFrame());
}

bool LocalPlayer::waitUntilDue(Reader& r, const FrameDescriptor& d, LocalMode mode, int speed,
                               std::uint64_t at) {
    const bool step = stepMode(mode);
    if (!step && FrameSelector::keyFramesOnly(speed))
        waitForQueue(d.channel);
    if (!step)
        pace(r, localFrameMs(d));
    if (m_stop.load())
        return false;
    if (!step && (m_mode.load() != mode || m_speed.load() != speed)) {
        // A control came during the wait: the frame is read again in the new direction.
        r.pos = forwardMode(mode) ? at : at + kBackupFrameHeaderSize;
        return false;
    }
    return true;
}

void LocalPlayer::showFrame(Reader& r, const LocalFrame& frame, LocalMode mode, int speed) {
    const BackupFrameHeader& header = frame.header;
    FrameDescriptor d = frame.descriptor;
    const unsigned channel = d.channel;
    m_currentTime = header.frameTime;
    if (m_events.clock)
        m_events.clock(header.frameTime);
    if (header.titlePresent != 0) {
        const std::size_t n = std::min(header.title.size(), d.title.size());
        std::memcpy(d.title.data(), header.title.data(), n);
    } else {
        std::snprintf(d.title.data(), d.title.size(), "CH%u", channel + 1);
    }
    if (!readLocalFrameBytes(*r.vid, frame, r.buffer)) {
        countSkippedFrame();
        return;
    }
    FrameConsumer* consumer = m_consumers[channel].get();
    if (consumer && !consumer->discardAll()) {
        auto record = std::make_unique<FrameRecord>();
        record->descriptor = d;
        record->header.code = kLocalFrameCode;
        record->header.fragmentFlags = kFragmentLast;
        record->header.setFragmentChannel(channel);
        record->header.headerWord3 = header.frameTime;
        record->data.assign(r.buffer.begin(),
                            r.buffer.begin() + static_cast<std::ptrdiff_t>(d.blockLength));
        consumer->enqueueFrame(std::move(record));
    }
    if (speed == 1 && mode == LocalMode::Forward)
        playSound(d, std::span(r.buffer).first(frame.frameBytes));
    countShownFrame(channel, header.frameTime);
}

void LocalPlayer::countSkippedFrame() {
    std::lock_guard lock(m_countersMutex);
    ++m_counters.skippedFrames;
}

void LocalPlayer::countShownFrame(unsigned channel, std::uint32_t frameTime) {
    std::lock_guard lock(m_countersMutex);
    if (m_counters.shownFrames == 0)
        m_counters.firstTime = frameTime;
    m_counters.lastTime = frameTime;
    ++m_counters.shownFrames;
    ++m_counters.shownPerChannel[channel];
}

// Player thread: the frame's sound goes to the audio output while its channel is shown alone;
// the output is made on the first such frame.
void LocalPlayer::playSound(const FrameDescriptor& descriptor, std::span<const std::byte> frame) {
    const std::uint16_t shown = m_shownChannels.load();
    if (!m_audioFactory || descriptor.audioChannel == 255 || std::popcount(shown) != 1 ||
        descriptor.audioChannel != std::countr_zero(shown))
        return;
    const auto element = audioElementOf(descriptor, frame);
    if (!element)
        return;
    if (!m_audio)
        m_audio = m_audioFactory->startPlayer(StreamKind::LocalPlayback);
    if (m_audio)
        m_audio->enqueueAudio(*element);
}

} // namespace kalder
