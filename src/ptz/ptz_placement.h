#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace kalder {

// Where the PTZ windows go on the screen. All rectangles are global and are window frames
// (title bar included), so that what the operator sees is what is kept clear. Pure functions.

// Gap between a window and what it must not cover.
inline constexpr int kPtzWindowGap = 4;

// The panel's frame top left: at the left edge of the main window's Pan and Zoom buttons
// (`modeButtons`, their united rectangle), ending just above them, kept inside `screen`. The
// recorder's layout puts the panel 100 pixels above the buttons' row and 171 high, which lays it
// over them; they switch and close the panel, so they stay in sight.
QPoint ptzPanelPlace(const QRect& modeButtons, const QSize& frame, const QRect& screen);

// A window of `frame` beside the panel's frame: to its right when it fits on `screen`, else to
// its left when that fits, else on the side with more room; bottoms aligned so that it ends
// where the panel ends (above the Pan and Zoom buttons), then kept inside `screen`. The dome menu
// and the keypad go here: while they are open the panel's arrows and preset buttons are used.
QPoint ptzBesidePanelPlace(const QRect& panelFrame, const QSize& frame, const QRect& screen);

// `place` moved the least so that a frame of `size` lies inside `screen` (top left wins when the
// frame is larger than the screen).
QPoint keptOnScreen(QPoint place, const QSize& size, const QRect& screen);

} // namespace kalder
