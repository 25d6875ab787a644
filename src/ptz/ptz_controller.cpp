#include "ptz/ptz_controller.h"

#include "session/recorder_session.h"

namespace kalder {

PtzController::PtzController(PtzHost host) : QObject(host.window), m_host(std::move(host)) {}

PtzController::~PtzController() {
    for (PtzWindowBase* w : {static_cast<PtzWindowBase*>(m_domeMenu.data()),
                             static_cast<PtzWindowBase*>(m_keypad.data()),
                             static_cast<PtzWindowBase*>(m_panel.data())})
        delete w;
}

void PtzController::panZoomButton(int mode) {
    RecorderSession* session = m_host.session();
    if (!session || !m_host.liveOn())
        return;
    if (!session->status().mayPtz()) {
        closePtzPanel();
        session->notify({15, 0});
        return;
    }
    if (m_panel) {
        if (static_cast<int>(m_panel->mode()) != mode) {
            openPtzPanel(mode); // switch
        } else {
            closePtzPanel();
        }
        return;
    }
    openPtzPanel(mode);
}

void PtzController::openPtzPanel(int mode) {
    const PtzMode ptzMode = mode == 1 ? PtzMode::ZoomFocus : PtzMode::PanTilt;
    m_host.showModeButtons(mode);
    if (m_panel) {
        m_panel->setMode(ptzMode);
        m_panel->show();
        m_panel->raise();
        m_panel->update();
        return;
    }
    m_panel = new PtzPanel(m_host.window, m_host.window);
    m_panel->setMode(ptzMode);
    connect(m_panel, &PtzPanel::modeRequested, this, [this](int m) {
        if (m_panel && static_cast<int>(m_panel->mode()) != m)
            openPtzPanel(m);
    });
    connect(m_panel, &PtzPanel::closeRequested, this, &PtzController::closePtzPanel);
    m_panel->move(m_host.window->mapToGlobal(QPoint(730, 550)));
    m_panel->show();
    selectPtzChannel();
    m_host.stateChanged();
}

void PtzController::selectPtzChannel() {
    RecorderSession* session = m_host.session();
    if (!session || !m_panel)
        return;
    const std::vector<int> panes = m_host.paneChannels();
    const int channel =
        choosePtzChannel(session->ptz().ptzChannel(), panes, m_host.videoLossMask());
    // No shown channel has video: nothing to ask; the buttons stay as they are.
    if (channel >= 0)
        session->ptz().selectPtzChannel(channel, m_panel->mode());
}

void PtzController::shownChannelsChanged() {
    if (m_panel)
        selectPtzChannel();
}

void PtzController::channelChosen(int channel) {
    RecorderSession* session = m_host.session();
    if (!session || !m_panel || !m_host.liveOn() || channel < 0)
        return;
    session->ptz().selectPtzChannel(channel, m_panel->mode());
}

void PtzController::cameraAnswer(bool available) {
    if (!m_panel)
        return;
    m_panel->setCameraAvailable(available);
    RecorderSession* session = m_host.session();
    if (session && session->ptz().learnActive())
        m_panel->setLearningLook(true);
    m_host.stateChanged();
}

void PtzController::handleMove(std::uintptr_t wParam, std::intptr_t lParam) {
    RecorderSession* session = m_host.session();
    if (!session || !m_host.liveOn() || !m_panel)
        return;
    const bool press = wParam == 0;
    if (lParam >= 0 && lParam <= 3) {
        session->ptz().sendPtzMove(press, static_cast<PtzDirection>(lParam), m_panel->mode());
        return;
    }
    if (lParam == 4 && press) {
        if (session->ptz().learnActive())
            endLearning();
        else
            openKeypad();
    }
}

void PtzController::handlePreset(int code, int number) {
    RecorderSession* session = m_host.session();
    if (!session)
        return;
    if (session->ptz().learnActive() && m_panel)
        m_panel->setLearningLook(true);
    session->ptz().sendPresetCommand(code, number);
}

void PtzController::openKeypad() {
    if (m_keypad) {
        m_keypad->setKind(PtzKeypad::Preset);
        m_keypad->raise();
        m_keypad->update();
        return;
    }
    RecorderSession* session = m_host.session();
    const std::uint8_t account = session ? session->hello().account : 1;
    m_keypad = new PtzKeypadWindow(m_host.window, account, m_host.window);
    connect(m_keypad, &PtzKeypadWindow::finished, this,
            [this](bool keepOpen, bool startsLearning, int number) {
                RecorderSession* s = m_host.session();
                if (startsLearning && s) {
                    s->ptz().startLearning(number);
                    if (m_panel)
                        m_panel->setLearningLook(true);
                }
                if (!keepOpen)
                    closeKeypad();
            });
    connect(m_keypad, &PtzKeypadWindow::domeRequested, this, [this] {
        if (RecorderSession* s = m_host.session())
            s->ptz().sendCommand(PtzCommandNumber::DomeMenuEnter);
        closeKeypad();
        openDomeMenu();
    });
    connect(m_keypad, &PtzKeypadWindow::closeRequested, this, &PtzController::closeKeypad);
    const QWidget* w = m_host.window;
    m_keypad->move(w->mapToGlobal(QPoint(0, w->height() - 261)));
    m_keypad->show();
}

void PtzController::openDomeMenu() {
    if (m_panel)
        m_panel->setDomeMenuActive(true);
    if (m_domeMenu)
        return;
    m_domeMenu = new DomeMenuWindow(m_host.window);
    auto send = [this](std::uint8_t command) {
        if (RecorderSession* s = m_host.session())
            s->ptz().sendCommand(command);
    };
    connect(m_domeMenu, &DomeMenuWindow::selectPressed, this,
            [send] { send(PtzCommandNumber::DomeMenuSelect); });
    connect(m_domeMenu, &DomeMenuWindow::previousPressed, this,
            [send] { send(PtzCommandNumber::DomeMenuPrevious); });
    connect(m_domeMenu, &DomeMenuWindow::leaveRequested, this, [this, send] {
        send(PtzCommandNumber::DomeMenuLeave);
        closeDomeMenu();
    });
    const QWidget* w = m_host.window;
    m_domeMenu->move(w->mapToGlobal(QPoint(w->width() - 201, w->height() - 200)));
    m_domeMenu->show();
    m_host.stateChanged();
}

void PtzController::endLearning() {
    if (RecorderSession* s = m_host.session())
        s->ptz().endLearning();
    closeKeypad();
    if (m_panel)
        m_panel->setLearningLook(false);
}

void PtzController::closeKeypad() {
    if (m_keypad)
        m_keypad->closeForGood();
}

void PtzController::closeDomeMenu() {
    if (m_panel)
        m_panel->setDomeMenuActive(false);
    if (m_domeMenu)
        m_domeMenu->closeForGood();
    m_host.stateChanged();
}

void PtzController::closePtzPanel() {
    closeKeypad();
    closeDomeMenu();
    m_host.showModeButtons(-1);
    if (RecorderSession* s = m_host.session()) {
        if (s->ptz().learnActive())
            endLearning();
        s->ptz().reset();
    }
    if (m_panel)
        m_panel->closeForGood();
    m_host.stateChanged();
}

} // namespace kalder
