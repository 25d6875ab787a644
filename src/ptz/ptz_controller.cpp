#include "ptz/ptz_controller.h"

#include "ptz/ptz_placement.h"
#include "session/recorder_session.h"

#include <QScreen>

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
        if (m_host.refuse)
            m_host.refuse();
        else
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
    showPlaced(m_panel);
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
    showPlaced(m_keypad);
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
    showPlaced(m_domeMenu);
    m_host.stateChanged();
}

// The recorder's own layout puts the panel over the main window's Pan and Zoom buttons, the
// keypad over the main window's left edge and the dome menu over the panel's Left button, which
// the dome's menu is walked with. Here every window stays clear of the controls used while it is
// open.
void PtzController::placeWindows() {
    QWidget* main = m_host.window;
    const QScreen* screen = main->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    if (m_panel) {
        QRect buttons;
        if (m_host.modeButtons)
            for (const QWidget* b : m_host.modeButtons())
                if (b)
                    buttons |= QRect(b->mapToGlobal(QPoint(0, 0)), b->size());
        if (buttons.isEmpty())
            m_panel->move(keptOnScreen(main->mapToGlobal(QPoint(730, 550)),
                                       m_panel->frameGeometry().size(), area));
        else
            m_panel->move(ptzPanelPlace(buttons, m_panel->frameGeometry().size(), area));
    }
    for (QWidget* w :
         {static_cast<QWidget*>(m_keypad.data()), static_cast<QWidget*>(m_domeMenu.data())}) {
        if (!w)
            continue;
        if (m_panel)
            w->move(ptzBesidePanelPlace(m_panel->frameGeometry(), w->frameGeometry().size(), area));
        else
            w->move(keptOnScreen(w->pos(), w->frameGeometry().size(), area));
    }
}

// Placed before it is shown, and again once shown: the window manager's frame is known then.
void PtzController::showPlaced(QWidget* window) {
    placeWindows();
    window->show();
    placeWindows();
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
