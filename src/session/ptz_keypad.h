#pragma once

#include <cstdint>
#include <optional>

namespace kalder {

// The preset keypad's state and rules, without a window: which kind of number is entered
// (a preset or a learned path), what OK does with it (store, recall, run a tour), and the
// number itself (0-999). The keypad window shows this state and turns OK into the preset
// command the session sends.
struct PtzKeypad {
    enum Kind : std::uint8_t { Preset = 0, Learn = 1 };
    enum Action : std::uint8_t { Set = 0, Call = 1, Tour = 2 };

    Kind keypadKind = Preset;
    Action keypadAction = Call;
    int keypadNumber = 0;

    // What OK sends: the preset command code (command 8 + code) with the number, whether it
    // starts learning, and whether the keypad stays open (only after a plain preset recall).
    struct Ok {
        int code = 0;
        int number = 0;
        bool startsLearning = false;
        bool keepOpen = false;
    };

    void pressPreset();
    void pressLearn();
    // Storing presets is for account 0 only: for any other account nothing changes (false).
    bool pressSet(std::uint8_t account);
    void pressCall();
    void pressTour();
    void pressDigit(int digit);
    // Nothing while the number is 0.
    std::optional<Ok> pressOk();

    // What the keypad shows.
    bool tourEnabled() const { return keypadKind == Preset && keypadAction != Set; }
    bool tourAndZeroShown() const { return keypadKind == Preset; }
};

// Preset command codes the session adds to 8.
namespace PresetCode {
enum : int { Set = 0, Call = 1, LearnStart = 2, LearnEnd = 3, LearnCall = 4, Tour = 9 };
}

} // namespace kalder
