// A site of four recorders in one main window: each recorder's four channels fill their own
// cells of the 16-cell layout, and one recorder's outage leaves the other twelve cells playing
// while its own say that it is being got back, until it is back by itself.
#include "main_window_harness.h"
#include "playback/playback_controller.h"
#include "program_start.h"
#include "session/recorder_session.h"
#include "site/site_book.h"
#include "sim/sim_process.h"
#include "support/tcp_fault_proxy.h"
#include "ui/notification_box.h"
#include "video/video_window.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace kalder {
namespace {

constexpr int kSiteLimitMs = 60000;
constexpr int kRecorders = 4;

QString harnessStoreFile() {
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("kalder.ini"));
}

bool cellShowsPicture(const VideoWindow& video, int cell) {
    const int slot = video.layoutModel().cellSlot(cell);
    return slot >= 0 &&
           video.feed().cellContent(static_cast<unsigned>(slot)) == CellContent::Picture;
}

// Every one of `cells` shows a picture, and then another one: the images of each at the first
// look and at a later one differ (each simulated scene runs a clock).
::testing::AssertionResult cellsMove(const VideoWindow& video, const std::vector<int>& cells) {
    const bool pictures = QTest::qWaitFor(
        [&] {
            for (int cell : cells)
                if (!cellShowsPicture(video, cell))
                    return false;
            return true;
        },
        kSiteLimitMs);
    if (!pictures)
        return ::testing::AssertionFailure() << "a cell never showed a picture";
    std::vector<QImage> first;
    for (int cell : cells)
        first.push_back(video.cellViewImage(cell));
    std::vector<int> still;
    const bool moved = QTest::qWaitFor(
        [&] {
            still.clear();
            for (std::size_t i = 0; i < cells.size(); ++i)
                if (video.cellViewImage(cells[i]) == first[i])
                    still.push_back(cells[i]);
            return still.empty();
        },
        kSiteLimitMs);
    if (moved)
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "cells that never changed:";
    for (int cell : still)
        failure << ' ' << cell;
    return failure;
}

std::vector<int> cellsOfRecorders(const VideoWindow& video, std::initializer_list<int> recorders) {
    std::vector<int> cells;
    for (int cell = 0; cell < 16; ++cell)
        for (int recorder : recorders)
            if (video.layoutModel().cellSource(cell).recorder == recorder)
                cells.push_back(cell);
    return cells;
}

// --connect given several times is one site of those recorders, each with its own port and the
// same user and password; a single --connect stays a single recorder's connect.
TEST(ProgramSite, RepeatedConnectIsOneSite) {
    QString error;
    const auto options = parseProgramOptions(
        {"--connect", "10.0.0.11:4000", "--connect", "north", "--user", "admin"}, error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_EQ(options->targets, (std::vector<ProgramTarget>{{"10.0.0.11", 4000}, {"north", 2000}}));
    EXPECT_EQ(options->host, "10.0.0.11");
    ProgramOptions withPassword = *options;
    withPassword.password = "1234";
    QSettings store(harnessStoreFile(), QSettings::IniFormat);
    const auto resolve = [](const std::string& host) {
        return host == "north" ? std::string("10.0.0.12") : host;
    };
    const std::optional<SiteRequest> site = programSite(withPassword, store, resolve, error);
    ASSERT_TRUE(site);
    EXPECT_EQ(site->name, "10.0.0.11, north");
    ASSERT_EQ(site->recorders.size(), 2u);
    EXPECT_EQ(site->recorders[1].address, "10.0.0.12");
    EXPECT_EQ(site->recorders[1].typedAddress, "north");
    EXPECT_EQ(site->recorders[1].port, 2000);
    EXPECT_EQ(site->recorders[1].userId, "admin");
    EXPECT_EQ(site->recorders[1].password, "1234");

    const auto single = parseProgramOptions({"--connect", "h"}, error);
    ASSERT_TRUE(single);
    EXPECT_FALSE(programSite(*single, store, resolve, error));
    EXPECT_FALSE(parseProgramOptions(
        {"--connect", "a", "--connect", "b", "--connect", "c", "--connect", "d", "--connect", "e"},
        error));
    EXPECT_FALSE(parseProgramOptions({"--site", "Yard", "--connect", "a"}, error));
    // A site the address book does not hold is refused with its name.
    const auto unknown = parseProgramOptions({"--site", "Yard"}, error);
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(programSite(*unknown, store, resolve, error));
    EXPECT_TRUE(error.contains(QStringLiteral("Yard")));
}

TEST(MainWindowSite, FourRecordersPlayTogetherAndOneOutageLeavesTheOthersPlaying) {
    using namespace std::chrono_literals;
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    std::array<test::SimProcess, kRecorders> sims;
    for (test::SimProcess& sim : sims)
        ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
    // The second recorder is reached through a proxy that can cut it off.
    test::TcpFaultProxy proxy(sims[1].port());
    ASSERT_NE(proxy.port(), 0);

    MainWindowConfig config = harness.config();
    config.reconnectSchedule = ReconnectSchedule({50ms, 100ms, 200ms});
    MainWindow window(config);
    window.show();
    SiteRequest site;
    site.name = "Yard";
    Site stored{"Yard", {}};
    for (int r = 0; r < kRecorders; ++r) {
        site.recorders.push_back(test::simAdminRequest(
            r == 1 ? proxy.port() : sims[static_cast<std::size_t>(r)].port()));
        stored.recorders.push_back(
            {"127.0.0.1", site.recorders.back().port, site.recorders.back().userId});
    }
    {
        SiteBook book(*config.store);
        ASSERT_EQ(book.add(stored).problem, SiteCheck::Problem::None);
        ASSERT_TRUE(book.save());
    }
    window.connectToSite(site);
    ASSERT_EQ(window.siteRecorderCount(), kRecorders);
    VideoWindow& video = *window.videoWindow();
    EXPECT_EQ(video.siteRecorders(), kRecorders);

    // Four recorders of four channels: one 16-cell page, recorder r's channels in cells 4r..4r+3.
    WAIT_UNTIL(video.layoutModel().cellCount() == 16 && video.mode() == StreamKind::Live,
               kSiteLimitMs);
    EXPECT_EQ(video.layoutModel().layout(), 16);
    for (int cell = 0; cell < 16; ++cell)
        EXPECT_EQ(video.layoutModel().cellSource(cell), (CellSource{cell / 4, cell % 4})) << cell;
    std::vector<int> every(16);
    for (int cell = 0; cell < 16; ++cell)
        every[static_cast<std::size_t>(cell)] = cell;
    EXPECT_TRUE(cellsMove(video, every));
    // Each cell's title says whose camera it shows.
    for (int r = 0; r < kRecorders; ++r)
        EXPECT_EQ(video.overlay(slotOf(r, 2)).topText.rfind("R" + std::to_string(r + 1) + " ", 0),
                  0u)
            << video.overlay(slotOf(r, 2)).topText;
    for (int r = 0; r < kRecorders; ++r) {
        EXPECT_EQ(window.recorderLink(r).state(), SessionState::Connected) << r;
        ASSERT_NE(window.recorderStateLabel(r), nullptr);
        EXPECT_EQ(window.recorderStateLabel(r)->text(), QStringLiteral("%1 Connected").arg(r + 1));
        EXPECT_EQ(window.recorderStateLabel(r)->accessibleName(),
                  QStringLiteral("Recorder %1 state").arg(r + 1));
    }
    EXPECT_TRUE(window.sessionStateLabel()->isHidden());
    // The features stay on the first recorder's session.
    ASSERT_NE(window.session(), nullptr);
    EXPECT_EQ(window.session(), window.recorderLink(0).session());

    // Recorder 2 goes away: its cells alone say so, the box names it, the others play on.
    proxy.setRefusing(true);
    proxy.cut();
    WAIT_UNTIL(window.recorderLink(1).state() == SessionState::Reconnecting, kSiteLimitMs);
    const std::vector<int> lostCells = cellsOfRecorders(video, {1});
    ASSERT_EQ(lostCells, (std::vector<int>{4, 5, 6, 7}));
    WAIT_UNTIL(window.notificationBox() != nullptr, kSiteLimitMs);
    EXPECT_EQ(window.notificationBox()->objectName(), QStringLiteral("reconnectBox"));
    EXPECT_TRUE(window.notificationBox()->lines().join(' ').contains(
        QStringLiteral("Recorder 2 (127.0.0.1)")))
        << window.notificationBox()->lines().join(' ').toStdString();
    for (int cell : lostCells)
        EXPECT_TRUE(video.cellNoticeAt(cell).startsWith(QStringLiteral("Reconnecting…")))
            << cell << ": " << video.cellNoticeAt(cell).toStdString();
    EXPECT_EQ(window.recorderStateLabel(1)->text(), QStringLiteral("2 Reconnecting…"));
    const std::vector<int> others = cellsOfRecorders(video, {0, 2, 3});
    EXPECT_TRUE(cellsMove(video, others));
    for (int cell : others)
        EXPECT_FALSE(video.cellNoticeAt(cell).startsWith(QStringLiteral("Reconnecting…"))) << cell;
    EXPECT_EQ(window.recorderLink(0).state(), SessionState::Connected);
    EXPECT_EQ(window.session(), window.recorderLink(0).session());
    EXPECT_EQ(video.layoutModel().layout(), 16);

    // It comes back by itself: its cells lose the notice and move again.
    proxy.setRefusing(false);
    WAIT_UNTIL(window.recorderLink(1).state() == SessionState::Connected, kSiteLimitMs);
    for (int cell : lostCells)
        WAIT_UNTIL(!video.cellNoticeAt(cell).startsWith(QStringLiteral("Reconnecting…")),
                   kSiteLimitMs);
    EXPECT_TRUE(cellsMove(video, lostCells));
    EXPECT_EQ(window.recorderStateLabel(1)->text(), QStringLiteral("2 Connected"));
    EXPECT_EQ(window.notificationBox(), nullptr); // the box went with the tries

    // Choosing a cell of recorder 3 takes the features there: an instant replay plays its
    // channel in the window, alone, and Stop gives the window back to the site.
    video.setFocusedCell(9);
    ASSERT_EQ(window.featureRecorder(), 2);
    const VideoLayout::Arrangement siteView = video.viewArrangement();
    ASSERT_EQ(window.session(), window.recorderLink(2).session());
    EXPECT_TRUE(window.recorderStateLabel(2)->font().bold());
    EXPECT_FALSE(window.recorderStateLabel(0)->font().bold());
    WAIT_UNTIL(window.session()->live().recorderClock() != 0, kSiteLimitMs);
    const std::uint32_t started = window.session()->live().recorderClock();
    ASSERT_EQ(sims[2].admin("time " + std::to_string(started + 40)), "ok");
    WAIT_UNTIL(window.session()->live().recorderClock() >= started + 40, kSiteLimitMs);
    const QPoint inCell(video.layoutModel().cellRect(9).left + 20,
                        video.layoutModel().cellRect(9).top + 20);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, inCell, video.mapToGlobal(inCell));
    QApplication::sendEvent(&video, &rightClick);
    WAIT_UNTIL(window.cellMenu() && window.cellMenu()->isVisible(), kSiteLimitMs);
    QAction* replay = nullptr;
    for (QAction* action : window.cellMenu()->findChildren<QAction*>())
        if (action->text() == QStringLiteral("Instant replay (30 s)"))
            replay = action;
    ASSERT_NE(replay, nullptr);
    ASSERT_TRUE(replay->isEnabled()) << replay->toolTip().toStdString();
    replay->trigger();
    window.cellMenu()->close();
    WAIT_UNTIL(video.mode() == StreamKind::RemotePlayback &&
                   video.feed().pictures().decoded(slotOf(2, 1)) &&
                   window.session()->playback().counters().shownFrames > 0,
               kSiteLimitMs);
    EXPECT_EQ(video.layoutModel().cellSource(1), (CellSource{2, 1}));
    EXPECT_EQ(video.layoutModel().cellCount(), 16);
    window.playback()->press(PlayControl::Stop);
    WAIT_UNTIL(video.mode() == StreamKind::Live && video.layoutModel().cellCount() == 16 &&
                   video.layoutModel().cellSource(9) == (CellSource{2, 1}),
               kSiteLimitMs);
    WAIT_UNTIL(video.viewArrangement() == siteView, kSiteLimitMs);
    EXPECT_TRUE(cellsMove(video, every));
    video.setFocusedCell(0);
    EXPECT_EQ(window.featureRecorder(), 0);

    // The operator swaps the first and the last cell; giving the site up keeps that with it,
    // and connecting it again puts it back once the recorders have said how many channels they
    // have.
    VideoLayout::Arrangement swapped = video.viewArrangement();
    std::swap(swapped.cellSource[0], swapped.cellSource[15]);
    video.restoreView(swapped);
    ASSERT_EQ(video.layoutModel().cellSource(0), (CellSource{3, 3}));
    window.pressConnect();
    {
        SiteBook book(*config.store);
        book.load();
        ASSERT_TRUE(book.sites().front().arrangement);
        EXPECT_EQ(book.sites().front().arrangement->cells.at(0), (SiteCell{3, 3}));
    }
    window.connectToSite(site);
    WAIT_UNTIL(video.layoutModel().cellSource(0) == (CellSource{3, 3}), kSiteLimitMs);
    EXPECT_EQ(video.layoutModel().cellSource(15), (CellSource{0, 0}));
    EXPECT_TRUE(cellsMove(video, {0, 15}));

    // Connect gives the whole site up: a single recorder's window again.
    window.pressConnect();
    EXPECT_EQ(window.siteRecorderCount(), 1);
    EXPECT_EQ(video.siteRecorders(), 1);
    EXPECT_EQ(window.session(), nullptr);
    EXPECT_FALSE(window.sessionStateLabel()->isHidden());
    EXPECT_EQ(window.sessionStateLabel()->text(), QStringLiteral("Offline"));
}

} // namespace
} // namespace kalder
