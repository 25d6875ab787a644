#include "video/cell_view_zoom.h"

#include <gtest/gtest.h>

#include <utility>

namespace kalder {
namespace {

// The picture point (in picture pixels) shown at (cellX, cellY) of a cell.
std::pair<double, double> pointUnder(const CellRect& kept, const CellViewZoom& zoom, double cellX,
                                     double cellY) {
    const PictureRegion region = zoomedRegion(kept, zoom);
    return {region.left + cellX * region.width, region.top + cellY * region.height};
}

TEST(CellViewZoom, OneTimesIsTheUnzoomedCropOnEveryPath) {
    for (const auto& [width, height] : {std::pair{352, 240}, {704, 480}, {720, 576}, {352, 288}}) {
        for (const bool planar : {false, true}) {
            const CellRect kept = pictureSourceRect(width, height, planar);
            EXPECT_EQ(zoomedSourceRect(kept, {}, 2, 4), kept) << width << "x" << height;
            // Zooming in and all the way out again gives exactly the crop back.
            CellViewZoom zoom = wheelZoom({}, 360, 0.2, 0.7);
            zoom = wheelZoom(zoom, -360, 0.9, 0.1);
            EXPECT_FALSE(zoom.zoomed());
            EXPECT_EQ(zoomedSourceRect(kept, zoom, 2, 4), kept);
            const PictureRegion region = zoomedRegion(kept, zoom);
            EXPECT_EQ(region.left, kept.left);
            EXPECT_EQ(region.width, kept.width());
        }
    }
}

TEST(CellViewZoom, TheWheelZoomsAboutThePointUnderTheMouse) {
    const CellRect kept = pictureSourceRect(704, 480, true);
    // Notch by notch and by a high-resolution wheel's eighth-notch steps, to the same view.
    CellViewZoom notches;
    CellViewZoom fine;
    for (int i = 0; i < 3; ++i) {
        const auto before = pointUnder(kept, notches, 0.3, 0.6);
        notches = wheelZoom(notches, 120, 0.3, 0.6);
        const auto after = pointUnder(kept, notches, 0.3, 0.6);
        EXPECT_NEAR(after.first, before.first, 1e-9);
        EXPECT_NEAR(after.second, before.second, 1e-9);
        for (int step = 0; step < 8; ++step)
            fine = wheelZoom(fine, 15, 0.3, 0.6);
    }
    EXPECT_NEAR(notches.factor, 1.25 * 1.25 * 1.25, 1e-9);
    EXPECT_NEAR(fine.factor, notches.factor, 1e-9);
    EXPECT_NEAR(fine.centreX, notches.centreX, 1e-9);

    // Near a corner the view stops at the picture's edges instead of leaving it.
    const CellViewZoom corner = wheelZoom({}, 240, 0.0, 1.0);
    const PictureRegion region = zoomedRegion(kept, corner);
    EXPECT_NEAR(region.left, kept.left, 1e-9);
    EXPECT_NEAR(region.top + region.height, kept.bottom, 1e-9);
}

TEST(CellViewZoom, FactorAndPanStayWithinLimits) {
    const CellRect kept = pictureSourceRect(352, 240, false);
    CellViewZoom zoom;
    for (int i = 0; i < 40; ++i)
        zoom = wheelZoom(zoom, 120, 0.5, 0.5);
    EXPECT_EQ(zoom.factor, kMaxCellZoom);
    EXPECT_EQ(clampedZoom({0.5, 0.5, 0.5}).factor, kMinCellZoom);

    // A long drag moves the view to the picture's edge and no further.
    zoom = pannedZoom(zoom, 50.0, -50.0);
    PictureRegion region = zoomedRegion(kept, zoom);
    EXPECT_NEAR(region.left, kept.left, 1e-9);
    EXPECT_NEAR(region.top + region.height, kept.bottom, 1e-9);
    EXPECT_NEAR(region.width, kept.width() / kMaxCellZoom, 1e-9);
    // Dragging the picture left by a whole cell moves the view right by a cell's worth of it.
    const CellViewZoom two{2.0, 0.5, 0.5};
    region = zoomedRegion(kept, pannedZoom(two, -0.25, 0.0));
    EXPECT_NEAR(region.left, kept.left + kept.width() * 0.375, 1e-9);

    // The scaler's whole-pixel rectangle stays in the crop, on the field and chroma steps.
    const CellRect fields = pictureSourceRect(704, 480, true);
    for (const CellViewZoom& z : {CellViewZoom{8.0, 0.0, 1.0}, CellViewZoom{3.3, 0.41, 0.27},
                                  CellViewZoom{8.0, 1.0, 0.0}}) {
        const CellRect rect = zoomedSourceRect(fields, z, 2, 4);
        EXPECT_GE(rect.left, fields.left);
        EXPECT_LE(rect.right, fields.right);
        EXPECT_GE(rect.top, fields.top);
        EXPECT_LE(rect.bottom, fields.bottom);
        EXPECT_EQ((rect.left - fields.left) % 2, 0);
        EXPECT_EQ((rect.top - fields.top) % 4, 0);
        EXPECT_EQ(rect.height() % 4, 0);
        EXPECT_NEAR(rect.width(), fields.width() / clampedZoom(z).factor, 2.0);
    }
}

} // namespace
} // namespace kalder
