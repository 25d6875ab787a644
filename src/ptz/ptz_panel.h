#pragma once

#include "ptz/ptz_window_base.h"
#include "wire/ptz_records.h"

namespace kalder {

// The PTZ panel (147 x 171): four direction buttons that report press and release, Pan and
// Zoom (the mode of the direction buttons), Preset Pan and Preset Zoom (open the keypad or end
// learning) and X. Press and release of the direction and preset buttons go to the receiver
// as window message 21049 (wParam 0 press / 1 release; lParam 0 Up, 1 Down, 2 Left, 3 Right,
// 4 a preset button).
class PtzPanel : public PtzWindowBase {
    Q_OBJECT
public:
    enum : int { Up = 440, Down, Left, Right, Pan, Zoom, CloseX, PresetPan, PresetZoom };
    static constexpr int kWidth = 147, kHeight = 171;

    PtzPanel(QObject* receiver, QWidget* parent);

    PtzMode mode() const { return m_mode; }
    void setMode(PtzMode mode);
    // The recorder's answer: the movement and preset buttons work only with a camera there.
    void setCameraAvailable(bool available);
    bool cameraAvailable() const { return m_available; }
    // The preset buttons' active look while a path is learned.
    void setLearningLook(bool learning);
    bool domeMenuActive() const { return m_domeMenuActive; }
    void setDomeMenuActive(bool active) { m_domeMenuActive = active; }

signals:
    void modeRequested(int mode); // the panel's own Pan (0) or Zoom (1)
    void closeRequested();        // X

private:
    QObject* m_receiver;
    PtzMode m_mode = PtzMode::PanTilt;
    bool m_available = false;
    bool m_domeMenuActive = false;
};

} // namespace kalder
