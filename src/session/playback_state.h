#pragma once

#include "wire/frame_info.h"
#include "wire/channel_count.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kalder {

// The movement state of remote playback and the pure rules over it: the credits, the speed the
// recorder reports, the seek step and the controls. The session's playback class runs these
// under its state lock and sends the messages they return.

// The last movement asked for.
enum class PlayMode : int { StepBackward = 1, Reverse = 2, Forward = 3, StepForward = 7 };
// 0 streaming (frames are shown), 1 holding (dropped), 2 seeking (dropped until the stream is
// back at the last shown frame).
enum class SeekState : int { Streaming = 0, Holding = 1, Seeking = 2 };
// Direction change of the last movement.
enum class PlayTurn : int { None = 0, ToForward = 1, ToBackward = 2 };

// The main window's playback controls, by the number the buttons call them with.
enum class PlayControl : int {
    StepBackward = 1,
    Reverse = 2,
    Forward = 3,
    Pause = 4,
    Stop = 6,
    StepForward = 7
};

struct PlaybackState {
    bool playing = false;
    bool playRequested = false;
    PlayMode mode = PlayMode::Forward;
    bool paused = false;
    SeekState seekState = SeekState::Streaming;
    PlayTurn turn = PlayTurn::None;
    int speed = 0; // -4..4, 0 unknown
    int speedCode = 0;
    int lastSpeedCode = -1;
    int creditCount = 0; // 0..48
    int seekBudget = 0;
    std::array<std::uint32_t, kChannelCount> generation{};
    bool bumpGenerations = false;
    bool reanchor = false;
    std::int64_t pacingBaseMs = 0;
    std::int64_t wallBaseMs = 0;
    FrameDescriptor lastShownFrame{};
    std::uint32_t position = 0;
    // The video window's shown-channel record: the channels shown when generations were last
    // renewed, and the mask last sent with PLAY_CH_CHANGE.
    std::uint16_t shownRecord = 0;
    // A jump of the position slider under way: the second the stream restarts at, the time of
    // the last frame shown before it (the frames still under way from there are dropped) and of
    // the last frame dropped since.
    std::optional<std::uint32_t> jumpTarget;
    std::int64_t jumpFromMs = 0;
    std::int64_t jumpLastMs = 0;
};

// One message to the recorder: id and payload.
struct PlayMessage {
    std::uint16_t id = 0;
    std::vector<std::byte> payload;
    bool operator==(const PlayMessage&) const = default;
};

// What the rules need to know about the recorder and the window.
struct PlayContext {
    unsigned channelCount = 16;
    std::uint16_t shownChannels = 0xFFFF; // the current page of the video window
    std::uint32_t playbackMask = 0xFFFF;  // channels of the request, for positioned restarts
    std::uint8_t positionVersionByte = 1;
    bool version12 = true;
};

// What a control or a rule asks of the caller besides the messages.
struct PlayEffects {
    std::vector<PlayMessage> messages;
    bool flushAudio = false;
    // 0 no change, else the button to highlight (2 reverse, 3 forward, 4 pause).
    int highlight = 0;
};

// The PLAY_ON_ACK start: every field to its start value; returns the initial grant.
PlayEffects startPlayback(PlaybackState& state, const PlayContext& context);

// Credits for a frame received: the renewal to send, if any.
std::optional<std::uint32_t> countFrameCredit(PlaybackState& state);

// A frame's speed code (fragment flags bits 5-0). Returns whether audio is now accepted (true),
// discarded and flushed (false), or left as it is (nothing).
std::optional<bool> applySpeedCode(PlaybackState& state, unsigned code, bool version12);

// The seek step for a frame of time `frameMs` (the frame is dropped in every case).
PlayEffects seekStep(PlaybackState& state, std::int64_t frameMs, const PlayContext& context);

// A control of the main window's buttons (1, 2, 3, 4, 7).
PlayEffects applyControl(PlaybackState& state, PlayControl control, const PlayContext& context);

// A jump to `second` (the position slider): forward play restarts there with the positioned
// PLAY_FORWARD and a fresh grant, and the stream seeks until it is there (jumpStep).
PlayEffects applyJump(PlaybackState& state, std::uint32_t second, const PlayContext& context);

// While a jump seeks, for a frame of time `frameMs`: true when the frame belongs to the restarted
// stream, or lies in the second asked for; it is shown and streaming goes on from it, every
// channel's decoder starting afresh. Frames of the old place still under way are dropped (false).
bool jumpStep(PlaybackState& state, std::int64_t frameMs);

// Whether button `control` may be pressed now (stop: 6).
bool controlAllowed(const PlaybackState& state, PlayControl control, bool version12);

// The speed mark the overlays draw; nothing when none is drawn.
std::optional<int> displayedSpeed(const PlaybackState& state, bool version12);

// Frame time in milliseconds.
inline std::int64_t frameTimeMs(const FrameDescriptor& d) {
    return static_cast<std::int64_t>(d.infoWord) * 1000 + d.infoHalf;
}

} // namespace kalder
