#pragma once

#include "video/video_layout.h"

namespace kalder {

// Digital zoom of one cell, without any widget: a magnification and the point of the picture at
// the middle of the cell. The point is given as fractions (0..1) of the part of the picture the
// cell shows unzoomed (pictureSourceRect), so that one zoom means the same view on every drawing
// path whatever its crop.
inline constexpr double kMinCellZoom = 1.0;
inline constexpr double kMaxCellZoom = 8.0;
// One notch of the mouse wheel (120 eighths of a degree) magnifies by this much.
inline constexpr double kCellZoomPerNotch = 1.25;

struct CellViewZoom {
    double factor = kMinCellZoom;
    double centreX = 0.5;
    double centreY = 0.5;

    bool zoomed() const { return factor > kMinCellZoom; }
    bool operator==(const CellViewZoom&) const = default;
};

// A part of a picture in picture pixels (display rows top first), with fractional edges.
struct PictureRegion {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// The factor held within 1..8 and the centre moved, if need be, so that the region shown stays
// within the picture's kept part.
CellViewZoom clampedZoom(CellViewZoom zoom);

// The part of `kept` (the unzoomed source rectangle) that `zoom` shows; exactly `kept` at 1x.
PictureRegion zoomedRegion(const CellRect& kept, const CellViewZoom& zoom);
// The same part on whole pixels, as a scaler that takes integer rectangles reads it: `kept`
// itself at 1x, never outside `kept`. Its edges fall on multiples of the steps from the kept
// part's edges (a field picture's rows by field, planar chroma by its 2 × 2 samples); a step
// the kept part's height is not a multiple of counts as 1.
CellRect zoomedSourceRect(const CellRect& kept, const CellViewZoom& zoom, int columnStep = 1,
                          int rowStep = 1);

// Zooms to `factor` about the point at (cellX, cellY), fractions 0..1 of the cell: the picture
// point under it stays under it unless the region would leave the picture.
CellViewZoom zoomAbout(const CellViewZoom& zoom, double factor, double cellX, double cellY);
// A wheel turn of `angleDelta` eighths of a degree about that point: a notch magnifies by 1.25,
// and a high-resolution wheel's small steps add up to the same.
CellViewZoom wheelZoom(const CellViewZoom& zoom, int angleDelta, double cellX, double cellY);
// Drags the picture by (dx, dy), fractions of the cell (the picture follows the mouse).
CellViewZoom pannedZoom(const CellViewZoom& zoom, double dx, double dy);

} // namespace kalder
