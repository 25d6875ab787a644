#include "sim/playback_stream.h"

#include "wire/message_catalogue.h"
#include "wire/playback_records.h"
#include "sim/live_frame_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kalder::sim {

namespace {

// A stream without credit in forward or reverse play counts an under-grant after this long; the
// client's pacing holds a frame for three seconds at most.
constexpr std::chrono::seconds kStarvedLimit{5};
constexpr std::int32_t kNoDataCode = 83;
constexpr unsigned kStepCode = 0;

// Frames a client following the credit scheme has granted once it has received `received`
// frames of a run, all counted: 93, and 48 at the 49th frame and every 48th after it.
std::uint64_t allowedFor(std::uint64_t received) {
    return kPlayInitialCredit +
           (received == 0 ? 0 : kPlayCreditRenewal * ((received - 1) / kPlayCreditRenewal));
}

// Whether any channel of `mask` recorded anything from `start` to `end` (both included).
bool recordsAnyOf(const RecordedDisk& disk, std::uint32_t mask, std::uint32_t start,
                  std::uint32_t end) {
    for (unsigned c = 0; c < kMaxChannels; ++c) {
        if (!((mask >> c) & 1u))
            continue;
        const auto next = disk.nextRecordedTime(c, start);
        if (next && *next <= end)
            return true;
    }
    return false;
}

} // namespace

PlaybackStream::PlaybackStream(RecorderModel& model, const MediaSource& media,
                               SendMessage sendMessage, SendWire sendWire,
                               std::size_t maxFragmentBytes, Log log, PacingClock& clock)
    : m_model(model), m_media(media), m_sendMessage(std::move(sendMessage)),
      m_sendWire(std::move(sendWire)),
      m_maxFragment(std::clamp<std::size_t>(maxFragmentBytes, 1, kMaxPayloadLength)),
      m_log(std::move(log)), m_frames(model, media), m_clock(clock) {}

PlaybackStream::~PlaybackStream() {
    stop();
}

void PlaybackStream::start() {
    m_sender = std::thread([this] { senderLoop(); });
}

void PlaybackStream::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    if (m_sender.joinable())
        m_sender.join();
}

void PlaybackStream::armRefusal(std::int32_t code) {
    std::lock_guard lock(m_mutex);
    m_refusal = code;
}

void PlaybackStream::fail(std::int32_t code) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_playing)
            return;
        m_playing = false;
        m_wake.notify_all();
    }
    m_sendMessage(MessageId::PLAY_ON_FAIL, encodePlayWord(static_cast<std::uint32_t>(code)));
}

void PlaybackStream::setRecordingHeader(bool on) {
    std::lock_guard lock(m_mutex);
    m_withHeader = on;
}

void PlaybackStream::setForwardSpeedCode(unsigned code) {
    std::lock_guard lock(m_mutex);
    m_forwardCode = code & kFragmentSpeedMask;
    m_wake.notify_all();
}

void PlaybackStream::setReverseSpeedCode(unsigned code) {
    std::lock_guard lock(m_mutex);
    m_reverseCode = code & kFragmentSpeedMask;
    m_wake.notify_all();
}

unsigned PlaybackStream::speedCodeNow() const {
    switch (m_movement) {
    case Movement::Forward:
        return m_forwardCode;
    case Movement::Backward:
        return m_reverseCode;
    default:
        return kStepCode;
    }
}

PlaybackCreditReport PlaybackStream::report() const {
    std::lock_guard lock(m_mutex);
    PlaybackCreditReport r = m_report;
    r.playing = m_playing;
    r.done = m_done;
    return r;
}

// ---- frame arithmetic: the disk's shared frame source -------------------------------------

unsigned PlaybackStream::fpsOf(unsigned channel) const {
    return m_frames.fps(channel);
}

unsigned PlaybackStream::keyIntervalOf(unsigned channel) const {
    return m_frames.keyInterval(channel);
}

std::int64_t PlaybackStream::frameMs(unsigned channel, std::int64_t frame) const {
    return m_frames.frameMs(channel, frame);
}

bool PlaybackStream::isKey(unsigned channel, std::int64_t frame) const {
    return m_frames.isKey(channel, frame);
}

// With m_mutex held: forward from the key frame at or before `second`, or backward from it.
void PlaybackStream::restartAt(std::uint32_t second) {
    for (unsigned c = 0; c < kMaxChannels; ++c) {
        if (!((m_requestMask >> c) & 1))
            continue;
        std::int64_t n = static_cast<std::int64_t>(second) * fpsOf(c);
        const std::int64_t oldest = n - static_cast<std::int64_t>(keyIntervalOf(c));
        while (n > oldest && n > 0 && !isKey(c, n))
            --n;
        m_cursors[c].frame = n;
        m_cursors[c].lastSent.reset();
    }
    m_done = false;
}

bool PlaybackStream::recorded(unsigned channel, std::int64_t frame) const {
    return frame >= 0 &&
           m_model.disk()
               .recordedAt(channel, static_cast<std::uint32_t>(frameMs(channel, frame) / 1000))
               .has_value();
}

// With m_mutex held. The disk records whole seconds: forward play goes on with the first frame
// of the channel's next recorded second; reverse play with the last key frame of its previous
// recorded second that itself lies in a recorded second. Forward play never starts before the
// period: a cursor that reverse play took past the start (a channel that recorded nothing
// there) comes back to the period's first frame, and goes on from what the channel recorded
// after it, not from the disk's oldest recording.
void PlaybackStream::skipUnrecorded(unsigned channel, bool backward) {
    const RecordedDisk& disk = m_model.disk();
    const std::int64_t fps = fpsOf(channel);
    std::int64_t& n = m_cursors[channel].frame;
    if (!backward) {
        n = std::max(n, m_firstFrame[channel]);
        if (frameMs(channel, n) > m_endMs || recorded(channel, n))
            return;
        const auto second = static_cast<std::uint32_t>(frameMs(channel, n) / 1000);
        const auto next = disk.nextRecordedTime(channel, second);
        if (next && static_cast<std::int64_t>(*next) * 1000 <= m_endMs)
            n = static_cast<std::int64_t>(*next) * fps;
        else
            n = (m_endMs / 1000 + 1) * fps; // past the period's end
        return;
    }
    // Each round moves to an earlier recorded second: a run of key frames in gaps ends.
    while (n >= 0 && frameMs(channel, n) >= m_startMs &&
           !(recorded(channel, n) && isKey(channel, n))) {
        if (!recorded(channel, n)) {
            const auto second = static_cast<std::uint32_t>(frameMs(channel, n) / 1000);
            const auto previous = disk.previousRecordedTime(channel, second);
            if (!previous || static_cast<std::int64_t>(*previous) * 1000 + 999 < m_startMs) {
                n = -1;
                return;
            }
            n = (static_cast<std::int64_t>(*previous) + 1) * fps - 1;
        }
        const std::int64_t oldest = n - static_cast<std::int64_t>(keyIntervalOf(channel));
        while (n > oldest && n > 0 && !isKey(channel, n))
            --n;
        if (!isKey(channel, n)) {
            n = -1;
            return;
        }
    }
}

// With m_mutex held.
std::optional<unsigned> PlaybackStream::nextChannel() {
    const bool backward = m_movement == Movement::Backward || m_movement == Movement::StepBackward;
    if (m_openEnd) {
        // What the channels have recorded up to now, to the millisecond.
        std::uint32_t seconds = 0;
        std::uint16_t milliseconds = 0;
        m_model.recorderClock(seconds, milliseconds);
        m_endMs = std::max(m_endMs, static_cast<std::int64_t>(seconds) * 1000 + milliseconds);
    }
    const std::uint16_t mask = m_requestMask & m_shownMask;
    std::optional<unsigned> best;
    std::int64_t bestMs = 0;
    for (unsigned c = 0; c < kMaxChannels; ++c) {
        if (!((mask >> c) & 1))
            continue;
        skipUnrecorded(c, backward);
        const std::int64_t ms = frameMs(c, m_cursors[c].frame);
        if (backward ? (ms < m_startMs || m_cursors[c].frame < 0) : ms > m_endMs)
            continue;
        if (!best || (backward ? ms > bestMs : ms < bestMs)) {
            best = c;
            bestMs = ms;
        }
    }
    return best;
}

// With m_mutex held.
void PlaybackStream::grant(std::uint32_t frames) {
    m_credit += frames;
    m_report.granted += frames;
    m_runGranted += frames;
    m_starvedSince = {};
    m_starvedCounted = false;
    // In the first run the client cannot have earned more than the renewals of the frames sent
    // so far (it has received at most those).
    if (m_firstRun && m_runGranted > allowedFor(m_runSent)) {
        ++m_report.overGrants;
        m_log("over-grant: " + std::to_string(m_runGranted) + " frames granted after " +
              std::to_string(m_runSent) + " sent");
    }
    // The client counts every frame it receives while not paused, across movements: also the
    // frames still under way when it sent a movement, which this stream sent under the credit
    // the movement cleared. So after a movement a renewal may leave more than 93 + 48 frames
    // outstanding; what no client can do is renew for more frames than were sent since
    // PLAY_ON_ACK: the 48 of renewal r come at its (48 r + 1)th frame.
    if (frames == kPlayCreditRenewal) {
        ++m_renewals;
        if (m_playSent < kPlayCreditRenewal * m_renewals + 1) {
            ++m_report.overGrants;
            m_log("over-grant: renewal " + std::to_string(m_renewals) + " after " +
                  std::to_string(m_playSent) + " frames sent");
        }
    }
}

// With m_mutex held: the client's first message after PLAY_ON_DONE of the first run. It has
// received every frame, all counted, and granted exactly 93 and 48 for every 48 frames from
// the 49th on; anything else is an over- or under-grant. Ends the first run.
void PlaybackStream::settleFirstRun() {
    if (m_firstRun && m_done) {
        const std::uint64_t expected = allowedFor(m_runSent);
        if (m_runGranted != expected) {
            ++(m_runGranted > expected ? m_report.overGrants : m_report.underGrants);
            m_log("credits at the end of the period: " + std::to_string(m_runGranted) +
                  " granted for " + std::to_string(m_runSent) + " frames, " +
                  std::to_string(expected) + " expected");
        }
    }
    m_firstRun = false;
}

bool PlaybackStream::handle(const MessageHeader& header, std::span<const std::byte> payload) {
    const std::uint16_t id = header.messageId();
    using namespace MessageId;
    switch (id) {
    case PLAY_ON_REQ: {
        const auto request = decodePlayOnRequest(payload);
        std::unique_lock lock(m_mutex);
        const unsigned count = m_model.channelCount();
        const std::uint32_t present = count >= 16 ? 0xFFFFu : ((1u << count) - 1);
        const std::uint32_t now = m_model.recorderTime();
        std::int32_t refusal = 0;
        if (m_refusal)
            refusal = *std::exchange(m_refusal, std::nullopt);
        else if (!request || (request->channelMask & present) == 0 || request->start > now ||
                 (request->end != 0 && request->end < request->start) ||
                 !recordsAnyOf(m_model.disk(), request->channelMask & present, request->start,
                               request->end ? request->end : now))
            refusal = kNoDataCode;
        if (refusal) {
            lock.unlock();
            m_log("PLAY_ON_REQ refused with " + std::to_string(refusal));
            m_sendMessage(PLAY_ON_NACK, encodePlayWord(static_cast<std::uint32_t>(refusal)));
            return true;
        }
        m_requestMask = static_cast<std::uint16_t>(request->channelMask & present);
        const SimConfig config = m_model.config();
        for (unsigned c = 0; c < kMaxChannels; ++c)
            m_titles[c] = config.channels[c].title;
        m_shownMask = 0xFFFF;
        m_startMs = static_cast<std::int64_t>(request->start) * 1000;
        const std::uint32_t end = request->end ? request->end : now;
        m_endMs = static_cast<std::int64_t>(end) * 1000 + 999;
        m_openEnd = request->end == 0;
        m_movement = Movement::Forward;
        m_cursorsBackward = false;
        m_credit = 0;
        m_firstRun = true;
        m_runSent = 0;
        m_runGranted = 0;
        m_playSent = 0;
        m_renewals = 0;
        m_starvedSince = {};
        m_starvedCounted = false;
        restartAt(request->start);
        m_pacer.reset();
        // The period begins with the key frames at or before its start: reverse play ends there.
        for (unsigned c = 0; c < kMaxChannels; ++c) {
            m_firstFrame[c] = m_cursors[c].frame;
            if ((m_requestMask >> c) & 1)
                m_startMs = std::min(m_startMs, frameMs(c, m_cursors[c].frame));
        }
        ++m_report.runs;
        // Answered before the sender may start: PLAY_ON_ACK, then the channels.
        m_sendMessage(PLAY_ON_ACK, {});
        m_sendMessage(PLAY_CHANNEL_INFO, encodePlayWord(m_requestMask));
        m_playing = true;
        char text[96];
        std::snprintf(text, sizeof text, "PLAY_ON_REQ mask 0x%04x from %u to %u",
                      unsigned(m_requestMask), unsigned(request->start), unsigned(end));
        m_log(text);
        m_wake.notify_all();
        return true;
    }
    case RPLAY_STOP: {
        {
            std::lock_guard lock(m_mutex);
            settleFirstRun();
            m_playing = false;
            m_credit = 0;
        }
        m_sendMessage(PLAY_OFF_ACK, {});
        return true;
    }
    case PLAY_STEP_DATA: {
        const auto frames = decodePlayWord(payload);
        std::lock_guard lock(m_mutex);
        if (frames && m_playing)
            grant(*frames);
        if (frames && *frames < kPlayCreditRenewal)
            m_log("grant " + std::to_string(*frames) + " sent " + std::to_string(m_runSent));
        m_wake.notify_all();
        return true;
    }
    case PLAY_CH_CHANGE: {
        const auto mask = decodePlayWord(payload);
        std::lock_guard lock(m_mutex);
        if (mask)
            m_shownMask = static_cast<std::uint16_t>(*mask);
        return true;
    }
    case PLAY_FORWARD:
    case PLAY_BACKWARD:
    case PLAY_PAUSE:
    case PLAY_NEXT_STEP:
    case PLAY_PREV_STEP: {
        std::lock_guard lock(m_mutex);
        if (!m_playing)
            return true;
        settleFirstRun();
        // The way the cursors point: a pause in between keeps it, so that PLAY_PAUSE and a
        // step the same way go on from the last frame sent.
        const bool wasBackward = m_cursorsBackward;
        Movement after = Movement::Paused;
        if (id == PLAY_FORWARD)
            after = Movement::Forward;
        else if (id == PLAY_BACKWARD)
            after = Movement::Backward;
        else if (id == PLAY_NEXT_STEP)
            after = Movement::StepForward;
        else if (id == PLAY_PREV_STEP)
            after = Movement::StepBackward;
        const bool nowBackward = after == Movement::Backward || after == Movement::StepBackward;
        const auto position = decodePlayPosition(payload);
        if (position && (id == PLAY_FORWARD || id == PLAY_BACKWARD)) {
            restartAt(position->position);
        } else if (after != Movement::Paused && nowBackward != wasBackward) {
            // A turn: continue from the frame after (or the key frame before) the last one sent.
            for (unsigned c = 0; c < kMaxChannels; ++c) {
                Cursor& cursor = m_cursors[c];
                std::int64_t& n = cursor.frame;
                const std::int64_t last = cursor.lastSent.value_or(nowBackward ? n : n - 1);
                if (nowBackward) {
                    n = last - 1;
                    const std::int64_t oldest = n - static_cast<std::int64_t>(keyIntervalOf(c));
                    while (n > oldest && n > 0 && !isKey(c, n))
                        --n;
                } else {
                    n = last + 1;
                }
            }
            m_done = false;
        }
        if (after != Movement::Paused)
            m_cursorsBackward = nowBackward;
        // Any movement looks again: at the end of the period PLAY_ON_DONE comes again.
        if (after != Movement::Paused)
            m_done = false;
        m_movement = after;
        m_credit = 0;
        m_pacer.reset();
        m_log("movement " + std::to_string(id) +
              (position ? " from " + std::to_string(position->position) : std::string()));
        m_starvedSince = {};
        m_starvedCounted = false;
        m_wake.notify_all();
        return true;
    }
    default:
        return false;
    }
}

std::vector<std::byte> PlaybackStream::buildItem(unsigned channel, std::int64_t frame,
                                                 unsigned speedCode, bool withHeader,
                                                 const std::string& title,
                                                 std::uint16_t& fragmentFlags) const {
    const std::vector<std::byte> body = m_frames.body(channel, frame);
    const std::uint32_t timeSeconds = static_cast<std::uint32_t>(frameMs(channel, frame) / 1000);

    fragmentFlags = static_cast<std::uint16_t>(speedCode & kFragmentSpeedMask);
    if (!withHeader)
        return body;
    RecordingFrameHeader header;
    header.frameTime = timeSeconds;
    header.title = title;
    header.titlePresent = title.empty() ? 0 : 1;
    header.segmentKey = 1;
    const auto head = encodeRecordingFrameHeader(header);
    std::vector<std::byte> item(head.size() + body.size());
    std::memcpy(item.data(), head.data(), head.size());
    std::memcpy(item.data() + head.size(), body.data(), body.size());
    return item;
}

void PlaybackStream::senderLoop() {
    for (;;) {
        unsigned channel = 0;
        std::int64_t frame = 0;
        unsigned speedCode = 0;
        bool withHeader = true;
        std::string title;
        bool creditUsedUp = false;
        {
            std::unique_lock lock(m_mutex);
            int next = -1;
            for (;;) {
                if (m_stop)
                    return;
                next = -1;
                const bool moving = m_playing && !m_done && m_movement != Movement::Paused;
                if (moving)
                    next = static_cast<int>(nextChannel().value_or(kMaxChannels));
                if (next == static_cast<int>(kMaxChannels))
                    next = -1;
                if (moving && next < 0) {
                    // The end (or, backward, the start) of the period.
                    m_done = true;
                    lock.unlock();
                    m_log("PLAY_ON_DONE");
                    m_sendMessage(MessageId::PLAY_ON_DONE, {});
                    lock.lock();
                    continue;
                }
                const PacingClock::TimePoint now = m_clock.now();
                PacingClock::TimePoint wake = now + std::chrono::milliseconds(500);
                if (next >= 0 && m_credit > 0) {
                    // Within the credits, each frame goes out when its time has come at the
                    // speed the stream reports.
                    const PacingClock::TimePoint due =
                        m_pacer.dueAt(frameMs(static_cast<unsigned>(next),
                                              m_cursors[static_cast<unsigned>(next)].frame),
                                      speedCodeNow(), now);
                    if (due <= now)
                        break;
                    m_clock.waitUntil(m_wake, lock, std::min(wake, due));
                    continue;
                }
                const bool streaming =
                    m_movement == Movement::Forward || m_movement == Movement::Backward;
                if (next >= 0 && streaming) {
                    if (m_starvedSince == PacingClock::TimePoint{})
                        m_starvedSince = now;
                    else if (!m_starvedCounted && now - m_starvedSince >= kStarvedLimit) {
                        m_starvedCounted = true;
                        ++m_report.underGrants;
                        m_log("under-grant: no credit for " +
                              std::to_string(kStarvedLimit.count()) + " s after " +
                              std::to_string(m_runSent) + " frames");
                    }
                }
                m_clock.waitUntil(m_wake, lock, wake);
            }
            channel = static_cast<unsigned>(next);
            frame = m_cursors[channel].frame;
            const bool backward =
                m_movement == Movement::Backward || m_movement == Movement::StepBackward;
            m_cursors[channel].lastSent = frame;
            std::int64_t& cursor = m_cursors[channel].frame;
            if (backward) {
                // Reverse play shows key frames only.
                const std::int64_t oldest = cursor - 1 - keyIntervalOf(channel);
                --cursor;
                while (cursor > oldest && cursor >= 0 && !isKey(channel, cursor))
                    --cursor;
                if (cursor >= 0 && !isKey(channel, cursor))
                    cursor = -1;
            } else {
                ++cursor;
            }
            --m_credit;
            creditUsedUp = m_credit == 0;
            ++m_runSent;
            ++m_playSent;
            ++m_report.sent;
            m_starvedSince = {};
            speedCode = speedCodeNow();
            withHeader = m_withHeader;
            title = m_titles[channel];
        }
        std::uint16_t flags = 0;
        const std::vector<std::byte> item =
            buildItem(channel, frame, speedCode, withHeader, title, flags);
        const std::uint32_t timeSeconds =
            static_cast<std::uint32_t>(frameMs(channel, frame) / 1000);
        // One frame, fragmented: the channel and speed in every fragment, bit 14 on the last.
        const std::size_t count = (item.size() + m_maxFragment - 1) / m_maxFragment;
        std::vector<std::byte> wire(count * kHeaderSize + item.size());
        std::size_t in = 0, out = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t n = std::min(m_maxFragment, item.size() - in);
            MessageHeader header = makeHeader(MessageId::PLAY_DATA, static_cast<std::uint16_t>(n));
            header.fragmentFlags = flags;
            header.setFragmentChannel(channel);
            if (i + 1 == count)
                header.fragmentFlags =
                    static_cast<std::uint16_t>(header.fragmentFlags | kFragmentLast);
            header.headerWord3 = timeSeconds;
            const auto head = encodeHeader(header);
            std::memcpy(wire.data() + out, head.data(), kHeaderSize);
            out += kHeaderSize;
            std::memcpy(wire.data() + out, item.data() + in, n);
            out += n;
            in += n;
        }
        if (!m_sendWire(wire))
            return;
        // The client learns that a grant is used up; while it seeks it grants one more.
        if (creditUsedUp)
            m_sendMessage(MessageId::PLAY_STEP_ACK, {});
    }
}

} // namespace kalder::sim
