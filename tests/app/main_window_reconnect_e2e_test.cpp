// The main window gets a lost connection back by itself: the operator's layout and page return
// with live view, the state beside the clock follows, the box comes after the first failed try
// and a refused login after a restart ends the tries.
#include "main_window_harness.h"
#include "recorder_round_trip.h"
#include "session/recorder_session.h"
#include "sim/sim_disk.h"
#include "sim/sim_process.h"
#include "ui/clock_display.h"
#include "support/tcp_fault_proxy.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <regex>

namespace kalder {
namespace {

constexpr int kLiveLimitMs = 60000;

int liveMaskAtSim(test::SimProcess& sim) {
    static const std::regex pattern("live=0x([0-9a-fA-F]{4})");
    const std::string reply = sim.admin("clients");
    std::smatch match;
    if (!std::regex_search(reply, match, pattern))
        return -1;
    return std::stoi(match[1].str(), nullptr, 16);
}

MainWindowConfig reconnectingConfig(const test::MainWindowHarness& harness) {
    using namespace std::chrono_literals;
    MainWindowConfig config = harness.config();
    config.reconnectSchedule = ReconnectSchedule({50ms, 100ms, 200ms});
    return config;
}

TEST(MainWindowReconnect, LayoutAndPageComeBackWithLiveViewAfterTheLinkIsCut) {
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "16"})) << sim.lastError();
    MainWindow window(reconnectingConfig(harness));
    window.show();
    EXPECT_EQ(window.sessionStateLabel()->text(), QStringLiteral("Offline"));
    window.connectTo(test::simAdminRequest(sim.port()));
    WAIT_UNTIL(window.liveChannelInfoCount() > 0, kLiveLimitMs);
    EXPECT_EQ(window.sessionState(), SessionState::Connected);
    // The 4-cell layout's second page: channels 5-8.
    VideoWindow* video = window.videoWindow();
    QTest::mouseClick(window.button(321), Qt::LeftButton);
    QTest::mouseClick(window.button(321), Qt::LeftButton);
    ASSERT_EQ(video->visibleChannelMask(), 0x00F0);
    WAIT_UNTIL(liveMaskAtSim(sim) == 0x00F0, 10000);
    const std::uint64_t lost = window.acceptedSessionGeneration();

    ASSERT_EQ(sim.admin("close-mid-fragment"), "ok 1");
    WAIT_UNTIL(window.acceptedSessionGeneration() != lost, 10000);
    WAIT_UNTIL(window.sessionState() == SessionState::Connected, kLiveLimitMs);
    WAIT_UNTIL(liveMaskAtSim(sim) == 0x00F0, kLiveLimitMs);
    EXPECT_EQ(video->layoutModel().layout(), 4);
    EXPECT_EQ(video->layoutModel().page(), 1);
    EXPECT_EQ(video->mode(), StreamKind::Live);
    WAIT_UNTIL((video->decodedChannels() & 0x00F0) == 0x00F0, kLiveLimitMs);
    // The first try got through: no box.
    EXPECT_EQ(window.notificationBox(), nullptr);
}

TEST(MainWindowReconnect, BoxAfterTheFirstFailedTryAndARefusedLoginEndsTheTries) {
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
    test::TcpFaultProxy proxy(sim.port());
    MainWindow window(reconnectingConfig(harness));
    window.show();
    window.connectTo(test::simAdminRequest(proxy.port()));
    WAIT_UNTIL(window.sessionState() == SessionState::Connected, kLiveLimitMs);
    WAIT_UNTIL((window.videoWindow()->decodedChannels() & 0xF) == 0xF, kLiveLimitMs);

    // The recorder goes away: the address refuses.
    proxy.setRefusing(true);
    proxy.cut();
    WAIT_UNTIL(window.sessionState() == SessionState::Reconnecting, 10000);
    EXPECT_EQ(window.sessionStateLabel()->text(), QStringLiteral("Reconnecting…"));
    WAIT_UNTIL(window.notificationBox() != nullptr, 10000);
    EXPECT_EQ(window.notificationBox()->objectName(), QStringLiteral("reconnectBox"));
    WAIT_UNTIL(window.reconnectAttempt() >= 3, 10000);
    EXPECT_EQ(window.sessionState(), SessionState::Reconnecting);
    // Every cell keeps its last picture with the notice and the time of that picture.
    EXPECT_EQ(window.videoWindow()->feed().cellContent(0), CellContent::Picture);
    EXPECT_TRUE(window.videoWindow()->cellNotice(0).startsWith(QStringLiteral("Reconnecting…")));
    EXPECT_TRUE(window.videoWindow()->cellNotice(0).contains(QStringLiteral("Picture of ")))
        << window.videoWindow()->cellNotice(0).toStdString();
    // Back with another password: the refusal ends the tries.
    sim.stop();
    test::SimProcess changed;
    ASSERT_TRUE(changed.start({"--channels", "4", "--account", "0=admin:9999"}))
        << changed.lastError();
    proxy.setTarget(changed.port());
    proxy.setRefusing(false);
    WAIT_UNTIL(window.sessionState() == SessionState::Offline, kLiveLimitMs);
    EXPECT_EQ(window.reconnectAttempt(), 0u);
    WAIT_UNTIL(window.session() == nullptr, 10000);
    const unsigned accepted = proxy.accepted();
    // Nothing is tried any more: Connect opens the dialog instead.
    if (window.notificationBox())
        window.notificationBox()->reject();
    QTest::mouseClick(window.button(360), Qt::LeftButton);
    EXPECT_NE(window.connectDialog(), nullptr);
    EXPECT_EQ(proxy.accepted(), accepted);
}

// Cancel in the box after the first failed try gives the connection up: today's "no session".
TEST(MainWindowReconnect, CancelInTheBoxStopsTheTries) {
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
    test::TcpFaultProxy proxy(sim.port());
    MainWindow window(reconnectingConfig(harness));
    window.show();
    window.connectTo(test::simAdminRequest(proxy.port()));
    WAIT_UNTIL(window.sessionState() == SessionState::Connected, kLiveLimitMs);
    proxy.setRefusing(true);
    proxy.cut();
    WAIT_UNTIL(window.notificationBox() != nullptr, 10000);
    window.notificationBox()->reject();
    WAIT_UNTIL(window.sessionState() == SessionState::Offline, 10000);
    EXPECT_EQ(window.reconnectAttempt(), 0u);
    EXPECT_EQ(window.session(), nullptr);
    EXPECT_EQ(window.videoWindow()->mode(), StreamKind::Idle);
    EXPECT_FALSE(window.button(360)->pressedLook());
}

// The link stalls while the session is up (its silence limit is far off): each live cell says
// since when it has had no picture, and the notices go when the pictures come back.
TEST(MainWindowReconnect, StalledLinkSaysSinceWhenEachCellHasNoPicture) {
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
    test::TcpFaultProxy proxy(sim.port());
    MainWindow window(harness.config());
    window.show();
    window.connectTo(test::simAdminRequest(proxy.port()));
    VideoWindow* video = window.videoWindow();
    WAIT_UNTIL((video->decodedChannels() & 0xF) == 0xF, kLiveLimitMs);
    EXPECT_EQ(video->cellNotice(0), QString());
    proxy.setStalled(true);
    WAIT_UNTIL(video->stalledChannels() == 0xF, 20000);
    EXPECT_TRUE(video->cellNotice(2).startsWith(QStringLiteral("No picture since ")))
        << video->cellNotice(2).toStdString();
    EXPECT_EQ(window.sessionState(), SessionState::Connected);
    proxy.setStalled(false);
    WAIT_UNTIL(video->stalledChannels() == 0, 20000);
    EXPECT_EQ(video->cellNotice(2), QString());
}

// A playback the outage interrupted: once live view is back the window offers to go on at the
// last shown second, and Yes plays from there.
TEST(MainWindowReconnect, InterruptedPlaybackGoesOnAtItsLastSecond) {
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    test::SimProcess sim;
    ASSERT_TRUE(sim.start(test::withSimDisk({"--channels", "4"}))) << sim.lastError();
    MainWindow window(reconnectingConfig(harness));
    window.show();
    window.connectTo(test::simAdminRequest(sim.port()));
    WAIT_UNTIL(window.session() && window.session()->live().liveOn(), kLiveLimitMs);
    const std::uint32_t start = test::recordedStart(test::simDisk(4), 4, 60);
    ASSERT_TRUE(window.playback()->play(start, start + 60, 0x000F, 0x3F));
    VideoWindow* video = window.videoWindow();
    WAIT_UNTIL(video->mode() == StreamKind::RemotePlayback, kLiveLimitMs);
    WAIT_UNTIL(window.session()->playback().counters().lastTime >= start + 2, kLiveLimitMs);

    ASSERT_EQ(sim.admin("drop"), "ok 1");
    QMessageBox* box = nullptr;
    WAIT_UNTIL((box = window.findChild<QMessageBox*>(QStringLiteral("playbackContinueBox"))),
               kLiveLimitMs);
    EXPECT_EQ(window.sessionState(), SessionState::Connected);
    box->button(QMessageBox::Yes)->click();
    WAIT_UNTIL(video->mode() == StreamKind::RemotePlayback, kLiveLimitMs);
    WAIT_UNTIL(window.session()->playback().counters().lastTime >= start + 2, kLiveLimitMs);
}

} // namespace
} // namespace kalder
