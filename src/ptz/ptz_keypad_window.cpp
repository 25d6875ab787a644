#include "ptz/ptz_keypad_window.h"

#include "session/window_message.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace kalder {

PtzKeypadWindow::PtzKeypadWindow(QObject* receiver, std::uint8_t account, QWidget* parent)
    : PtzWindowBase(parent), m_receiver(receiver), m_account(account) {
    setWindowTitle(QStringLiteral("PTZ presets"));
    setFixedSize(kWidth, kHeight);
    m_number = new QLabel(this);
    m_number->setObjectName(QStringLiteral("keypadNumber"));
    m_number->setAccessibleName(QStringLiteral("Preset or path number"));
    m_number->setToolTip(QStringLiteral("The number typed on the digits, which OK sends"));
    m_number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_number->setFrameShape(QFrame::Panel);
    m_number->setGeometry(10, 10, 150, 30);
    QFont big = m_number->font();
    big.setPointSize(16);
    m_number->setFont(big);

    // Digits in a telephone block on the left, the kinds and actions on the right.
    for (int d = 1; d <= 9; ++d)
        makeButton(FirstDigit + d - 1, QString::number(d),
                   QStringLiteral("Type the digit %1 of the number").arg(d),
                   10 + ((d - 1) % 3) * 52, 48 + ((d - 1) / 3) * 36, 48, 32);
    makeButton(FirstDigit + 9, QStringLiteral("0"),
               QStringLiteral("Type the digit 0 of the number"), 62, 156, 48, 32);
    makeButton(TourKey, QStringLiteral("Tour"),
               QStringLiteral("Tour: OK runs the camera through the presets of the number's tour"),
               114, 156, 48, 32, QStringLiteral("Tour of presets"));
    struct ButtonPlace {
        int id;
        const char* caption;
        const char* toolTip;
        int x, y;
    };
    const ButtonPlace places[] = {
        {PresetKey, "Preset", "The number names a preset position", 176, 10},
        {LearnKey, "Learn", "The number names a path to learn", 246, 10},
        {SetKey, "Set", "OK stores the camera's position under the number", 176, 48},
        {CallKey, "Call", "OK moves the camera to the number's preset", 246, 48},
        {DomeKey, "Dome", "Open the dome camera's own menu", 176, 86},
        {OkKey, "OK", "Send the number to the camera", 246, 86},
        {CloseX, "X", "Close the preset keypad (the PTZ panel stays open)", 246, 156}};
    for (const ButtonPlace& s : places)
        makeButton(s.id, QString::fromLatin1(s.caption), QString::fromLatin1(s.toolTip), s.x, s.y,
                   64, 32, s.id == CloseX ? QStringLiteral("Close keypad") : QString());
    for (QPushButton* b : findChildren<QPushButton*>()) {
        const int id = b->objectName().mid(7).toInt();
        connect(b, &QPushButton::clicked, this, [this, id] { press(id); });
        if (id == PresetKey || id == LearnKey || id == SetKey || id == CallKey || id == TourKey)
            b->setCheckable(true);
    }
    m_keypad.pressPreset();
    updateWidgets();
}

void PtzKeypadWindow::setKind(PtzKeypad::Kind kind) {
    if (kind == PtzKeypad::Learn)
        m_keypad.pressLearn();
    else
        m_keypad.pressPreset();
    updateWidgets();
}

void PtzKeypadWindow::press(int id) {
    if (id >= FirstDigit && id <= FirstDigit + 9) {
        m_keypad.pressDigit(id == FirstDigit + 9 ? 0 : id - FirstDigit + 1);
    } else {
        switch (id) {
        case PresetKey:
            m_keypad.pressPreset();
            break;
        case LearnKey:
            m_keypad.pressLearn();
            break;
        case SetKey:
            m_keypad.pressSet(m_account);
            break;
        case CallKey:
            m_keypad.pressCall();
            break;
        case TourKey:
            m_keypad.pressTour();
            break;
        case OkKey:
            if (const auto ok = m_keypad.pressOk()) {
                // The receiver sends the command before the keypad goes on.
                WindowMessageEvent message(WindowMessage::PtzPreset,
                                           static_cast<std::uintptr_t>(ok->code), ok->number);
                QCoreApplication::sendEvent(m_receiver, &message);
                emit finished(ok->keepOpen, ok->startsLearning, ok->number);
            }
            break;
        case DomeKey:
            emit domeRequested();
            return;
        case CloseX:
            emit closeRequested();
            return;
        default:
            break;
        }
    }
    updateWidgets();
}

void PtzKeypadWindow::updateWidgets() {
    auto button = [this](int id) {
        return findChild<QPushButton*>(QStringLiteral("control%1").arg(id));
    };
    m_number->setText(QString::number(m_keypad.keypadNumber));
    button(PresetKey)->setChecked(m_keypad.keypadKind == PtzKeypad::Preset);
    button(LearnKey)->setChecked(m_keypad.keypadKind == PtzKeypad::Learn);
    button(SetKey)->setChecked(m_keypad.keypadAction == PtzKeypad::Set);
    button(CallKey)->setChecked(m_keypad.keypadAction == PtzKeypad::Call);
    button(TourKey)->setChecked(m_keypad.keypadAction == PtzKeypad::Tour);
    button(TourKey)->setVisible(m_keypad.tourAndZeroShown());
    button(FirstDigit + 9)->setVisible(m_keypad.tourAndZeroShown());
    button(TourKey)->setEnabled(m_keypad.tourEnabled());
}

} // namespace kalder
