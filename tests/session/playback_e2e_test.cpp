// Remote playback against kalder-recorder-sim: credits, controls, the end of the period and the
// stop order.
#include "session_test_support.h"

#include "files/local_log.h"
#include "wire/message_catalogue.h"
#include "wire/playback_records.h"
#include "wire/recorder_time.h"
#include "session/recorder_session.h"
#include "tests/sim/sim_disk.h"
#include "tests/sim/sim_process.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>
#include <unistd.h>

namespace kalder::test {
namespace {

constexpr unsigned kChannels = 4;
const std::vector<std::string> kSimArgs =
    withSimDisk({"--channels", std::to_string(kChannels), "--fps", "30", "--max-fragment", "4000"});

// The simulator's disk, built as it builds it.
const sim::RecordedDisk& disk() {
    static const sim::RecordedDisk recorded = simDisk(kChannels);
    return recorded;
}

// "ok runs=1 granted=189 sent=150 over=0 under=0 playing=0 done=1" as numbers by name.
std::map<std::string, long long> creditReport(SimProcess& sim) {
    std::map<std::string, long long> values;
    std::istringstream in(sim.admin("play-credits"));
    std::string word;
    in >> word;
    if (word != "ok")
        return values;
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos)
            values[word.substr(0, eq)] = std::stoll(word.substr(eq + 1));
    }
    return values;
}

class PlaybackE2e : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sim = new SimProcess;
        ASSERT_TRUE(s_sim->start(kSimArgs)) << s_sim->lastError();
    }
    static void TearDownTestSuite() {
        delete s_sim;
        s_sim = nullptr;
    }

    void SetUp() override {
        ensureCoreApplication();
        m_dataFolder = std::filesystem::path(KALDER_TEST_CACHE_DIR) /
                       ("playback-e2e-" + std::to_string(::getpid()));
        configureLocalLog({m_dataFolder, false, 0});
        ASSERT_TRUE(s_sim && s_sim->running());
        m_session = std::make_unique<RecorderSession>(&m_events);
        m_session->live().setFrameConsumerFactory(&m_liveFrames);
        m_session->playback().setFrameConsumerFactory(&m_frames);
        m_session->setAddress("127.0.0.1");
        m_session->setPort(s_sim->port());
        m_session->setUserId("admin");
        m_session->setPassword("1234");
        m_session->start();
        ASSERT_TRUE(waitUntil([&] { return m_session->live().liveOn(); }));
    }
    void TearDown() override {
        if (m_session) {
            m_session->disconnect();
            EXPECT_TRUE(m_session->threadsEnded());
            m_session.reset();
        }
        pumpEvents();
        std::filesystem::remove_all(m_dataFolder);
    }

    // Plays `seconds` of the recorder's past that every channel recorded.
    void play(std::uint32_t seconds) {
        m_start = recordedStart(disk(), kChannels, seconds);
        ASSERT_TRUE(
            m_session->playback().requestPlayback(m_start, m_start + seconds - 1, 0x000F, 0x3F));
        ASSERT_TRUE(waitUntil([&] { return m_session->playback().playing(); }));
    }
    std::uint64_t shown() const { return m_session->playback().counters().shownFrames; }
    bool shownReaches(std::uint64_t count) {
        return waitUntil([&] { return shown() >= count; }, std::chrono::seconds(20));
    }
    bool shownGrowBy(std::uint64_t count) { return shownReaches(shown() + count); }
    // Applies `control`; true when it was applied and `count` frames were shown from then on
    // (the control itself takes a while: frames may show before it returns).
    bool controlShows(PlayControl control, std::uint64_t count) {
        const std::uint64_t start = shown();
        return m_session->playback().control(control).has_value() && shownReaches(start + count);
    }
    // Waits until the recorder has handled RPLAY_STOP.
    void stopAndWait() {
        m_session->playback().stop();
        ASSERT_TRUE(waitUntil([&] { return creditReport(*s_sim)["playing"] == 0; }));
    }

    static SimProcess* s_sim;
    std::filesystem::path m_dataFolder;
    EventRecorder m_events;
    FrameSinkFactory m_liveFrames;
    FrameSinkFactory m_frames;
    std::unique_ptr<RecorderSession> m_session;
    std::uint32_t m_start = 0;
};
SimProcess* PlaybackE2e::s_sim = nullptr;

TEST_F(PlaybackE2e, CreditsAreGrantedExactlyUntilTheEndOfThePeriod) {
    auto before = creditReport(*s_sim);
    play(3);
    // Live view made way for playback; a decoder for each of the recorder's channels.
    EXPECT_FALSE(m_session->live().liveOn());
    EXPECT_EQ(m_frames.alive(), 4u);
    ASSERT_TRUE(
        waitUntil([&] { return m_session->playback().counters().done; }, std::chrono::seconds(30)));
    const PlaybackCounters counters = m_session->playback().counters();
    stopAndWait();
    auto after = creditReport(*s_sim);
    const long long sent = after["sent"] - before["sent"];
    const long long granted = after["granted"] - before["granted"];
    EXPECT_EQ(after["over"], before["over"]);
    EXPECT_EQ(after["under"], before["under"]);
    // Every frame sent arrived before PLAY_ON_DONE, all of them counted: 93, then 48 at frame
    // 49 and every 48th frame after it.
    EXPECT_EQ(static_cast<long long>(counters.frames), sent);
    EXPECT_EQ(counters.countedFrames, counters.frames);
    EXPECT_GT(sent, 300); // 4 channels, 3 seconds and more, 30 frames a second
    EXPECT_EQ(granted, 93 + 48 * ((sent - 1) / 48));
    EXPECT_EQ(static_cast<long long>(counters.granted), granted);
    // The recorded moments came in order with their titles; the first frames start at the key
    // frame before the start.
    EXPECT_GE(counters.firstTime + 1, m_start);
    EXPECT_LE(counters.lastTime, m_start + 2);
    const auto frames = m_frames.frames(2);
    ASSERT_FALSE(frames.empty());
    EXPECT_STREQ(frames.front().descriptor.title.data(), "CH3");
    EXPECT_EQ(frames.front().header.fragmentChannel(), 2u);
}

// Across a gap between two recordings of different channels: each channel's frames are those
// of the seconds it recorded, a channel that recorded neither sends nothing, and the end of
// the period still comes.
TEST_F(PlaybackE2e, OnlyWhatTheDiskRecordedIsPlayed) {
    const auto& periods = disk().periods();
    std::size_t i = periods.size() - 1;
    while (i > 0 && (periods[i - 1].channels == periods[i].channels ||
                     periods[i].start - periods[i - 1].end < 3))
        --i;
    ASSERT_GT(i, 0u) << "no gap between recordings of different channels";
    const sim::DiskPeriod& before = periods[i - 1];
    const sim::DiskPeriod& after = periods[i];
    const std::uint32_t from = before.end - 1, to = after.start + 1;
    auto credits = creditReport(*s_sim);
    ASSERT_TRUE(m_session->playback().requestPlayback(from, to, 0x000F, 0x3F));
    ASSERT_TRUE(waitUntil([&] { return m_session->playback().playing(); }));
    ASSERT_TRUE(
        waitUntil([&] { return m_session->playback().counters().done; }, std::chrono::seconds(30)));
    stopAndWait();

    for (unsigned c = 0; c < kChannels; ++c) {
        SCOPED_TRACE(c);
        const auto frames = m_frames.frames(c);
        const bool recorded = ((before.channels | after.channels) >> c) & 1u;
        EXPECT_EQ(!frames.empty(), recorded);
        bool sawBefore = false, sawAfter = false;
        for (const FrameRecord& frame : frames) {
            const auto second = static_cast<std::uint32_t>(frameTimeMs(frame.descriptor) / 1000);
            EXPECT_TRUE(disk().recordedAt(c, second).has_value()) << second;
            sawBefore = sawBefore || second <= before.end;
            sawAfter = sawAfter || second >= after.start;
        }
        EXPECT_EQ(sawBefore, ((before.channels >> c) & 1u) != 0);
        EXPECT_EQ(sawAfter, ((after.channels >> c) & 1u) != 0);
    }
    auto now = creditReport(*s_sim);
    EXPECT_EQ(now["over"], credits["over"]);
    EXPECT_EQ(now["under"], credits["under"]);

    // Nothing recorded from the period's start to its end: the recorder has no data.
    ASSERT_TRUE(
        m_session->playback().requestPlayback(before.end + 1, after.start - 1, 0x000F, 0x3F));
    ASSERT_TRUE(waitUntil([&] {
        pumpEvents();
        return m_events.hasNotification({4, 0});
    }));
    EXPECT_FALSE(m_session->playback().playing());
}

TEST_F(PlaybackE2e, EndOfPeriodLeavesThePausedStateAndStopFreesEveryDecoder) {
    ASSERT_EQ(s_sim->admin("play-header off").rfind("ok", 0), 0u);
    play(1);
    ASSERT_TRUE(
        waitUntil([&] { return m_session->playback().counters().done; }, std::chrono::seconds(30)));
    ASSERT_TRUE(waitUntil([&] { return m_session->playback().state().paused; }));
    const PlaybackState state = m_session->playback().state();
    EXPECT_EQ(state.seekState, SeekState::Streaming);
    EXPECT_FALSE(m_session->playback().buttonAllowed(PlayControl::Pause));
    EXPECT_TRUE(m_session->playback().buttonAllowed(PlayControl::StepForward));
    EXPECT_TRUE(m_session->playback().buttonAllowed(PlayControl::Forward));
    EXPECT_EQ(m_session->playback().displayedSpeed(), 0);
    // Without the recording header the frames are titled by their channel.
    const auto frames = m_frames.frames(0);
    ASSERT_FALSE(frames.empty());
    EXPECT_STREQ(frames.back().descriptor.title.data(), "CH1");

    stopAndWait();
    EXPECT_FALSE(m_session->playback().playing());
    EXPECT_FALSE(m_session->playbackOn());
    EXPECT_EQ(m_frames.alive(), 0u);
    // Discard on every decoder before the first one stops.
    const auto journal = m_frames.journal();
    std::size_t discards = 0;
    for (const std::string& entry : journal) {
        if (entry.rfind("stop", 0) == 0)
            break;
        discards += entry.rfind("discard", 0) == 0;
    }
    EXPECT_EQ(discards, 4u);
    ASSERT_EQ(s_sim->admin("play-header on").rfind("ok", 0), 0u);
}

TEST_F(PlaybackE2e, EveryControlKeepsTheCreditsAndMovesThePicture) {
    auto before = creditReport(*s_sim);
    play(20);
    // Four seconds into the period, so that reverse play has key frames to show.
    ASSERT_TRUE(shownGrowBy(480));
    auto& playback = m_session->playback();

    ASSERT_TRUE(playback.control(PlayControl::Pause));
    EXPECT_EQ(playback.state().seekState, SeekState::Holding);
    const std::int64_t held = frameTimeMs(playback.state().lastShownFrame);

    // Step forward while holding: the stream restarts at the position and seeks past the shown
    // frame, then one frame is shown.
    ASSERT_TRUE(controlShows(PlayControl::StepForward, 1));
    ASSERT_TRUE(waitUntil([&] { return playback.state().seekState == SeekState::Streaming; }));
    EXPECT_GE(frameTimeMs(playback.state().lastShownFrame), held);

    // Step backward while stepping: a plain step back.
    const std::int64_t stepped = frameTimeMs(playback.state().lastShownFrame);
    ASSERT_TRUE(controlShows(PlayControl::StepBackward, 1));
    EXPECT_LT(frameTimeMs(playback.state().lastShownFrame), stepped);

    // Reverse play, paced by the recorder at normal speed: it runs back to the start of the
    // period, showing ever earlier key frames, and the end of the period pauses it.
    const std::uint64_t beforeReverse = shown();
    ASSERT_TRUE(controlShows(PlayControl::Reverse, 3));
    ASSERT_TRUE(waitUntil([&] { return playback.state().paused; }, std::chrono::seconds(60)));
    EXPECT_LT(frameTimeMs(playback.state().lastShownFrame), stepped - 1000);
    EXPECT_GE(shown(), beforeReverse + 3);

    // Forward play again at normal speed.
    ASSERT_TRUE(controlShows(PlayControl::Forward, 20));
    const std::int64_t forward1 = frameTimeMs(playback.state().lastShownFrame);
    ASSERT_TRUE(shownGrowBy(20));
    EXPECT_GT(frameTimeMs(playback.state().lastShownFrame), forward1);
    EXPECT_EQ(playback.state().speed, 1);

    // A control its rule forbids does nothing.
    EXPECT_FALSE(playback.control(PlayControl::StepForward));

    stopAndWait();
    auto after = creditReport(*s_sim);
    EXPECT_EQ(after["over"], before["over"]);
    EXPECT_EQ(after["under"], before["under"]);
    EXPECT_EQ(m_frames.alive(), 0u);
}

// Step backward while holding: the recorder restarts behind the held frame, the client drops
// frames until it is back at the frame it showed, then steps one key frame back; the seek's
// grants keep to the credit scheme.
TEST_F(PlaybackE2e, StepBackwardWhileHoldingShowsTheFrameBeforeTheHeldOne) {
    auto before = creditReport(*s_sim);
    play(20);
    // Four seconds into the period: key frames behind for both steps.
    ASSERT_TRUE(shownGrowBy(480));
    auto& playback = m_session->playback();
    ASSERT_TRUE(playback.control(PlayControl::Pause));
    ASSERT_EQ(playback.state().seekState, SeekState::Holding);
    const std::int64_t held = frameTimeMs(playback.state().lastShownFrame);

    ASSERT_TRUE(controlShows(PlayControl::StepBackward, 1));
    ASSERT_TRUE(waitUntil([&] { return playback.state().seekState == SeekState::Streaming; }));
    const std::int64_t stepped = frameTimeMs(playback.state().lastShownFrame);
    EXPECT_LT(stepped, held);
    EXPECT_GE(stepped, held - 2000) << "one key frame back, not a restart from afar";
    EXPECT_TRUE(playback.state().paused);

    // And once more: a plain step back from there shows the key frame before it, none skipped
    // (a key frame a second at 30 frames a second).
    ASSERT_TRUE(controlShows(PlayControl::StepBackward, 1));
    EXPECT_LT(frameTimeMs(playback.state().lastShownFrame), stepped);
    EXPECT_GE(frameTimeMs(playback.state().lastShownFrame), stepped - 1100);

    stopAndWait();
    auto after = creditReport(*s_sim);
    EXPECT_EQ(after["over"], before["over"]);
    EXPECT_EQ(after["under"], before["under"]);
}

// A period that only some of the requested channels recorded, with a channel that recorded
// nothing in it: reverse play runs back to the start and pauses there, and forward play from
// there goes on with the period's own frames, the recorded channels moving, the credits kept.
TEST_F(PlaybackE2e, ForwardAfterReverseToTheStartStaysInAPartlyRecordedPeriod) {
    const sim::DiskPeriod* period = nullptr;
    for (auto it = disk().periods().rbegin(); it != disk().periods().rend(); ++it)
        if ((it->channels & 0x000F) != 0 && (it->channels & 0x000F) != 0x000F &&
            it->end - it->start >= 40) {
            period = &*it;
            break;
        }
    ASSERT_NE(period, nullptr) << "no long period that only some channels recorded";
    const std::uint32_t from = period->start + 5, to = period->start + 35;
    auto before = creditReport(*s_sim);
    ASSERT_TRUE(m_session->playback().requestPlayback(from, to, 0x000F, 0x3F));
    ASSERT_TRUE(waitUntil([&] { return m_session->playback().playing(); }));
    auto& playback = m_session->playback();
    // Reverse straight from forward play, with forward frames still under way.
    ASSERT_TRUE(shownGrowBy(60));
    ASSERT_TRUE(playback.control(PlayControl::Reverse));
    ASSERT_TRUE(waitUntil([&] { return playback.state().paused; }, std::chrono::seconds(60)));
    EXPECT_LE(playback.position(), from);

    ASSERT_TRUE(controlShows(PlayControl::Forward, 60));
    const std::uint64_t recordedBefore = [&] {
        std::uint64_t n = 0;
        for (unsigned c = 0; c < kChannels; ++c)
            if ((period->channels >> c) & 1u)
                n += m_frames.frames(c).size();
        return n;
    }();
    ASSERT_TRUE(shownGrowBy(60));
    std::uint64_t recordedAfter = 0;
    for (unsigned c = 0; c < kChannels; ++c) {
        SCOPED_TRACE(c);
        const auto frames = m_frames.frames(c);
        EXPECT_EQ(frames.empty(), ((period->channels >> c) & 1u) == 0);
        if ((period->channels >> c) & 1u)
            recordedAfter += frames.size();
        for (const FrameRecord& frame : frames) {
            EXPECT_GE(frame.descriptor.infoWord + 2, from);
            EXPECT_LE(frame.descriptor.infoWord, to);
        }
    }
    EXPECT_GT(recordedAfter, recordedBefore);
    EXPECT_GE(playback.position() + 2, from);
    EXPECT_LE(playback.position(), to);
    stopAndWait();
    auto after = creditReport(*s_sim);
    EXPECT_EQ(after["over"], before["over"]);
    EXPECT_EQ(after["under"], before["under"]);
}

// The check the credit tests rely on: the simulator counts a grant the scheme does not allow,
// and a stream left without credit.
TEST_F(PlaybackE2e, TheSimulatorCountsOverAndUnderGrants) {
    auto before = creditReport(*s_sim);
    play(2);
    ASSERT_TRUE(shownGrowBy(5));
    // 48 frames more than the scheme grants: the end of the period settles the run.
    const auto extra = encodePlayWord(48);
    m_session->send(makeHeader(MessageId::PLAY_STEP_DATA, 4), extra);
    ASSERT_TRUE(
        waitUntil([&] { return m_session->playback().state().paused; }, std::chrono::seconds(20)));
    ASSERT_TRUE(waitUntil([&] { return creditReport(*s_sim)["over"] > before["over"]; }));
    EXPECT_EQ(creditReport(*s_sim)["under"], before["under"]);
    // A paused client, and a forward command behind its back: the recorder waits for a grant
    // of 93 that never comes.
    stopAndWait();
    play(60);
    ASSERT_TRUE(shownGrowBy(5));
    ASSERT_TRUE(m_session->playback().control(PlayControl::Pause));
    m_session->send(makeHeader(MessageId::PLAY_FORWARD));
    ASSERT_TRUE(waitUntil([&] { return creditReport(*s_sim)["under"] > before["under"]; },
                          std::chrono::seconds(20)));
    stopAndWait();
}

TEST_F(PlaybackE2e, RefusalAndFailureMapToTheirNotifications) {
    ASSERT_EQ(s_sim->admin("play-nack 53").rfind("ok", 0), 0u);
    const auto now = static_cast<std::uint32_t>(std::time(nullptr));
    ASSERT_TRUE(m_session->playback().requestPlayback(now - 60, 0, 0x1, 0x3F));
    ASSERT_TRUE(waitUntil([&] {
        pumpEvents();
        return m_events.hasNotification({6, 4});
    }));
    EXPECT_FALSE(m_session->playback().requestPending());
    EXPECT_FALSE(m_session->playbackRequestPending());
    EXPECT_TRUE(m_events.has(WindowMessage::PlaybackRefused));

    // A playback that fails ends, and live view comes back.
    play(30);
    ASSERT_TRUE(shownGrowBy(5));
    ASSERT_EQ(s_sim->admin("play-fail 98").rfind("ok", 0), 0u);
    ASSERT_TRUE(waitUntil([&] {
        pumpEvents();
        return m_events.hasNotification({6, 6});
    }));
    ASSERT_TRUE(waitUntil([&] { return m_session->live().liveOn(); }));
    EXPECT_FALSE(m_session->playback().playing());
    EXPECT_EQ(m_frames.alive(), 0u);
}

} // namespace
} // namespace kalder::test
