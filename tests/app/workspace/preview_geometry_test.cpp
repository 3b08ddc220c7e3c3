#include "app/workspace/preview_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillmere {
namespace {

// A 3000 × 2000 photo (texture 300 × 200) in an 800 × 600 view, fitted at zoom 800 / 3000.
constexpr double kFit = 800.0 / 3000;

PreviewGeometry shownPhoto(double scale, QSizeF view = {800, 600}, QSizeF photo = {3000, 2000}) {
    PreviewGeometry geometry;
    geometry.setViewSize(view);
    geometry.setBackingScale(scale);
    geometry.setSourceSize(photo);
    geometry.setTextureSize(QSizeF(300, 200));
    return geometry;
}

TEST(PreviewGeometry, PanningNeverOpensAGapAndASmallerAxisStaysCentred) {
    // A panorama at 100 %: wider than the view, lower than it.
    PreviewGeometry geometry = shownPhoto(1, {800, 600}, {3000, 200});
    EXPECT_FALSE(geometry.pan({50, 50})) << "a fitted image does not move";
    geometry.showActualSize(std::nullopt);
    for (QPointF delta : {QPointF(1e5, 1e5), QPointF(-1e5, -1e5), QPointF(100, 50)}) {
        EXPECT_TRUE(geometry.pan(delta));
        geometry.layoutFrame();
    }
    EXPECT_EQ(geometry.topLeft(), QPointF(800 - 3000 + 100, (600 - 200) / 2));
}

TEST(PreviewGeometry, ReportsAMoveOfMoreThanFiveHundredthsOfAPointOrAFitChange) {
    PreviewGeometry geometry = shownPhoto(2);
    geometry.layoutFrame();
    const auto first = geometry.reportFrame(2);
    ASSERT_TRUE(first) << "the first frame always reports";
    EXPECT_EQ(*first, (PreviewGeometry::ZoomReport{false, kFit * 200}));
    // Percentage points from the fit: leaving it reports even a small step; then only a move of
    // more than 0.05 from the last report does.
    for (auto [to, reported] : {std::pair(0.0, false), std::pair(0.04, true),
                                std::pair(0.08, false), std::pair(0.1, true)}) {
        geometry.zoomBy((first->percent + to) / (geometry.zoom() * 200), {10, 10});
        EXPECT_EQ(geometry.reportFrame(2).has_value(), reported) << to;
    }
    // A fit of exactly 100 %: actual size changes only the fit state, and that is reported.
    PreviewGeometry exact = shownPhoto(2, {1500, 1000});
    exact.layoutFrame();
    exact.reportFrame(2);
    exact.showActualSize(QPointF(20, 20));
    EXPECT_EQ(exact.reportFrame(2), (PreviewGeometry::ZoomReport{true, 100}));
}

TEST(PreviewGeometry, ActualSizeInAnEmptyViewLeavesTheGeometryFinite) {
    PreviewGeometry geometry = shownPhoto(2, {0, 0});
    geometry.showActualSize(std::nullopt);
    geometry.zoomBy(2, {0, 0});
    geometry.materializeFitState();
    EXPECT_TRUE(std::isfinite(geometry.zoom() + geometry.topLeft().x() + geometry.topLeft().y()));
    EXPECT_GT(geometry.zoom(), 0);
}

// Zoom stops at 2 % and at 800 % of the photo's pixels on the screen, whatever the screen's
// backing scale: a zoom of z draws z · scale device pixels per photo pixel.
TEST(PreviewGeometry, ZoomStopsAtTwoAndEightHundredPercentOfDevicePixels) {
    for (const double scale : {1.0, 2.0}) {
        PreviewGeometry geometry = shownPhoto(scale);
        geometry.zoomBy(1e-6, {10, 10});
        EXPECT_DOUBLE_EQ(geometry.zoom() * scale, 0.02) << scale;
        geometry.zoomBy(1e9, {10, 10});
        EXPECT_DOUBLE_EQ(geometry.zoom() * scale, 8) << scale;
    }
}

}  // namespace
}  // namespace quillmere
