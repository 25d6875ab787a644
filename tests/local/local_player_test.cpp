// The player's controls, speed cycles and frame selection, and the player thread over real set
// files: the end pauses, chained sets play as one run, damaged files end cleanly.
#include "backup_set_builder.h"
#include "local/backup_set_catalog.h"
#include "local/local_player.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

namespace kalder {
namespace {

TEST(LocalPlayerRules, SpeedCyclesAndControls) {
    // Play pressed again and again: 1, 2, 3, 4, 1; reverse: -2, -3, -4, -2.
    LocalControlState s;
    std::vector<int> forward;
    for (int i = 0; i < 5; ++i) {
        applyLocalControl(s, 3);
        forward.push_back(s.speed);
    }
    EXPECT_EQ(forward, (std::vector<int>{1, 2, 3, 4, 1}));
    std::vector<int> reverse;
    for (int i = 0; i < 4; ++i) {
        applyLocalControl(s, 2);
        reverse.push_back(s.speed);
    }
    EXPECT_EQ(reverse, (std::vector<int>{-2, -3, -4, -2}));
    EXPECT_EQ(s.mode, LocalMode::Reverse);

    struct Case {
        int speed;
        int control;
        LocalMode mode;
        int newSpeed;
        bool resync, restart;
    };
    const Case cases[] = {
        {-3, 4, LocalMode::Pause, 0, true, true},    // pause from reverse restarts
        {1, 4, LocalMode::Pause, 5, true, false},    // pause from speed 1 keeps the stream
        {3, 4, LocalMode::Pause, 5, true, true},     // and from a fast speed restarts it
        {5, 3, LocalMode::Forward, 1, false, false}, // play after pause: no new base
        {0, 3, LocalMode::Forward, 1, true, false},
        {2, 3, LocalMode::Forward, 3, true, false},
        {2, 7, LocalMode::StepForward, 2, false, false},
        {-2, 1, LocalMode::StepBackward, -2, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed * 10 + c.control);
        LocalControlState state{LocalMode::Forward, c.speed};
        const LocalControlEffects e = applyLocalControl(state, c.control);
        EXPECT_EQ(state.mode, c.mode);
        EXPECT_EQ(state.speed, c.newSpeed);
        EXPECT_EQ(e.resync, c.resync);
        EXPECT_EQ(e.restart, c.restart);
    }
    EXPECT_EQ(localSpeedMark(4), 4);
    EXPECT_EQ(localSpeedMark(-4), -3);
    EXPECT_EQ(localSpeedMark(5), 0);
}

TEST(LocalPlayerRules, FrameSelectionAndPacing) {
    // Per channel, key frames only: every third at 4, every second at -3, each at 2.
    struct Case {
        int speed;
        std::vector<bool> shown; // for six key frames of one channel
    };
    const Case cases[] = {
        {4, {true, false, false, true, false, false}},
        {-4, {true, false, false, true, false, false}},
        {3, {true, false, true, false, true, false}},
        {-3, {true, false, true, false, true, false}},
        {2, {true, true, true, true, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        FrameSelector selector;
        std::vector<bool> shown, other;
        for (int i = 0; i < 6; ++i) {
            shown.push_back(selector.select(c.speed, 0, true));
            EXPECT_FALSE(selector.select(c.speed, 0, false)); // never a frame between
            other.push_back(selector.select(c.speed, 5, true));
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(other, c.shown); // each channel counts its own
    }
    FrameSelector one;
    EXPECT_TRUE(one.select(1, 3, false));

    // 1,600 ms of recording after the base: due at 1,600, 800, 400 and 100 ms.
    EXPECT_EQ(localPaceTargetMs(1, 11600, 10000), 1600);
    EXPECT_EQ(localPaceTargetMs(2, 11600, 10000), 800);
    EXPECT_EQ(localPaceTargetMs(3, 11600, 10000), 400);
    EXPECT_EQ(localPaceTargetMs(4, 11600, 10000), 100);
    EXPECT_EQ(localPaceTargetMs(-4, 10000, 11600), 100);
    EXPECT_FALSE(localPaceTargetMs(5, 11600, 10000));

    EXPECT_EQ(localLayoutForChannels(0x000F), 4);
    EXPECT_EQ(localLayoutForChannels(0x0010), 9);
    EXPECT_EQ(localLayoutForChannels(0x0100), 9);
    EXPECT_EQ(localLayoutForChannels(0x0200), 16);
}

// Keeps what the player hands over.
struct Shown {
    unsigned channel;
    std::uint32_t time;
    bool key;
};
class RecordingConsumer final : public FrameConsumer {
public:
    RecordingConsumer(std::mutex& mutex, std::vector<Shown>& shown)
        : m_mutex(mutex), m_shown(shown) {}
    void enqueueFrame(std::unique_ptr<FrameRecord> f) override {
        std::lock_guard lock(m_mutex);
        m_shown.push_back(
            {f->descriptor.channel, f->descriptor.infoWord, f->descriptor.keyFrame()});
    }
    bool discardAll() const override { return false; }
    void setDiscardAll() override {}
    std::size_t queuedFrames() const override { return 0; }
    void waitUntilDrained() override {}
    void stop() override {}
    void setVideoLoss(bool) override {}
    bool videoLoss() const override { return false; }

private:
    std::mutex& m_mutex;
    std::vector<Shown>& m_shown;
};
class RecordingFactory final : public FrameConsumerFactory {
public:
    std::unique_ptr<FrameConsumer> createConsumer(unsigned) override {
        return std::make_unique<RecordingConsumer>(mutex, shown);
    }
    std::vector<Shown> frames() {
        std::lock_guard lock(mutex);
        return shown;
    }
    std::mutex mutex;
    std::vector<Shown> shown;
};

class LocalPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::path(::testing::TempDir()) /
                ("local_player_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    Playlist playlist(std::uint32_t start) {
        return buildPlaylist(discoverBackupSets(m_dir, SetTagSource::Data), {{}, start, 0});
    }
    std::filesystem::path m_dir;
};

// Two sets of one long transfer play as one run: forward play moves from the first into the
// second without pausing, and pauses only at the end of the data.
TEST_F(LocalPlayerTest, ChainedSetsReplayAsOneRunThenPause) {
    test::writeBackupSet(m_dir, 0x41, test::steadyFrames(500, 1, 4, {0, 5}, 2), {0, 0x99});
    test::writeBackupSet(m_dir, 0x42, test::steadyFrames(501, 1, 4, {0, 5}, 2), {0x99, 0});
    RecordingFactory factory;
    std::atomic<int> layouts{0}, paused{0};
    LocalPlayerEvents events;
    events.layout = [&](int cells, std::uint16_t) {
        EXPECT_EQ(cells, 9);
        ++layouts;
    };
    events.paused = [&] { ++paused; };
    LocalPlayer player(playlist(500), factory, std::move(events));
    ASSERT_TRUE(player.start());
    EXPECT_EQ(player.speed(), 1);
    ASSERT_TRUE(test::waitUntil([&] { return paused.load() > 0; }));
    EXPECT_EQ(player.mode(), LocalMode::Pause);
    EXPECT_EQ(player.speed(), kLocalSpeedPausedForward);
    EXPECT_EQ(layouts.load(), 1); // one run
    EXPECT_EQ(player.span().start, 500u);
    EXPECT_EQ(player.span().end, 501u);
    player.stop();
    const auto frames = factory.frames();
    EXPECT_EQ(frames.size(), 16u); // every frame of both sets
    EXPECT_EQ(frames.front().time, 500u);
    EXPECT_EQ(frames.back().time, 501u);
    EXPECT_EQ(player.counters().shownPerChannel[5], 8u);
}

// At speed 4 only key frames go to the decoders, every third one of each channel; reverse play
// at -4 does the same from the end backwards.
TEST_F(LocalPlayerTest, SpeedFourShowsEveryThirdKeyFramePerChannel) {
    // 2 channels, 6 frames a second for 3 s, every other frame a key frame: 9 key frames each.
    test::writeBackupSet(m_dir, 0x51, test::steadyFrames(700, 3, 6, {1, 2}, 2));
    for (const int speed : {4, -4}) {
        SCOPED_TRACE(speed);
        RecordingFactory factory;
        std::atomic<bool> paused{false};
        LocalPlayerEvents events;
        events.paused = [&] { paused = true; };
        Playlist list = playlist(speed > 0 ? 700 : 702);
        if (speed < 0) // start at the end of the data
            list.entries[0].positionOffset = list.entries[0].endOffset;
        LocalPlayer player(std::move(list), factory, std::move(events));
        ASSERT_TRUE(player.start(speed));
        ASSERT_EQ(player.speed(), speed);
        ASSERT_TRUE(test::waitUntil([&] { return paused.load(); }));
        player.stop();
        const auto frames = factory.frames();
        std::array<int, 3> perChannel{};
        for (const Shown& s : frames) {
            EXPECT_TRUE(s.key);
            ++perChannel[s.channel];
        }
        // 9 key frames a channel: the first, fourth and seventh.
        EXPECT_EQ(perChannel[1], 3);
        EXPECT_EQ(perChannel[2], 3);
        if (speed < 0 && frames.size() > 1) {
            EXPECT_GE(frames.front().time, frames.back().time);
        }
    }
}

// A .vih or .vid cut short (a copy that failed, a damaged disc) ends playback cleanly: whole
// frames before the cut play, nothing is read past the end, the player pauses.
TEST_F(LocalPlayerTest, TruncatedSetFilesEndPlaybackCleanly) {
    const auto files = test::writeBackupSet(m_dir, 0x61, test::steadyFrames(900, 1, 8, {0}, 1));
    const std::uintmax_t vid = std::filesystem::file_size(files.vid);
    test::truncateFile(files.vid, vid - 64 - 20);     // inside the last frame's video
    test::truncateFile(files.vih, 64 + 192 * 7 + 50); // seven whole headers
    RecordingFactory factory;
    std::atomic<bool> paused{false};
    LocalPlayerEvents events;
    events.paused = [&] { paused = true; };
    LocalPlayer player(playlist(900), factory, std::move(events));
    ASSERT_TRUE(player.start(2)); // key frames only, every frame here is one
    ASSERT_TRUE(test::waitUntil([&] { return paused.load(); }));
    player.stop();
    EXPECT_EQ(factory.frames().size(), 7u);

    // The .vid cut inside the first frames: they are skipped, not read.
    test::truncateFile(files.vid, 64 + 104 * 2 + 10);
    RecordingFactory second;
    paused = false;
    LocalPlayerEvents again;
    again.paused = [&] { paused = true; };
    LocalPlayer player2(playlist(900), second, std::move(again));
    ASSERT_TRUE(player2.start(2));
    ASSERT_TRUE(test::waitUntil([&] { return paused.load(); }));
    player2.stop();
    EXPECT_EQ(second.frames().size(), 2u);
    EXPECT_EQ(player2.counters().skippedFrames, 5u);
}

// A step forward shows one frame of each channel on the page, then pauses where it stopped;
// the next step goes on from there.
TEST_F(LocalPlayerTest, StepsShowOneFramePerShownChannel) {
    test::writeBackupSet(m_dir, 0x71, test::steadyFrames(1200, 2, 4, {0, 1, 2}, 1));
    RecordingFactory factory;
    std::atomic<int> paused{0};
    LocalPlayerEvents events;
    events.paused = [&] { ++paused; };
    LocalPlayer player(playlist(1200), factory, std::move(events));
    player.setShownChannels(0x3); // channels 1 and 2 on the page
    ASSERT_TRUE(player.start());
    player.control(4);
    ASSERT_TRUE(test::waitUntil([&] { return player.mode() == LocalMode::Pause; }));
    const std::size_t before = factory.frames().size();
    player.control(7);
    ASSERT_TRUE(test::waitUntil([&] { return paused.load() == 1; }));
    player.control(7);
    ASSERT_TRUE(test::waitUntil([&] { return paused.load() == 2; }));
    player.stop();
    const auto frames = factory.frames();
    ASSERT_EQ(frames.size(), before + 4);
    // Each step: channels 1 and 2 once each (channel 3 is not on the page), in file order.
    for (std::size_t step = 0; step < 2; ++step) {
        std::vector<unsigned> channels{frames[before + 2 * step].channel,
                                       frames[before + 2 * step + 1].channel};
        std::sort(channels.begin(), channels.end());
        EXPECT_EQ(channels, (std::vector<unsigned>{0, 1})) << step;
    }
}

} // namespace
// Sound: at normal forward speed the channel shown alone is heard; at speed 2 the output goes.
class SoundLog final : public AudioConsumerFactory {
public:
    class Player final : public AudioConsumer {
    public:
        explicit Player(SoundLog& log) : m_log(log) { ++m_log.alive; }
        ~Player() override { --m_log.alive; }
        void enqueueAudio(std::span<const std::byte> element) override {
            std::lock_guard lock(m_log.mutex);
            m_log.firstBytes.push_back(std::to_integer<int>(element[0]));
        }
        std::size_t queuedBuffers() const override { return 0; }
        void waitUntilDrained() override {}
        void setDiscardAll(bool) override {}
        void flush() override {}

    private:
        SoundLog& m_log;
    };
    std::unique_ptr<AudioConsumer> startPlayer(StreamKind kind) override {
        EXPECT_EQ(kind, StreamKind::LocalPlayback);
        return std::make_unique<Player>(*this);
    }
    std::vector<int> heard() {
        std::lock_guard lock(mutex);
        return firstBytes;
    }
    std::mutex mutex;
    std::vector<int> firstBytes;
    std::atomic<int> alive{0};
};

TEST_F(LocalPlayerTest, TheChannelShownAloneIsHeardOnlyAtNormalSpeed) {
    auto frames = test::steadyFrames(900, 4, 4, {1, 2}, 2);
    for (auto& f : frames)
        f.audioBytes = 4000; // the block holds at most 4,095
    test::writeBackupSet(m_dir, 0x61, frames);
    RecordingFactory factory;
    SoundLog sound;
    LocalPlayer player(playlist(900), factory, {});
    player.setAudioFactory(&sound);
    player.setShownChannels(1u << 2);
    ASSERT_TRUE(player.start());
    ASSERT_TRUE(test::waitUntil([&] { return sound.heard().size() >= 2; }));
    for (int first : sound.heard())
        EXPECT_EQ(first, 0x42) << "only channel 3's sound";
    EXPECT_EQ(sound.alive.load(), 1);
    player.control(3); // speed 2
    ASSERT_TRUE(test::waitUntil([&] { return sound.alive.load() == 0; }));
    player.stop();
}

} // namespace kalder
