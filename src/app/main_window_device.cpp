// The main window's device side: the record button and its password prompt, the PTZ windows
// behind Pan and Zoom, the firmware upgrade behind FirmUp, the restart and the configuration
// reset the notification boxes confirm.
#include "app/main_window.h"

#include "app/main_window_controls.h"
#include "firmware/firmware_upgrade_window.h"
#include "resources/resource_library.h"
#include "ui/skin_button.h"
#include "ptz/ptz_controller.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "video/video_layout.h"
#include "video/video_window.h"
#include "wire/recorder_time.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>
#include <filesystem>

namespace kalder {

void MainWindow::createDeviceControls() {
    PtzHost host;
    host.window = this;
    host.session = [this]() -> RecorderSession* {
        return session() && session()->loggedIn() ? session() : nullptr;
    };
    host.liveOn = [this] { return session() && session()->live().liveOn(); };
    host.showModeButtons = [this](int mode) {
        setButtonLook(Control::Pan,
                      static_cast<int>(mode == 0 ? ButtonLook::Pressed : ButtonLook::Released));
        setButtonLook(Control::Zoom,
                      static_cast<int>(mode == 1 ? ButtonLook::Pressed : ButtonLook::Released));
    };
    host.modeButtons = [this] {
        return std::vector<QWidget*>{button(Control::Pan), button(Control::Zoom)};
    };
    host.refuse = [this] { showNotification(kNoRight, resourceText(RightText::Ptz)); };
    host.paneChannels = [this] { return ptzPaneChannels(); };
    host.videoLossMask = [this]() -> std::uint16_t {
        return session() ? session()->live().videoLossMask() : 0;
    };
    host.stateChanged = [this] { updatePtzMarks(); };
    m_ptz = new PtzController(std::move(host));
}

// The video window marks the PTZ channel's cell with the camera answer's icon while the panel
// is open, and keeps its layout, drags and double-clicks still while the dome menu is open.
void MainWindow::updatePtzMarks() {
    if (!m_videoWindow || !m_ptz)
        return;
    const bool open = m_ptz->panel() && !m_ptz->panel()->isHidden() && session();
    const int state = open ? session()->ptz().ptzAvailable() : 0;
    m_videoWindow->feed().setPtzMark(state, state != 0 ? session()->ptz().ptzChannel() : -1);
    m_videoWindow->setPtzMouseControl(m_ptz->domeMenuActive());
}

// The channel of each shown pane, in pane order.
std::vector<int> MainWindow::ptzPaneChannels() const {
    std::vector<int> channels;
    if (!m_videoWindow)
        return channels;
    const VideoLayout& layout = m_videoWindow->layoutModel();
    std::vector<std::pair<int, int>> panes; // position, channel
    for (int cell = 0; cell < 16; ++cell)
        if (layout.cellVisible(cell))
            panes.emplace_back(layout.positionOfCell(cell), layout.cellChannel(cell));
    std::sort(panes.begin(), panes.end());
    for (const auto& pane : panes)
        channels.push_back(pane.second);
    return channels;
}

FirmwareUpgradeWindow* MainWindow::firmwareWindow() const {
    return static_cast<FirmwareUpgradeWindow*>(m_firmwareWindow.data());
}

bool MainWindow::ptzDomeMenuActive() const {
    return m_ptz && m_ptz->domeMenuActive();
}

void MainWindow::ptzShownChannelsChanged() {
    if (m_ptz)
        m_ptz->shownChannelsChanged();
}

void MainWindow::onDeviceButton(int controlId) {
    switch (controlId) {
    case Control::Record:
        onRecordButton();
        return;
    case Control::Pan:
        m_ptz->panZoomButton(0);
        return;
    case Control::Zoom:
        m_ptz->panZoomButton(1);
        return;
    case Control::FirmwareUpgrade:
        onFirmUpButton();
        return;
    default:
        return;
    }
}

void MainWindow::onRecordButton() {
    if (!session() || m_recordPrompt)
        return;
    const RecordPress press = session()->device().pressRecord();
    if (press == RecordPress::NoRight)
        showNotification(kNoRight, resourceText(RightText::StopRecording));
    if (press != RecordPress::AskPassword)
        return;
    // The password prompt: one password field, OK and Cancel.
    auto* prompt = new QDialog(this);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    prompt->setObjectName(QStringLiteral("RecordOffPrompt"));
    prompt->setWindowTitle(QStringLiteral("Stop recording"));
    auto* field = new QLineEdit(prompt);
    field->setObjectName(QStringLiteral("control383"));
    field->setEchoMode(QLineEdit::Password);
    // The prompt says what the password is for: recording stops once it is accepted.
    auto* label = new QLabel(
        QStringLiteral("Recording on the recorder stops after this password.\nPassword:"), prompt);
    label->setObjectName(QStringLiteral("RecordOffPromptText"));
    label->setBuddy(field);
    field->setAccessibleName(QStringLiteral("Password to stop recording"));
    field->setToolTip(QStringLiteral("The recorder's password for stopping the recording"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, prompt);
    auto* layout = new QVBoxLayout(prompt);
    layout->addWidget(label);
    layout->addWidget(field);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, prompt, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, prompt, &QDialog::reject);
    connect(prompt, &QDialog::accepted, this, [this, field] {
        // A wrong password sends nothing and shows nothing; a lost right shows (15,0).
        if (session() && session()->device().answerRecordOffPrompt(field->text().toStdString()) ==
                             RecordOffAnswer::RightLost)
            showNotification(kNoRight, resourceText(RightText::StopRecording));
    });
    m_recordPrompt = prompt;
    prompt->open();
}

void MainWindow::onFirmUpButton() {
    if (!session() || !session()->loggedIn())
        return;
    if (session()->hello().account != 0) {
        showNotification(kNoRight, resourceText(RightText::FirmwareUpgrade));
        return;
    }
    if (m_firmwareWindow || session()->configRequestPending())
        return;
    const auto folder = std::filesystem::path(m_settings.location.toStdString()) / "Upgrade";
    m_firmwareScan = std::make_shared<FirmwareScanResult>(scanUpgradeFolder(
        folder, session()->hello(), standardTimeZoneOffsetSeconds(std::time(nullptr))));
    if (m_firmwareScan->anySelected())
        showNotification({11, 0});
    else
        showNotification(
            {11, 1},
            resourceText(RightText::FolderSearched).arg(QString::fromStdString(folder.string())));
}

void MainWindow::showUpgradeWindow() {
    if (!session() || !session()->loggedIn() || session()->configRequestPending() ||
        m_firmwareWindow || !m_firmwareScan || !m_firmwareScan->anySelected())
        return;
    session()->firmware().setCandidates(*m_firmwareScan);
    auto* window = new FirmwareUpgradeWindow(session()->firmware(), session()->hello(), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setModal(true);
    connect(window, &QDialog::finished, this, [this, window] {
        // The recorder restarts with the new firmware: offer the restart.
        if (window->upgradedCount() > 0)
            showNotification({8, 5});
    });
    m_firmwareWindow = window;
    window->open();
}

void MainWindow::restartAfterUpgrade() {
    // The session posts the rights box as well; the one shown first, naming the right, stays.
    if (session() && session()->loggedIn() && !session()->device().requestReboot())
        showNotification(kNoRight, resourceText(RightText::Restart));
}

void MainWindow::resetConfiguration() {
    if (!session() || !session()->loggedIn())
        return;
    // DB_INIT_REQ, and the setup window closes without sending its copy over the defaults.
    session()->setup().requestFactoryReset();
}

// Live view stopped or the session ended: the PTZ windows close; with the session the upgrade
// window and the record prompt go too.
void MainWindow::closeDeviceWindows(bool sessionEnded) {
    if (m_ptz)
        m_ptz->closePtzPanel();
    if (!sessionEnded)
        return;
    if (m_recordPrompt)
        m_recordPrompt->reject();
    if (m_firmwareWindow) {
        // The window works on the session's upgrade state: it goes now, before the session
        // (a deferred deletion would come after it). No restart offer without a session.
        m_firmwareWindow->disconnect(this);
        delete m_firmwareWindow.data();
    }
}

} // namespace kalder
