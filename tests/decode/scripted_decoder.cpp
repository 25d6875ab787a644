// Test double of H264_D1.so: every call is logged, results come from a script. A picture
// result writes the frame id into the first four bytes of the picture.

#include "decoder/h264_d1_api.h"
#include "scripted_decoder.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#define SCRIPTED_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex g_lock;
std::deque<int> g_frameResults;  // guarded by g_lock
std::deque<int> g_initResults;   // guarded by g_lock
std::vector<ScriptedCall> g_log; // guarded by g_lock

int next(std::deque<int>& script) {
    if (script.empty()) {
        return 0;
    }
    const int result = script.front();
    script.pop_front();
    return result;
}

} // namespace

SCRIPTED_EXPORT void Scripted_Configure(const int* frameResults, int frameCount,
                                        const int* initResults, int initCount) {
    std::lock_guard lock(g_lock);
    g_frameResults.assign(frameResults, frameResults + frameCount);
    g_initResults.assign(initResults, initResults + initCount);
    g_log.clear();
}

SCRIPTED_EXPORT int Scripted_Log(ScriptedCall* calls, int max) {
    std::lock_guard lock(g_lock);
    const int count = static_cast<int>(g_log.size());
    for (int i = 0; i < count && i < max; ++i) {
        calls[i] = g_log[static_cast<std::size_t>(i)];
    }
    return count;
}

SCRIPTED_EXPORT int PT_H264dec_Init(std::uint32_t* context) {
    std::lock_guard lock(g_lock);
    const int result = next(g_initResults);
    g_log.push_back({0, 0, 0, result});
    context[kH264WordDecoder] = result == 0 ? 1 : 0;
    return result;
}

SCRIPTED_EXPORT int PT_H264dec_Uninit(std::uint32_t* context) {
    std::lock_guard lock(g_lock);
    g_log.push_back({2, 0, 0, 0});
    context[kH264WordDecoder] = 0;
    return 0;
}

SCRIPTED_EXPORT int PT_H264dec_GetOneFrame(std::uint32_t* context, const std::uint8_t* video,
                                           int videoLength, std::uint8_t* picture) {
    std::lock_guard lock(g_lock);
    std::uint32_t id = 0;
    if (videoLength >= 4) {
        std::memcpy(&id, video, 4);
    }
    const int result = context[kH264WordDecoder] == 0 ? kH264NoDecoder : next(g_frameResults);
    g_log.push_back({1, id, videoLength, result});
    if (result == kH264Picture || result == kH264PictureAlt) {
        std::memcpy(picture, &id, 4);
    }
    return result;
}
