// The desktop program against the recorder simulator: the connect dialog, live view into the
// video window with its overlays, the live request after each layout change, the notification
// box for refused connects and for the recorder's farewell, and the Quit order.
#include "ui/clock_display.h"
#include "setup/local/local_setup_window.h"
#include "ui/notification_box.h"
#include "resources/resource_library.h"
#include "video/video_layout.h"
#include "video/video_window.h"
#include "files/local_log.h"
#include "main_window_harness.h"
#include "connect/connect_dialog.h"
#include "session/recorder_session.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <regex>

namespace kalder {
namespace {

constexpr int kLiveTimeoutMs = 60000;

// Waits, processing events, until the condition holds; fails the test (and leaves it) when it
// never does. QTest's own QTRY macros report to QTest, not to GoogleTest.
#define WAIT_EQ(actual, expected, timeoutMs)                                                       \
    do {                                                                                           \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, timeoutMs);                  \
        ASSERT_EQ(actual, expected);                                                               \
    } while (false)

ConnectRequest adminRequest(std::uint16_t port) {
    ConnectRequest request = test::simAdminRequest(port);
    return request;
}

// The live mask the simulator has for its one client, or -1.
int simLiveMask(test::SimProcess& sim) {
    static const std::regex pattern("live=0x([0-9a-fA-F]{4})");
    const std::string reply = sim.admin("clients");
    std::smatch match;
    if (!std::regex_search(reply, match, pattern))
        return -1;
    return std::stoi(match[1].str(), nullptr, 16);
}

std::vector<LocalLogRecord> localLogEntries(const QString& dataFolder) {
    return readLocalLog(localLogFilePath(dataFolder.toStdString()))
        .value_or(std::vector<LocalLogRecord>{});
}

class MainWindowE2E : public ::testing::Test {
protected:
    void startSim(int channels) {
        ASSERT_TRUE(harness.decoderLoaded());
        ASSERT_TRUE(sim.start({"--channels", std::to_string(channels)})) << sim.lastError();
    }
    // Connects with the --connect values and waits until every channel shows a picture.
    void connectAndWaitForPictures(MainWindow& window, std::uint16_t channels) {
        window.connectTo(adminRequest(sim.port()));
        WAIT_UNTIL(window.liveChannelInfoCount() > 0, kLiveTimeoutMs);
        WAIT_EQ(window.videoWindow()->decodedChannels() & channels, channels, kLiveTimeoutMs);
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
};

TEST_F(MainWindowE2E, ConnectDialogAtStartLeadsToLiveView) {
    startSim(4);
    MainWindow window(harness.config(true));
    window.show();
    WAIT_UNTIL(window.connectDialog() != nullptr, 5000);
    ConnectDialog* dialog = window.connectDialog();
    auto field = [&](const char* name) {
        return dialog->findChild<QLineEdit*>(QLatin1String(name));
    };
    ASSERT_TRUE(field("address") && field("port") && field("userId") && field("password"));
    field("address")->setText(QStringLiteral("127.0.0.1"));
    dialog->findChild<QPushButton*>(QStringLiteral("modifyButton"))->click();
    field("port")->setText(QString::number(sim.port()));
    field("userId")->setText(QStringLiteral("Admin")); // sent lower-cased
    field("password")->setText(QStringLiteral("1234"));
    dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();

    WAIT_UNTIL(window.session() != nullptr, 5000);
    EXPECT_TRUE(window.button(360)->pressedLook());
    WAIT_UNTIL(window.liveChannelInfoCount() > 0, kLiveTimeoutMs);
    EXPECT_TRUE(window.session()->live().liveOn());
    WAIT_UNTIL(window.button(369)->pressedLook(), 5000);
    EXPECT_EQ(window.videoWindow()->layoutModel().layout(), 4) << "4 channels: 4 cells";
    WAIT_EQ(window.videoWindow()->decodedChannels() & 0xF, 0xF, kLiveTimeoutMs);
    EXPECT_EQ(window.notificationBox(), nullptr);
}

class ScreenshotTest : public MainWindowE2E, public ::testing::WithParamInterface<int> {};

TEST_P(ScreenshotTest, EveryCellShowsAPictureWithItsTitle) {
    startSim(4);
    MainWindowConfig config = harness.config();
    config.settings.drawMode = static_cast<std::uint32_t>(GetParam());
    MainWindow window(config);
    window.show();
    VideoWindow* video = window.videoWindow();
    EXPECT_EQ(video->feed().isAccelerated(), GetParam() == 0);
    video->selectLayout(4);
    QCoreApplication::processEvents();
    const QImage idle = video->grab().toImage().convertToFormat(QImage::Format_RGB32);

    ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0xF));
    // A few more pictures so that every cell has been drawn with its overlays.
    for (unsigned c = 0; c < 4; ++c)
        WAIT_UNTIL(video->framesPerSecond(c) > 0, 10000);
    for (unsigned c = 0; c < 4; ++c)
        WAIT_EQ(video->overlay(c).topText, "CH" + std::to_string(c + 1) + " 720x480", 10000);
    QTest::qWait(200);
    const QImage shot = video->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), idle.size());

    for (int cell = 0; cell < 4; ++cell) {
        const CellRect r = video->layoutModel().cellRect(cell);
        int differing = 0;
        int total = 0;
        int green = 0;
        for (int y = r.top; y < r.bottom; y += 2) {
            for (int x = r.left; x < r.right; x += 2) {
                const QColor a = shot.pixelColor(x, y);
                const QColor b = idle.pixelColor(x, y);
                ++total;
                differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                                 std::abs(a.blue() - b.blue()) >
                             48;
            }
        }
        for (int y = r.top; y < r.top + 24; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const QColor p = shot.pixelColor(x, y);
                green += p.green() > 200 && p.red() < 80 && p.blue() < 80;
            }
        EXPECT_GT(differing * 2, total) << "cell " << cell << " still shows the idle picture";
        EXPECT_GT(green, 20) << "cell " << cell << " lacks its top line";
    }
}

INSTANTIATE_TEST_SUITE_P(BothPaths, ScreenshotTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Planar" : "Rgb"; });

TEST_F(MainWindowE2E, LiveRequestFollowsEveryLayoutChange) {
    startSim(16);
    MainWindow window(harness.config());
    window.show();
    ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0x0001));
    VideoWindow* video = window.videoWindow();
    // Each layout button, the 9-cell layout twice (its second page), a channel button, and
    // back to 16.
    const int presses[] = {321, 320, 322, 323, 324, 325, 325, 326, 327, 305, 328};
    for (int id : presses) {
        QTest::mouseClick(window.button(id), Qt::LeftButton);
        const int expected = video->visibleChannelMask();
        WAIT_EQ(simLiveMask(sim), expected, 10000);
        SCOPED_TRACE(id);
        WAIT_EQ(static_cast<int>(window.session()->live().liveChannelMask()), expected, 10000);
    }
    EXPECT_EQ(video->layoutModel().layout(), 16);
}

// The recorder streams only the channels shown: pressing the current layout again must still
// turn to the next page, each page's channels must stream and appear, and a channel button
// shows a channel that was not streaming.
TEST_F(MainWindowE2E, PressingALayoutAgainTurnsItsPagesOverEveryChannel) {
    startSim(16);
    MainWindow window(harness.config());
    window.show();
    ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0x0001));
    VideoWindow* video = window.videoWindow();
    const struct {
        int button;
        int mask;
    } presses[] = {{321, 0x000F}, {321, 0x00F0}, {321, 0x0F00}, {321, 0xF000}, {321, 0x000F},
                   {322, 0x003F}, {322, 0x0FC0}, {322, 0xF000}, {320, 0x0001}, {320, 0x0002},
                   {312, 0x1000}, {327, 0x1FFF}, {327, 0xE000}};
    for (const auto& press : presses) {
        SCOPED_TRACE(press.button);
        QTest::mouseClick(window.button(press.button), Qt::LeftButton);
        EXPECT_EQ(video->visibleChannelMask(), press.mask);
        WAIT_EQ(simLiveMask(sim), press.mask, 10000);
        const auto streamed = static_cast<std::uint16_t>(press.mask);
        WAIT_EQ(video->decodedChannels() & streamed, streamed, kLiveTimeoutMs);
    }
}

TEST_F(MainWindowE2E, LiveButtonStopsAndRestartsAndTitlesFollowTheRecorder) {
    startSim(4);
    MainWindow window(harness.config());
    window.show();
    ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0xF));
    VideoWindow* video = window.videoWindow();

    // The recorder's clock on the main clock while live, the PC's clock once live view stops.
    EXPECT_EQ(sim.admin("time 1172800000"), "ok"); // 2 March 2007
    WAIT_EQ(window.clock()->shownTime().year, 2007, 10000);

    EXPECT_EQ(sim.admin("title 2 Gate"), "ok");
    WAIT_EQ(video->overlay(1).topText, std::string("Gate 720x480"), 10000);

    QTest::mouseClick(window.button(369), Qt::LeftButton);
    EXPECT_FALSE(window.session()->live().liveOn());
    WAIT_UNTIL(!window.button(369)->pressedLook(), 5000);
    EXPECT_EQ(video->mode(), StreamKind::Idle);
    WAIT_EQ(simLiveMask(sim), 0, 10000);
    WAIT_UNTIL(window.clock()->shownTime().year > 2007, 5000);

    const int infos = window.liveChannelInfoCount();
    QTest::mouseClick(window.button(369), Qt::LeftButton);
    WAIT_UNTIL(window.liveChannelInfoCount() > infos, kLiveTimeoutMs);
    EXPECT_EQ(video->mode(), StreamKind::Live);
    WAIT_EQ(video->decodedChannels() & 0xF, 0xF, kLiveTimeoutMs);

    // Video loss reaches the window.
    EXPECT_EQ(sim.admin("videoloss 3 1"), "ok");
    WAIT_EQ(window.session()->live().videoLossMask(), std::uint16_t{0x4}, 10000);
}

TEST_F(MainWindowE2E, DrawModeChangeRemakesTheVideoWindowAndLiveGoesOn) {
    startSim(4);
    MainWindow window(harness.config());
    window.show();
    ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0xF));
    const VideoWindow* before = window.videoWindow();
    EXPECT_TRUE(before->feed().isAccelerated());

    QTest::mouseClick(window.button(364), Qt::LeftButton);
    auto* setup = window.findChild<LocalSetupWindow*>();
    ASSERT_NE(setup, nullptr);
    auto* drawMode = setup->findChild<QComboBox*>(QStringLiteral("drawMode"));
    ASSERT_NE(drawMode, nullptr);
    drawMode->setCurrentIndex(1);
    setup->findChild<QPushButton*>(QStringLiteral("okButton"))->click();

    EXPECT_EQ(window.settings().drawMode, 1u);
    ASSERT_NE(window.videoWindow(), nullptr);
    EXPECT_FALSE(window.videoWindow()->feed().isAccelerated());
    EXPECT_EQ(window.findChildren<VideoWindow*>().size(), 1);
    WAIT_UNTIL(window.session()->live().liveOn(), kLiveTimeoutMs);
    WAIT_EQ(window.videoWindow()->decodedChannels() & 0xF, 0xF, kLiveTimeoutMs);
    WAIT_EQ(window.videoWindow()->overlay(0).topText, std::string("CH1 720x480"), 10000);
}

TEST_F(MainWindowE2E, ConnectButtonDisconnectsThenOpensTheDialog) {
    startSim(4);
    MainWindow window(harness.config());
    window.show();
    ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0xF));
    EXPECT_TRUE(window.screenSaverInhibited()); // live pictures show
    QTest::mouseClick(window.button(360), Qt::LeftButton);
    EXPECT_EQ(window.session(), nullptr);
    EXPECT_FALSE(window.screenSaverInhibited());
    EXPECT_FALSE(window.button(360)->pressedLook());
    EXPECT_FALSE(window.button(369)->isEnabled());
    EXPECT_EQ(window.videoWindow()->mode(), StreamKind::Idle);
    WAIT_EQ(sim.admin("logged-in"), std::string("ok 0"), 10000);
    // The receive thread still reports the closed connection.
    WAIT_UNTIL(window.notificationBox() != nullptr, 5000);
    EXPECT_EQ(window.notificationBox()->notification(), (Notification{2, 0}));
    window.notificationBox()->findChild<SkinButton*>(QStringLiteral("okButton"))->click();
    WAIT_UNTIL(window.notificationBox() == nullptr, 5000);

    QTest::mouseClick(window.button(360), Qt::LeftButton);
    EXPECT_NE(window.connectDialog(), nullptr);
    EXPECT_EQ(window.session(), nullptr);
}

TEST_F(MainWindowE2E, RefusedConnectShowsItsBoxAndDropsTheSession) {
    // A port nobody listens on: bind one, then close it.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);

    MainWindow window(harness.config());
    window.show();
    window.connectTo(adminRequest(ntohs(address.sin_port)));
    WAIT_UNTIL(window.notificationBox() != nullptr, 10000);
    EXPECT_EQ(window.notificationBox()->notification(), (Notification{1, 1}));
    EXPECT_EQ(window.notificationBox()->lines(), QStringList{resourceText(5053)});
    WAIT_UNTIL(window.session() == nullptr, 10000);
    EXPECT_FALSE(window.button(360)->pressedLook());

    // One box at a time: a second refusal while it is open shows nothing more.
    NotificationBox* box = window.notificationBox();
    window.connectTo(adminRequest(ntohs(address.sin_port)));
    WAIT_UNTIL(window.session() == nullptr, 10000);
    EXPECT_EQ(window.notificationBox(), box);
    EXPECT_EQ(window.findChildren<NotificationBox*>().size(), 1);
    box->findChild<SkinButton*>(QStringLiteral("okButton"))->click();
    WAIT_UNTIL(window.notificationBox() == nullptr, 5000);
}

TEST_F(MainWindowE2E, FarewellReason33ShowsItsBoxThenTheSessionIsDropped) {
    startSim(4);
    MainWindow window(harness.config());
    window.show();
    window.connectTo(adminRequest(sim.port()));
    ASSERT_TRUE(sim.waitForLoggedIn(1));
    WAIT_UNTIL(window.liveChannelInfoCount() > 0, kLiveTimeoutMs);
    EXPECT_EQ(sim.admin("bye 33"), "ok 1");
    WAIT_UNTIL(window.notificationBox() != nullptr, 10000);
    EXPECT_EQ(window.notificationBox()->notification(), (Notification{3, 3}));
    EXPECT_EQ(window.notificationBox()->lines(),
              (QStringList{resourceText(5079), resourceText(5071)}));
    // The recorder then closes: (2,0) drops the session while the box stays.
    WAIT_UNTIL(window.session() == nullptr, 10000);
    EXPECT_EQ(window.notificationBox()->notification(), (Notification{3, 3}));
    EXPECT_EQ(window.videoWindow()->mode(), StreamKind::Idle);
}

TEST_F(MainWindowE2E, QuitStopsLiveDisconnectsAndLogsInOrder) {
    startSim(4);
    {
        MainWindow window(harness.config());
        window.show();
        ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0xF));
        QTest::mouseClick(window.button(365), Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.session(), nullptr);
        EXPECT_EQ(window.videoWindow(), nullptr);
        EXPECT_EQ(window.notificationBox(), nullptr) << "no box while shutting down";
        WAIT_EQ(sim.admin("logged-in"), std::string("ok 0"), 10000);
    }
    const std::vector<LocalLogRecord> log = localLogEntries(harness.dataFolder());
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    for (const LocalLogRecord& record : log)
        entries.emplace_back(record.kind, record.event);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {kLogKindProgram, kLogEventProgramStart},
        {kLogKindLogon, kLogEventLogon},
        {kLogKindLogon, kLogEventLogoff},
        {kLogKindProgram, kLogEventProgramExit},
    };
    EXPECT_EQ(entries, expected);
}

// A recorder repeating LIVE_CHANNEL_INFO queues one message for the window, not one per repeat,
// and the channel information file is written when its content changes, not per message.
TEST_F(MainWindowE2E, ChannelInfoFloodReachesTheWindowCoalesced) {
    startSim(4);
    QTemporaryDir web;
    MainWindowConfig config = harness.config();
    config.settings.webActivate = 1;
    config.settings.webLocation = web.path();
    config.settings.webWidthWeb = 352;
    config.settings.webHeightWeb = 240;
    config.settings.webInterval = 5;
    MainWindow window(config);
    window.show();
    ASSERT_NO_FATAL_FAILURE(connectAndWaitForPictures(window, 0xF));
    QCoreApplication::processEvents();
    window.channelInfoWriter().flush();
    const unsigned writesBefore = window.channelInfoWriter().writes();
    const int handledBefore = window.liveChannelInfoCount();

    ASSERT_EQ(sim.admin("flood-channel-info 20000"), "ok 1");
    ASSERT_EQ(sim.admin("videoloss 2 1"), "ok"); // after the flood: marks its end
    // No events are delivered meanwhile: everything posted stays queued.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (window.session()->live().videoLossMask() != 0x0002 &&
           std::chrono::steady_clock::now() < limit)
        QThread::msleep(5);
    ASSERT_EQ(window.session()->live().videoLossMask(), 0x0002);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.liveChannelInfoCount(), handledBefore + 1);
    EXPECT_EQ(window.videoWindow()->presentChannels(), 0x000F);

    window.channelInfoWriter().flush();
    EXPECT_EQ(window.channelInfoWriter().writes(), writesBefore);
    QFile file(QDir(web.path()).filePath(QStringLiteral("chinfo.bin")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("15\r\n352\r\n240\r\n5\r\n"));
    ASSERT_EQ(sim.admin("videoloss 2 0"), "ok");
}

} // namespace
} // namespace kalder
