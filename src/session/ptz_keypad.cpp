#include "session/ptz_keypad.h"

namespace kalder {

void PtzKeypad::pressPreset() {
    keypadKind = Preset;
    keypadAction = Call;
    keypadNumber = 0;
}

void PtzKeypad::pressLearn() {
    keypadKind = Learn;
    keypadAction = Call;
    keypadNumber = 0;
}

bool PtzKeypad::pressSet(std::uint8_t account) {
    if (account != 0)
        return false;
    keypadAction = Set;
    keypadNumber = 0;
    return true;
}

void PtzKeypad::pressCall() {
    keypadAction = Call;
    keypadNumber = 0;
}

void PtzKeypad::pressTour() {
    keypadAction = keypadAction == Tour ? Call : Tour;
    keypadNumber = 0;
}

void PtzKeypad::pressDigit(int digit) {
    if (digit < 0 || digit > 9)
        return;
    if (keypadKind == Learn) {
        keypadNumber = digit;
    } else if (keypadAction == Tour) {
        // Tours run from 1 to 4.
        keypadNumber = (digit >= 1 && digit <= 4) ? digit : 0;
    } else {
        // Up to three digits; a fourth pushes the first out.
        keypadNumber = keypadNumber == 0 ? digit : (keypadNumber * 10 + digit) % 1000;
    }
}

std::optional<PtzKeypad::Ok> PtzKeypad::pressOk() {
    if (keypadNumber <= 0)
        return std::nullopt;
    Ok ok;
    ok.number = keypadNumber;
    ok.code = keypadAction;
    if (keypadKind == Learn) {
        if (keypadAction == Call) {
            ok.code = PresetCode::LearnCall;
        } else {
            ok.code = PresetCode::LearnStart;
            ok.startsLearning = true;
        }
    } else if (keypadAction == Tour) {
        ok.code = PresetCode::Tour;
    }
    if (ok.code == PresetCode::Call) {
        ok.keepOpen = true;
        keypadNumber = 0;
    }
    return ok;
}

} // namespace kalder
