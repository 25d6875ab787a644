#pragma once

#include "decode/decode_host.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kalder {

// A picture of 24-bit pixels in memory, top row first, red-green-blue.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 3

    bool empty() const { return width <= 0 || height <= 0; }
    std::uint8_t* at(int x, int y) {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
    const std::uint8_t* at(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
};

// Snapshots are 800 x 600.
inline constexpr int kSnapshotWidth = 800;
inline constexpr int kSnapshotHeight = 600;
// The stamp's font height; the text is placed with its negative value.
inline constexpr int kStampFontHeight = 21;

// The decoded picture as the writers see it, upright. Planar pictures are converted with the
// writers' own integer formula (74·y + 102·v ...) >> 6; a 480- or 576-line planar picture
// holds its two fields one after the other, so it is taken from its first field line-doubled,
// as the video window shows it. Empty when the view is too small for its size.
RgbImage uprightPicture(const PictureView& picture);

// A rectangle of `source` scaled to width x height (nearest sample). The rectangle is clipped
// to the source.
struct SourceRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
RgbImage scalePicture(const RgbImage& source, SourceRect rect, int width, int height);

// The part of a decoded picture a snapshot shows: the picture less a border of 6 pixels
// (12 when wider than 700), 11 (22) narrower and 10 (20) lower.
SourceRect snapshotSourceRect(int width, int height);
// The part a web export shows: the full width, less 8 rows above and 4 below (16 and 8 for 480
// and 576 lines).
SourceRect webSourceRect(int width, int height);

// Draws `text` in cyan, transparent background, with a built-in font of `fontHeight` rows
// (digits, '-', ':', ' ', 'C', 'H'; other characters leave a gap), its top left corner at (x, y).
// Pixels outside the image are skipped.
void drawLabel(RgbImage& image, std::string_view text, int x, int y, int fontHeight);

// Where the snapshot stamp goes: x = (800 + (length × -21) / 2) / 2, y = 600 - 21 - 10.
struct Point {
    int x = 0;
    int y = 0;
};
Point stampPosition(std::size_t length);

// The whole snapshot: scaled to 800 x 600 from snapshotSourceRect, stamped with `stamp`.
RgbImage snapshotImage(const PictureView& picture, std::string_view stamp);
// A web export picture: width x height from webSourceRect, labelled "CH<channel + 1>" at (7, 3)
// in a font `fontHeight` high.
RgbImage webImage(const PictureView& picture, int width, int height, int fontHeight);

} // namespace kalder
