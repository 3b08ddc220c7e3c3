#include "app/workspace/preview_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillmere {
namespace {

// A 3000 × 2000 photo (texture 300 × 200) in an 800 × 600 view: fitted at zoom 800 / 3000, the
// image 533.3 high and 33.3 below the view's top.
constexpr double kFit = 800.0 / 3000;
constexpr double kTop = (600 - 2000 * kFit) / 2;

PreviewGeometry shownPhoto(double scale = 2, QSizeF view = {800, 600}) {
    PreviewGeometry geometry;
    geometry.setViewSize(view);
    geometry.setBackingScale(scale);
    geometry.setSourceSize({3000, 2000});
    geometry.setTextureSize(QSizeF(300, 200));
    return geometry;
}

void expectPoint(std::optional<QPointF> actual, QPointF expected) {
    ASSERT_TRUE(actual);
    EXPECT_NEAR(actual->x(), expected.x(), 1e-6);
    EXPECT_NEAR(actual->y(), expected.y(), 1e-6);
}

TEST(PreviewGeometry, FitsCentresAndHitTestsByThePhotosOwnSize) {
    PreviewGeometry geometry = shownPhoto();
    ASSERT_TRUE(geometry.layoutFrame());
    EXPECT_NEAR(geometry.zoom(), kFit, 1e-12);
    expectPoint(geometry.topLeft(), {0, kTop});
    expectPoint(geometry.normalizedImagePoint({800, 600 - kTop}), {1, 1});
    expectPoint(geometry.normalizedImagePoint({200, 300}), {0.25, 0.5});
    EXPECT_FALSE(geometry.normalizedImagePoint({400, kTop - 1})) << "the margin";

    geometry.setSourceSize({});  // the texture's size stands in
    geometry.setViewSize({150, 600});
    geometry.layoutFrame();
    EXPECT_DOUBLE_EQ(geometry.zoom(), 0.5) << "a smaller view: 150 / 300";
    expectPoint(geometry.topLeft(), {0, (600 - 100) / 2.0});

    geometry.setTextureSize(std::nullopt);
    EXPECT_FALSE(geometry.normalizedImagePoint({75, 300})) << "no image without a texture";
    EXPECT_FALSE(geometry.layoutFrame());
}

TEST(PreviewGeometry, ZoomsAboutThePointerWithinTwoAndEightHundredPercent) {
    struct Case {
        double scale, factor, zoom;
    };
    const Case cases[] = {
        {2, std::exp2(0.1), kFit * std::exp2(0.1)},    // a wheel notch
        {2, std::exp2(0.01), kFit * std::exp2(0.01)},  // a touchpad pixel
        {2, std::exp2(-0.1), kFit * std::exp2(-0.1)},
        {2, 1e6, 4},  {2, 1e-9, 0.01},  // 800 % and 2 % at two device pixels per point
        {1, 1e6, 8},  {1, 1e-9, 0.02},
    };
    for (const Case& c : cases) {
        PreviewGeometry geometry = shownPhoto(c.scale);
        const QPointF pointer(610, 200);
        const std::optional<QPointF> under = geometry.normalizedImagePoint(pointer);
        geometry.zoomBy(c.factor, pointer);
        EXPECT_NEAR(geometry.zoom(), c.zoom, 1e-12) << c.factor;
        EXPECT_FALSE(geometry.fitMode());
        expectPoint(geometry.normalizedImagePoint(pointer), *under);

        const QPointF origin = geometry.topLeft();
        geometry.zoomBy(c.factor, {5, 5});
        if (c.factor > 100 || c.factor < 1e-3) EXPECT_EQ(geometry.topLeft(), origin) << "at a limit";
    }
    PreviewGeometry geometry = shownPhoto();
    for (double factor : {std::nan(""), 0.0, -2.0, INFINITY}) geometry.zoomBy(factor, {1, 1});
    EXPECT_TRUE(geometry.fitMode()) << "a factor that is not a finite positive number";
}

TEST(PreviewGeometry, PanningNeverOpensAGapAndASmallerAxisStaysCentred) {
    PreviewGeometry geometry = shownPhoto(1);
    EXPECT_FALSE(geometry.pan({50, 50})) << "a fitted image does not move";

    geometry.setSourceSize({3000, 200});  // a panorama: wider than the view, lower than it
    geometry.showActualSize(std::nullopt);
    for (const QPointF& delta : {QPointF(1e5, 1e5), QPointF(-1e5, -1e5), QPointF(100, 50)}) {
        EXPECT_TRUE(geometry.pan(delta));
        geometry.layoutFrame();
    }
    expectPoint(geometry.topLeft(), {800 - 3000 + 100, (600 - 200) / 2.0});
}

TEST(PreviewGeometry, ReportsAMoveOfMoreThanFiveHundredthsOfAPointOrAFitChange) {
    PreviewGeometry geometry = shownPhoto(2);
    geometry.layoutFrame();
    const auto first = geometry.reportFrame(2);
    ASSERT_TRUE(first) << "the first frame always reports";
    EXPECT_EQ(*first, (PreviewGeometry::ZoomReport{false, kFit * 200}));
    // In points from the fit: leaving it reports a small step; then only a move of more than
    // 0.05 from the last report.
    struct Step {
        double to;
        bool reported;
    };
    for (const Step& step : {Step{0, false}, Step{0.04, true}, Step{0.08, false}, Step{0.1, true}}) {
        geometry.zoomBy((first->percent + step.to) / (geometry.zoom() * 200), {10, 10});
        EXPECT_EQ(geometry.reportFrame(2).has_value(), step.reported) << step.to;
    }

    // A fit that is exactly 100 %: actual size changes only the fit state, and that reports.
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
    EXPECT_TRUE(std::isfinite(geometry.zoom()) && geometry.zoom() > 0);
    EXPECT_TRUE(std::isfinite(geometry.topLeft().x()) && std::isfinite(geometry.topLeft().y()));
    geometry.setViewSize({800, 600});
    geometry.showActualSize(std::nullopt);
    EXPECT_DOUBLE_EQ(geometry.zoom(), 0.5);
}

}  // namespace
}  // namespace quillmere
