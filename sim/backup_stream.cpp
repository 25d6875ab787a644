#include "sim/backup_stream.h"

#include "sim/sim_bytes.h"
#include "sim/live_frame_builder.h"
#include "wire/byte_writer.h"
#include "wire/message_catalogue.h"
#include "wire/playback_records.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kalder::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kNoDataCode = 83;
constexpr std::int32_t kSizeRefusalCode = 87;
// What the client counts for one frame besides the access unit: the recording header and the
// frame block.
constexpr std::uint64_t kFrameOverheadBytes = kRecordingFrameHeaderSize + kFrameInfoBlockSize;

// The recording kind number a channel's frames carry in header byte 50: the period's kind (the
// highest of its kind bits, so that motion wins over the continuous recording it rides on), or
// 0 (continuous) on a motion-continuous channel.
std::uint8_t kindNumber(const DiskPeriod& period, unsigned channel) {
    if ((period.motionContinuous >> channel) & 1u)
        return 0;
    if (period.kinds == 0)
        return 0;
    return static_cast<std::uint8_t>(std::bit_width(unsigned(period.kinds)) - 1);
}

// The knobs every connection shares, set by the admin thread.
struct BackupKnobs {
    std::optional<std::int32_t> refusal;
    std::array<std::uint32_t, 2> refusalSizes{};
    std::uint32_t rate = 0;
    std::uint32_t answeredSize = 0;
};
std::mutex s_knobMutex;
BackupKnobs s_knobs; // guarded by s_knobMutex
// What every connection has done so far: it outlives the connections, so that a test can read
// it after its client has gone. Guarded by s_knobMutex, taken after a stream's own mutex.
BackupReport s_report;

BackupKnobs takeKnobs() {
    std::lock_guard lock(s_knobMutex);
    BackupKnobs knobs = s_knobs;
    s_knobs.refusal.reset(); // a refusal answers one request
    return knobs;
}

std::uint32_t currentRate() {
    std::lock_guard lock(s_knobMutex);
    return s_knobs.rate;
}

} // namespace

BackupPlan planBackup(const RecordedDisk& disk, const RecordedFrames& frames,
                      std::uint16_t channelMask, std::uint8_t kindSelector, std::uint32_t start,
                      std::uint32_t end) {
    BackupPlan plan;
    if (end < start)
        return plan;
    const auto& periods = disk.periods();
    for (std::size_t i = 0; i < periods.size(); ++i) {
        const DiskPeriod& p = periods[i];
        if (p.end < start || p.start > end)
            continue;
        if (kindSelector != 0 && (p.kinds & kindSelector) == 0)
            continue;
        const std::uint32_t from = std::max(start, p.start);
        const std::uint32_t to = std::min(end, p.end);
        for (unsigned c = 0; c < kMaxChannels; ++c) {
            if (!((channelMask & p.channels) >> c & 1u))
                continue;
            const std::int64_t fps = frames.fps(c);
            BackupFrameRun run;
            run.first = static_cast<std::int64_t>(from) * fps;
            run.last = (static_cast<std::int64_t>(to) + 1) * fps - 1;
            run.segmentKey = static_cast<std::uint32_t>(i + 1);
            run.kind = kindNumber(p, c);
            plan[c].push_back(run);
        }
    }
    return plan;
}

std::uint64_t backupPlanBytes(const BackupPlan& plan, const RecordedFrames& frames) {
    std::uint64_t total = 0;
    for (unsigned c = 0; c < kMaxChannels; ++c) {
        const auto loopLength = static_cast<std::int64_t>(frames.loopLength(c));
        if (plan[c].empty() || loopLength == 0)
            continue;
        // The loop repeats: whole loops cost the loop's sum, the rest is counted frame by frame.
        std::uint64_t loopBytes = 0;
        for (std::int64_t n = 0; n < loopLength; ++n)
            loopBytes += frames.videoBytes(c, n);
        for (const BackupFrameRun& run : plan[c]) {
            const std::int64_t count = run.last - run.first + 1;
            total += static_cast<std::uint64_t>(count) * kFrameOverheadBytes +
                     static_cast<std::uint64_t>(count / loopLength) * loopBytes +
                     frames.audioFrames(c, run.first, run.last) * kAudioSectionBytes;
            for (std::int64_t n = run.first + count / loopLength * loopLength; n <= run.last; ++n)
                total += frames.videoBytes(c, n);
        }
    }
    return total;
}

BackupStream::BackupStream(RecorderModel& model, const MediaSource& media, SendMessage sendMessage,
                           SendWire sendWire, std::size_t maxFragmentBytes, Log log)
    : m_model(model), m_sendMessage(std::move(sendMessage)), m_sendWire(std::move(sendWire)),
      m_maxFragment(std::clamp<std::size_t>(maxFragmentBytes, 1, kMaxPayloadLength)),
      m_log(std::move(log)), m_frames(model, media) {}

BackupStream::~BackupStream() {
    stop();
}

void BackupStream::start() {
    m_sender = std::thread([this] { senderLoop(); });
}

void BackupStream::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wake.notify_all();
    }
    if (m_sender.joinable())
        m_sender.join();
}

void BackupStream::armRefusal(std::int32_t code, std::uint32_t firstMb, std::uint32_t secondMb) {
    std::lock_guard lock(s_knobMutex);
    s_knobs.refusal = code;
    s_knobs.refusalSizes = {firstMb, secondMb};
}

void BackupStream::fail(std::int32_t code) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return;
        m_running = false;
        ++m_runId;
        m_wake.notify_all();
    }
    m_log("TRANS_ON_FAIL " + std::to_string(code));
    m_sendMessage(MessageId::TRANS_ON_FAIL, bigEndian32(static_cast<std::uint32_t>(code)));
}

void BackupStream::setRate(std::uint32_t kbytesPerSecond) {
    std::lock_guard lock(s_knobMutex);
    s_knobs.rate = kbytesPerSecond;
}

void BackupStream::setAnsweredSize(std::uint32_t kbytes) {
    std::lock_guard lock(s_knobMutex);
    s_knobs.answeredSize = kbytes;
}

BackupReport BackupStream::report() {
    std::lock_guard lock(s_knobMutex);
    return s_report;
}

bool BackupStream::handle(const MessageHeader& header, std::span<const std::byte> payload) {
    using namespace MessageId;
    const std::uint16_t id = header.messageId();
    switch (id) {
    case TRANS_ON_REQ: {
        const auto request = decodePlayOnRequest(payload);
        const BackupKnobs knobs = takeKnobs();
        std::unique_lock lock(m_mutex);
        if (knobs.refusal) {
            const std::int32_t code = *knobs.refusal;
            std::vector<std::byte> nack;
            for (std::uint32_t word :
                 {static_cast<std::uint32_t>(code), knobs.refusalSizes[0], knobs.refusalSizes[1]}) {
                const auto bytes = bigEndian32(word);
                nack.insert(nack.end(), bytes.begin(), bytes.end());
                if (code != kSizeRefusalCode)
                    break;
            }
            lock.unlock();
            m_log("TRANS_ON_REQ refused with " + std::to_string(code));
            m_sendMessage(TRANS_ON_NACK, nack);
            return true;
        }
        const unsigned count = m_model.channelCount();
        const std::uint16_t present =
            count >= 16 ? 0xFFFF : static_cast<std::uint16_t>((1u << count) - 1);
        if (!request || (request->channelMask & present) == 0 || request->end < request->start) {
            lock.unlock();
            m_sendMessage(TRANS_ON_NACK, bigEndian32(kNoDataCode));
            return true;
        }
        const BackupPlan plan = planBackup(
            m_model.disk(), m_frames, static_cast<std::uint16_t>(request->channelMask & present),
            request->kind, request->start, request->end);
        const std::uint64_t bytes = backupPlanBytes(plan, m_frames);
        const auto kbytes = knobs.answeredSize ? knobs.answeredSize
                                               : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                                     (bytes + 1023) / 1024, 0xFFFFFFFFu));
        {
            std::lock_guard knobLock(s_knobMutex);
            ++s_report.sized;
            s_report.kbytes = kbytes;
        }
        lock.unlock();
        char text[96];
        std::snprintf(text, sizeof text, "TRANS_ON_REQ mask 0x%04x from %u to %u: %u KB",
                      unsigned(request->channelMask), unsigned(request->start),
                      unsigned(request->end), unsigned(kbytes));
        m_log(text);
        m_sendMessage(TRANS_ON_ACK, bigEndian32(kbytes));
        return true;
    }
    case TRANS_DATA_REQ: {
        const auto request = decodePlayOnRequest(payload);
        if (!request)
            return true;
        const unsigned count = m_model.channelCount();
        const std::uint16_t present =
            count >= 16 ? 0xFFFF : static_cast<std::uint16_t>((1u << count) - 1);
        const SimConfig config = m_model.config();
        std::lock_guard lock(m_mutex);
        m_plan = planBackup(m_model.disk(), m_frames,
                            static_cast<std::uint16_t>(request->channelMask & present),
                            request->kind, request->start, request->end);
        for (unsigned c = 0; c < kMaxChannels; ++c) {
            m_cursors[c] = {0, m_plan[c].empty() ? 0 : m_plan[c].front().first};
            m_titles[c] = config.channels[c].title;
        }
        {
            std::lock_guard knobLock(s_knobMutex);
            s_report.runFrames = {};
            s_report.done = false;
            ++s_report.runs;
        }
        m_running = true;
        ++m_runId;
        m_log("TRANS_DATA_REQ");
        m_wake.notify_all();
        return true;
    }
    case TRANS_OFF_REQ: {
        {
            std::lock_guard lock(m_mutex);
            std::lock_guard knobLock(s_knobMutex);
            ++s_report.offs;
            m_running = false;
            ++m_runId;
            m_wake.notify_all();
        }
        m_log("TRANS_OFF_REQ");
        m_sendMessage(TRANS_OFF_ACK, {});
        return true;
    }
    default:
        return false;
    }
}

// With m_mutex held.
std::optional<unsigned> BackupStream::nextChannel() const {
    std::optional<unsigned> best;
    std::int64_t bestMs = 0;
    for (unsigned c = 0; c < kMaxChannels; ++c) {
        if (m_cursors[c].run >= m_plan[c].size())
            continue;
        const std::int64_t ms = m_frames.frameMs(c, m_cursors[c].frame);
        if (!best || ms < bestMs) {
            best = c;
            bestMs = ms;
        }
    }
    return best;
}

std::vector<std::byte> BackupStream::buildItem(unsigned channel, std::int64_t frame,
                                               const BackupFrameRun& run) const {
    const std::vector<std::byte> body = m_frames.body(channel, frame);
    RecordingFrameHeader header;
    header.frameTime = static_cast<std::uint32_t>(m_frames.frameMs(channel, frame) / 1000);
    header.title = m_titles[channel];
    header.titlePresent = header.title.empty() ? 0 : 1;
    header.segmentKey = run.segmentKey;
    header.recordingParams[2] = run.kind;
    const auto head = encodeRecordingFrameHeader(header);
    std::vector<std::byte> item(head.size() + body.size());
    std::memcpy(item.data(), head.data(), head.size());
    std::memcpy(item.data() + head.size(), body.data(), body.size());
    return item;
}

void BackupStream::senderLoop() {
    std::uint64_t runId = 0;
    Clock::time_point runStart{};
    std::uint64_t runBytes = 0;
    for (;;) {
        unsigned channel = 0;
        std::int64_t frame = 0;
        BackupFrameRun run;
        std::uint32_t rate = 0;
        {
            std::unique_lock lock(m_mutex);
            for (;;) {
                if (m_stop)
                    return;
                if (m_running) {
                    if (m_runId != runId) {
                        runId = m_runId;
                        runStart = Clock::now();
                        runBytes = 0;
                    }
                    const auto next = nextChannel();
                    if (!next) {
                        // The period is sent whole.
                        m_running = false;
                        {
                            std::lock_guard knobLock(s_knobMutex);
                            s_report.done = true;
                        }
                        lock.unlock();
                        m_log("TRANS_ON_DONE");
                        m_sendMessage(MessageId::TRANS_ON_DONE, {});
                        lock.lock();
                        continue;
                    }
                    channel = *next;
                    break;
                }
                m_wake.wait(lock);
            }
            Cursor& cursor = m_cursors[channel];
            frame = cursor.frame;
            run = m_plan[channel][cursor.run];
            if (++cursor.frame > run.last) {
                ++cursor.run;
                if (cursor.run < m_plan[channel].size())
                    cursor.frame = m_plan[channel][cursor.run].first;
            }
        }
        rate = currentRate();
        const std::vector<std::byte> item = buildItem(channel, frame, run);
        const std::vector<std::byte> wire = buildFragmentedMessages(
            item, MessageId::TRANS_ON_DATA, 0, channel,
            static_cast<std::uint32_t>(m_frames.frameMs(channel, frame) / 1000), m_maxFragment);
        if (!m_sendWire(wire))
            return;
        {
            std::unique_lock lock(m_mutex);
            {
                std::lock_guard knobLock(s_knobMutex);
                ++s_report.frames;
                s_report.bytes += item.size();
                ++s_report.runFrames[channel];
            }
            runBytes += item.size();
            if (rate > 0) {
                // Holds the stream to the rate; a stop or an end wakes it early.
                const auto due = runStart + std::chrono::microseconds(runBytes * 1'000'000 /
                                                                      (std::uint64_t(rate) * 1024));
                m_wake.wait_until(lock, due, [&] { return m_stop || m_runId != runId; });
            }
        }
    }
}

} // namespace kalder::sim
