// Every window of the program names itself (its title is what a screen reader announces), and
// the controls of the small device windows say what they are for; the snapshot notice of a Save
// accounts for every channel asked for. Offscreen, without a recorder.
#include "connect/connect_dialog.h"
#include "connect/connect_history_window.h"
#include "firmware/firmware_upgrade_window.h"
#include "info/info_list_view.h"
#include "info/info_views.h"
#include "local/local_search_window.h"
#include "main_window_harness.h"
#include "ptz/dome_menu_window.h"
#include "ptz/ptz_keypad_window.h"
#include "ptz/ptz_panel.h"
#include "ptz/ptz_placement.h"
#include "resources/resource_library.h"
#include "search/backup_progress_window.h"
#include "setup/local/local_setup_window.h"
#include "ui/notification_box.h"
#include "viewer/image_viewer_window.h"
#include "viewer/snapshot_controller.h"
#include "wire/notification_table.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kalder {
namespace {

QPushButton* control(QWidget& window, int id) {
    return window.findChild<QPushButton*>(QStringLiteral("control%1").arg(id));
}

// Every shown top-level window besides pop-ups and tips has a title.
void expectEveryShownWindowTitled() {
    int looked = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        const Qt::WindowType type = w->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip)
            continue;
        ++looked;
        EXPECT_FALSE(w->windowTitle().trimmed().isEmpty())
            << w->metaObject()->className() << " \"" << w->objectName().toStdString() << "\"";
    }
    EXPECT_GE(looked, 10);
}

TEST(WindowNames, EveryWindowAndDialogHasATitle) {
    test::MainWindowHarness harness;
    QTemporaryDir dir;
    MainWindow window(harness.config());
    window.show();

    const NotificationEntry* closed = findNotificationEntry({3, 3});
    ASSERT_NE(closed, nullptr);
    NotificationBox box(*closed, 255, &window);
    box.show();
    PtzPanel panel(&window, nullptr);
    panel.show();
    PtzKeypadWindow keypad(&window, 0, nullptr);
    keypad.show();
    DomeMenuWindow dome(nullptr);
    dome.show();
    QSettings store(dir.filePath(QStringLiteral("store.ini")), QSettings::IniFormat);
    const std::filesystem::path history = dir.filePath(QStringLiteral("history.log")).toStdString();
    ConnectDialog connectDialog(store, history, 255, &window);
    connectDialog.show();
    ConnectHistoryWindow historyWindow(history, 255, &window);
    historyWindow.show();
    ImageViewerWindow viewer(dir.filePath(QStringLiteral("20240101000000_0001.jpg")), &window);
    EXPECT_TRUE(viewer.windowTitle().contains(QStringLiteral("20240101000000_0001.jpg")));
    InfoListView info(resourceText(6441), {130, 140, 120}, nullptr);
    info.show();
    BackupWriteResult result;
    result.sets = {"6553f100"};
    result.folder = dir.path().toStdString();
    BackupResultBox backupResult(result, &window);
    backupResult.show();
    LocalSetupWindow localSetup(LocalSettings{}, store, false, &window);
    localSetup.show();
    LocalSearchWindow localSearch(dir.path().toStdString(), false, 0, &window);
    localSearch.show();
    SnapshotController media;
    media.setSaveTarget(dir.path(), 0);
    media.openImage(&window);
    ASSERT_NE(media.fileDialog(), nullptr);

    expectEveryShownWindowTitled();
    media.fileDialog()->reject();
}

TEST(WindowNames, PtzControlsSayWhatTheyAre) {
    PtzPanel panel(nullptr, nullptr);
    EXPECT_EQ(control(panel, 447)->accessibleName(), QStringLiteral("Preset Pan"));
    EXPECT_EQ(control(panel, 448)->accessibleName(), QStringLiteral("Preset Zoom"));
    EXPECT_EQ(control(panel, 446)->accessibleName(), QStringLiteral("Close"));
    for (int id : {447, 448}) {
        QPushButton* b = control(panel, id);
        // The caption is the whole name when it fits the button, else its short form; the tip
        // always names the button in full.
        EXPECT_TRUE(b->text() == b->accessibleName() || b->text().startsWith("Preset "));
        EXPECT_TRUE(b->toolTip().startsWith(b->accessibleName())) << b->toolTip().toStdString();
    }

    PtzKeypadWindow keypad(nullptr, 0, nullptr);
    EXPECT_NE(control(keypad, 556)->accessibleName(), QStringLiteral("X"));
    EXPECT_NE(control(keypad, 580)->accessibleName(), QStringLiteral("Tour"));
    const auto* number = keypad.findChild<QLabel*>(QStringLiteral("keypadNumber"));
    ASSERT_NE(number, nullptr);
    EXPECT_TRUE(number->accessibleName().contains(QStringLiteral("number")));
    EXPECT_FALSE(number->toolTip().isEmpty());

    DomeMenuWindow dome(nullptr);
    EXPECT_EQ(control(dome, 357)->accessibleName(), QStringLiteral("Select"));
    EXPECT_EQ(control(dome, 358)->accessibleName(), QStringLiteral("Previous"));
    EXPECT_NE(control(dome, 359)->accessibleName(), QStringLiteral("X"));
}

// The dome menu stands beside the panel, left or right of it as the screen allows; its X
// must not stand beside the panel's X, which would close the panel on a slip.
TEST(WindowNames, DomeMenuCloseIsFarFromThePanelClose) {
    PtzPanel panel(nullptr, nullptr);
    DomeMenuWindow dome(nullptr);
    const QSize panelSize(PtzPanel::kWidth, PtzPanel::kHeight);
    const QSize domeSize(DomeMenuWindow::kWidth, DomeMenuWindow::kHeight);
    const QRect screen(0, 0, 1280, 1024);
    for (const QPoint panelPlace : {QPoint(600, 600), QPoint(1280 - 150, 600)}) {
        const QRect panelFrame(panelPlace, panelSize);
        const QPoint domePlace = ptzBesidePanelPlace(panelFrame, domeSize, screen);
        const QRect panelX = control(panel, 446)->geometry().translated(panelPlace);
        const QRect domeX = control(dome, 359)->geometry().translated(domePlace);
        const int dx = std::max({0, panelX.left() - domeX.right(), domeX.left() - panelX.right()});
        const int dy = std::max({0, panelX.top() - domeX.bottom(), domeX.top() - panelX.bottom()});
        EXPECT_GE(std::hypot(dx, dy), 80.0)
            << "panel at " << panelPlace.x() << ": the two X buttons are " << dx << "," << dy
            << " apart";
        EXPECT_FALSE(QRect(domePlace, domeSize).intersects(panelFrame));
    }
}

TEST(WindowNames, ImageViewerClosesOnCloseAndEscape) {
    QTemporaryDir dir;
    ImageViewerWindow viewer(dir.filePath(QStringLiteral("a.jpg")), nullptr);
    ASSERT_NE(viewer.closeButton(), nullptr);
    EXPECT_EQ(viewer.closeButton()->accessibleName().isEmpty()
                  ? viewer.closeButton()->text()
                  : viewer.closeButton()->accessibleName(),
              QStringLiteral("Close"));
    QSignalSpy rejected(&viewer, &QDialog::rejected);
    viewer.setVisible(true); // no picture: it closes itself, which is not what is tested here
    viewer.closeButton()->click();
    EXPECT_EQ(rejected.count(), 1);
    ImageViewerWindow other(dir.filePath(QStringLiteral("b.jpg")), nullptr);
    QSignalSpy escaped(&other, &QDialog::rejected);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&other, &escape);
    EXPECT_EQ(escaped.count(), 1);
}

TEST(WindowNames, SystemViewSaysAnEmptyNameAndReadsTheBuildTimes) {
    SystemFacts facts;
    facts.address = "127.0.0.1";
    facts.port = 5000;
    const std::vector<InfoRow> rows = InfoViews::systemViewRows(facts);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[2].value, "(not set)");
    facts.siteText = "Front shop";
    EXPECT_EQ(InfoViews::systemViewRows(facts)[2].value, "Front shop");
    EXPECT_EQ(InfoViews::buildTimeToolTip(1717200000u),
              QStringLiteral("Built 2024-06-01 00:00 UTC"));
}

TEST(WindowNames, FirmwareRowsAreNamedByTheRecorder) {
    HelloRecord hello;
    hello.firmName[0] = "boot";
    hello.firmName[3] = "app";
    hello.firmName[4] = "fpga";
    // Slots 5 and 6 left unnamed by this recorder.
    EXPECT_EQ(FirmwareUpgradeWindow::rowCaption(hello, 0), QStringLiteral("boot"));
    EXPECT_EQ(FirmwareUpgradeWindow::rowCaption(hello, 1), QStringLiteral("app"));
    EXPECT_EQ(FirmwareUpgradeWindow::rowCaption(hello, 2), QStringLiteral("fpga"));
    const QString unnamed = FirmwareUpgradeWindow::rowCaption(hello, 3);
    EXPECT_TRUE(unnamed.contains(QStringLiteral("5"))) << unnamed.toStdString();
    EXPECT_FALSE(unnamed.startsWith(QStringLiteral("Component")));
    EXPECT_NE(FirmwareUpgradeWindow::notOfferedText(true),
              FirmwareUpgradeWindow::notOfferedText(false));
    EXPECT_TRUE(FirmwareUpgradeWindow::notOfferedText(true).contains(QStringLiteral("folder")));
}

// A picture for a saver: a small planar frame.
std::vector<std::byte> planarPicture() {
    return std::vector<std::byte>(352 * 240 * 3 / 2, std::byte{100});
}

TEST(SnapshotRound, ALateChannelIsWaitedForAndOneThatSendsNothingIsNamed) {
    QTemporaryDir dir;
    SnapshotController media;
    media.setSaveTarget(dir.path(), 1);
    QSignalSpy notices(&media, &SnapshotController::noticeReady);
    SnapshotBoard& board = media.snapshots();
    const std::vector<std::byte> picture = planarPicture();
    auto save = [&](unsigned channel) {
        ASSERT_TRUE(board.takeRequest(channel));
        board.start({channel, 352, 240, PictureLayout::Planar, picture, 0}, "2024-01-01");
    };

    // Channel 2's picture comes after the first collection: the Save waits for it.
    media.requestSnapshots(0x0003);
    save(0);
    WAIT_UNTIL(board.outstanding() == 0x0002, 10000);
    save(1);
    WAIT_UNTIL(notices.count() == 1, 10000);
    const QString both = notices[0][0].toString();
    EXPECT_TRUE(both.startsWith(QStringLiteral("2 snapshots saved in Saved")))
        << both.toStdString();
    EXPECT_EQ(notices[0][1].toString(), QDir::toNativeSeparators(dir.filePath("Saved")));
    EXPECT_EQ(media.savedCount(), 2);

    // Channel 16 sends nothing: after the wait the notice names it and says why.
    media.requestSnapshots(0x8001);
    save(0);
    WAIT_UNTIL(notices.count() == 2, 20000);
    const QString skipped = notices[1][0].toString();
    EXPECT_TRUE(skipped.contains(QStringLiteral("Snapshot saved: Saved")));
    EXPECT_TRUE(skipped.contains(QStringLiteral("channel 16 not saved: no picture came")))
        << skipped.toStdString();
    EXPECT_EQ(board.pendingRequests(), 0) << "a late picture starts no saver outside a Save";
    EXPECT_TRUE(media.timerRunning() == false);
}

TEST(SnapshotRound, NoticeShowsShortPaths) {
    EXPECT_EQ(SnapshotController::shortPath("/d/data/Saved", "/d/data", "/home/op"),
              QStringLiteral("Saved"));
    EXPECT_EQ(SnapshotController::shortPath("/home/op/kalder/Saved", "/srv/x", "/home/op"),
              QStringLiteral("~/kalder/Saved"));
    EXPECT_EQ(SnapshotController::shortPath("/srv/x/Saved", "/srv/xy", "/home/op"),
              QStringLiteral("/srv/x/Saved"));
    SnapshotController::Round round;
    round.saved = 1;
    round.lastFile = "/d/data/Saved/a.jpg";
    round.failed = {{2, QStringLiteral("disk full")}};
    EXPECT_EQ(SnapshotController::roundNotice(round, "/d/data/Saved", "/d/data", "/home/op"),
              QStringLiteral("Snapshot saved: Saved/a.jpg; channel 3 not saved (disk full)"));
    EXPECT_FALSE(SnapshotController::roundNotice({}, "/d/Saved", "/d", "/h").isEmpty());
}

} // namespace
} // namespace kalder
