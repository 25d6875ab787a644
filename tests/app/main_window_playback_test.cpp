// Remote playback in the desktop program against the recorder simulator: the entry point the
// search window calls, playback mode with its clock, the playback buttons' rules and the stop.
#include "main_window_harness.h"
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

} // namespace
} // namespace kalder
