#pragma once

#include "wire/channel_count.h"
#include "wire/frame_info.h"

#include <array>
#include <cstdint>
#include <optional>

namespace kalder {

// The local player's movement state and the pure rules over it: the controls and their speed
// cycles, which frames are shown at each speed, and the pacing arithmetic. The player thread
// and the GUI thread run these; the player keeps the state in atomics.

// What the player does: step backward, reverse play, forward play, pause, step forward.
enum class LocalMode : int {
    StepBackward = 1,
    Reverse = 2,
    Forward = 3,
    Pause = 4,
    StepForward = 7
};

// Speeds: 1-4 forward, -2..-4 reverse, 0 none, 5 paused after forward play.
inline constexpr int kLocalSpeedPausedForward = 5;

// Before a key frame is shown at a fast speed, the player waits while the channel's decoder
// holds more than this many frames.
inline constexpr std::size_t kLocalQueueWaitFrames = 8;
// Pacing gives up waiting for one frame after this long and re-anchors at it.
inline constexpr std::int64_t kLocalPacingReanchorMs = 3000;
// A resync puts the pacing base this far before the frame that triggered it.
inline constexpr std::int64_t kLocalPacingLeadMs = 100;

struct LocalControlState {
    LocalMode mode = LocalMode::Forward;
    int speed = 0;
};

// What a control asks of the player besides the new mode and speed.
struct LocalControlEffects {
    bool resync = false;       // the pacing base is set again at the next frame
    bool restart = false;      // the restart count (the frames' stream generation) goes up
    bool destroyAudio = false; // the audio output is dropped
    int highlight = 0;         // 0 keep, else the button shown pressed (2, 3, 4)
    // The window is repainted half a second later (steps and pause show their picture).
    bool repaintLater = false;
};

// A playback control (1, 2, 3, 4 or 7); any other number changes nothing.
LocalControlEffects applyLocalControl(LocalControlState& state, int control);

// The speed mark the overlays show: the speed for 1-4, speed + 1 for reverse speeds, else 0.
int localSpeedMark(int speed);

// Which frames are shown. Forward play at speed 1 shows every frame; forward play at speeds
// 2-4 and reverse play show only key frames, and of these every second one per channel at
// speeds 3 and -3 and every third one at 4 and -4.
class FrameSelector {
public:
    // Forgets the per-channel counts (a new speed, a new run).
    void reset() { m_skip.fill(0); }
    // Whether the frame of `channel` is shown in forward or reverse play at `speed`.
    bool select(int speed, unsigned channel, bool keyFrame);
    // Whether the speed shows key frames only (and waits on the decoder's queue).
    static bool keyFramesOnly(int speed) { return speed != 1; }

private:
    std::array<int, kChannelCount> m_skip{};
};

// Frame time of a descriptor in milliseconds.
inline std::int64_t localFrameMs(const FrameDescriptor& d) {
    return static_cast<std::int64_t>(d.infoWord) * 1000 + d.infoHalf;
}

// How long after the pacing base's tick a frame is due, in milliseconds: the frame's distance
// from the base, in the direction of play, shifted right by 1, 2 and 4 bits at speeds 2, 3 and
// 4 (and -2, -3, -4). Nothing at a speed that is not paced (0, 5).
std::optional<std::int64_t> localPaceTargetMs(int speed, std::int64_t frameMs, std::int64_t baseMs);

// Layout for a run by the highest channel (0-based) of its channel mask: 4 pictures up to
// channel 4, 16 above channel 9, else 9.
int localLayoutForChannels(std::uint32_t channelMask);

} // namespace kalder
