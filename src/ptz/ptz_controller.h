#pragma once

#include "ptz/dome_menu_window.h"
#include "ptz/ptz_keypad_window.h"
#include "ptz/ptz_panel.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <vector>

namespace kalder {

class RecorderSession;

// What the PTZ windows need of the main window.
struct PtzHost {
    QWidget* window = nullptr;                     // the main window: placement and receiver
    std::function<RecorderSession*()> session;     // the logged-in session, or null
    std::function<bool()> liveOn;                  // live view runs
    std::function<void(int mode)> showModeButtons; // main window's Pan/Zoom: 0, 1, -1 none
    // The main window's Pan and Zoom buttons: they switch and close the panel, so no PTZ window
    // covers them. Empty: the panel keeps its place on the main window.
    std::function<std::vector<QWidget*>()> modeButtons;
    // The account lacks the PTZ right: the main window says so, naming it. Empty: the session's
    // plain rights notification.
    std::function<void()> refuse;
    std::function<std::vector<int>()> paneChannels; // channel of each shown pane, -1 empty
    std::function<std::uint16_t()> videoLossMask;
    // The panel, its camera answer or the dome menu changed (the video window's PTZ mark and
    // mouse-control state follow them).
    std::function<void()> stateChanged;
};

// The PTZ side of the main window: the Pan and Zoom buttons open, switch and close the panel;
// the panel, the preset keypad and the dome-menu window turn the operator's presses into the
// session's PTZ commands; learning is ended when a preset button is pressed again or the panel
// closes. GUI thread only.
class PtzController : public QObject {
public:
    explicit PtzController(PtzHost host);
    ~PtzController() override;

    // The main window's Pan (mode 0) or Zoom (mode 1) button.
    void panZoomButton(int mode);
    // Window message 21049 from the panel: wParam 0 press / 1 release, lParam the button.
    void handleMove(std::uintptr_t wParam, std::intptr_t lParam);
    // Window message 21055 from the keypad: the preset action code and the number.
    void handlePreset(int code, int number);
    // PTZ_CHANNEL_ACK: whether the selected channel has a camera.
    void cameraAnswer(bool available);
    // The video window's layout or shown channels changed while the panel is open.
    void shownChannelsChanged();
    // The operator named a channel (a cell dropped on itself) while the panel is open.
    void channelChosen(int channel);
    // Closes the keypad, the dome-menu window and the panel (X, live stop, disconnect, rights).
    void closePtzPanel();
    void closeKeypad();
    void closeDomeMenu();

    PtzPanel* panel() const { return m_panel; }
    PtzKeypadWindow* keypad() const { return m_keypad; }
    DomeMenuWindow* domeMenu() const { return m_domeMenu; }
    // While the dome's own menu is open the main window keeps its layout.
    bool domeMenuActive() const { return m_panel && m_panel->domeMenuActive(); }

private:
    void openPtzPanel(int mode);
    void selectPtzChannel();
    void openKeypad();
    void openDomeMenu();
    void endLearning();
    // Puts the panel above the main window's Pan and Zoom buttons and the keypad and the dome
    // menu beside the panel, all on the main window's screen.
    void placeWindows();
    void showPlaced(QWidget* window);

    PtzHost m_host;
    QPointer<PtzPanel> m_panel;          // slot 23
    QPointer<PtzKeypadWindow> m_keypad;  // slot 24
    QPointer<DomeMenuWindow> m_domeMenu; // slot 25
};

} // namespace kalder
