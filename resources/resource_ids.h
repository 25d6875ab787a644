#pragma once

// Picture ids of the resource library (KalderRes.rcc). Plain constants, no Qt: the skin
// generator that builds the library uses the same table as the windows that read it.
//
// Icons come as pairs: the mask (white where the background shows through, black on the icon)
// followed by the image (the icon on black, and transparent there). Drawing the mask with AND
// and then the image with OR keeps the background; painting the image alone with its alpha
// gives the same result.
namespace kalder::res {

// Main window background, nine tiles on the grid x = 0, 86, 841, 928 and y = 0, 58, 626, 698,
// row by row (1500 top left ... 1508 bottom right). The corner zones outside the frame's curved
// outline are painted in kFrameKeyColour so that the window can cut them out.
inline constexpr int kBackgroundTileFirst = 1500;
inline constexpr int kBackgroundTileCount = 9;
inline constexpr int kBackgroundGridX[4] = {0, 86, 841, 928};
inline constexpr int kBackgroundGridY[4] = {0, 58, 626, 698};
inline constexpr unsigned kFrameKeyColour = 0x3266AA; // RGB(50, 102, 170)

// Clock glyph strips: glyph i is cell i, cells laid side by side, copied unscaled.
inline constexpr int kClockDateGlyphs = 1590;     // 7 x 11: digits 0-9, 10 date separator
inline constexpr int kClockTimeGlyphs = 1591;     // 13 x 18: 0-9, 10 AM, 11 PM, 12 ':', 13 blank
inline constexpr int kPlayClockDateGlyphs = 1592; // 7 x 9: digits 0-9, 10 date separator
inline constexpr int kPlayClockTimeGlyphs = 1593; // 7 x 9: digits 0-9, 10 ':', 11 blank
inline constexpr int kPlayClockAmPmGlyphs = 1594; // 18 x 9: 0 AM, 1 PM

// Play-speed icons, 16 pixels high. Play and reverse are 40 pixels wide and hold one arrow
// (play at columns 5-11, reverse at 4-10) so that the fast speeds can repeat it; the other two
// pairs are 16 x 16.
inline constexpr int kSpeedPauseMask = 1600, kSpeedPauseImage = 1601;
inline constexpr int kSpeedPlayMask = 1602, kSpeedPlayImage = 1603;
inline constexpr int kSpeedReverseMask = 1604, kSpeedReverseImage = 1605;
inline constexpr int kSpeedStepMask = 1606, kSpeedStepImage = 1607;

// Audio marks (16 x 16): icon n has mask 1610 + 2n and image 1611 + 2n.
inline constexpr int kAudioIconFirst = 1610;
// PTZ marks (16 x 16): PTZ state s (1 or 2) has mask 1733 + 2(s-1) and image 1734 + 2(s-1).
inline constexpr int kPtzIconFirst = 1733;

// Notification box background, 308 x 136.
inline constexpr int kNotificationBackground = 1640;

// Timeline bar colours of recording kinds 0-5 (16 x 16, one solid colour each).
inline constexpr int kTimelineColourFirst = 1704;
inline constexpr int kTimelineColourCount = 6;

// Skins of the main window's buttons (control ids 300-378): a normal and a pressed look.
inline constexpr int kMainButtonFirstControl = 300;
inline constexpr int kMainButtonLastControl = 378;
inline constexpr int kMainButtonNormalFirst = 1800;
inline constexpr int kMainButtonPressedFirst = 1900;
// 0 for a control id outside the main window's button range.
constexpr int mainButtonSkin(int controlId, bool pressed) {
    if (controlId < kMainButtonFirstControl || controlId > kMainButtonLastControl)
        return 0;
    return (pressed ? kMainButtonPressedFirst : kMainButtonNormalFirst) + controlId -
           kMainButtonFirstControl;
}

// Sliders of the main window: local-playback position (control 420) and volume (421).
inline constexpr int kPositionSliderGroove = 1990, kPositionSliderThumb = 1991;
inline constexpr int kVolumeSliderGroove = 1992, kVolumeSliderThumb = 1993;

// Plain button faces for dialogs (the caption is drawn by the button): normal, then pressed.
inline constexpr int kDialogButtonNormal = 2100, kDialogButtonPressed = 2101; // 97 x 22
inline constexpr int kNotificationButtonNormal = 2102,
                     kNotificationButtonPressed = 2103; // 100 x 27
// The Log panel's button of the local search window (130 x 35), normal and pressed.
inline constexpr int kLocalLogButtonNormal = 2170, kLocalLogButtonPressed = 2171;

} // namespace kalder::res
