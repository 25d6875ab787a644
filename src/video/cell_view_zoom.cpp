#include "video/cell_view_zoom.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace kalder {

CellViewZoom clampedZoom(CellViewZoom zoom) {
    if (!std::isfinite(zoom.factor))
        zoom.factor = kMinCellZoom;
    zoom.factor = std::clamp(zoom.factor, kMinCellZoom, kMaxCellZoom);
    // The region is 1 / factor of the kept part wide and high; its middle stays half that from
    // the edges.
    const double half = 0.5 / zoom.factor;
    zoom.centreX = std::isfinite(zoom.centreX) ? std::clamp(zoom.centreX, half, 1.0 - half) : 0.5;
    zoom.centreY = std::isfinite(zoom.centreY) ? std::clamp(zoom.centreY, half, 1.0 - half) : 0.5;
    return zoom;
}

PictureRegion zoomedRegion(const CellRect& kept, const CellViewZoom& zoom) {
    const CellViewZoom z = clampedZoom(zoom);
    if (!z.zoomed())
        return {static_cast<double>(kept.left), static_cast<double>(kept.top),
                static_cast<double>(kept.width()), static_cast<double>(kept.height())};
    const double width = kept.width() / z.factor;
    const double height = kept.height() / z.factor;
    return {kept.left + z.centreX * kept.width() - width / 2,
            kept.top + z.centreY * kept.height() - height / 2, width, height};
}

CellRect zoomedSourceRect(const CellRect& kept, const CellViewZoom& zoom, int columnStep,
                          int rowStep) {
    if (!clampedZoom(zoom).zoomed())
        return kept;
    const PictureRegion region = zoomedRegion(kept, zoom);
    // Whole pixels, at least two steps each way, within the kept part.
    const auto span = [](double start, double length, int low, int high, int step) {
        if (step < 1 || (high - low) % step != 0)
            step = 1;
        int size = std::max(2 * step, static_cast<int>(std::lround(length / step)) * step);
        size = std::min(size, high - low);
        int first = static_cast<int>(std::lround((start - low) / step)) * step + low;
        first = std::clamp(first, low, high - size);
        return std::pair{first, first + size};
    };
    CellRect rect;
    std::tie(rect.left, rect.right) =
        span(region.left, region.width, kept.left, kept.right, columnStep);
    std::tie(rect.top, rect.bottom) =
        span(region.top, region.height, kept.top, kept.bottom, rowStep);
    return rect;
}

CellViewZoom zoomAbout(const CellViewZoom& zoom, double factor, double cellX, double cellY) {
    const CellViewZoom from = clampedZoom(zoom);
    // The picture point under (cellX, cellY), in fractions of the kept part.
    const double pointX = from.centreX + (cellX - 0.5) / from.factor;
    const double pointY = from.centreY + (cellY - 0.5) / from.factor;
    CellViewZoom to;
    to.factor = std::clamp(factor, kMinCellZoom, kMaxCellZoom);
    to.centreX = pointX - (cellX - 0.5) / to.factor;
    to.centreY = pointY - (cellY - 0.5) / to.factor;
    return clampedZoom(to);
}

CellViewZoom wheelZoom(const CellViewZoom& zoom, int angleDelta, double cellX, double cellY) {
    const double factor =
        clampedZoom(zoom).factor * std::pow(kCellZoomPerNotch, angleDelta / 120.0);
    // Within a hair of 1x is 1x: rounding must not leave a cell a thousandth zoomed.
    return zoomAbout(zoom, factor < kMinCellZoom + 1e-6 ? kMinCellZoom : factor, cellX, cellY);
}

CellViewZoom pannedZoom(const CellViewZoom& zoom, double dx, double dy) {
    CellViewZoom to = clampedZoom(zoom);
    to.centreX -= dx / to.factor;
    to.centreY -= dy / to.factor;
    return clampedZoom(to);
}

} // namespace kalder
