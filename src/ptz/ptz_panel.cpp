#include "ptz/ptz_panel.h"

#include "post/post_to_window.h"
#include "session/window_message.h"

#include <QCoreApplication>
#include <QPushButton>

namespace kalder {

PtzPanel::PtzPanel(QObject* receiver, QWidget* parent)
    : PtzWindowBase(parent), m_receiver(receiver) {
    setWindowTitle(QStringLiteral("PTZ"));
    setFixedSize(kWidth, kHeight);
    // Arrows in a cross, the mode buttons beneath, the preset buttons at the bottom.
    struct ButtonPlace {
        int id;
        const char* caption;
        const char* toolTip;
        int x, y, w, h;
        const char* name = nullptr; // when the caption is a short form
    };
    const ButtonPlace places[] = {
        {Up, "Up", "Hold to tilt the camera up (Pan) or zoom in (Zoom)", 52, 8, 44, 30},
        {Left, "Left", "Hold to pan the camera left (Pan) or focus near (Zoom)", 6, 42, 44, 30},
        {Right, "Right", "Hold to pan the camera right (Pan) or focus far (Zoom)", 98, 42, 44, 30},
        {Down, "Down", "Hold to tilt the camera down (Pan) or zoom out (Zoom)", 52, 76, 44, 30},
        {Pan, "Pan", "The arrows pan and tilt the camera", 6, 112, 66, 24},
        {Zoom, "Zoom", "The arrows zoom and focus the camera", 76, 112, 66, 24},
        {PresetPan, "Preset P", "Preset Pan: open the preset keypad, or end the path being learned",
         6, 140, 66, 24, "Preset Pan"},
        {PresetZoom, "Preset Z",
         "Preset Zoom: open the preset keypad, or end the path being learned", 76, 140, 66, 24,
         "Preset Zoom"},
        {CloseX, "X", "Close the PTZ panel", 118, 4, 24, 20, "Close"},
    };
    for (const ButtonPlace& s : places) {
        QPushButton* b =
            makeButton(s.id, QString::fromLatin1(s.caption), QString::fromLatin1(s.toolTip), s.x,
                       s.y, s.w, s.h, s.name ? QString::fromLatin1(s.name) : QString());
        const int id = s.id;
        if (id >= Up && id <= Right) {
            const int direction = id - Up;
            connect(b, &QPushButton::pressed, this, [this, direction] {
                postToWindow(m_receiver,
                             new WindowMessageEvent(WindowMessage::PtzMove, 0, direction));
            });
            connect(b, &QPushButton::released, this, [this, direction] {
                postToWindow(m_receiver,
                             new WindowMessageEvent(WindowMessage::PtzMove, 1, direction));
            });
        } else if (id == PresetPan || id == PresetZoom) {
            connect(b, &QPushButton::pressed, this, [this] {
                postToWindow(m_receiver, new WindowMessageEvent(WindowMessage::PtzMove, 0, 4));
            });
        } else if (id == Pan || id == Zoom) {
            b->setCheckable(true);
            connect(b, &QPushButton::clicked, this, [this, id] {
                emit modeRequested(id == Pan ? 0 : 1);
                setMode(m_mode); // the look follows the mode, not the click
            });
        } else {
            connect(b, &QPushButton::clicked, this, &PtzPanel::closeRequested);
        }
    }
    setCameraAvailable(false);
    setMode(PtzMode::PanTilt);
}

void PtzPanel::setMode(PtzMode mode) {
    m_mode = mode;
    findChild<QPushButton*>(QStringLiteral("control%1").arg(Pan))
        ->setChecked(mode == PtzMode::PanTilt);
    findChild<QPushButton*>(QStringLiteral("control%1").arg(Zoom))
        ->setChecked(mode == PtzMode::ZoomFocus);
}

void PtzPanel::setCameraAvailable(bool available) {
    m_available = available;
    for (int id : {int(Up), int(Down), int(Left), int(Right), int(PresetPan), int(PresetZoom)})
        findChild<QPushButton*>(QStringLiteral("control%1").arg(id))->setEnabled(available);
}

void PtzPanel::setLearningLook(bool learning) {
    for (int id : {int(PresetPan), int(PresetZoom)}) {
        auto* b = findChild<QPushButton*>(QStringLiteral("control%1").arg(id));
        b->setCheckable(learning);
        b->setChecked(learning);
    }
}

} // namespace kalder
