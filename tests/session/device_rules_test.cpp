// The rules of the record button, the PTZ keypad and the PTZ channel choice, without a session.
#include "session/device_commands.h"
#include "session/ptz_control.h"
#include "session/ptz_keypad.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

TEST(RecordButton, RightsAndPrompt) {
    EXPECT_EQ(recordButtonAction(false, false, true), RecordPress::Nothing);
    EXPECT_EQ(recordButtonAction(false, true, true), RecordPress::Nothing);
    EXPECT_EQ(recordButtonAction(true, false, false), RecordPress::SentOn); // starting needs none
    EXPECT_EQ(recordButtonAction(true, true, true), RecordPress::AskPassword);
    EXPECT_EQ(recordButtonAction(true, true, false), RecordPress::NoRight);

    EXPECT_EQ(recordOffAction(true, true, "Secret", "Secret"), RecordOffAnswer::Sent);
    EXPECT_EQ(recordOffAction(true, true, "secret", "Secret"), RecordOffAnswer::WrongPassword);
    EXPECT_EQ(recordOffAction(true, true, "", "Secret"), RecordOffAnswer::WrongPassword);
    EXPECT_EQ(recordOffAction(true, false, "Secret", "Secret"), RecordOffAnswer::RightLost);
    EXPECT_EQ(recordOffAction(false, true, "Secret", "Secret"), RecordOffAnswer::NotLoggedIn);
}

// Presses a sequence of keys ("P" Preset, "L" Learn, "S" Set, "C" Call, "T" Tour, digits) on a
// keypad opened for presets, then OK.
struct KeypadRun {
    std::optional<PtzKeypad::Ok> ok;
    PtzKeypad keypad;
};
KeypadRun press(const std::string& keys, std::uint8_t account = 0) {
    KeypadRun run;
    run.keypad.pressPreset();
    for (char k : keys) {
        switch (k) {
        case 'P':
            run.keypad.pressPreset();
            break;
        case 'L':
            run.keypad.pressLearn();
            break;
        case 'S':
            run.keypad.pressSet(account);
            break;
        case 'C':
            run.keypad.pressCall();
            break;
        case 'T':
            run.keypad.pressTour();
            break;
        default:
            run.keypad.pressDigit(k - '0');
        }
    }
    run.ok = run.keypad.pressOk();
    return run;
}

TEST(PtzKeypad, OkGivesTheCommandOfEachKindAndAction) {
    struct Case {
        const char* keys;
        std::optional<int> command; // 8 + code, nothing when OK sends nothing
        int number;
        bool learning;
        bool keepOpen;
    };
    const Case cases[] = {
        {"S1234", 8, 234, false, false}, // four digits wrap to the last three
        {"S999", 8, 999, false, false},
        {"C42", 9, 42, false, true}, // a plain recall keeps the keypad open
        {"57", 9, 57, false, true},  // Call is the action the keypad opens with
        {"T3", 17, 3, false, false},
        {"T35", std::nullopt, 0, false, false}, // a tour digit above 4 shows 0 ...
        {"T5", std::nullopt, 0, false, false},  // ... and OK then sends nothing
        {"TT7", 9, 7, false, true},             // Tour again returns to Call
        {"LS7", 10, 7, true, false},
        {"L7", 12, 7, false, false},
        {"L78", 12, 8, false, false}, // Learn takes one digit
        {"L0", std::nullopt, 0, false, false},
        {"S0", std::nullopt, 0, false, false},
        {"S12C", std::nullopt, 0, false, false}, // Call clears the number
    };
    for (const Case& c : cases) {
        const KeypadRun run = press(c.keys);
        ASSERT_EQ(run.ok.has_value(), c.command.has_value()) << c.keys;
        if (!run.ok)
            continue;
        EXPECT_EQ(8 + run.ok->code, *c.command) << c.keys;
        EXPECT_EQ(run.ok->number, c.number) << c.keys;
        EXPECT_EQ(run.ok->startsLearning, c.learning) << c.keys;
        EXPECT_EQ(run.ok->keepOpen, c.keepOpen) << c.keys;
    }
}

TEST(PtzKeypad, SetOnlyForAccountZeroAndWhatTheKeypadShows) {
    // Another account: Set changes nothing, the keypad keeps calling.
    const KeypadRun other = press("S12", 3);
    ASSERT_TRUE(other.ok);
    EXPECT_EQ(8 + other.ok->code, 9);
    EXPECT_EQ(other.ok->number, 12);

    PtzKeypad k;
    k.pressPreset();
    EXPECT_TRUE(k.tourEnabled());
    EXPECT_TRUE(k.tourAndZeroShown());
    EXPECT_TRUE(k.pressSet(0));
    EXPECT_FALSE(k.tourEnabled());
    k.pressCall();
    EXPECT_TRUE(k.tourEnabled());
    k.pressLearn();
    EXPECT_FALSE(k.tourAndZeroShown());
    EXPECT_FALSE(k.tourEnabled());
    // After a recall the number starts again.
    k.pressPreset();
    k.pressDigit(4);
    ASSERT_TRUE(k.pressOk());
    EXPECT_EQ(k.keypadNumber, 0);
    k.pressDigit(5);
    EXPECT_EQ(k.keypadNumber, 5);
}

TEST(PtzChannelChoice, KeepsAShownChannelWithVideoElseTheFirstPaneWithVideo) {
    const std::vector<int> quad = {4, 5, 6, 7};
    EXPECT_EQ(choosePtzChannel(6, quad, 0), 6);
    EXPECT_EQ(choosePtzChannel(2, quad, 0), 4);       // not shown
    EXPECT_EQ(choosePtzChannel(6, quad, 1u << 6), 4); // lost its video
    EXPECT_EQ(choosePtzChannel(6, quad, (1u << 4) | (1u << 6)), 5);
    EXPECT_EQ(choosePtzChannel(0, std::vector<int>{-1, 9, 3}, 0), 9); // pane order, not number
    EXPECT_EQ(choosePtzChannel(0, quad, 0x00F0), -1);
    EXPECT_EQ(choosePtzChannel(0, std::vector<int>{}, 0), -1);
}

} // namespace
} // namespace kalder
