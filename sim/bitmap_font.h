#pragma once

#include <cstdint>
#include <string_view>

namespace kalder::sim {

// A 5 x 7 pixel font for digits, capital letters and a few signs, drawn into an 8-bit plane
// (the luma plane of a picture) at an integer scale. Lower-case letters draw as capitals;
// characters the font lacks draw as blanks. Each glyph advances 6 x scale pixels.
class BitmapFont {
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    static constexpr int kAdvance = 6;

    // Draws `text` with its top-left corner at (x, y); pixels outside the plane are clipped.
    static void drawText(std::uint8_t* plane, int stride, int width, int height, int x, int y,
                         int scale, std::string_view text, std::uint8_t value);
    static int textWidth(std::string_view text, int scale) {
        return static_cast<int>(text.size()) * kAdvance * scale;
    }
    // The seven rows of a glyph, bit 4 the leftmost pixel; all zero for an unknown character.
    static const std::uint8_t* glyph(char c);
};

} // namespace kalder::sim
