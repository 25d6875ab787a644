// The playback rules without a connection: credits, speed codes, controls, the seek step and
// the button rules.
#include "session/playback_state.h"

#include "wire/message_catalogue.h"
#include "wire/playback_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalder {
namespace {

using namespace MessageId;

// "PLAY_STEP_DATA 93", "PLAY_FORWARD @100 mask ffff v1", "PLAY_PAUSE".
std::vector<std::string> describe(const PlayEffects& effects) {
    std::vector<std::string> out;
    for (const PlayMessage& m : effects.messages) {
        std::string text;
        switch (m.id) {
        case PLAY_PREV_STEP:
            text = "PLAY_PREV_STEP";
            break;
        case PLAY_NEXT_STEP:
            text = "PLAY_NEXT_STEP";
            break;
        case PLAY_PAUSE:
            text = "PLAY_PAUSE";
            break;
        case PLAY_BACKWARD:
            text = "PLAY_BACKWARD";
            break;
        case PLAY_FORWARD:
            text = "PLAY_FORWARD";
            break;
        case PLAY_STEP_DATA:
            text = "PLAY_STEP_DATA";
            break;
        case PLAY_CH_CHANGE:
            text = "PLAY_CH_CHANGE";
            break;
        default:
            text = std::to_string(m.id);
        }
        if (const auto w = decodePlayWord(m.payload))
            text += " " + std::to_string(*w);
        if (const auto p = decodePlayPosition(m.payload)) {
            char extra[64];
            std::snprintf(extra, sizeof extra, " @%u mask %x v%u", unsigned(p->position),
                          unsigned(p->channelMask), unsigned(p->versionByte));
            text += extra;
        }
        out.push_back(text);
    }
    return out;
}

using Lines = std::vector<std::string>;

PlayContext context() {
    PlayContext c;
    c.channelCount = 4;
    c.shownChannels = 0x0003;
    c.playbackMask = 0x000F;
    c.positionVersionByte = 1;
    c.version12 = true;
    return c;
}

FrameDescriptor frameAt(std::uint32_t seconds, std::uint16_t ms) {
    FrameDescriptor d;
    d.infoWord = seconds;
    d.infoHalf = ms;
    return d;
}

// Forward play as PLAY_ON_ACK leaves it, one frame at 100.500 s shown.
PlaybackState playing() {
    PlaybackState s;
    startPlayback(s, context());
    s.lastShownFrame = frameAt(100, 500);
    s.position = 100;
    return s;
}

TEST(PlaybackRules, StartGrantsNinetyThreeInForwardPlay) {
    PlaybackState s;
    s.playRequested = true;
    s.generation[3] = 9;
    const PlayEffects e = startPlayback(s, context());
    EXPECT_EQ(describe(e), (Lines{"PLAY_STEP_DATA 93"}));
    EXPECT_TRUE(s.playing);
    EXPECT_FALSE(s.playRequested);
    EXPECT_EQ(s.mode, PlayMode::Forward);
    EXPECT_EQ(s.seekState, SeekState::Streaming);
    EXPECT_EQ(s.lastSpeedCode, -1);
    EXPECT_TRUE(s.bumpGenerations && s.reanchor);
    EXPECT_EQ(s.generation[3], 0u);
    EXPECT_EQ(e.highlight, 3);
}

TEST(PlaybackRules, CreditsRenewedAtFrame49ThenEvery48AndNotWhilePaused) {
    PlaybackState s = playing();
    std::vector<int> renewedAt;
    for (int frame = 1; frame <= 200; ++frame)
        if (const auto r = countFrameCredit(s)) {
            EXPECT_EQ(*r, 48u);
            renewedAt.push_back(frame);
        }
    EXPECT_EQ(renewedAt, (std::vector<int>{49, 97, 145, 193}));

    // 200 frames counted: 8 since the last renewal. Paused frames count for nothing.
    s.paused = true;
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(countFrameCredit(s));
    s.paused = false;
    int next = 0;
    for (int frame = 1; frame <= 48 && !next; ++frame)
        if (countFrameCredit(s))
            next = frame;
    EXPECT_EQ(next, 41); // 8 + 40 = 48 counted, the 41st after pausing renews
}

TEST(PlaybackRules, SpeedCodesOfNewerRecorders) {
    PlaybackState s = playing();
    const std::pair<unsigned, int> table[] = {{6, -4}, {7, -3}, {8, -2}, {9, -1}, {10, 0},
                                              {11, 1}, {12, 2}, {13, 3}, {14, 4}, {15, 0}};
    for (const auto& [code, speed] : table) {
        const auto audio = applySpeedCode(s, code, true);
        ASSERT_TRUE(audio) << code;
        EXPECT_EQ(s.speed, speed) << code;
        EXPECT_EQ(*audio, speed == 1) << code;
    }
    // The same code again changes nothing.
    EXPECT_FALSE(applySpeedCode(s, 15, true));
}

TEST(PlaybackRules, OlderRecordersReportSpeedInForwardPlayOnly) {
    PlaybackState s = playing();
    EXPECT_EQ(applySpeedCode(s, 11, false), std::optional<bool>(true));
    EXPECT_EQ(s.speed, 1);
    EXPECT_EQ(applySpeedCode(s, 12, false), std::optional<bool>(false));
    EXPECT_EQ(s.speed, 2);
    EXPECT_EQ(applySpeedCode(s, 13, false), std::nullopt); // speed 0, audio left as it is
    EXPECT_EQ(s.speed, 0);
    s.mode = PlayMode::Reverse;
    EXPECT_EQ(applySpeedCode(s, 11, false), std::nullopt);
    EXPECT_EQ(s.speed, 0);
    EXPECT_EQ(s.lastSpeedCode, 11);
}

struct ControlCase {
    const char* name;
    PlayControl control;
    bool holding;
    Lines messages;
    PlayMode mode;
    bool paused;
    SeekState seek;
};

TEST(PlaybackRules, EachControlsMessageSequence) {
    const ControlCase cases[] = {
        {"step back",
         PlayControl::StepBackward,
         false,
         {"PLAY_PAUSE", "PLAY_PREV_STEP", "PLAY_CH_CHANGE 3", "PLAY_STEP_DATA 1"},
         PlayMode::StepBackward,
         true,
         SeekState::Streaming},
        {"step back holding",
         PlayControl::StepBackward,
         true,
         {"PLAY_BACKWARD @101 mask f v1", "PLAY_STEP_DATA 4"},
         PlayMode::StepBackward,
         true,
         SeekState::Seeking},
        {"reverse",
         PlayControl::Reverse,
         false,
         {"PLAY_BACKWARD", "PLAY_STEP_DATA 93"},
         PlayMode::Reverse,
         false,
         SeekState::Streaming},
        {"reverse holding",
         PlayControl::Reverse,
         true,
         {"PLAY_BACKWARD @101 mask f v1", "PLAY_STEP_DATA 93"},
         PlayMode::Reverse,
         false,
         SeekState::Seeking},
        {"forward",
         PlayControl::Forward,
         false,
         {"PLAY_FORWARD", "PLAY_STEP_DATA 93"},
         PlayMode::Forward,
         false,
         SeekState::Streaming},
        {"forward holding",
         PlayControl::Forward,
         true,
         {"PLAY_PAUSE", "PLAY_FORWARD @100 mask f v1", "PLAY_STEP_DATA 93"},
         PlayMode::Forward,
         false,
         SeekState::Seeking},
        {"pause",
         PlayControl::Pause,
         false,
         {"PLAY_PAUSE"},
         PlayMode::Forward,
         true,
         SeekState::Holding},
        {"step forward",
         PlayControl::StepForward,
         false,
         {"PLAY_PAUSE", "PLAY_NEXT_STEP", "PLAY_CH_CHANGE 3", "PLAY_STEP_DATA 1"},
         PlayMode::StepForward,
         true,
         SeekState::Streaming},
        {"step forward holding",
         PlayControl::StepForward,
         true,
         {"PLAY_FORWARD @100 mask f v1", "PLAY_STEP_DATA 1"},
         PlayMode::StepForward,
         true,
         SeekState::Seeking},
    };
    for (const ControlCase& c : cases) {
        PlaybackState s = playing();
        if (c.holding)
            applyControl(s, PlayControl::Pause, context());
        const PlayEffects e = applyControl(s, c.control, context());
        EXPECT_EQ(describe(e), c.messages) << c.name;
        EXPECT_EQ(s.mode, c.mode) << c.name;
        EXPECT_EQ(s.paused, c.paused) << c.name;
        EXPECT_EQ(s.seekState, c.seek) << c.name;
        EXPECT_TRUE(s.reanchor) << c.name;
    }
}

TEST(PlaybackRules, StepBackwardWhileHoldingSeeksBackToTheShownFrameThenSteps) {
    PlaybackState s = playing();
    applyControl(s, PlayControl::Pause, context());
    applyControl(s, PlayControl::StepBackward, context());
    ASSERT_EQ(s.turn, PlayTurn::ToBackward);
    ASSERT_EQ(s.seekBudget, 4);
    // The restarted stream runs backward from 101 s: later frames are dropped; the budget of
    // four frames is renewed when it runs out.
    EXPECT_TRUE(describe(seekStep(s, 101'000, context())).empty());
    EXPECT_TRUE(describe(seekStep(s, 100'900, context())).empty());
    EXPECT_TRUE(describe(seekStep(s, 100'800, context())).empty());
    EXPECT_EQ(describe(seekStep(s, 100'700, context())), (Lines{"PLAY_STEP_DATA 4"}));
    EXPECT_EQ(s.seekState, SeekState::Seeking);
    // Back at the shown frame: one step back on the shown channels.
    EXPECT_EQ(describe(seekStep(s, 100'500, context())),
              (Lines{"PLAY_PAUSE", "PLAY_PREV_STEP", "PLAY_CH_CHANGE 3", "PLAY_STEP_DATA 1"}));
    EXPECT_EQ(s.seekState, SeekState::Streaming);
    EXPECT_TRUE(s.bumpGenerations);
    EXPECT_EQ(s.shownRecord, 0x0003);
}

TEST(PlaybackRules, ForwardAfterHoldingDropsUntilTheShownFrame) {
    PlaybackState s = playing();
    applyControl(s, PlayControl::Pause, context());
    applyControl(s, PlayControl::Forward, context());
    s.bumpGenerations = false;
    EXPECT_TRUE(describe(seekStep(s, 100'000, context())).empty());
    EXPECT_EQ(s.seekState, SeekState::Seeking);
    // Exactly the shown frame ends the seek without renewing the generations.
    seekStep(s, 100'500, context());
    EXPECT_EQ(s.seekState, SeekState::Streaming);
    EXPECT_FALSE(s.bumpGenerations);
}

TEST(PlaybackRules, StepForwardAfterReverseSeeksForwardWithBudget) {
    PlaybackState s = playing();
    applyControl(s, PlayControl::Reverse, context());
    applyControl(s, PlayControl::Pause, context());
    applyControl(s, PlayControl::StepForward, context());
    ASSERT_EQ(s.turn, PlayTurn::ToForward);
    s.seekBudget = 1;
    EXPECT_EQ(describe(seekStep(s, 99'000, context())), (Lines{"PLAY_STEP_DATA 4"}));
    EXPECT_EQ(describe(seekStep(s, 100'600, context())),
              (Lines{"PLAY_PAUSE", "PLAY_NEXT_STEP", "PLAY_CH_CHANGE 3", "PLAY_STEP_DATA 1"}));
    EXPECT_EQ(s.seekState, SeekState::Streaming);
}

TEST(PlaybackRules, ButtonRules) {
    PlaybackState idle;
    for (auto c : {PlayControl::StepBackward, PlayControl::Reverse, PlayControl::Forward,
                   PlayControl::Pause, PlayControl::Stop, PlayControl::StepForward})
        EXPECT_FALSE(controlAllowed(idle, c, true));

    PlaybackState s = playing(); // forward play
    EXPECT_FALSE(controlAllowed(s, PlayControl::StepBackward, true));
    EXPECT_FALSE(controlAllowed(s, PlayControl::StepForward, true));
    EXPECT_TRUE(controlAllowed(s, PlayControl::Pause, true));
    EXPECT_TRUE(controlAllowed(s, PlayControl::Reverse, false)); // mode 3
    EXPECT_TRUE(controlAllowed(s, PlayControl::Stop, false));

    s.mode = PlayMode::Reverse;
    EXPECT_TRUE(controlAllowed(s, PlayControl::Reverse, true));
    EXPECT_FALSE(controlAllowed(s, PlayControl::Reverse, false)); // older, streaming reverse
    EXPECT_TRUE(controlAllowed(s, PlayControl::Forward, false));

    applyControl(s, PlayControl::Pause, context());
    EXPECT_TRUE(controlAllowed(s, PlayControl::StepBackward, false));
    EXPECT_TRUE(controlAllowed(s, PlayControl::StepForward, false));
    EXPECT_FALSE(controlAllowed(s, PlayControl::Pause, true));
    EXPECT_TRUE(controlAllowed(s, PlayControl::Reverse, false));
}

TEST(PlaybackRules, DisplayedSpeedMark) {
    PlaybackState s = playing();
    EXPECT_EQ(displayedSpeed(s, true), std::nullopt); // speed not reported yet
    applySpeedCode(s, 11, true);
    EXPECT_EQ(displayedSpeed(s, true), 1);
    // Reverse play at normal speed shows the reverse mark, not the pause mark.
    applySpeedCode(s, 9, true);
    EXPECT_EQ(displayedSpeed(s, true), -1);
    applySpeedCode(s, 6, true);
    EXPECT_EQ(displayedSpeed(s, true), -4);
    s.paused = true;
    EXPECT_EQ(displayedSpeed(s, true), 0);

    PlaybackState old = playing();
    applySpeedCode(old, 12, false);
    EXPECT_EQ(displayedSpeed(old, false), 2);
    old.mode = PlayMode::Reverse;
    EXPECT_EQ(displayedSpeed(old, false), -1);
    old.mode = PlayMode::StepForward;
    EXPECT_EQ(displayedSpeed(old, false), 0);
}

// The position slider's jump from 100.5 s: the old place's frames still under way are dropped,
// the restarted stream's first frame (a step in time near the second) is shown with every
// decoder starting afresh; a second in a gap is found by the stream going on far from both.
TEST(PlaybackRules, JumpRestartsForwardAtTheSecondAndDropsTheOldPlace) {
    struct Case {
        std::uint32_t target;
        std::vector<std::int64_t> dropped; // frame times (ms) dropped, in order
        std::int64_t shown;                // the first frame shown
    };
    const Case cases[] = {
        {40, {100533, 101000, 104000}, 39400}, // back, from the key frame before
        {300, {100533, 102000}, 300000},       // forward
        {60, {100533}, 75000},                 // back into a gap: the next recording
        {104, {100533, 101500}, 103100},       // a few seconds on: the step to the key frame
        {102, {100533, 101500}, 102000},       // the old place at the second asked for
    };
    for (const Case& c : cases) {
        PlaybackState s = playing();
        s.paused = true;
        const std::uint32_t before = s.generation[2];
        const PlayEffects e = applyJump(s, c.target, context());
        EXPECT_EQ(describe(e), (Lines{"PLAY_FORWARD @" + std::to_string(c.target) + " mask f v1",
                                      "PLAY_STEP_DATA 93"}));
        EXPECT_TRUE(e.flushAudio);
        EXPECT_EQ(s.position, c.target);
        EXPECT_FALSE(s.paused);
        for (std::int64_t t : c.dropped)
            EXPECT_FALSE(jumpStep(s, t)) << c.target << " " << t;
        EXPECT_TRUE(jumpStep(s, c.shown)) << c.target;
        EXPECT_EQ(s.seekState, SeekState::Streaming);
        EXPECT_EQ(s.generation[2], before + 1);
    }
    // A movement before the stream is there goes on from the second asked for.
    PlaybackState s = playing();
    applyJump(s, 40, context());
    applyControl(s, PlayControl::Pause, context());
    EXPECT_FALSE(s.jumpTarget);
    EXPECT_EQ(describe(applyControl(s, PlayControl::Forward, context())),
              (Lines{"PLAY_PAUSE", "PLAY_FORWARD @40 mask f v1", "PLAY_STEP_DATA 93"}));
}

} // namespace
} // namespace kalder
