#pragma once

#include "ptz/ptz_window_base.h"
#include "session/ptz_keypad.h"

class QLabel;

namespace kalder {

// The preset keypad (320 x 200): digits, Preset / Learn (what the number names), Set / Call /
// Tour (what OK does), OK, Dome (enter the camera's own menu) and X. OK posts window message
// 21055 (wParam = the preset action code, lParam = the number) to the receiver.
class PtzKeypadWindow : public PtzWindowBase {
    Q_OBJECT
public:
    enum : int {
        PresetKey = 550,
        LearnKey,
        DomeKey,
        SetKey,
        CallKey,
        OkKey,
        CloseX,
        FirstDigit = 570, // 1-9 at 570-578, 0 at 579
        TourKey = 580
    };
    static constexpr int kWidth = 320, kHeight = 200;

    // `account` is the greeting's account number: only account 0 may store presets.
    PtzKeypadWindow(QObject* receiver, std::uint8_t account, QWidget* parent);

    const PtzKeypad& keypad() const { return m_keypad; }
    // Opening the keypad again only sets its kind.
    void setKind(PtzKeypad::Kind kind);

signals:
    // OK with a number: sent to the receiver already; the keypad closes unless told to stay.
    void finished(bool keepOpen, bool startsLearning, int number);
    void domeRequested();
    void closeRequested();

private:
    void press(int id);
    void updateWidgets();

    QObject* m_receiver;
    const std::uint8_t m_account;
    PtzKeypad m_keypad;
    QLabel* m_number = nullptr;
};

} // namespace kalder
