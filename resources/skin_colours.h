#pragma once

// The colours of the skin, as 0xRRGGBB. Plain constants, no Qt: the generator draws the pictures
// of the resource library with them, and the windows that are not drawn from pictures (the
// dialogs, the captions over plain button faces) take the same values, so a colour changed here
// changes both and they cannot drift apart.
namespace kalder::res {

// Main window frame: a vertical gradient from top to bottom, a dark edge and a light outline.
inline constexpr unsigned kSkinFrameTop = 0x3A4A6A;       // RGB(58, 74, 106)
inline constexpr unsigned kSkinFrameBottom = 0x1E263A;    // RGB(30, 38, 58)
inline constexpr unsigned kSkinFrameEdge = 0x0C101A;      // RGB(12, 16, 26)
inline constexpr unsigned kSkinFrameHighlight = 0x6E82A8; // RGB(110, 130, 168)

// Recessed panels (the clocks, slider grooves) and what is written on them.
inline constexpr unsigned kSkinPanel = 0x0E121C;      // RGB(14, 18, 28)
inline constexpr unsigned kSkinClockDigit = 0x82D2FF; // RGB(130, 210, 255)
inline constexpr unsigned kSkinClockDate = 0xBEC8D7;  // RGB(190, 200, 215)

// Button faces: a vertical gradient, the caption, and the caption while pressed.
inline constexpr unsigned kSkinButtonTop = 0x5C6E94;      // RGB(92, 110, 148)
inline constexpr unsigned kSkinButtonBottom = 0x2E3A54;   // RGB(46, 58, 84)
inline constexpr unsigned kSkinCaption = 0xE8EEF6;        // RGB(232, 238, 246)
inline constexpr unsigned kSkinCaptionPressed = 0xFFCC60; // RGB(255, 204, 96)

// The mark of sound switched off; also the colour of a warning written on the frame.
inline constexpr unsigned kSkinAlert = 0xFF8C78; // RGB(255, 140, 120)

} // namespace kalder::res
