#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalder::sim {

// One encoded H.264 access unit in Annex B form; key frames carry SPS and PPS in front.
struct EncodedFrame {
    std::vector<std::byte> data;
    bool key = false;
};

// What a loop is encoded from. Two loops with the same key() are the same bytes.
struct LoopParams {
    unsigned width = 704;
    unsigned height = 480;
    unsigned framesPerSecond = 30;
    unsigned bitrateKbps = 2000;
    unsigned keyIntervalFrames = 30;
    unsigned frameCount = 60; // a whole number of key intervals
    unsigned channel = 0;     // 0-15; drawn as channel + 1
    std::string title;
    std::string preset = "ultrafast";

    std::string key() const;
};

// A replayable loop: frame 0 is a key frame and the last frame is followed by frame 0 again.
struct VideoLoop {
    LoopParams params;
    std::vector<EncodedFrame> frames;
};

// Draws frame `index` of the synthetic scene into the three planes of a 4:2:0 picture: a moving
// textured background with film grain (so the encoder spends a realistic number of bits), a
// bouncing box, and the labels (drawSceneLabels).
void drawScene(const LoopParams& params, unsigned index, std::uint8_t* y, int yStride,
               std::uint8_t* u, int uStride, std::uint8_t* v, int vStride);

// A rectangle of a picture in pixels: columns [x, x + width), rows [y, y + height).
struct SceneRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where the scene's labels go. The client draws its own texts over every cell, a line at the
// top (title and picture size) and a line with icons at the bottom (mode label, frame rate,
// audio, PTZ and speed marks), so the labels keep to the lower middle of the picture, between
// those lines even in the smallest cell.
struct SceneLabelLayout {
    int numberScale = 1; // glyph scale of the channel number
    int textScale = 1;   // of the title and the position in the loop
    SceneRect numberPlate;
    int numberX = 0, numberY = 0;
    SceneRect textPlate; // across the picture
    int textY = 0;
    SceneRect area; // everything the labels draw
};
SceneLabelLayout sceneLabelLayout(const LoopParams& params);
SceneRect sceneLabelArea(const LoopParams& params);

// Draws the labels into the luma plane: the channel number large on a dark plate and, below it,
// the title and the position in the loop (seconds:frame) on a plate across the picture.
void drawSceneLabels(const LoopParams& params, unsigned index, std::uint8_t* y, int yStride);

// Encodes a loop with libx264 (baseline profile, key frame every keyIntervalFrames, one thread).
std::optional<VideoLoop> encodeVideoLoop(const LoopParams& params, std::string& error);

// Cache file of a loop: named by a hash of params.key(), which the file also holds in full.
std::string loopCachePath(const std::string& cacheDir, const LoopParams& params);
bool saveVideoLoop(const VideoLoop& loop, const std::string& path);
// Nothing when the file is missing, damaged or holds a loop of other parameters.
std::optional<VideoLoop> loadVideoLoop(const LoopParams& params, const std::string& path);

// Loads the loop from the cache or encodes it and stores it there. `fromCache` tells which.
std::shared_ptr<const VideoLoop> obtainVideoLoop(const LoopParams& params,
                                                 const std::string& cacheDir, bool& fromCache,
                                                 std::string& error);

} // namespace kalder::sim
