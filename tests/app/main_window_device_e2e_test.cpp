// The desktop program's device side against the recorder simulator: the PTZ panel, keypad and
// dome menu, the record button with its password prompt, and a firmware upgrade from the data
// folder's Upgrade folder up to the restart offer.
#include "firmware/firmware_upgrade_window.h"
#include "main_window_harness.h"
#include "ptz/ptz_controller.h"
#include "recorder_round_trip.h"
#include "session/recorder_session.h"
#include "sim/sim_process.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace kalder {
namespace {

QPushButton* control(QWidget* window, int id) {
    return window ? window->findChild<QPushButton*>(QStringLiteral("control%1").arg(id)) : nullptr;
}

// With KALDER_SHOT_DIR set, the windows are saved there for a look.
void saveShot(QWidget* window, const char* name) {
    const QString dir = qEnvironmentVariable("KALDER_SHOT_DIR");
    if (!dir.isEmpty())
        window->grab().save(QDir(dir).filePath(QString::fromLatin1(name)));
}

class DeviceE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start({"--channels", "4", "--set", "firmware0.name=Boot-2.1.0 r7"}))
            << sim.lastError();
    }
    void connect(MainWindow& window) {
        window.show();
        window.connectTo(test::simAdminRequest(sim.port()));
        WAIT_UNTIL(window.session() && window.session()->live().liveOn(), 60000);
    }
    // Whether the simulator's device log holds `line`.
    bool logged(const std::string& line) {
        const std::string log = sim.admin("device-log") + "|";
        return log.find("|" + line + "|") != std::string::npos;
    }
    void acceptBox(MainWindow& window, Notification expected) {
        WAIT_UNTIL(window.notificationBox() != nullptr, 5000);
        ASSERT_EQ(window.notificationBox()->notification(), expected);
        window.notificationBox()->findChild<SkinButton*>(QStringLiteral("okButton"))->click();
        WAIT_UNTIL(window.notificationBox() == nullptr, 5000);
    }

    test::MainWindowHarness harness;
    test::SimProcess sim;
};

TEST_F(DeviceE2E, PanelKeypadAndDomeMenuDriveTheCamera) {
    MainWindow window(harness.config());
    ASSERT_NO_FATAL_FAILURE(connect(window));
    QTest::mouseClick(window.button(355), Qt::LeftButton); // Pan
    PtzController* ptz = window.ptzController();
    WAIT_UNTIL(ptz->panel() && ptz->panel()->cameraAvailable(), 5000);
    EXPECT_TRUE(window.button(355)->pressedLook());
    EXPECT_TRUE(logged("ptz-channel 0 mode 0 available 1"));

    // A held Up: command 2 on press, PTZ_MOVE_STOP on release.
    QTest::mousePress(control(ptz->panel(), 440), Qt::LeftButton);
    QTest::mouseRelease(control(ptz->panel(), 440), Qt::LeftButton);
    WAIT_UNTIL(logged("ptz-stop ch 0"), 5000);
    EXPECT_TRUE(logged("ptz-move 2 0 ch 0"));

    // Zoom switches the open panel without a new channel request; Down is then command 5.
    QTest::mouseClick(window.button(356), Qt::LeftButton);
    EXPECT_EQ(ptz->panel()->mode(), PtzMode::ZoomFocus);
    EXPECT_TRUE(window.button(356)->pressedLook());
    EXPECT_FALSE(window.button(355)->pressedLook());
    QTest::mousePress(control(ptz->panel(), 441), Qt::LeftButton);
    QTest::mouseRelease(control(ptz->panel(), 441), Qt::LeftButton);
    WAIT_UNTIL(logged("ptz-move 5 0 ch 0"), 5000);

    // Preset: the keypad; 4, 2, OK recalls preset 42 and the keypad stays.
    QTest::mousePress(control(ptz->panel(), 447), Qt::LeftButton);
    QTest::mouseRelease(control(ptz->panel(), 447), Qt::LeftButton);
    WAIT_UNTIL(ptz->keypad() && ptz->keypad()->isVisible(), 5000);
    for (int id : {573, 571, 555})
        QTest::mouseClick(control(ptz->keypad(), id), Qt::LeftButton);
    WAIT_UNTIL(logged("ptz-move 9 42 ch 0"), 5000);
    ASSERT_TRUE(ptz->keypad());

    saveShot(ptz->panel(), "ptz-panel.png");
    saveShot(ptz->keypad(), "ptz-keypad.png");

    // Dome: command 13, the keypad closes, the dome menu opens and holds the layout.
    QTest::mouseClick(control(ptz->keypad(), 552), Qt::LeftButton);
    WAIT_UNTIL(ptz->domeMenu() && !ptz->keypad(), 5000);
    EXPECT_TRUE(ptz->domeMenuActive());
    QTest::mouseClick(control(ptz->domeMenu(), 357), Qt::LeftButton);
    QTest::mouseClick(control(ptz->domeMenu(), 358), Qt::LeftButton);
    QTest::mouseClick(control(ptz->domeMenu(), 359), Qt::LeftButton);
    WAIT_UNTIL(logged("ptz-move 16 0 ch 0"), 5000);
    EXPECT_TRUE(logged("ptz-move 13 0 ch 0"));
    EXPECT_TRUE(logged("ptz-move 14 0 ch 0"));
    EXPECT_TRUE(logged("ptz-move 15 0 ch 0"));
    WAIT_UNTIL(!ptz->domeMenu(), 5000);
    EXPECT_FALSE(ptz->domeMenuActive());

    // Learning: Learn, Set, 7, OK starts it (command 10) and closes the keypad; the preset
    // button ends it (command 11 with the same number) instead of opening the keypad.
    QTest::mousePress(control(ptz->panel(), 448), Qt::LeftButton);
    QTest::mouseRelease(control(ptz->panel(), 448), Qt::LeftButton);
    WAIT_UNTIL(ptz->keypad() && ptz->keypad()->isVisible(), 5000);
    for (int id : {551, 553, 576, 555})
        QTest::mouseClick(control(ptz->keypad(), id), Qt::LeftButton);
    WAIT_UNTIL(logged("ptz-move 10 7 ch 0"), 5000);
    WAIT_UNTIL(!ptz->keypad(), 5000);
    EXPECT_TRUE(window.session()->ptz().learnActive());
    QTest::mousePress(control(ptz->panel(), 447), Qt::LeftButton);
    QTest::mouseRelease(control(ptz->panel(), 447), Qt::LeftButton);
    // Command 11 comes from the press itself, which either ends the learning or opens the
    // keypad: once the recorder has it, the press was handled.
    WAIT_UNTIL(logged("ptz-move 11 7 ch 0"), 5000);
    EXPECT_FALSE(window.session()->ptz().learnActive());
    EXPECT_FALSE(ptz->keypad());

    // A cell dropped back on itself names the PTZ channel; a channel shown alone becomes it.
    VideoWindow* video = window.videoWindow();
    auto centre = [&](int cell) {
        const CellRect r = video->layoutModel().cellRect(cell);
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    QTest::mousePress(video, Qt::LeftButton, {}, centre(1));
    QTest::mouseRelease(video, Qt::LeftButton, {}, centre(1));
    WAIT_UNTIL(window.session()->ptz().ptzChannel() == 1, 5000);
    QTest::mouseClick(window.button(303), Qt::LeftButton); // channel 4 alone
    WAIT_UNTIL(video->layoutModel().layout() == 1, 5000);
    WAIT_UNTIL(window.session()->ptz().ptzChannel() == 3, 5000);

    // Zoom again closes the panel; Pan and Zoom show released.
    QTest::mouseClick(window.button(356), Qt::LeftButton);
    WAIT_UNTIL(!ptz->panel(), 5000);
    EXPECT_FALSE(window.button(356)->pressedLook());
}

QRect globalRect(const QWidget* w) {
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

// No PTZ window hides a control used while it is open: the panel leaves the main window's Pan
// and Zoom free, the keypad and the dome menu leave the panel (its arrows walk the dome's menu)
// and Pan and Zoom free; all stay on the screen.
TEST_F(DeviceE2E, PtzWindowsLeaveTheControlsInUseFree) {
    MainWindow window(harness.config());
    ASSERT_NO_FATAL_FAILURE(connect(window));
    QTest::mouseClick(window.button(355), Qt::LeftButton);
    PtzController* ptz = window.ptzController();
    WAIT_UNTIL(ptz->panel() && ptz->panel()->cameraAvailable(), 5000);
    const QRect screen = window.screen()->availableGeometry();
    const QRect pan = globalRect(window.button(355));
    const QRect zoom = globalRect(window.button(356));
    auto checkClear = [&](const QWidget* w, const char* name) {
        const QRect frame = w->frameGeometry();
        EXPECT_FALSE(frame.intersects(pan)) << name << " covers Pan";
        EXPECT_FALSE(frame.intersects(zoom)) << name << " covers Zoom";
        EXPECT_TRUE(screen.contains(frame)) << name << " leaves the screen";
    };
    checkClear(ptz->panel(), "the panel");

    QTest::mouseClick(control(ptz->panel(), 447), Qt::LeftButton);
    WAIT_UNTIL(ptz->keypad() && ptz->keypad()->isVisible(), 5000);
    checkClear(ptz->keypad(), "the keypad");
    EXPECT_FALSE(ptz->keypad()->frameGeometry().intersects(ptz->panel()->frameGeometry()));

    QTest::mouseClick(control(ptz->keypad(), 552), Qt::LeftButton); // Dome
    WAIT_UNTIL(ptz->domeMenu() && ptz->domeMenu()->isVisible(), 5000);
    checkClear(ptz->domeMenu(), "the dome menu");
    EXPECT_FALSE(ptz->domeMenu()->frameGeometry().intersects(ptz->panel()->frameGeometry()));
    EXPECT_FALSE(
        ptz->domeMenu()->frameGeometry().intersects(globalRect(control(ptz->panel(), 442))))
        << "the dome menu covers the panel's Left";
}

TEST_F(DeviceE2E, RecordButtonStopsRecordingAfterThePassword) {
    MainWindow window(harness.config());
    ASSERT_NO_FATAL_FAILURE(connect(window));
    WAIT_UNTIL(window.session()->status().recordingOn(), 5000);
    QTest::mouseClick(window.button(344), Qt::LeftButton);
    QDialog* prompt = nullptr;
    WAIT_UNTIL((prompt = window.findChild<QDialog*>(QStringLiteral("RecordOffPrompt"))), 5000);
    // A wrong password sends nothing.
    prompt->findChild<QLineEdit*>(QStringLiteral("control383"))->setText(QStringLiteral("999"));
    prompt->accept();
    ASSERT_TRUE(test::recorderRoundTrip(window));
    EXPECT_TRUE(window.session()->status().recordingOn());

    QTest::mouseClick(window.button(344), Qt::LeftButton);
    WAIT_UNTIL((prompt = window.findChild<QDialog*>(QStringLiteral("RecordOffPrompt"))), 5000);
    prompt->findChild<QLineEdit*>(QStringLiteral("control383"))->setText(QStringLiteral("1234"));
    prompt->accept();
    WAIT_UNTIL(!window.session()->status().recordingOn(), 5000);
    WAIT_UNTIL(!window.button(344)->pressedLook(), 5000);

    // Not recording: the button starts it without a prompt.
    // The status is the session's and changes first; the button follows when the main window
    // has the status message.
    QTest::mouseClick(window.button(344), Qt::LeftButton);
    WAIT_UNTIL(window.session()->status().recordingOn(), 5000);
    WAIT_UNTIL(window.button(344)->pressedLook(), 5000);
}

TEST_F(DeviceE2E, FirmwareUpgradeFromTheUpgradeFolderThenTheRestart) {
    const QString upgrade = QDir(harness.dataFolder()).filePath(QStringLiteral("Upgrade"));
    QDir().mkpath(upgrade);
    {
        std::vector<char> bytes(20001, 'x');
        std::memset(bytes.data(), 0, 64);
        const std::uint32_t time = 1800000000u;
        for (int i = 0; i < 4; ++i)
            bytes[8 + i] = static_cast<char>(time >> (24 - 8 * i));
        std::memcpy(bytes.data() + 32, "app", 3);
        std::ofstream((upgrade + "/app.bin").toStdString(), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    MainWindow window(harness.config());
    ASSERT_NO_FATAL_FAILURE(connect(window));
    QTest::mouseClick(window.button(374), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(acceptBox(window, {11, 0}));
    FirmwareUpgradeWindow* upgradeWindow = nullptr;
    WAIT_UNTIL((upgradeWindow = window.firmwareWindow()), 5000);
    EXPECT_TRUE(upgradeWindow->findChild<QCheckBox*>(QStringLiteral("control491"))->isChecked());
    EXPECT_FALSE(upgradeWindow->findChild<QCheckBox*>(QStringLiteral("control490"))->isEnabled());

    control(upgradeWindow, 910)->click(); // Start
    WAIT_UNTIL(window.session()->firmware().rowState(1) == UpgradeRowState::Done, 10000);
    WAIT_UNTIL(control(upgradeWindow, 912)->isEnabled(), 5000);
    EXPECT_EQ(window.session()->firmware().rowProgress(1), 100);
    EXPECT_TRUE(logged("fw-request slot 3 time 1800000000 name app"));
    saveShot(upgradeWindow, "firmware-upgrade.png");

    // Close after an upgrade offers the restart; OK sends REBOOT_REQ.
    control(upgradeWindow, 912)->click();
    ASSERT_NO_FATAL_FAILURE(acceptBox(window, {8, 5}));
    WAIT_UNTIL(logged("reboot"), 5000);
}

} // namespace
} // namespace kalder
