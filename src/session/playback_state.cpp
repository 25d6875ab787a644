#include "session/playback_state.h"

#include "wire/message_catalogue.h"
#include "wire/playback_records.h"

#include <cstdlib>

namespace kalder {

namespace {

PlayMessage word(std::uint16_t id, std::uint32_t value) {
    const auto bytes = encodePlayWord(value);
    return {id, {bytes.begin(), bytes.end()}};
}

PlayMessage plain(std::uint16_t id) {
    return {id, {}};
}

PlayMessage positioned(std::uint16_t id, std::uint32_t position, const PlayContext& context) {
    const auto bytes =
        encodePlayPosition({context.playbackMask, context.positionVersionByte, position});
    return {id, {bytes.begin(), bytes.end()}};
}

// The channel change that goes with a step: the shown channels, which the window's record keeps.
PlayMessage channelChange(PlaybackState& state, const PlayContext& context) {
    state.shownRecord = context.shownChannels;
    return word(MessageId::PLAY_CH_CHANGE, context.shownChannels);
}

// Pause, one step in `stepId`'s direction on the shown channels, and its one frame.
void stepMessages(PlayEffects& effects, PlaybackState& state, std::uint16_t stepId,
                  const PlayContext& context) {
    effects.messages.push_back(plain(MessageId::PLAY_PAUSE));
    effects.messages.push_back(plain(stepId));
    effects.messages.push_back(channelChange(state, context));
    effects.messages.push_back(word(MessageId::PLAY_STEP_DATA, 1));
}

void renewSeekBudget(PlayEffects& effects, PlaybackState& state, const PlayContext& context) {
    if (state.seekBudget > 0)
        return;
    effects.messages.push_back(word(MessageId::PLAY_STEP_DATA, context.channelCount));
    state.seekBudget = static_cast<int>(context.channelCount);
}

void clearSpeed(PlaybackState& state) {
    state.speed = 0;
    state.speedCode = 0;
}

// A jump's restarted stream begins at the key frame at or before the second asked for, a key
// interval early at most, with a step in time from the frame before it: the frames still under
// way from the old place follow each other closely.
constexpr std::int64_t kJumpLeadMs = 3000;
constexpr std::int64_t kJumpStepMs = 1000;
// The frames still under way from the old place: the credits outstanding (93 + 48 frames, five
// seconds of one channel at 30 fps) from the last one shown, and the channels' interleaving
// behind it.
constexpr std::int64_t kOldStreamAheadMs = 8000;
constexpr std::int64_t kOldStreamBehindMs = 1000;

} // namespace

PlayEffects startPlayback(PlaybackState& state, const PlayContext& /*context*/) {
    state.playRequested = false;
    state.generation.fill(0);
    state.shownRecord = 0;
    state.turn = PlayTurn::None;
    state.paused = false;
    state.lastShownFrame = {};
    PlayEffects effects;
    effects.messages.push_back(word(MessageId::PLAY_STEP_DATA, kPlayInitialCredit));
    state.bumpGenerations = true;
    state.reanchor = true;
    state.playing = true;
    state.creditCount = 0;
    state.mode = PlayMode::Forward;
    state.seekState = SeekState::Streaming;
    effects.highlight = static_cast<int>(PlayControl::Forward);
    state.lastSpeedCode = -1;
    clearSpeed(state);
    return effects;
}

std::optional<std::uint32_t> countFrameCredit(PlaybackState& state) {
    // Frames that arrive while paused earn nothing.
    if (state.paused)
        return std::nullopt;
    std::optional<std::uint32_t> renewal;
    if (state.creditCount == static_cast<int>(kPlayCreditRenewal)) {
        renewal = kPlayCreditRenewal;
        state.creditCount = 0;
    }
    ++state.creditCount;
    return renewal;
}

std::optional<bool> applySpeedCode(PlaybackState& state, unsigned code, bool version12) {
    if (static_cast<int>(code) == state.lastSpeedCode)
        return std::nullopt;
    state.lastSpeedCode = static_cast<int>(code);
    if (version12) {
        state.speed = playSpeedForCode(code);
        state.speedCode = static_cast<int>(code);
        return state.speed == 1;
    }
    // Older recorders report a speed in forward play only.
    if (state.mode != PlayMode::Forward)
        return std::nullopt;
    state.speedCode = static_cast<int>(code);
    if (code == 11) {
        state.speed = 1;
        return true;
    }
    if (code == 12) {
        state.speed = 2;
        return false;
    }
    state.speed = 0;
    return std::nullopt;
}

PlayEffects seekStep(PlaybackState& state, std::int64_t frameMs, const PlayContext& context) {
    PlayEffects effects;
    --state.seekBudget;
    const std::int64_t t = frameMs;
    const std::int64_t l = frameTimeMs(state.lastShownFrame);
    const PlayMode mode = state.mode;
    switch (state.turn) {
    case PlayTurn::None:
        if (mode == PlayMode::Forward || mode == PlayMode::StepForward) {
            if (t < l)
                break;
            if (t > l)
                state.bumpGenerations = true;
            state.seekState = SeekState::Streaming;
            if (mode == PlayMode::StepForward)
                stepMessages(effects, state, MessageId::PLAY_NEXT_STEP, context);
        } else {
            if (t > l) {
                if (mode == PlayMode::StepBackward)
                    renewSeekBudget(effects, state, context);
                break;
            }
            state.seekState = SeekState::Streaming;
            if (mode == PlayMode::StepBackward)
                stepMessages(effects, state, MessageId::PLAY_PREV_STEP, context);
        }
        break;
    case PlayTurn::ToForward:
        if (t >= l) {
            state.bumpGenerations = true;
            state.seekState = SeekState::Streaming;
            if (mode == PlayMode::StepForward)
                stepMessages(effects, state, MessageId::PLAY_NEXT_STEP, context);
        } else if (mode == PlayMode::StepForward) {
            renewSeekBudget(effects, state, context);
        }
        break;
    case PlayTurn::ToBackward:
        if (t <= l) {
            state.bumpGenerations = true;
            state.seekState = SeekState::Streaming;
            if (mode == PlayMode::StepBackward)
                stepMessages(effects, state, MessageId::PLAY_PREV_STEP, context);
        } else if (mode == PlayMode::StepBackward) {
            renewSeekBudget(effects, state, context);
        }
        break;
    }
    return effects;
}

PlayEffects applyJump(PlaybackState& state, std::uint32_t second, const PlayContext& context) {
    using namespace MessageId;
    PlayEffects effects;
    state.reanchor = true;
    state.jumpTarget = second;
    state.jumpFromMs = frameTimeMs(state.lastShownFrame);
    state.jumpLastMs = state.jumpFromMs;
    // A movement asked for before the stream is there restarts from the second asked for.
    state.lastShownFrame.infoWord = second;
    state.lastShownFrame.infoHalf = 0;
    state.position = second;
    state.turn = PlayTurn::None;
    state.mode = PlayMode::Forward;
    state.paused = false;
    state.seekState = SeekState::Seeking;
    clearSpeed(state);
    state.lastSpeedCode = -1;
    effects.flushAudio = true;
    effects.messages.push_back(positioned(PLAY_FORWARD, second, context));
    effects.messages.push_back(word(PLAY_STEP_DATA, kPlayInitialCredit));
    effects.highlight = static_cast<int>(PlayControl::Forward);
    return effects;
}

bool jumpStep(PlaybackState& state, std::int64_t frameMs) {
    if (!state.jumpTarget)
        return false;
    const std::int64_t target = static_cast<std::int64_t>(*state.jumpTarget) * 1000;
    const bool stepped = std::abs(frameMs - state.jumpLastMs) > kJumpStepMs;
    state.jumpLastMs = frameMs;
    // A frame of the second asked for is right, whichever stream it came with.
    const bool inSecond = frameMs >= target && frameMs < target + 1000;
    const bool leadIn = frameMs >= target - kJumpLeadMs && frameMs < target;
    const bool oldPlace = frameMs >= state.jumpFromMs - kOldStreamBehindMs &&
                          frameMs <= state.jumpFromMs + kOldStreamAheadMs;
    // Far from both: the second asked for lay in a gap and the recorder went on with its next
    // recording.
    if (!inSecond && !(stepped && (leadIn || !oldPlace)))
        return false;
    state.jumpTarget.reset();
    state.seekState = SeekState::Streaming;
    // Every decoder starts again at a key frame of the new place.
    for (std::uint32_t& generation : state.generation)
        ++generation;
    state.bumpGenerations = false;
    return true;
}

PlayEffects applyControl(PlaybackState& state, PlayControl control, const PlayContext& context) {
    using namespace MessageId;
    PlayEffects effects;
    state.reanchor = true;
    // A movement ends a jump under way: it goes on from the second the jump asked for.
    state.jumpTarget.reset();
    const PlayMode before = state.mode;
    const bool wasForward = before == PlayMode::Forward || before == PlayMode::StepForward;
    const bool holding = state.seekState == SeekState::Holding;
    auto& out = effects.messages;
    switch (control) {
    case PlayControl::StepBackward:
        state.turn = wasForward ? PlayTurn::ToBackward : PlayTurn::None;
        state.bumpGenerations = true;
        effects.flushAudio = true;
        state.mode = PlayMode::StepBackward;
        state.paused = true;
        if (holding) {
            // Restart a second later than the position and seek back to the last shown frame.
            out.push_back(positioned(PLAY_BACKWARD, state.position + 1, context));
            state.seekState = SeekState::Seeking;
            out.push_back(word(PLAY_STEP_DATA, context.channelCount));
            state.seekBudget = static_cast<int>(context.channelCount);
        } else {
            clearSpeed(state);
            stepMessages(effects, state, PLAY_PREV_STEP, context);
        }
        break;
    case PlayControl::Reverse:
        state.turn = wasForward ? PlayTurn::ToBackward : PlayTurn::None;
        state.bumpGenerations = true;
        effects.flushAudio = true;
        state.mode = PlayMode::Reverse;
        state.paused = false;
        if (holding) {
            out.push_back(positioned(PLAY_BACKWARD, state.position + 1, context));
            state.seekState = SeekState::Seeking;
        } else {
            clearSpeed(state);
            out.push_back(plain(PLAY_BACKWARD));
            state.seekState = SeekState::Streaming;
        }
        out.push_back(word(PLAY_STEP_DATA, kPlayInitialCredit));
        effects.highlight = static_cast<int>(PlayControl::Reverse);
        break;
    case PlayControl::Forward:
        if (!wasForward) {
            state.turn = PlayTurn::ToForward;
            state.bumpGenerations = true;
        } else {
            state.turn = PlayTurn::None;
        }
        state.mode = PlayMode::Forward;
        state.paused = false;
        if (holding) {
            out.push_back(plain(PLAY_PAUSE));
            out.push_back(positioned(PLAY_FORWARD, state.position, context));
            state.seekState = SeekState::Seeking;
        } else {
            clearSpeed(state);
            out.push_back(plain(PLAY_FORWARD));
            state.seekState = SeekState::Streaming;
        }
        out.push_back(word(PLAY_STEP_DATA, kPlayInitialCredit));
        effects.highlight = static_cast<int>(PlayControl::Forward);
        state.lastSpeedCode = -1;
        break;
    case PlayControl::Pause:
        effects.flushAudio = true;
        state.paused = true;
        clearSpeed(state);
        out.push_back(plain(PLAY_PAUSE));
        effects.highlight = static_cast<int>(PlayControl::Pause);
        state.seekState = SeekState::Holding;
        break;
    case PlayControl::StepForward:
        if (!wasForward) {
            state.turn = PlayTurn::ToForward;
            state.bumpGenerations = true;
        } else {
            state.turn = PlayTurn::None;
        }
        effects.flushAudio = true;
        state.paused = true;
        state.mode = PlayMode::StepForward;
        clearSpeed(state);
        if (holding) {
            out.push_back(positioned(PLAY_FORWARD, state.position, context));
            state.seekState = SeekState::Seeking;
        } else {
            out.push_back(plain(PLAY_PAUSE));
            out.push_back(plain(PLAY_NEXT_STEP));
            out.push_back(channelChange(state, context));
        }
        out.push_back(word(PLAY_STEP_DATA, 1));
        break;
    case PlayControl::Stop:
        break;
    }
    return effects;
}

bool controlAllowed(const PlaybackState& state, PlayControl control, bool version12) {
    if (!state.playing)
        return false;
    const PlayMode mode = state.mode;
    const bool streamingMode = mode == PlayMode::Reverse || mode == PlayMode::Forward;
    switch (control) {
    case PlayControl::StepBackward:
    case PlayControl::StepForward:
        return state.paused;
    case PlayControl::Reverse:
        return version12 || mode == PlayMode::Forward || state.paused;
    case PlayControl::Forward:
        return streamingMode || state.paused;
    case PlayControl::Pause:
        return !state.paused && streamingMode;
    case PlayControl::Stop:
        return true;
    }
    return false;
}

std::optional<int> displayedSpeed(const PlaybackState& state, bool version12) {
    if (state.paused)
        return 0;
    if (version12) {
        // The recorder's speed as it is: -1 is reverse play at normal speed, which the speed
        // mark draws as reverse (shifting it by one would draw normal reverse play as paused).
        if (state.speed != 0)
            return state.speed;
        return std::nullopt;
    }
    switch (state.mode) {
    case PlayMode::Reverse:
        return -1;
    case PlayMode::Forward:
        if (state.speed == 1 || state.speed == 2)
            return state.speed;
        return std::nullopt;
    default:
        return 0;
    }
}

} // namespace kalder
