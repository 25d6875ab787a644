#include "decode/snapshot_picture.h"

#include "decode/picture_layout.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kalder {

namespace {

// 5 x 7 glyphs, one byte a row, bit 4 the leftmost column.
struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows;
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
};

const Glyph* glyphFor(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;
}

} // namespace

RgbImage uprightPicture(const PictureView& picture) {
    const int width = picture.width;
    const int height = picture.height;
    const std::size_t needed = pictureBytes(picture.layout, width, height);
    if (needed == 0 || picture.bytes.size() < needed || width < 2 || height < 2)
        return {};
    if (picture.layout == PictureLayout::BottomUpBgr) {
        const std::vector<std::uint8_t> rgb = displayRgb(picture);
        return {width, height, rgb};
    }
    RgbImage image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture.bytes.data());
    const std::uint8_t* lumaPlane = bytes;
    const std::uint8_t* uPlane = lumaPlane + std::size_t(width) * height;
    const std::uint8_t* vPlane = uPlane + std::size_t(width / 2) * (height / 2);
    const bool fields = isFieldPicture(height);
    for (int row = 0; row < height; ++row) {
        const int lumaRow = fields ? row / 2 : row;
        const int chromaRow = lumaRow / 2; // two rows share one chroma row
        const std::uint8_t* yRow = lumaPlane + std::size_t(lumaRow) * width;
        const std::uint8_t* uRow = uPlane + std::size_t(chromaRow) * (width / 2);
        const std::uint8_t* vRow = vPlane + std::size_t(chromaRow) * (width / 2);
        for (int x = 0; x < width; ++x) {
            const int y = yRow[x] - 16;
            const int u = uRow[std::min(x / 2, width / 2 - 1)] - 128;
            const int v = vRow[std::min(x / 2, width / 2 - 1)] - 128;
            std::uint8_t* px = image.at(x, row);
            px[0] = clampToByte((74 * y + 102 * v) >> 6);
            px[1] = clampToByte((74 * y - 25 * u - 52 * v) >> 6);
            px[2] = clampToByte((74 * y + 129 * u) >> 6);
        }
    }
    return image;
}

RgbImage scalePicture(const RgbImage& source, SourceRect rect, int width, int height) {
    if (source.empty() || width <= 0 || height <= 0)
        return {};
    rect.x = std::clamp(rect.x, 0, source.width - 1);
    rect.y = std::clamp(rect.y, 0, source.height - 1);
    rect.width = std::clamp(rect.width, 1, source.width - rect.x);
    rect.height = std::clamp(rect.height, 1, source.height - rect.y);
    RgbImage out{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        const int sy = rect.y + static_cast<int>((std::int64_t(y) * rect.height) / height);
        for (int x = 0; x < width; ++x) {
            const int sx = rect.x + static_cast<int>((std::int64_t(x) * rect.width) / width);
            const std::uint8_t* s = source.at(sx, sy);
            std::uint8_t* d = out.at(x, y);
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    return out;
}

SourceRect snapshotSourceRect(int width, int height) {
    if (width > 700)
        return {12, 12, width - 22, height - 20};
    return {6, 6, width - 11, height - 10};
}

SourceRect webSourceRect(int width, int height) {
    if (isFieldPicture(height))
        return {0, 16, width, height - 8 - 16};
    return {0, 8, width, height - 4 - 8};
}

void drawLabel(RgbImage& image, std::string_view text, int x, int y, int fontHeight) {
    // The 7-row glyphs are stretched to the font height; they are a little over half as wide.
    const int scaleY = std::max(1, fontHeight / 7);
    const int scaleX = std::max(1, (scaleY * 2 + 1) / 3);
    const int advance = 6 * scaleX;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* glyph = glyphFor(text[i]);
        if (glyph == nullptr)
            continue;
        const int left = x + static_cast<int>(i) * advance;
        for (int gy = 0; gy < 7 * scaleY; ++gy) {
            const std::uint8_t bits = glyph->rows[static_cast<std::size_t>(gy / scaleY)];
            for (int gx = 0; gx < 5 * scaleX; ++gx) {
                if (!((bits >> (4 - gx / scaleX)) & 1u))
                    continue;
                const int px = left + gx;
                const int py = y + gy;
                if (px < 0 || py < 0 || px >= image.width || py >= image.height)
                    continue;
                std::uint8_t* p = image.at(px, py);
                p[0] = 0;
                p[1] = 255;
                p[2] = 255;
            }
        }
    }
}

Point stampPosition(std::size_t length) {
    const int height = -kStampFontHeight;
    return {(kSnapshotWidth + (static_cast<int>(length) * height) / 2) / 2,
            kSnapshotHeight + height - 10};
}

RgbImage snapshotImage(const PictureView& picture, std::string_view stamp) {
    const RgbImage upright = uprightPicture(picture);
    RgbImage image = scalePicture(upright, snapshotSourceRect(picture.width, picture.height),
                                  kSnapshotWidth, kSnapshotHeight);
    if (image.empty())
        return image;
    const Point at = stampPosition(stamp.size());
    drawLabel(image, stamp, at.x, at.y, kStampFontHeight);
    return image;
}

RgbImage webImage(const PictureView& picture, int width, int height, int fontHeight) {
    const RgbImage upright = uprightPicture(picture);
    RgbImage image =
        scalePicture(upright, webSourceRect(picture.width, picture.height), width, height);
    if (image.empty())
        return image;
    char label[16];
    std::snprintf(label, sizeof label, "CH%u", picture.channel + 1);
    drawLabel(image, label, 7, 3, fontHeight);
    return image;
}

} // namespace kalder
