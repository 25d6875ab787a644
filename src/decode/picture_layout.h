#pragma once

#include "decode/decode_host.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kalder {

// 480- and 576-line pictures arrive as two fields, one after the other.
constexpr bool isFieldPicture(int height) {
    return height == 480 || height == 576;
}

// Bytes a picture of width x height takes in a layout.
std::size_t pictureBytes(PictureLayout layout, int width, int height);

// A colour sample computed in int, clamped to 0-255.
inline std::uint8_t clampToByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// Turns a BGR picture as the decoder module writes it (top row first; a field picture's first
// field in the upper half of the rows, its second field in the lower half) into the bottom-up
// picture the RGB drawing path expects: last display row first, and for field pictures display
// rows 2i and 2i + 1 both taken from row i of the second field. `decoded` and `picture` must
// not overlap and must each hold pictureBytes(BottomUpBgr, width, height).
void reorderForBottomUp(std::span<const std::byte> decoded, std::span<std::byte> picture, int width,
                        int height);

// The picture as the video window shows it, as top-down 24-bit RGB (red first) of
// width x height: a planar field picture shows its first field line-doubled, a bottom-up BGR
// picture is turned upright. Empty when the view is too small for its size.
std::vector<std::uint8_t> displayRgb(const PictureView& picture);

// Frame time of a snapshot, formatted as the date format setting says (0 year first,
// 1 month first, 2 day first), two spaces before the time of day; a negative time counts as 0.
std::string formatSnapshotTime(std::int64_t seconds, int dateFormat);

} // namespace kalder
