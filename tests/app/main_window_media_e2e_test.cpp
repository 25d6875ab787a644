// Snapshots and web export of the desktop program against the recorder simulator: the Save
// button saves the visible channels' next pictures and comes back when the savers are done, the
// web export writes each channel's picture, and the viewer shows a saved file.
#include "decode/image_files.h"
#include "info/info_menu_panel.h"
#include "info/info_views.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "main_window_harness.h"
#include "sim/sim_process.h"
#include "ui/skin_button.h"
#include "video/video_window.h"
#include "viewer/image_viewer_window.h"

#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

constexpr int kTimeoutMs = 60000;

TEST(MainWindowMedia, SaveWebExportAndViewer) {
    test::MainWindowHarness harness;
    ASSERT_TRUE(harness.decoderLoaded());
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4"})) << sim.lastError();
    MainWindowConfig config = harness.config();
    config.settings.saveFormat = 1; // BMP
    const QString web = QDir(harness.dataFolder()).filePath(QStringLiteral("web"));
    QDir().mkpath(web);
    config.settings.webActivate = 1;
    config.settings.webLocation = web;
    config.settings.webInterval = 20;
    MainWindow window(config);
    window.show();

    // Nothing to save while the window is idle.
    window.button(372)->click();
    EXPECT_FALSE(window.media().timerRunning());

    ConnectRequest request = test::simAdminRequest(sim.port());
    window.connectTo(request);
    WAIT_UNTIL((window.videoWindow()->decodedChannels() & 0xF) == 0xF, kTimeoutMs);

    window.button(372)->click();
    EXPECT_TRUE(window.media().timerRunning());
    EXPECT_FALSE(window.button(372)->isEnabled());
    WAIT_UNTIL(window.media().savedCount() == 4 && window.button(372)->isEnabled(), kTimeoutMs);
    EXPECT_FALSE(window.media().timerRunning());
    EXPECT_EQ(window.media().failedCount(), 0);
    const QDir saved(QDir(harness.dataFolder()).filePath(QStringLiteral("Saved")));
    const QStringList files = saved.entryList({QStringLiteral("*.bmp")}, QDir::Files);
    ASSERT_EQ(files.size(), 4) << files.join(' ').toStdString();
    for (int c = 1; c <= 4; ++c)
        EXPECT_EQ(files.filter(QStringLiteral("_000%1.bmp").arg(c)).size(), 1) << c;

    // The web export writes one picture per channel into its folder.
    for (int c = 1; c <= 4; ++c)
        WAIT_UNTIL(QFile::exists(QDir(web).filePath(QStringLiteral("%1.jpg").arg(c))), kTimeoutMs);
    const auto exported = readImageFile(QDir(web).filePath(QStringLiteral("2.jpg")).toStdString());
    ASSERT_TRUE(exported);
    EXPECT_EQ(exported->width, 200);
    EXPECT_EQ(exported->height, 160);

    // Load: the file dialog starts in the Saved folder; the chosen file opens in the viewer,
    // the picture plus its frame.
    window.button(373)->click();
    QFileDialog* dialog = window.media().fileDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), saved.canonicalPath());
    dialog->selectFile(saved.filePath(files.first()));
    QMetaObject::invokeMethod(dialog, "accept");
    WAIT_UNTIL(window.media().viewer() != nullptr, 5000);
    ImageViewerWindow* viewer = window.media().viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->hasPicture());
    EXPECT_EQ(viewer->size(), QSize(844, 676));
    if (!qEnvironmentVariableIsEmpty("KALDER_SCREENSHOT_DIR")) {
        QTest::qWait(300);
        viewer->grab().save(qEnvironmentVariable("KALDER_SCREENSHOT_DIR") + "/viewer.png");
    }
    viewer->close();

    // A file that cannot be read gives a viewer that closes itself.
    window.media().showImage(saved.filePath(QStringLiteral("missing.bmp")), &window);
    EXPECT_FALSE(window.media().viewer()->hasPicture());
    WAIT_UNTIL(window.media().viewer() == nullptr, 5000);
}

TEST(MainWindowMedia, StatusAndSystemInformationViews) {
    test::MainWindowHarness harness;
    test::SimProcess sim;
    ASSERT_TRUE(sim.start({"--channels", "4", "--set", "status.piece_bytes=7"})) << sim.lastError();
    MainWindow window(harness.config());
    window.show();
    ConnectRequest request = test::simAdminRequest(sim.port());
    request.siteText = "Front shop";
    window.connectTo(request);
    WAIT_UNTIL(window.session() && window.session()->loggedIn(), kTimeoutMs);

    // The views live in the search window's Info mode.
    WAIT_UNTIL(window.session()->status().maySearch(), kTimeoutMs);
    QTest::mouseClick(window.button(361), Qt::LeftButton);
    SearchWindow* search = window.searchWindow();
    ASSERT_NE(search, nullptr);
    search->tabButton(SearchWindow::Tab::Info)->click();
    auto* menu = search->findChild<InfoMenuPanel*>();
    ASSERT_NE(menu, nullptr);
    InfoViews& info = window.infoViews();
    menu->statusButton()->click();
    WAIT_UNTIL(info.statusView() != nullptr, kTimeoutMs);
    InfoListView* status = info.statusView();
    EXPECT_EQ(status->size(), QSize(403, 417));
    ASSERT_EQ(status->rowCount(), 3 + 1 + 4 + 1 + 4);
    EXPECT_EQ(status->cell(0, 1), QStringLiteral("  1.82 TByte"));
    EXPECT_TRUE(status->cell(4, 0).endsWith(QStringLiteral(" 01")));
    if (!qEnvironmentVariableIsEmpty("KALDER_SCREENSHOT_DIR")) {
        QTest::qWait(200);
        status->grab().save(qEnvironmentVariable("KALDER_SCREENSHOT_DIR") + "/status.png");
    }
    // Opened again while it exists: no new request, the same view.
    menu->statusButton()->click();
    EXPECT_FALSE(window.session()->info().statusPending());
    EXPECT_EQ(info.statusView(), status);

    menu->systemButton()->click();
    WAIT_UNTIL(info.statusView() == nullptr, 5000);
    InfoListView* system = info.systemView();
    ASSERT_NE(system, nullptr);
    ASSERT_EQ(system->rowCount(), 10);
    EXPECT_EQ(system->cell(0, 1), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(system->cell(2, 1), QStringLiteral("Front shop"));
    EXPECT_EQ(system->cell(3, 1), QStringLiteral("00:1C:4B:10:20:30"));
    if (!qEnvironmentVariableIsEmpty("KALDER_SCREENSHOT_DIR")) {
        QTest::qWait(200);
        system->grab().save(qEnvironmentVariable("KALDER_SCREENSHOT_DIR") + "/system.png");
    }
}

} // namespace
} // namespace kalder
