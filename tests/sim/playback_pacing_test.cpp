// How fast the recorder plays back: the pacer's arithmetic, and a whole playback stream on a
// virtual clock, where the seconds of recording sent per virtual second show the speed without
// waiting for real time.

#include "wire/frame_info.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"
#include "wire/playback_records.h"
#include "sim/media_source.h"
#include "small_recorder_config.h"
#include "sim/playback_pacer.h"
#include "sim/playback_stream.h"
#include "sim/recorder_model.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace kalder::sim {
namespace {

using namespace std::chrono_literals;
using TimePoint = PacingClock::TimePoint;

TimePoint at(std::int64_t ms) {
    return TimePoint{} + std::chrono::milliseconds(ms);
}

TEST(PlaybackPacer, SpeedCodesPlayAtTheirSpeedEitherWay) {
    // Normal-speed forward play is the client's to pace; steps and unknown codes do not move.
    for (unsigned code : {0u, 5u, 10u, 11u, 15u, 63u})
        EXPECT_FALSE(recorderPacedShift(code)) << code;
    struct Case {
        unsigned code;
        std::int64_t frameMs; // 1000 ms of recording after (forward) or before (reverse) 10000
        std::int64_t dueMs;   // wall time after the anchor
    };
    const Case cases[] = {
        {9, 9000, 1000},  {8, 9000, 500},   {7, 9000, 250},  {6, 9000, 62},
        {12, 11000, 500}, {13, 11000, 250}, {14, 11000, 62},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        PlaybackPacer pacer;
        // The first frame anchors the measure and goes at once.
        EXPECT_EQ(pacer.dueAt(10000, c.code, at(500)), at(500));
        EXPECT_EQ(pacer.dueAt(c.frameMs, c.code, at(500)), at(500 + c.dueMs));
        // The frame due next does not move while the sender waits for it.
        EXPECT_EQ(pacer.dueAt(c.frameMs, c.code, at(520)), at(500 + c.dueMs));
    }
}

TEST(PlaybackPacer, RestartsAtASpeedChangeAResetAndAGap) {
    PlaybackPacer pacer;
    EXPECT_EQ(pacer.dueAt(50000, 9, at(0)), at(0));
    EXPECT_EQ(pacer.dueAt(49000, 9, at(0)), at(1000));
    // Another speed measures from its first frame.
    EXPECT_EQ(pacer.dueAt(48000, 6, at(1000)), at(1000));
    EXPECT_EQ(pacer.dueAt(47000, 6, at(1000)), at(1062));
    pacer.reset();
    EXPECT_EQ(pacer.dueAt(47000, 6, at(2000)), at(2000));
    // Reverse play that jumped back over a gap of the recording (more than three seconds of
    // wall time away) goes on at once from the frame behind the gap.
    pacer.reset();
    EXPECT_EQ(pacer.dueAt(40000, 9, at(0)), at(0));
    EXPECT_EQ(pacer.dueAt(30000, 9, at(100)), at(100));
    EXPECT_EQ(pacer.dueAt(29000, 9, at(100)), at(1100));
    // A frame on the wrong side of the anchor (the key frame before a restart) goes at once.
    EXPECT_EQ(pacer.dueAt(31000, 9, at(200)), at(100));
}

// Time passes only when the sender waits: it jumps to the moment waited for. The short real
// wait lets the other threads in.
class VirtualClock final : public PacingClock {
public:
    TimePoint now() override { return at(m_ms.load()); }
    void waitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   TimePoint until) override {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - TimePoint{}).count();
        if (ms > m_ms.load())
            m_ms.store(ms);
        wake.wait_for(lock, 1ms);
    }
    std::int64_t ms() const { return m_ms.load(); }

private:
    std::atomic<std::int64_t> m_ms{0};
};

struct SentFrame {
    std::int64_t wallMs = 0;
    std::int64_t frameMs = 0;
    unsigned speedCode = 0;
};

class PacedStream : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_config = new SimConfig(smallRecorderConfig(2));
        // 2024-01-03 15:00:00: a disk in the past of any clock.
        s_config->diskEnd = 1704294000;
        s_config->diskSeed = 4;
        s_media = new MediaSource;
        std::string error;
        ASSERT_TRUE(s_media->build(*s_config, 2, error)) << error;
    }
    static void TearDownTestSuite() {
        delete s_media;
        delete s_config;
    }

    void SetUp() override {
        m_model = std::make_unique<RecorderModel>(*s_config);
        m_stream = std::make_unique<PlaybackStream>(
            *m_model, *s_media,
            [this](std::uint16_t id, std::span<const std::byte>) {
                if (id == MessageId::PLAY_ON_DONE)
                    m_done = true;
            },
            [this](std::span<const std::byte> wire) { return received(wire); }, 65535,
            [](const std::string&) {}, m_clock);
        m_stream->setRecordingHeader(false);
        m_stream->start();
    }
    void TearDown() override { m_stream->stop(); }

    // Sender thread: one frame, counted for credits as the client counts them.
    bool received(std::span<const std::byte> wire) {
        if (wire.size() < kHeaderSize)
            return false;
        const MessageHeader header = decodeHeader(wire.first<kHeaderSize>());
        const auto block = decodeFrameInfoBlock(wire.subspan(kHeaderSize));
        if (!block)
            return false;
        {
            std::lock_guard lock(m_mutex);
            m_sent.push_back({m_clock.ms(),
                              static_cast<std::int64_t>(block->infoWord) * 1000 + block->infoHalf,
                              static_cast<unsigned>(header.fragmentFlags & kFragmentSpeedMask)});
        }
        if (m_creditCount == kPlayCreditRenewal) {
            grant(kPlayCreditRenewal);
            m_creditCount = 0;
        }
        ++m_creditCount;
        return true;
    }
    void send(std::uint16_t id, std::span<const std::byte> payload = {}) {
        m_stream->handle(makeHeader(id, static_cast<std::uint16_t>(payload.size())), payload);
    }
    void grant(std::uint32_t frames) { send(MessageId::PLAY_STEP_DATA, encodePlayWord(frames)); }
    // The frames sent from `from` on, once there are `count` of them.
    std::vector<SentFrame> framesFrom(std::size_t from, std::size_t count) {
        EXPECT_TRUE(test::waitUntil([&] {
            std::lock_guard lock(m_mutex);
            return m_sent.size() >= from + count;
        }));
        std::lock_guard lock(m_mutex);
        return {m_sent.begin() + static_cast<std::ptrdiff_t>(std::min(from, m_sent.size())),
                m_sent.end()};
    }
    // The frames of a movement that starts after `from`: `count` of them with its speed code.
    // A frame of the movement before may still be on its way when the new one is sent (the
    // sender builds a frame before it sends it); those lead and are left out.
    std::vector<SentFrame> runFrom(std::size_t from, std::size_t count, unsigned speedCode) {
        const auto ofRun = [&] {
            std::vector<SentFrame> run;
            std::lock_guard lock(m_mutex);
            for (std::size_t i = std::min(from, m_sent.size()); i < m_sent.size(); ++i)
                if (!run.empty() || m_sent[i].speedCode == speedCode)
                    run.push_back(m_sent[i]);
            return run;
        };
        EXPECT_TRUE(test::waitUntil([&] { return ofRun().size() >= count; }));
        return ofRun();
    }
    std::size_t sentCount() {
        std::lock_guard lock(m_mutex);
        return m_sent.size();
    }
    // Every frame of `run` went out when as much wall time had passed since the first one as
    // recording lies between them, shifted right by `shift` (speed 1 real time, 2 twice, 3 four
    // times, 4 sixteen times as fast).
    static void expectPaced(const std::vector<SentFrame>& run, unsigned shift, bool backward) {
        ASSERT_FALSE(run.empty());
        const SentFrame& first = run.front();
        for (const SentFrame& f : run) {
            const std::int64_t recording =
                backward ? first.frameMs - f.frameMs : f.frameMs - first.frameMs;
            EXPECT_GE(recording, 0);
            EXPECT_EQ(f.wallMs - first.wallMs, recording >> shift) << "frame at " << f.frameMs;
        }
    }
    // The longest span of recording sent within one virtual second.
    static std::int64_t mostRecordingPerSecond(const std::vector<SentFrame>& run) {
        std::int64_t most = 0;
        for (const SentFrame& a : run)
            for (const SentFrame& b : run)
                if (b.wallMs >= a.wallMs && b.wallMs - a.wallMs < 1000)
                    most = std::max(most, std::abs(b.frameMs - a.frameMs));
        return most;
    }

    static SimConfig* s_config;
    static MediaSource* s_media;
    VirtualClock m_clock;
    std::unique_ptr<RecorderModel> m_model;
    std::unique_ptr<PlaybackStream> m_stream;
    std::atomic<bool> m_done{false};
    int m_creditCount = 0; // sender thread
    std::mutex m_mutex;
    std::vector<SentFrame> m_sent; // guarded by m_mutex
};
SimConfig* PacedStream::s_config = nullptr;
MediaSource* PacedStream::s_media = nullptr;

TEST_F(PacedStream, EverySpeedButNormalForwardIsPacedByTheRecorder) {
    // Thirty seconds that both channels recorded, without gaps.
    const DiskPeriod* period = nullptr;
    for (auto it = m_model->disk().periods().rbegin(); it != m_model->disk().periods().rend(); ++it)
        if (it->channels == 0x3 && it->end - it->start >= 40) {
            period = &*it;
            break;
        }
    ASSERT_NE(period, nullptr);
    const std::uint32_t from = period->start + 5, to = period->start + 35;
    send(MessageId::PLAY_ON_REQ, encodePlayOnRequest({0x3, kPlayKindAll, from, to}));
    grant(kPlayInitialCredit);

    // Normal-speed forward play is left to the client's pacing: the whole period goes out as
    // the credits come, at one virtual moment.
    ASSERT_TRUE(test::waitUntil([&] { return m_done.load(); }));
    const std::vector<SentFrame> forward = framesFrom(0, 600);
    for (const SentFrame& f : forward) {
        EXPECT_EQ(f.speedCode, kNormalForwardCode);
        EXPECT_EQ(f.wallMs, forward.front().wallMs);
    }

    // Reverse play at normal speed: one second of recording per second.
    m_done = false;
    std::size_t mark = sentCount();
    send(MessageId::PLAY_BACKWARD);
    grant(kPlayInitialCredit);
    const std::vector<SentFrame> reverse = runFrom(mark, 20, kNormalReverseCode);
    for (const SentFrame& f : reverse)
        EXPECT_EQ(f.speedCode, kNormalReverseCode);
    expectPaced(reverse, 0, true);
    EXPECT_GE(reverse.back().wallMs - reverse.front().wallMs, 9000);
    EXPECT_LE(mostRecordingPerSecond(reverse), 1000);

    // Fast reverse at speed -4: sixteen times as fast.
    send(MessageId::PLAY_PAUSE);
    m_stream->setReverseSpeedCode(6);
    mark = sentCount();
    send(MessageId::PLAY_BACKWARD);
    grant(kPlayInitialCredit);
    const std::vector<SentFrame> fastReverse = runFrom(mark, 20, 6);
    for (const SentFrame& f : fastReverse)
        EXPECT_EQ(f.speedCode, 6u);
    expectPaced(fastReverse, 4, true);

    // Fast forward at speed 2: twice as fast.
    send(MessageId::PLAY_PAUSE);
    m_stream->setForwardSpeedCode(12);
    mark = sentCount();
    send(MessageId::PLAY_FORWARD);
    grant(kPlayInitialCredit);
    const std::vector<SentFrame> fastForward = runFrom(mark, 60, 12);
    for (const SentFrame& f : fastForward)
        EXPECT_EQ(f.speedCode, 12u);
    expectPaced(fastForward, 1, false);
    EXPECT_LE(mostRecordingPerSecond(fastForward), 2000);

    send(MessageId::RPLAY_STOP);
    // The client's credits, counted across the movements, are what the recorder accepts.
    EXPECT_EQ(m_stream->report().overGrants, 0u);
}

} // namespace
} // namespace kalder::sim
