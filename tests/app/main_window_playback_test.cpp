// Remote playback in the desktop program against the recorder simulator: the entry point the
// search window calls, playback mode with its clock, the playback buttons' rules and the stop.
#include "main_window_harness.h"
#include "decode/channel_decoder.h"
#include "recorder_round_trip.h"
#include "session/recorder_session.h"
#include "sim/sim_disk.h"
#include "sim/sim_process.h"
#include "ui/clock_display.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QDateTime>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

constexpr int kTimeoutMs = 30000;

class MainWindowPlayback : public ::testing::Test {
protected:
    test::MainWindowHarness harness;
    test::SimProcess sim;
};

TEST_F(MainWindowPlayback, PlaysBackWithTheButtonsAndReturnsToLiveMode) {
    ASSERT_TRUE(harness.decoderLoaded());
    ASSERT_TRUE(sim.start(test::withSimDisk({"--channels", "4"}))) << sim.lastError();
    MainWindow window(harness.config());
    window.show();
    ConnectRequest request = test::simAdminRequest(sim.port());
    window.connectTo(request);
    WAIT_UNTIL(window.session() && window.session()->live().liveOn(), kTimeoutMs);
    for (int id : {340, 341, 342, 343, 346})
        EXPECT_FALSE(window.button(id)->isEnabled()) << id;

    // A minute the recorder recorded on every channel, as the search window's Play asks for it.
    const std::uint32_t start = test::recordedStart(test::simDisk(4), 4, 60);
    ASSERT_TRUE(window.playback()->play(start, start + 60, 0x000F, 0x3F));
    VideoWindow* video = window.videoWindow();
    WAIT_UNTIL(video->mode() == StreamKind::RemotePlayback, kTimeoutMs);
    EXPECT_FALSE(window.session()->live().liveOn());
    ASSERT_NE(window.playback()->clock(), nullptr);
    EXPECT_EQ(window.playback()->clock()->variant(), ClockVariant::Playback);
    WAIT_UNTIL((video->decodedChannels() & 0xF) == 0xF, kTimeoutMs);
    // The playback clock shows the shown frames' time.
    WAIT_UNTIL(window.playback()->clock()->playbackTime() >= start - 1, kTimeoutMs);
    EXPECT_LE(window.playback()->clock()->playbackTime(), start + 60);

    // Forward play: pause and reverse may be pressed, the steps not.
    WAIT_UNTIL(window.button(343)->isEnabled(), kTimeoutMs);
    EXPECT_TRUE(window.button(342)->pressedLook());
    EXPECT_TRUE(window.button(341)->isEnabled());
    EXPECT_FALSE(window.button(340)->isEnabled());
    EXPECT_FALSE(window.button(346)->isEnabled());

    // Live view does not start over playback, not even once the recorder has answered
    // everything sent so far.
    window.button(369)->click();
    ASSERT_TRUE(test::recorderRoundTrip(window));
    EXPECT_FALSE(window.session()->live().liveOn() ||
                 window.session()->live().liveRequestPending());

    window.button(343)->click();
    WAIT_UNTIL(window.session()->playback().state().paused, kTimeoutMs);
    WAIT_UNTIL(window.button(340)->isEnabled() && window.button(346)->isEnabled(), kTimeoutMs);
    EXPECT_FALSE(window.button(343)->isEnabled());
    WAIT_UNTIL(window.button(343)->pressedLook() && !window.button(342)->pressedLook(), kTimeoutMs);

    // A step forward shows one more frame.
    const std::uint64_t shown = window.session()->playback().counters().shownFrames;
    window.button(346)->click();
    WAIT_UNTIL(window.session()->playback().counters().shownFrames > shown, kTimeoutMs);

    window.button(345)->click();
    WAIT_UNTIL(video->mode() != StreamKind::RemotePlayback, kTimeoutMs);
    EXPECT_FALSE(window.session()->playback().playing());
    EXPECT_EQ(window.playback()->clock(), nullptr);
    for (int id : {340, 341, 342, 343, 346})
        EXPECT_FALSE(window.button(id)->isEnabled()) << id;
}

// The decoders' counters of the channels in `mask`, summed.
ChannelDecoderStats decoderStats(RecorderSession& session, std::uint16_t mask) {
    ChannelDecoderStats sum;
    SessionSlots& registry = session.slotRegistry();
    std::lock_guard lock(registry.mutex());
    for (unsigned c = 0; c < kChannelCount; ++c) {
        const auto* decoder = dynamic_cast<const ChannelDecoder*>(registry.consumer(c).get());
        if (decoder == nullptr || !(mask & (1u << c)))
            continue;
        const ChannelDecoderStats s = decoder->stats();
        sum.decoded += s.decoded;
        sum.drawn += s.drawn;
        sum.keyOnlySkipped += s.keyOnlySkipped;
    }
    return sum;
}

// Fast forward play: the recorder sends every frame at four times normal speed, the client
// decodes and shows only the key frames; back at normal speed it decodes them all again.
TEST_F(MainWindowPlayback, FastForwardDecodesKeyFramesOnly) {
    ASSERT_TRUE(harness.decoderLoaded());
    ASSERT_TRUE(sim.start(test::withSimDisk({"--channels", "4"}))) << sim.lastError();
    MainWindow window(harness.config());
    window.show();
    window.connectTo(test::simAdminRequest(sim.port()));
    WAIT_UNTIL(window.session() && window.session()->live().liveOn(), kTimeoutMs);
    const std::uint32_t start = test::recordedStart(test::simDisk(4), 4, 600);
    ASSERT_TRUE(window.playback()->play(start, start + 600, 0x000F, 0x3F));
    VideoWindow* video = window.videoWindow();
    WAIT_UNTIL((video->decodedChannels() & 0xF) == 0xF, kTimeoutMs);
    RecorderSession& session = *window.session();
    EXPECT_EQ(decoderStats(session, 0xF).keyOnlySkipped, 0u) << "normal speed decodes all";
    EXPECT_FALSE(video->feed().keyFramesOnly());

    ASSERT_EQ(sim.admin("play-speed 14"), "ok 1"); // forward play at speed 4
    WAIT_UNTIL(video->feed().keyFramesOnly(), kTimeoutMs);
    const ChannelDecoderStats fast = decoderStats(session, 0xF);
    // Frames the recorder sent every one of are skipped; the key frames among them are shown.
    WAIT_UNTIL(decoderStats(session, 0xF).keyOnlySkipped > fast.keyOnlySkipped + 30, kTimeoutMs);
    WAIT_UNTIL(decoderStats(session, 0xF).drawn > fast.drawn + 4, kTimeoutMs);
    const ChannelDecoderStats later = decoderStats(session, 0xF);
    EXPECT_LT(later.decoded - fast.decoded, later.keyOnlySkipped - fast.keyOnlySkipped)
        << "one key frame a second of the 30 frames";

    ASSERT_EQ(sim.admin("play-speed 11"), "ok 1"); // normal speed
    WAIT_UNTIL(!video->feed().keyFramesOnly(), kTimeoutMs);
    window.button(345)->click();
    WAIT_UNTIL(video->mode() != StreamKind::RemotePlayback, kTimeoutMs);
}

} // namespace
} // namespace kalder
