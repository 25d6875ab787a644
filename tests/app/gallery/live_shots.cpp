// The main window in live view (layouts, pages, OSD, full screen, zoom), Save and Load, and the
// device windows (PTZ panel, keypad, dome menu, record prompt, firmware upgrade).
#include "gallery.h"

#include "main_window_controls.h"
#include "firmware/firmware_upgrade_window.h"
#include "ptz/dome_menu_window.h"
#include "ptz/ptz_controller.h"
#include "ptz/ptz_keypad_window.h"
#include "ptz/ptz_panel.h"
#include "session/recorder_session.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "video/full_screen_bar.h"
#include "video/video_layout.h"
#include "video/video_window.h"
#include "viewer/image_viewer_window.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstring>
#include <fstream>
#include <vector>

namespace kalder::gallery {

namespace {

constexpr int kLiveMs = 60000;

// Every cell of the current view shows a decoded picture.
bool visibleCellsDecoded(const VideoWindow& video) {
    const std::uint16_t visible = video.visibleChannelMask();
    return visible != 0 && (video.decodedChannels() & visible) == visible;
}

void click(QWidget* button) {
    if (button)
        QTest::mouseClick(button, Qt::LeftButton);
}

// The PTZ windows take their presses on press and release, as a held button does.
void pressAndRelease(QWidget* button) {
    if (!button)
        return;
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
}

QPoint cellCentre(const VideoWindow& video, int cell) {
    const CellRect r = video.layoutModel().cellRect(cell);
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

} // namespace

bool waitForLivePictures(Gallery& g) {
    MainWindow& w = g.window;
    return waitFor([&] { return w.session() && w.liveChannelInfoCount() > 0; }, kLiveMs) &&
           waitFor([&] { return w.videoWindow()->decodedChannels() == 0xFFFF; }, kLiveMs);
}

static void shootLinkStates(Gallery& g);

void shootLiveView(Gallery& g) {
    MainWindow& w = g.window;
    VideoWindow* video = w.videoWindow();
    g.camera.shot(QStringLiteral("live-16-cells"),
                  QStringLiteral("Main window, live view, 16 cells"), &w);
    for (std::size_t i = 0; i < kLayoutCells.size(); ++i) {
        const int cells = kLayoutCells[i];
        click(w.button(Control::FirstLayout + static_cast<int>(i)));
        const QString caption = QStringLiteral("Layout of %1 cells").arg(cells);
        if (!waitFor([&] { return video->layoutModel().layout() == cells; }, 5000) ||
            !waitFor([&] { return visibleCellsDecoded(*video); }, kLiveMs)) {
            g.camera.missing(caption, QStringLiteral("the layout's cells showed no pictures"));
            continue;
        }
        g.camera.shot(QStringLiteral("layout-%1").arg(cells), caption, &w);
        if (cells != 4)
            continue;
        // The layout's button pressed again turns to its next page.
        const std::uint16_t first = video->visibleChannelMask();
        click(w.button(Control::FirstLayout + static_cast<int>(i)));
        if (waitFor([&] { return video->visibleChannelMask() != first; }, 5000) &&
            waitFor([&] { return visibleCellsDecoded(*video); }, kLiveMs))
            g.camera.shot(QStringLiteral("layout-4-page-2"),
                          QStringLiteral("Layout of 4 cells, second page"), &w);
        else
            g.camera.missing(QStringLiteral("Layout of 4 cells, second page"),
                             QStringLiteral("pressing the 4-cell button again showed no new page"));
    }

    click(w.button(Control::Osd));
    if (waitFor([&] { return !video->osdEnabled(); }, 5000))
        g.camera.shot(QStringLiteral("osd-off"), QStringLiteral("Live view with the OSD off"), &w);
    else
        g.camera.missing(QStringLiteral("Live view with the OSD off"),
                         QStringLiteral("the OSD button left the overlays on"));
    click(w.button(Control::Osd));

    // F1: the list of every key over live view; Escape closes it.
    const QString keysCaption = QStringLiteral("The list of keys (F1) over live view");
    // The keys are the window's shortcuts: they act in the active window.
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w, 3000))
        QApplication::setActiveWindow(&w);
    QTest::keyClick(&w, Qt::Key_F1);
    QWidget* keyList = w.findChild<QWidget*>(QStringLiteral("shortcutOverlay"));
    if (keyList != nullptr && waitFor([&] { return keyList->isVisible(); }, 5000)) {
        g.camera.shot(QStringLiteral("key-list"), keysCaption, &w);
        QTest::keyClick(keyList, Qt::Key_Escape);
    } else {
        g.camera.missing(keysCaption, QStringLiteral("F1 showed no list"));
    }

    click(w.button(Control::Full));
    if (waitFor(
            [&] {
                return video->fullScreen() && video->fullScreenBar() &&
                       video->fullScreenBar()->isVisible();
            },
            5000)) {
        g.camera.shotScreen(QStringLiteral("full-screen"),
                            QStringLiteral("Full screen with its layout bar"),
                            video->window()->geometry());
    } else {
        g.camera.missing(QStringLiteral("Full screen with its layout bar"),
                         video->fullScreen() ? QStringLiteral("the layout bar did not show")
                                             : QStringLiteral("Full did not enter full screen"));
    }
    if (video->fullScreen()) {
        QTest::keyClick(video, Qt::Key_Escape);
        if (!waitFor([&] { return !video->fullScreen(); }, 3000))
            video->leaveFullScreen();
    }

    // A double-click zooms the cell to the whole window; another one goes back.
    const QString zoomCaption = QStringLiteral("A cell zoomed by a double-click (channel 6)");
    if (video->layoutModel().layout() == 16) {
        const std::uint16_t before = video->visibleChannelMask();
        // The press names the cell; the double-click zooms it.
        QTest::mouseClick(video, Qt::LeftButton, {}, cellCentre(*video, 5));
        QTest::mouseDClick(video, Qt::LeftButton, {}, cellCentre(*video, 5));
        if (waitFor([&] { return video->visibleChannelMask() != before; }, 5000) &&
            waitFor([&] { return visibleCellsDecoded(*video); }, kLiveMs))
            g.camera.shot(QStringLiteral("zoomed-cell"), zoomCaption, &w);
        else
            g.camera.missing(zoomCaption, QStringLiteral("the double-click did not zoom"));
        QTest::mouseClick(video, Qt::LeftButton, {}, cellCentre(*video, 0));
        QTest::mouseDClick(video, Qt::LeftButton, {}, cellCentre(*video, 0));
        (void)waitFor([&] { return video->visibleChannelMask() == before; }, 5000);
    } else {
        g.camera.missing(zoomCaption, QStringLiteral("the 16-cell layout was not shown"));
    }
    // Four notches of the mouse wheel zoom one cell digitally about the mouse; its mark says
    // by how much.
    const QString digitalCaption =
        QStringLiteral("A cell zoomed 2.4x by the mouse wheel (channel 6)");
    if (video->layoutModel().layout() == 16) {
        const QPoint at = cellCentre(*video, 5) + QPoint(20, -10);
        QWheelEvent wheel(at, video->mapToGlobal(at), QPoint(), QPoint(0, 4 * 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(video, &wheel);
        if (video->digitalZoom(5) > 2.0)
            g.camera.shot(QStringLiteral("digital-zoom"), digitalCaption, &w);
        else
            g.camera.missing(digitalCaption, QStringLiteral("the wheel did not zoom the cell"));
        video->resetDigitalZoom();
    }
    // The right button over a cell opens the cell's menu; entries its rules forbid are grey.
    const QString menuCaption = QStringLiteral("The menu of a cell (channel 6, right button)");
    if (video->layoutModel().layout() == 16) {
        const QPoint at = cellCentre(*video, 5);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, video->mapToGlobal(at));
        QApplication::sendEvent(video, &rightClick);
        if (waitFor([&] { return w.cellMenu() && w.cellMenu()->isVisible(); }, 5000))
            g.camera.shot(QStringLiteral("cell-menu"), menuCaption, &w, {w.cellMenu()});
        else
            g.camera.missing(menuCaption, QStringLiteral("the right button opened no menu"));
        if (w.cellMenu())
            w.cellMenu()->close();
    }
    if (video->layoutModel().layout() != 16)
        click(w.button(Control::FirstLayout + 8));
    shootLinkStates(g);
}

// The cells' states of a troubled link: the recorder stalls (each live cell says since when it
// has had no picture), then the link is cut (each cell keeps its last picture, dimmed, while
// the client reconnects by itself).
static void shootLinkStates(Gallery& g) {
    MainWindow& w = g.window;
    VideoWindow* video = w.videoWindow();
    const QString stallCaption =
        QStringLiteral("A stalled link: each cell since when it has no picture");
    if (g.admin("stall on").rfind("ok", 0) == 0 &&
        waitFor([&] { return video->stalledChannels() == 0xFFFF; }, 10000))
        g.camera.shot(QStringLiteral("stalled-cells"), stallCaption, &w);
    else
        g.camera.missing(stallCaption, QStringLiteral("no cell said that it had no picture"));
    g.admin("stall off");
    (void)waitFor([&] { return video->stalledChannels() == 0; }, 10000);

    const QString reconnectCaption =
        QStringLiteral("Reconnecting by itself after the link was cut");
    if (g.admin("drop").rfind("ok", 0) == 0 &&
        waitFor([&] { return w.sessionState() == SessionState::Reconnecting; }, 10000) &&
        waitFor([&] { return !video->cellNotice(0).isEmpty(); }, 2000))
        g.camera.shot(QStringLiteral("reconnecting"), reconnectCaption, &w);
    else
        g.camera.missing(reconnectCaption, QStringLiteral("the window did not show reconnecting"));
    (void)waitFor([&] { return w.sessionState() == SessionState::Connected; }, kLiveMs);
    (void)waitForLivePictures(g);
}

void shootMedia(Gallery& g) {
    MainWindow& w = g.window;
    const int savedBefore = w.media().savedCount();
    click(w.button(Control::Save));
    const QString saveCaption = QStringLiteral("Main window after Save (snapshots of the cells)");
    if (waitFor(
            [&] {
                return w.media().savedCount() > savedBefore && w.button(Control::Save)->isEnabled();
            },
            30000))
        g.camera.shot(QStringLiteral("save-result"), saveCaption, &w, otherWindows(w));
    else
        g.camera.missing(saveCaption, QStringLiteral("no snapshot was saved"));
    (void)waitFor([&] { return w.button(Control::Save)->isEnabled(); }, 10000);

    click(w.button(Control::Load));
    QFileDialog* dialog = w.media().fileDialog();
    if (!dialog || !waitFor([&] { return dialog->isVisible(); }, 5000)) {
        g.camera.missing(QStringLiteral("Load: the file dialog"),
                         QStringLiteral("Load opened no file dialog"));
        return;
    }
    g.camera.shot(QStringLiteral("load-file-dialog"),
                  QStringLiteral("Load: the file dialog in the Saved folder"), dialog);
    const QString file = w.media().lastFile();
    if (file.isEmpty()) {
        dialog->reject();
        g.camera.missing(QStringLiteral("Image viewer"),
                         QStringLiteral("no saved picture to open"));
        return;
    }
    // The operator types the file's name and presses Enter.
    const QString name = QFileInfo(file).fileName();
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        edit->setFocus();
        edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    const QPointer<QFileDialog> open(dialog);
    const QString chosen = open ? open->selectedFiles().join(' ') : QString();
    if (open && open->isVisible())
        open->reject(); // the file was not taken: the dialog must not stay over what follows
    if (waitFor([&] { return w.media().viewer() && w.media().viewer()->isVisible(); }, 5000)) {
        g.camera.shot(QStringLiteral("image-viewer"), QStringLiteral("Image viewer of a snapshot"),
                      w.media().viewer());
        w.media().viewer()->close();
        (void)waitFor([&] { return w.media().viewer() == nullptr; }, 5000);
    } else {
        g.camera.missing(QStringLiteral("Image viewer"),
                         QStringLiteral("typing %1 and Enter opened no viewer (the dialog "
                                        "had chosen: %2)")
                             .arg(name, chosen.isEmpty() ? QStringLiteral("nothing") : chosen));
    }
}

void shootDevices(Gallery& g) {
    MainWindow& w = g.window;
    PtzController* ptz = w.ptzController();
    click(w.button(Control::Pan));
    if (waitFor([&] { return ptz->panel() && ptz->panel()->cameraAvailable(); }, 10000)) {
        g.camera.shot(QStringLiteral("ptz-panel-pan"), QStringLiteral("PTZ panel (Pan)"), &w,
                      otherWindows(w));
        click(w.button(Control::Zoom));
        if (waitFor([&] { return ptz->panel() && ptz->panel()->mode() == PtzMode::ZoomFocus; },
                    5000))
            g.camera.shot(QStringLiteral("ptz-panel-zoom"),
                          QStringLiteral("PTZ panel (Zoom and focus)"), &w, otherWindows(w));
        pressAndRelease(controlButton(ptz->panel(), 447)); // Preset
        if (waitFor([&] { return ptz->keypad() && ptz->keypad()->isVisible(); }, 5000)) {
            g.camera.shot(QStringLiteral("ptz-keypad"), QStringLiteral("PTZ preset keypad"), &w,
                          otherWindows(w));
            click(controlButton(ptz->keypad(), 552)); // Dome
            if (waitFor([&] { return ptz->domeMenu() && ptz->domeMenu()->isVisible(); }, 5000)) {
                g.camera.shot(QStringLiteral("ptz-dome-menu"), QStringLiteral("Dome menu window"),
                              &w, otherWindows(w));
                click(controlButton(ptz->domeMenu(), 359)); // leave
                if (!waitFor([&] { return !ptz->domeMenu(); }, 3000))
                    ptz->closeDomeMenu();
            } else {
                g.camera.missing(QStringLiteral("Dome menu window"),
                                 QStringLiteral("the keypad's Dome opened nothing"));
            }
        } else {
            g.camera.missing(QStringLiteral("PTZ preset keypad"),
                             QStringLiteral("the panel's Preset opened no keypad"));
        }
        ptz->closePtzPanel();
    } else {
        g.camera.missing(QStringLiteral("PTZ panel"),
                         QStringLiteral("Pan opened no panel with a camera"));
        ptz->closePtzPanel();
    }

    // The record button asks for the password before recording stops.
    QDialog* prompt = nullptr;
    if (waitFor([&] { return w.session() && w.session()->status().recordingOn(); }, 5000)) {
        click(w.button(Control::Record));
        (void)waitFor(
            [&] {
                prompt = w.findChild<QDialog*>(QStringLiteral("RecordOffPrompt"));
                return prompt && prompt->isVisible();
            },
            5000);
    }
    if (prompt && prompt->isVisible()) {
        g.camera.shot(QStringLiteral("record-off-prompt"),
                      QStringLiteral("Record button: the password prompt"), prompt, {&w});
        prompt->reject();
    } else {
        g.camera.missing(QStringLiteral("Record button: the password prompt"),
                         QStringLiteral("the recorder was not recording or no prompt opened"));
    }

    // A firmware file in the Upgrade folder for FirmUp to find.
    const QString upgrade = QDir(g.dataFolder).filePath(QStringLiteral("Upgrade"));
    QDir().mkpath(upgrade);
    {
        std::vector<char> bytes(20001, 'x');
        std::memset(bytes.data(), 0, 64);
        const std::uint32_t time = 1800000000u;
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<std::size_t>(8 + i)] = static_cast<char>(time >> (24 - 8 * i));
        std::memcpy(bytes.data() + 32, "app", 3);
        std::ofstream((upgrade + "/app.bin").toStdString(), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    click(w.button(Control::FirmwareUpgrade));
    if (waitFor([&] { return w.notificationBox() != nullptr; }, 5000)) {
        g.camera.shot(QStringLiteral("firmware-question"),
                      QStringLiteral("FirmUp: the notification before the upgrade window"),
                      w.notificationBox(), {&w});
        acceptAnyBox(w);
    }
    FirmwareUpgradeWindow* firmware = nullptr;
    if (waitFor([&] { return (firmware = w.firmwareWindow()) && firmware->isVisible(); }, 5000)) {
        g.camera.shot(QStringLiteral("firmware-upgrade"), QStringLiteral("Firmware upgrade window"),
                      firmware);
        click(controlButton(firmware, 912)); // Close
        if (!waitFor([&] { return w.firmwareWindow() == nullptr; }, 3000) && w.firmwareWindow())
            w.firmwareWindow()->reject();
    } else {
        g.camera.missing(QStringLiteral("Firmware upgrade window"),
                         QStringLiteral("FirmUp opened no upgrade window"));
    }
    acceptAnyBox(w);
}

} // namespace kalder::gallery
