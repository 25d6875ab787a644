// The main window's sound against the recorder simulator and the machine's sound server: the
// volume slider and the Sound button on the default sink, the recorder's audio heard only in the
// single view of its channel, talking with the Mike button, and a PC without sound output.
#include "audio/mixer_control.h"
#include "main_window_harness.h"
#include "recorder_round_trip.h"
#include "session/recorder_session.h"
#include "session/talk_channel.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"
#include "video/video_layout.h"
#include "video/video_window.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kalder {
namespace {

constexpr int kTimeoutMs = 60000;

bool playerExists(RecorderSession& session) {
    SessionSlots& registry = session.slotRegistry();
    std::lock_guard lock(registry.mutex());
    return registry.audio() != nullptr;
}

bool simAudioOn(test::SimProcess& sim) {
    return sim.admin("clients").find("audio=1") != std::string::npos;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class MainWindowAudioE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(harness.decoderLoaded());
        ASSERT_TRUE(sim.start({"--channels", "4", "--audio-channel", "1"})) << sim.lastError();
    }
    void connectLive(MainWindow& window) {
        window.connectTo(test::simAdminRequest(sim.port()));
        WAIT_UNTIL(window.liveChannelInfoCount() > 0, kTimeoutMs);
        WAIT_UNTIL(window.session()->live().liveOn(), kTimeoutMs);
    }
    SkinSlider* volumeSlider(MainWindow& window) {
        return window.findChild<SkinSlider*>(QStringLiteral("slider421"));
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
};

TEST_F(MainWindowAudioE2E, SoundIsHeardOnlyInTheSingleViewOfTheAudioChannel) {
    MixerControl probe;
    if (!probe.available())
        GTEST_SKIP() << "no sound server with a default sink";
    const int volumeBefore = probe.volume().value_or(-1);
    const bool muteBefore = probe.muted().value_or(false);
    {
        MainWindow window(harness.config());
        window.show();
        ASSERT_TRUE(window.audio().soundDeviceAvailable());
        // At start the sink plays at the slider's start value.
        EXPECT_LE(std::abs(probe.volume().value_or(-1) - 40000), 2);
        ASSERT_NE(volumeSlider(window), nullptr);
        EXPECT_TRUE(volumeSlider(window)->isEnabled());
        EXPECT_EQ(volumeSlider(window)->position(), 40000);
        connectLive(window);
        RecorderSession& session = *window.session();

        // Audio on while four cells show: the recorder sends it, nothing plays.
        window.button(378)->click();
        WAIT_UNTIL(simAudioOn(sim), 10000);
        WAIT_UNTIL(window.button(378)->pressedLook(), 10000);
        WAIT_UNTIL(session.live().audioChannel() == 0, 10000);
        EXPECT_FALSE(playerExists(session));

        // SelAudio shows channel 1 alone: the player starts and plays.
        window.button(368)->click();
        EXPECT_EQ(window.videoWindow()->layoutModel().layout(), 1);
        WAIT_UNTIL(playerExists(session), 10000);
        WAIT_UNTIL(window.audio().playerFactory().counts().chunks > 0, 10000);

        // Four cells again: the player goes. Channel 2 alone: still none; channel 1: it comes
        // again.
        window.button(321)->click();
        WAIT_UNTIL(!playerExists(session), 10000);
        WAIT_UNTIL(sim.admin("clients").find("live=0x000f") != std::string::npos, 10000);
        WAIT_UNTIL(window.videoWindow()->presentChannels() == 0xF, 10000);
        window.button(301)->click();
        ASSERT_EQ(window.videoWindow()->layoutModel().layout(), 1);
        WAIT_UNTIL(sim.admin("clients").find("live=0x0002") != std::string::npos, 10000);
        // The audio still arrives (riding on channel 2's frames) and starts nothing: frames
        // with sound come in after the switch and go unheard.
        const std::uint64_t unheard = session.live().audioFramesUnheard();
        WAIT_UNTIL(session.live().audioFramesUnheard() >= unheard + 3, 10000);
        EXPECT_FALSE(playerExists(session));
        window.button(321)->click();
        WAIT_UNTIL(sim.admin("clients").find("live=0x000f") != std::string::npos, 10000);
        WAIT_UNTIL(window.videoWindow()->presentChannels() == 0xF, 10000);
        window.button(300)->click();
        WAIT_UNTIL(playerExists(session), 10000);

        // The volume slider pulled to 0 sets the sink to 0; muting and unmuting keeps 0.
        QTest::mouseClick(volumeSlider(window), Qt::LeftButton, {}, QPoint(0, 8));
        EXPECT_EQ(volumeSlider(window)->position(), 0);
        EXPECT_EQ(probe.volume(), 0);
        window.button(366)->click();
        EXPECT_EQ(probe.muted(), true);
        EXPECT_FALSE(volumeSlider(window)->isEnabled());
        window.button(366)->click();
        EXPECT_EQ(probe.muted(), false);
        EXPECT_TRUE(volumeSlider(window)->isEnabled());
        EXPECT_EQ(probe.volume(), 0);

        // Audio off: the recorder stops, the player goes.
        window.button(378)->click();
        WAIT_UNTIL(!simAudioOn(sim), 10000);
        WAIT_UNTIL(!playerExists(session), 10000);
        WAIT_UNTIL(!window.button(378)->pressedLook(), 10000);
    }
    // The PC's volume and mute are back as they were.
    EXPECT_LE(std::abs(probe.volume().value_or(-1) - volumeBefore), 2);
    EXPECT_EQ(probe.muted(), muteBefore);
}

TEST_F(MainWindowAudioE2E, MikeTalksToTheRecorderUntilPressedAgain) {
    if (!MixerControl().available())
        GTEST_SKIP() << "no sound server with a default sink";
    ASSERT_EQ(sim.admin("talk-clear"), "ok");
    MainWindow window(harness.config());
    window.show();
    connectLive(window);
    window.button(376)->click();
    WAIT_UNTIL(window.button(376)->pressedLook(), 10000);
    EXPECT_TRUE(window.session()->listenOn());
    // The default source (the null sink's monitor) records: packets reach the recorder.
    WAIT_UNTIL(has(sim.admin("talk-status"), "listening=1"), 10000);
    WAIT_UNTIL(!has(sim.admin("talk-status"), "packets=0 "), 10000);

    // Pressed again after the two-second spacing of requests: the talk stops.
    window.button(376)->click();
    WAIT_UNTIL(!window.button(376)->pressedLook(), 10000);
    EXPECT_FALSE(window.session()->listenOn());
    WAIT_UNTIL(has(sim.admin("talk-status"), "listening=0"), 10000);
    EXPECT_TRUE(has(sim.admin("talk-status"), "bad=0 stops=1"));

    // A refusal that ends talking: 21054 releases Mike; the notification box shows.
    ASSERT_EQ(sim.admin("talk-refuse 98"), "ok");
    // The next request may go only two seconds after the last.
    WAIT_UNTIL(window.session()->talk().requestSpacingPassed(), 10000);
    window.button(376)->click();
    WAIT_UNTIL(window.notificationBox() != nullptr, 10000);
    EXPECT_FALSE(window.button(376)->pressedLook());
    ASSERT_EQ(sim.admin("talk-refuse 0"), "ok");
}

TEST_F(MainWindowAudioE2E, WithoutSoundOutputNothingIsAskedAndTheSliderStaysOff) {
    MainWindowConfig config = harness.config();
    config.soundOutput = false;
    ASSERT_EQ(sim.admin("talk-clear"), "ok");
    MainWindow window(config);
    window.show();
    EXPECT_FALSE(window.audio().soundDeviceAvailable());
    EXPECT_FALSE(volumeSlider(window)->isEnabled());
    connectLive(window);
    window.button(378)->click();
    window.button(376)->click();
    // Nothing is sent: the recorder has seen everything sent before the round trip's answer.
    ASSERT_TRUE(test::recorderRoundTrip(window));
    EXPECT_FALSE(simAudioOn(sim));
    EXPECT_TRUE(has(sim.admin("talk-status"), "listening=0"));
    EXPECT_FALSE(window.session()->listenOn());
    EXPECT_FALSE(window.button(378)->pressedLook());
}

} // namespace
} // namespace kalder
