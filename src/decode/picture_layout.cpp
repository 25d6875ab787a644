#include "decode/picture_layout.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kalder {

std::size_t pictureBytes(PictureLayout layout, int width, int height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return layout == PictureLayout::Planar ? pixels + 2 * ((width / 2) * std::size_t(height / 2))
                                           : pixels * 3;
}

void reorderForBottomUp(std::span<const std::byte> decoded, std::span<std::byte> picture, int width,
                        int height) {
    const std::size_t needed = pictureBytes(PictureLayout::BottomUpBgr, width, height);
    if (needed == 0 || decoded.size() < needed || picture.size() < needed) {
        return;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const bool fields = isFieldPicture(height);
    for (int stored = 0; stored < height; ++stored) {
        const int display = height - 1 - stored;
        // Display row 2i and 2i + 1 show row i of the second field (decoder row h/2 + i).
        const int source = fields ? height / 2 + display / 2 : display;
        std::memcpy(picture.data() + static_cast<std::size_t>(stored) * rowBytes,
                    decoded.data() + static_cast<std::size_t>(source) * rowBytes, rowBytes);
    }
}

namespace {

// ITU-R BT.601, studio range, as the window's colour conversion does it.
void yuvToRgb(int y, int u, int v, std::uint8_t* rgb) {
    const int c = 298 * (y - 16);
    const int d = u - 128;
    const int e = v - 128;
    rgb[0] = clampToByte((c + 409 * e + 128) >> 8);
    rgb[1] = clampToByte((c - 100 * d - 208 * e + 128) >> 8);
    rgb[2] = clampToByte((c + 516 * d + 128) >> 8);
}

} // namespace

std::vector<std::uint8_t> displayRgb(const PictureView& picture) {
    const int width = picture.width;
    const int height = picture.height;
    const std::size_t needed = pictureBytes(picture.layout, width, height);
    if (needed == 0 || picture.bytes.size() < needed) {
        return {};
    }
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture.bytes.data());
    if (picture.layout == PictureLayout::BottomUpBgr) {
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
        for (int row = 0; row < height; ++row) {
            const std::uint8_t* src = bytes + static_cast<std::size_t>(height - 1 - row) * rowBytes;
            std::uint8_t* dst = rgb.data() + static_cast<std::size_t>(row) * rowBytes;
            for (int x = 0; x < width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
        return rgb;
    }
    const std::uint8_t* lumaPlane = bytes;
    const std::uint8_t* uPlane = lumaPlane + static_cast<std::size_t>(width) * height;
    const std::uint8_t* vPlane = uPlane + static_cast<std::size_t>(width / 2) * (height / 2);
    const bool fields = isFieldPicture(height);
    for (int row = 0; row < height; ++row) {
        // A field picture is shown from its first field, each of its rows twice.
        const int lumaRow = fields ? row / 2 : row;
        const int chromaRow = lumaRow / 2;
        const std::uint8_t* y = lumaPlane + static_cast<std::size_t>(lumaRow) * width;
        const std::uint8_t* u = uPlane + static_cast<std::size_t>(chromaRow) * (width / 2);
        const std::uint8_t* v = vPlane + static_cast<std::size_t>(chromaRow) * (width / 2);
        std::uint8_t* dst = rgb.data() + static_cast<std::size_t>(row) * width * 3;
        for (int x = 0; x < width; ++x) {
            yuvToRgb(y[x], u[x / 2], v[x / 2], dst + 3 * x);
        }
    }
    return rgb;
}

std::string formatSnapshotTime(std::int64_t seconds, int dateFormat) {
    using namespace std::chrono;
    const sys_seconds time{std::chrono::seconds{std::max<std::int64_t>(seconds, 0)}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    const int y = static_cast<int>(date.year());
    const unsigned m = static_cast<unsigned>(date.month());
    const unsigned d = static_cast<unsigned>(date.day());
    const int hours = static_cast<int>(clock.hours().count());
    const int minutes = static_cast<int>(clock.minutes().count());
    const int secs = static_cast<int>(clock.seconds().count());
    char text[64];
    switch (dateFormat) {
    case 1:
        std::snprintf(text, sizeof text, "%02u-%02u-%04d  %02d:%02d:%02d", m, d, y, hours, minutes,
                      secs);
        break;
    case 2:
        std::snprintf(text, sizeof text, "%02u-%02u-%04d  %02d:%02d:%02d", d, m, y, hours, minutes,
                      secs);
        break;
    default:
        std::snprintf(text, sizeof text, "%04d-%02u-%02u  %02d:%02d:%02d", y, m, d, hours, minutes,
                      secs);
        break;
    }
    return text;
}

} // namespace kalder
