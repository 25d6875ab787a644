#pragma once

// A stand-in for the decoder module that returns scripted results, for the decode thread's
// result handling. Besides the three PT_H264dec_* entries it exports the two functions below,
// which a test looks up in the same module.

#include <cstdint>

struct ScriptedCall {
    int entry;             // 0 init, 1 get one frame, 2 uninit
    std::uint32_t frameId; // first four bytes of the video (get one frame)
    int videoLength;
    int result;
};

// Results of the next GetOneFrame calls, in order (then 0), and of the next Init calls (then 0).
using ScriptedConfigure_t = void (*)(const int* frameResults, int frameCount,
                                     const int* initResults, int initCount);
// Copies up to `max` logged calls (oldest first) and returns how many there are.
using ScriptedLog_t = int (*)(ScriptedCall* calls, int max);
