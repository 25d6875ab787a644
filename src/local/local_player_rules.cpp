#include "local/local_player_rules.h"

namespace kalder {

LocalControlEffects applyLocalControl(LocalControlState& state, int control) {
    LocalControlEffects effects;
    const int speed = state.speed;
    switch (control) {
    case 1:
        state.mode = LocalMode::StepBackward;
        effects.destroyAudio = true;
        effects.repaintLater = true;
        break;
    case 2:
        effects.resync = true;
        state.mode = LocalMode::Reverse;
        state.speed = (speed >= 0 || speed <= -4) ? -2 : speed - 1;
        effects.destroyAudio = true;
        effects.highlight = 2;
        break;
    case 3:
        state.mode = LocalMode::Forward;
        if (speed <= 0 || speed >= 4) {
            // Play again after a pause (5) goes on without a new base: the pause set one.
            state.speed = 1;
            effects.resync = speed != kLocalSpeedPausedForward;
        } else {
            state.speed = speed + 1;
            effects.resync = true;
            effects.destroyAudio = true;
        }
        effects.highlight = 3;
        break;
    case 4:
        effects.resync = true;
        if (speed < 0) {
            state.speed = 0;
            effects.restart = true;
        } else if (speed > 0 && speed < kLocalSpeedPausedForward) {
            state.speed = kLocalSpeedPausedForward;
            effects.restart = speed >= 2;
        }
        state.mode = LocalMode::Pause;
        effects.destroyAudio = true;
        effects.highlight = 4;
        effects.repaintLater = true;
        break;
    case 7:
        state.mode = LocalMode::StepForward;
        effects.destroyAudio = true;
        effects.repaintLater = true;
        break;
    default:
        break;
    }
    return effects;
}

int localSpeedMark(int speed) {
    if (speed >= 1 && speed <= 4)
        return speed;
    if (speed <= -2 && speed >= -4)
        return speed + 1;
    return 0;
}

bool FrameSelector::select(int speed, unsigned channel, bool keyFrame) {
    if (speed == 1)
        return true;
    if (!keyFrame || channel >= kChannelCount)
        return false;
    const int every = (speed == 3 || speed == -3) ? 2 : (speed == 4 || speed == -4) ? 3 : 1;
    int& count = m_skip[channel];
    const bool shown = count == 0;
    count = (count + 1) % every;
    return shown;
}

std::optional<std::int64_t> localPaceTargetMs(int speed, std::int64_t frameMs,
                                              std::int64_t baseMs) {
    const std::int64_t distance = speed > 0 ? frameMs - baseMs : baseMs - frameMs;
    switch (speed) {
    case 1:
        return distance;
    case 2:
    case -2:
        return distance >> 1;
    case 3:
    case -3:
        return distance >> 2;
    case 4:
    case -4:
        return distance >> 4;
    default:
        return std::nullopt;
    }
}

int localLayoutForChannels(std::uint32_t channelMask) {
    int highest = -1;
    for (int n = 0; n < 32; ++n)
        if ((channelMask >> n) & 1u)
            highest = n;
    if (highest <= 3)
        return 4;
    if (highest > 8)
        return 16;
    return 9;
}

} // namespace kalder
