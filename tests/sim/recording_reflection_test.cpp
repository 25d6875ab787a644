// The simulator takes an accepted record's recording settings into its channel settings: the
// line standard, and profile A's picture sizes and rates for the recorder's channels.
#include "sim/config_store.h"
#include "sim/live_loop_follower.h"
#include "sim/media_source.h"
#include "sim/recorder_model.h"
#include "sim/recording_reflection.h"
#include "sim/sim_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace kalder::sim {
namespace {

TEST(SimRecordingReflection, ProfileASizesAndRatesAndTheStandard) {
    SimConfig config = defaultConfig();
    config.channelCount = 4;
    RecorderModel model(config);
    std::vector<std::byte> payload = model.configStore().transferPayload(model);
    auto record = ConfigRecord::fromTransfer(payload);
    ASSERT_TRUE(record);
    record->setValue(configField("video_standard"), 0, 1);
    const unsigned codes[] = {0, 1, 2, 7, 1};
    const unsigned rates[] = {6, 0, 40, 3, 9};
    for (unsigned ch = 0; ch < 5; ++ch) {
        record->setValue(configField("resolution"), ch, codes[ch]);
        record->setValue(configField("profile_a_rate"), ch, rates[ch]);
    }
    ASSERT_EQ(model.configStore().applyUpdate(record->seal(), model, [](std::int32_t) {}), 0);

    const SimConfig now = model.config();
    EXPECT_TRUE(now.pal);
    const Resolution sizes[] = {Resolution::D1, Resolution::HalfD1, Resolution::Cif,
                                Resolution::D1}; // an unknown code keeps the setting
    const unsigned fps[] = {6, 0, 25, 3};        // 0 stays "full rate"; PAL tops at 25
    for (unsigned ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(now.channels[ch].resolution, sizes[ch]) << ch;
        EXPECT_EQ(now.channels[ch].framesPerSecond, fps[ch]) << ch;
        EXPECT_EQ(framesPerSecondOf(now, ch), fps[ch] ? fps[ch] : 25u) << ch;
    }
    // A channel the recorder does not have keeps its settings.
    EXPECT_EQ(now.channels[4].resolution, Resolution::D1);
    EXPECT_EQ(now.channels[4].framesPerSecond, 0u);
    // The next fetch shows the standard the operator chose.
    const auto again = ConfigRecord::fromTransfer(model.configStore().transferPayload(model));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->value(configField("video_standard")), 1u);
}

// The factory record describes the channels as started, so an update that changes no recording
// setting leaves them as they were.
TEST(SimRecordingReflection, TheFactoryRecordDescribesTheChannelsAsStarted) {
    SimConfig config = defaultConfig();
    config.channelCount = 4;
    config.channels[1].resolution = Resolution::Cif;
    config.channels[2].resolution = Resolution::HalfD1;
    config.channels[3].framesPerSecond = 12;
    RecorderModel model(config);
    const auto record = ConfigRecord::fromTransfer(model.configStore().transferPayload(model));
    ASSERT_TRUE(record);
    const unsigned codes[] = {0, 2, 1, 0};
    const unsigned rates[] = {30, 30, 30, 12};
    for (unsigned ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(record->value(configField("resolution"), ch), codes[ch]) << ch;
        EXPECT_EQ(record->value(configField("profile_a_rate"), ch), rates[ch]) << ch;
    }
    ASSERT_EQ(model.configStore().applyUpdate(record->seal(), model, [](std::int32_t) {}), 0);
    const SimConfig now = model.config();
    for (unsigned ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(now.channels[ch].resolution, config.channels[ch].resolution) << ch;
        EXPECT_EQ(framesPerSecondOf(now, ch), framesPerSecondOf(config, ch)) << ch;
    }
}

TEST(SimRecordingReflection, AShortRecordChangesOnlyWhatItHolds) {
    SimConfig config = defaultConfig();
    config.channelCount = 4;
    config.channels[0].framesPerSecond = 12;
    // 600 bytes: the standard but neither the rates nor the resolutions.
    std::vector<std::byte> bytes(600, std::byte{0});
    bytes[2] = std::byte{1};
    reflectRecording(ConfigRecord::fromRecordBytes(bytes), config);
    EXPECT_TRUE(config.pal);
    EXPECT_EQ(config.channels[0].framesPerSecond, 12u);
    EXPECT_EQ(config.channels[0].resolution, Resolution::D1);
}

// Accepted recording settings change the loop a channel's live stream plays: size and rate
// from the settings, key frames at the configured interval, everything else as at start. Going
// back to the start-up settings brings back the start-up loop without encoding again.
TEST(SimRecordingReflection, LiveLoopsFollowAcceptedSizesAndRates) {
    SimConfig config = defaultConfig();
    config.channelCount = 4;
    config.loopSeconds = 1;
    config.channels[0].resolution = Resolution::Cif;
    config.channels[0].title = "Gate";
    config.channels[0].bitrateKbps = 300;
    config.cacheDir = (std::filesystem::path(KALDER_TEST_CACHE_DIR) / "live-loops").string();
    MediaSource media;
    std::string error;
    ASSERT_TRUE(media.build(config, 2, error)) << error;
    RecorderModel model(config);
    LiveLoopFollower follower(model, media, config.cacheDir, false);
    const auto started = media.liveLoop(0);
    ASSERT_TRUE(started);

    auto edit = [&](unsigned standard, unsigned code, unsigned rate) {
        auto record = ConfigRecord::fromTransfer(model.configStore().transferPayload(model));
        ASSERT_TRUE(record);
        record->setValue(configField("video_standard"), 0, standard);
        record->setValue(configField("resolution"), 0, code);
        record->setValue(configField("profile_a_rate"), 0, rate);
        ASSERT_EQ(model.configStore().applyUpdate(record->seal(), model, [](std::int32_t) {}), 0);
        follower.waitIdle();
    };
    // The bit rate follows the pixels a second: 300 kbit/s for 352x240 at 30 to start with.
    struct Case {
        unsigned standard, code, rate;
        unsigned width, height, fps, kbps;
    };
    const Case cases[] = {
        {0, 1, 5, 704, 240, 5, 100},   // 2CIF, slowed
        {1, 0, 0, 704, 576, 25, 1200}, // PAL 4CIF, rate 0: the standard's full rate
        {1, 2, 40, 352, 288, 25, 300}, // PAL CIF; a rate above the standard's is held at 25
        {0, 2, 1, 352, 240, 1, 32},    // one image a second: no less than the floor
    };
    for (const Case& c : cases) {
        edit(c.standard, c.code, c.rate);
        const auto live = media.liveLoop(0);
        ASSERT_TRUE(live);
        EXPECT_EQ(live->params.width, c.width) << c.code;
        EXPECT_EQ(live->params.height, c.height) << c.code;
        EXPECT_EQ(live->params.framesPerSecond, c.fps) << c.code;
        EXPECT_EQ(live->params.keyIntervalFrames, c.fps) << c.code;
        EXPECT_EQ(live->frames.size(), c.fps) << c.code;
        EXPECT_TRUE(live->frames.front().key);
        EXPECT_EQ(live->params.title, "Gate");
        EXPECT_EQ(live->params.bitrateKbps, c.kbps) << c.code;
        // The recorded material stays as it was recorded.
        EXPECT_EQ(media.loop(0), started);
    }
    const unsigned encoded = follower.loopsEncoded();
    edit(0, 2, 30);
    EXPECT_EQ(media.liveLoop(0), started);
    EXPECT_EQ(follower.loopsEncoded(), encoded);
}

} // namespace
} // namespace kalder::sim
