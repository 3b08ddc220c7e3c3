#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "app/panels/tone_curve_section.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using Section = ToneCurveSection;
using Points = Section::Points;
using testing::settle;

// A square canvas of 255 view points: view x is curve x, view y is 255 - curve y.
const QSizeF square(255, 255);
QPointF at(double x, double y) { return {x, 255 - y}; }

TEST(ToneCurveEditing, HitsPicksAndInsertsByTheRules) {
    const Points diagonal = {{0, 0}, {100, 100}, {255, 255}};
    // Within 10 view points, 10 included; a tie goes to the lower index.
    EXPECT_EQ(Section::nearestPoint(diagonal, at(106, 108), square), 1u);
    EXPECT_EQ(Section::nearestPoint(diagonal, at(100, 110.01), square), std::nullopt);
    EXPECT_EQ(Section::nearestPoint({{10, 10}, {30, 10}}, at(20, 10), square), 0u);
    EXPECT_EQ(Section::beginDrag(diagonal, at(100, 110), square).index, 1u);

    // Out of reach, a point in the same column (under 2 curve units) is picked; at 2 a new one
    // is inserted under the pointer, between its neighbours by x.
    const Section::Edit picked = Section::beginDrag(diagonal, at(101.5, 200), square);
    EXPECT_EQ(picked.index, 1u);
    EXPECT_EQ(picked.points, diagonal);
    const Section::Edit inserted = Section::beginDrag(diagonal, at(102, 200), square);
    EXPECT_EQ(inserted.index, 2u);
    EXPECT_EQ(inserted.points, (Points{{0, 0}, {100, 100}, {102, 200}, {255, 255}}));

    // 15 points take a 16th; 16 take none.
    Points many;
    for (int index = 0; index < 15; ++index) many.push_back({index * 10.0, index * 10.0});
    EXPECT_EQ(Section::beginDrag(many, at(200, 20), square).points.size(), 16u);
    many.push_back({250, 250});
    const Section::Edit refused = Section::beginDrag(many, at(200, 20), square);
    EXPECT_EQ(refused.index, std::nullopt);
    EXPECT_EQ(refused.points, many);

    // Never before the first point or after the last, whatever x; an empty list takes its first
    // point, a one-point list appends.
    EXPECT_EQ(Section::insertionResult({{20, 0}, {200, 255}}, 5, 9).index, 1u);
    EXPECT_EQ(Section::insertionResult({{20, 0}, {200, 255}}, 250, 9).index, 1u);
    const Section::Edit first = Section::insertionResult({}, 40, 9);
    EXPECT_EQ(first.points, (Points{{40, 9}}));
    EXPECT_EQ(first.index, 0u);
    EXPECT_EQ(Section::insertionResult({{0, 9}}, 40, 50).index, 1u);
}

TEST(ToneCurveEditing, MovesKeepTheEndsAndTheOrder) {
    const Points points = {{0, 0}, {100, 100}, {103, 120}, {255, 255}};
    EXPECT_EQ(Section::movePoint(points, 0, at(80, 300), square)[0], (CurvePoint{0, 255}));
    EXPECT_EQ(Section::movePoint(points, 3, at(-40, -9), square)[3], (CurvePoint{255, 0}));
    // Interior points stop 2 short of a neighbour, or sit between neighbours under 4 apart.
    EXPECT_EQ(Section::movePoint(points, 1, at(250, 50), square)[1], (CurvePoint{101, 50}));
    EXPECT_EQ(Section::movePoint(points, 2, at(0, 50), square)[2], (CurvePoint{102, 50}));
    EXPECT_EQ(Section::movePoint({{0, 0}, {10, 10}, {11, 3}, {13, 0}, {255, 255}}, 2, at(200, 7),
                                 square)[2],
              (CurvePoint{11.5, 7}));
    EXPECT_EQ(Section::movePoint(points, 4, at(1, 1), square), points);
    // A canvas without extent maps every location to 0.
    EXPECT_EQ(Section::curvePoint({50, 50}, QSizeF(0, -3)), (CurvePoint{0, 0}));
    EXPECT_EQ(Section::curvePoint({-5, 400}, square), (CurvePoint{0, 0}));
}

class ToneCurveSectionTest : public testing::SectionTest<ToneCurveSection> {
  protected:
    ToneCurveSectionTest() {
        section.setFixedWidth(255);
        open("a.dng");
    }
    const Points& rgb() const { return state.editParams().toneCurve.rgb; }
};

TEST_F(ToneCurveSectionTest, ClicksInsertAndDoubleClicksDeleteInteriorPointsOnly) {
    QWidget* canvas = section.canvas();
    ASSERT_EQ(canvas->size(), QSize(255, 170));
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(64, 90));
    const CurvePoint placed = Section::curvePoint({64, 90}, canvas->size());
    EXPECT_EQ(rgb(), (Points{{0, 0}, placed, {255, 255}}));
    EXPECT_EQ(section.readoutText(), "in 64 \u2192 out 120");
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(64, 90));
    EXPECT_EQ(section.readoutText(), "Click + drag to add a point");

    testing::doubleClick(canvas, Section::viewPoint({0, 0}, canvas->size()).toPoint());
    EXPECT_EQ(rgb().size(), 3u) << "an end point stays";
    testing::doubleClick(canvas, QPoint(64, 90));
    EXPECT_EQ(rgb(), ToneCurve::identityPoints());
}

TEST_F(ToneCurveSectionTest, ResetTouchesOneChannelAndAnyCurveChangeShowsTheLayer) {
    state.updateEditParams([](EditParams& params) {
        params.toneCurve.rgb = {{0, 20}, {255, 255}};
        params.toneCurve.green = {{0, 30}, {255, 200}};
    });
    section.setChannel(Section::Channel::green);
    QAbstractButton* reset = button("Reset tone curve");
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->toolTip(), "Reset the G channel curve");
    reset->click();
    EXPECT_EQ(state.editParams().toneCurve.green, ToneCurve::identityPoints());
    EXPECT_EQ(rgb(), (Points{{0, 20}, {255, 255}}));

    // A preset changing the curve re-enables the bypassed layer, also with the panel folded.
    section.setExpanded(false);
    state.toggleEditLayer(EditLayer::toneCurve);
    settle();
    ToneCurve curve;
    curve.blue = {{0, 0}, {128, 150}, {255, 255}};
    state.applyPreset(Preset{.name = "Cool", .folder = "", .values = {.toneCurve = curve}});
    state.toggleEditLayer(EditLayer::toneCurve);
    edit([](EditParams& params) { params.toneCurve.red = {{0, 5}, {255, 250}}; });
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::toneCurve));
}

TEST_F(ToneCurveSectionTest, DrawsTheCurveInTheChannelColourOfTheScheme) {
    // The identity curve crosses pixel (128, 84) fully (y 84.33 at its centre, 1.5 wide); a
    // point of radius 3 at the curve's middle, (127.5, 85), covers it too.
    const QPoint middle(128, 84);
    const auto pixel = [&](QPoint point) {
        return section.canvas()->grab().toImage().pixelColor(point);
    };
    const QPalette saved = QApplication::palette();
    QColor base = saved.color(QPalette::Base);
    EXPECT_LT(pixel(middle).lightness(), base.lightness() - 100) << "black at 82 %";
    QPalette dark = saved;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    QApplication::setPalette(dark);
    settle();
    EXPECT_GT(pixel(middle).lightness(), 150) << "white";

    state.updateEditParams([](EditParams& params) {
        params.toneCurve.green = {{0, 0}, {127.5, 127.5}, {255, 255}};
    });
    section.setChannel(Section::Channel::green);
    settle();
    const QColor point = pixel(middle);
    QApplication::setPalette(saved);
    EXPECT_GT(point.green(), point.red() + 80);
    EXPECT_GT(point.green(), point.blue() + 80);
}

// Neither end of the curve can be removed, the right one no more than the left.
TEST_F(ToneCurveSectionTest, ADoubleClickOnEitherEndRemovesNothing) {
    const Points bent = {{0, 0}, {128, 150}, {255, 255}};
    state.updateEditParams([&](EditParams& params) { params.toneCurve.rgb = bent; });
    settle();
    QWidget* canvas = section.canvas();
    for (const CurvePoint& end : {bent.front(), bent.back()}) {
        testing::doubleClick(canvas, Section::viewPoint(end, canvas->size()).toPoint());
        EXPECT_EQ(rgb(), bent) << end.x;
    }
}

}  // namespace
}  // namespace quillmere
