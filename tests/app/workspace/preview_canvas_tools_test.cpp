#include <cmath>

#include "tests/app/workspace/preview_canvas_fixture.h"

namespace quillmere {
namespace {

using Band = HSLAdjustments::Band;

TEST_F(PreviewCanvasTest, TargetedAdjustmentSpreadsADragOverTheBandsAroundThePickedHue) {
    // The texel picked (red: hue 0; with green 0.25: 15; with blue 0.25: 345), the channel, the
    // drag, every value of the channel before it, and the bands that change.
    using Changes = std::vector<std::pair<Band, double>>;
    const std::tuple<msl::float4, std::string, QPoint, double, Changes> cases[] = {
        {{1, 0.25f, 0, 1}, "Hue", {10, 0}, 0, {{Band::red, 2.5}, {Band::orange, 2.5}}},
        {{1, 0, 0.25f, 1}, "Luminance", {0, -10}, 0, {{Band::magenta, 2.5}, {Band::red, 2.5}}},
        {{1, 0, 0, 1}, "Saturation", {10, 10}, 0, {}},  // right and down cancel
        {{1, 0, 0, 1}, "Saturation", {10, 0}, 100, {}},
    };
    showPhoto();
    for (const auto& [texel, channel, drag, start, changes] : cases) {
        HSLAdjustments expected;
        std::map<std::string, HSLAdjustments::BandValues*> values{
            {"Hue", &expected.hue},
            {"Saturation", &expected.saturation},
            {"Luminance", &expected.luminance}};
        values[channel]->fill(start);
        state.updateEditParams([&](EditParams& edit) { edit.hsl = expected; });
        for (auto [band, value] : changes) (*values[channel])[static_cast<int>(band)] = value;

        canvas->setColorSampleTexture(plain(texel));
        state.setColorTargetChannel(channel);
        QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseMove(canvas.get(), QPoint(200, 150) + drag);
        QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, QPoint(200, 150) + drag);
        EXPECT_EQ(state.editParams().hsl, expected) << channel << drag.x() << drag.y();
    }
}

TEST_F(PreviewCanvasTest, TheEyedropperAddsTheColourOfTheTexelUnderTheClickOnce) {
    showPhoto();
    // The texture's row 0 is the image's bottom: a NaN and an excess below, red above.
    canvas->setColorSampleTexture(plain({NAN, 0.5f, 2, 1}, 1, 2, msl::float4{1, 0, 0, 1}));
    state.setColorSamplerActive(true);
    QTest::mouseClick(canvas.get(), Qt::LeftButton, {}, QPoint(200, 250));
    ASSERT_EQ(state.editParams().hsl.points.size(), 1u);
    const PointColor& picked = state.editParams().hsl.points[0];
    EXPECT_EQ(std::tuple(picked.hue, picked.saturation, picked.brightness), std::tuple(210, 1, 1));
    EXPECT_EQ(state.selectedPointColor(), picked.id);
    EXPECT_FALSE(state.colorSamplerActive());

    state.updateEditParams(
        [](EditParams& edit) { edit.hsl.points.resize(8, PointColor(0, 0, 0)); });
    state.setColorSamplerActive(true);
    QTest::mouseClick(canvas.get(), Qt::LeftButton, {}, QPoint(200, 250));
    EXPECT_EQ(state.editParams().hsl.points.size(), 8u) << "no ninth colour";
    EXPECT_TRUE(state.colorSamplerActive());

    state.setIsRendering(true);  // clicks navigate meanwhile
    QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, QPoint(200, 250));
    EXPECT_FALSE(canvas->previewGeometry().fitMode());
    state.setColorTargetChannel("Hue");
    QTest::keyClick(canvas.get(), Qt::Key_Escape);
    EXPECT_FALSE(state.colorSamplerActive() || state.colorTargetChannel());
}

// Over a black photo: whether anything is painted around a point (a channel above 25 within
// one point).
bool marked(const QImage& image, QPointF point, double scale) {
    int brightest = 0;
    for (int i = 0; i < 9; ++i) {
        const QPointF near = point + QPointF(i % 3 - 1, i / 3 - 1);
        const QColor color = image.pixelColor((near * scale).toPoint());
        brightest = std::max({brightest, color.red(), color.green(), color.blue()});
    }
    return brightest > 25;
}

// A brush of 150 photo pixels is 20 points wide in the canvas, radius 0.0375 of the shorter side.
constexpr double kR = 10;

TEST_F(PreviewCanvasTest, TheBrushOutlinesDabsAndRoundCappedBandsAndFillsOnlyTheStrokeInProgress) {
    showPhoto();
    canvas->setTexture(plain({0, 0, 0, 1}));
    state.toggleSpotRepair();
    state.resizeSpotRepair(2.5);
    QTest::mouseClick(canvas.get(), Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseMove(canvas.get(), QPoint(300, 200));
    for (auto [point, painted] : {std::pair(QPointF(100 + kR, 100), true),   // the dab's circle
                                  std::pair(QPointF(100, 100), false),       // not filled
                                  std::pair(QPointF(250, 200), true),        // the stroke, filled
                                  std::pair(QPointF(200 - kR, 200), true)})  // its round cap
        EXPECT_EQ(marked(frame(), point, scale()), painted) << point.x() << ", " << point.y();

    QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mouseMove(canvas.get(), QPoint(150, 250));  // the brush outline follows the pointer
    EXPECT_FALSE(marked(frame(), {250, 200}, scale())) << "a committed stroke is not filled";
    EXPECT_TRUE(marked(frame(), {250, 200 - kR}, scale()));
    EXPECT_TRUE(marked(frame(), {150 + kR, 250}, scale()));
    QTest::mouseMove(canvas.get(), QPoint(200, 8));
    EXPECT_FALSE(marked(frame(), {200, 8 + kR}, scale())) << "no brush over the margin";
    QTest::mouseMove(canvas.get(), QPoint(200, 20));
    EXPECT_FALSE(marked(frame(), {200, 20 - kR}, scale())) << "nothing outside the image";

    state.toggleEditLayer(EditLayer::spotRepair);  // bypassed: the brush goes off too
    state.setIsSpotRepairActive(true);
    EXPECT_FALSE(marked(frame(), {250, 200 - kR}, scale()) || marked(frame(), {110, 100}, scale()));
}

TEST_F(PreviewCanvasTest, AStrokeThatLeavesTheImageTakesNoFurtherPointNotEvenItsEnd) {
    showPhoto();
    state.toggleSpotRepair();
    QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(100, 100));
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(canvas.get(), &popup);
    EXPECT_TRUE(state.spotRepairDraft()) << "a popup's focus does not end the stroke";
    for (QPoint point : {QPoint(200, 100), QPoint(200, 5), QPoint(300, 100)}) {
        QTest::mouseMove(canvas.get(), point);
    }
    QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, QPoint(300, 100));
    ASSERT_EQ(state.editParams().spotRepairs.size(), 1u);
    const SpotRepair& stroke = state.editParams().spotRepairs[0];
    const double y = (100 - kTop) / (2000 * kFit);
    EXPECT_NEAR(stroke.x, 0.25, 1e-9);
    EXPECT_NEAR(stroke.y, y, 1e-9);
    ASSERT_EQ(stroke.path.size(), 1u);
    EXPECT_NEAR(stroke.path[0].x, 0.5, 1e-9);
    EXPECT_NEAR(stroke.path[0].y, y, 1e-9);

    QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(100, 100));
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(canvas.get(), &focusOut);
    EXPECT_EQ(state.editParams().spotRepairs.size(), 2u) << "losing the focus commits the stroke";
}

// A colour drag and a brush stroke begun on a, carried on after b opened with the button held:
// a keeps what they did until the switch, b is never written.
TEST_F(PreviewCanvasTest, AColourDragOrAStrokeEndsWithThePhotoItBeganOn) {
    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng");
    canvas->setColorSampleTexture(plain({1, 0, 0, 1}));
    for (bool stroke : {false, true}) {
        harness.open(a);
        canvas->setTexture(plain({0, 0, 0, 1}));
        state.setColorTargetChannel(stroke ? std::nullopt : std::optional("Saturation"));
        if (stroke) state.toggleSpotRepair();
        QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(100, 150));
        QTest::mouseMove(canvas.get(), QPoint(200, 150));
        const EditParams atSwitch = state.editParams();
        harness.open(b);
        frame();
        const EditParams opened = state.editParams();
        QTest::mouseMove(canvas.get(), QPoint(300, 150));
        QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, QPoint(300, 150));
        EXPECT_EQ(state.editParams(), opened) << "b is not written";
        const EditParams& kept = AppStateTesting::sessionState(state, a).params;
        EXPECT_EQ(kept.hsl.saturation[0], 50) << "half of the 100 points dragged";
        // The stroke so far is committed to a as the open begins.
        EXPECT_EQ(kept.spotRepairs.size(), stroke ? 1u : 0u);
        EXPECT_TRUE(stroke || kept == atSwitch);
    }
}

TEST_F(PreviewCanvasTest, SpaceTurnsAPressIntoAPanAndTheBracketsResizeTheBrush) {
    showPhoto();
    canvas->clearFocus();
    state.toggleSpotRepair();
    state.requestZoom(AppState::ZoomAction::actualSize);
    frame();
    EXPECT_EQ(canvas->window()->focusWidget(), canvas.get()) << "the brush's keys come here";
    EXPECT_EQ(canvas->cursor().shape(), Qt::CrossCursor);
    QTest::keyPress(canvas.get(), Qt::Key_Space);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ", true);
    QApplication::sendEvent(canvas.get(), &repeat);  // X11's repeat of a held key
    EXPECT_EQ(canvas->cursor().shape(), Qt::OpenHandCursor);
    const QPointF origin = canvas->previewGeometry().topLeft();
    QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(canvas.get(), QPoint(230, 170));
    QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, QPoint(230, 170));
    EXPECT_EQ(canvas->previewGeometry().topLeft(), origin + QPointF(30, 20));
    EXPECT_TRUE(state.editParams().spotRepairs.empty());
    QTest::keyRelease(canvas.get(), Qt::Key_Space);
    EXPECT_EQ(canvas->cursor().shape(), Qt::CrossCursor);

    QTest::keyClick(canvas.get(), Qt::Key_BracketLeft);
    EXPECT_DOUBLE_EQ(state.spotRepairDiameter(), 60 / 1.2);
    QTest::keyClick(canvas.get(), Qt::Key_BracketRight);
    EXPECT_DOUBLE_EQ(state.spotRepairDiameter(), 60);
    // A held bracket: its first key-down and each repeat resize.
    for (bool repeat : {false, true, true}) {
        QKeyEvent held(QEvent::KeyPress, Qt::Key_BracketLeft, Qt::NoModifier, "[", repeat);
        QApplication::sendEvent(canvas.get(), &held);
    }
    EXPECT_DOUBLE_EQ(state.spotRepairDiameter(), 60 / 1.2 / 1.2 / 1.2);
    QTest::keyClick(canvas.get(), Qt::Key_Escape);
    EXPECT_FALSE(state.isSpotRepairActive());
    frame();
    EXPECT_EQ(canvas->cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace quillmere
