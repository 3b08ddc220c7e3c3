#include "app/workspace/preview_canvas.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "app/state/mock_render_engine.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::StateHarness;

// A 2560 × 1700 photo in a 400 × 300 canvas: fitted at zoom 400 / 2560, 265.6 high, 17.2 below
// the top.
constexpr double kFit = 400.0 / 2560;
constexpr double kTop = (300 - 1700 * kFit) / 2;

OpenedPhoto photoAt(const char* path) {
    OpenedPhoto photo = scriptedPhoto(path);
    photo.pixelWidth = 2560;
    photo.pixelHeight = 1700;
    return photo;
}

class PreviewCanvasTest : public ::testing::Test {
  protected:
    PreviewCanvasTest() {
        canvas->resize(400, 300);
        canvas->show();
    }

    void showPhoto(const char* path = "/photos/a.dng") {
        AppStateTesting::setPhoto(state, photoAt(path));
        canvas->setTexture(engine.gradient(EditParams()));
        frame();
    }
    // Lets the canvas see what the state announced, paints a frame and lets the zoom report it
    // posted reach the state.
    QImage frame() {
        QCoreApplication::processEvents();
        QImage image = canvas->grab().toImage();
        QCoreApplication::processEvents();
        return image;
    }
    // The frame's colour at a point of the canvas.
    QColor at(const QImage& image, QPointF point) const {
        return image.pixelColor((point * canvas->devicePixelRatioF()).toPoint());
    }
    double scale() const { return canvas->devicePixelRatioF(); }

    StateHarness harness;
    AppState& state = *harness.state;
    MockRenderEngine engine;
    std::unique_ptr<PreviewCanvas> canvas = std::make_unique<PreviewCanvas>(state);
};

void expectColor(const QColor& actual, int red, int green, int blue, int tolerance = 2) {
    EXPECT_NEAR(actual.red(), red, tolerance);
    EXPECT_NEAR(actual.green(), green, tolerance);
    EXPECT_NEAR(actual.blue(), blue, tolerance);
}

TEST_F(PreviewCanvasTest, WithoutATexturePaintsOnlyTheBackgroundAndReportsNothing) {
    AppStateTesting::setPhoto(state, photoAt("/photos/a.dng"));
    for (bool light : {false, true}) {
        canvas->setLightAppearance(light);
        const int grey = light ? 209 : 0;  // 0.82 × 255
        const QImage image = frame();
        for (QPointF point : {QPointF(200, 150), QPointF(2, 2), QPointF(398, 298)}) {
            expectColor(at(image, point), grey, grey, grey, 1);
        }
    }
    EXPECT_EQ(harness.log->count(AppState::Field::zoomPercent), 0);
    EXPECT_EQ(harness.log->count(AppState::Field::isInspectingDetail), 0);
}

TEST_F(PreviewCanvasTest, TheFirstFrameReportsTheFitAndShowsTheImageUpright) {
    showPhoto();
    EXPECT_NEAR(state.zoomPercent(), kFit * scale() * 100, 1e-9);
    EXPECT_FALSE(state.isInspectingDetail());

    // The mock's gradient: black at the bottom-left, white at the top-right, (0, 0.5, 1) at the
    // top-left; the margin above stays black.
    const QImage image = frame();
    expectColor(at(image, {3, 300 - kTop - 3}), 0, 0, 0, 8);
    expectColor(at(image, {397, kTop + 3}), 255, 255, 255, 8);
    expectColor(at(image, {3, kTop + 3}), 0, 128, 255, 8);
    expectColor(at(image, {200, kTop / 2}), 0, 0, 0, 0);

    harness.log->clear();
    canvas->setLightAppearance(true);
    expectColor(at(frame(), {200, kTop / 2}), 209, 209, 209, 1);
    EXPECT_EQ(harness.log->count(AppState::Field::zoomPercent), 0) << "appearance is no zoom";
}

// The photo's pixel under a canvas point, from the canvas's geometry.
QPointF pixelUnder(const PreviewGeometry& geometry, QPointF point) {
    return (point - geometry.topLeft()) / geometry.zoom();
}

TEST_F(PreviewCanvasTest, DoubleClicksToggleBetweenTheFitAndActualSizeAboutTheClick) {
    showPhoto();
    const QPoint click(100, 120);
    QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, click);
    frame();
    EXPECT_DOUBLE_EQ(canvas->previewGeometry().zoom(), 1 / scale());
    EXPECT_NEAR(state.zoomPercent(), 100, 1e-9);
    EXPECT_TRUE(state.isInspectingDetail());
    const QPointF under = pixelUnder(canvas->previewGeometry(), click);
    EXPECT_NEAR(under.x(), 100 / kFit, 1e-6);
    EXPECT_NEAR(under.y(), (120 - kTop) / kFit, 1e-6);

    QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, click);
    frame();
    EXPECT_TRUE(canvas->previewGeometry().fitMode());
    EXPECT_FALSE(state.isInspectingDetail());
}

TEST_F(PreviewCanvasTest, TheWheelZoomsByNotchesAndATouchpadByPixels) {
    struct Case {
        QPoint pixels, angle;
        double factor;
    };
    const Case cases[] = {{{}, {0, 120}, std::exp2(0.1)},
                          {{0, 1}, {0, 120}, std::exp2(0.01)},
                          {{}, {0, -240}, std::exp2(-0.2)}};
    for (const Case& c : cases) {
        showPhoto();
        state.requestZoom(AppState::ZoomAction::fit);
        frame();
        const QPointF pointer(300, 100);
        QWheelEvent wheel(pointer, canvas->mapToGlobal(pointer), c.pixels, c.angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas.get(), &wheel);
        EXPECT_NEAR(canvas->previewGeometry().zoom(), kFit * c.factor, 1e-12);
        EXPECT_NEAR(pixelUnder(canvas->previewGeometry(), pointer).x(), 300 / kFit, 1e-6);
    }
}

TEST_F(PreviewCanvasTest, AnotherPhotoReturnsToTheFitWhileAReRenderKeepsTheView) {
    showPhoto();
    state.requestZoom(AppState::ZoomAction::actualSize);
    frame();
    EXPECT_NEAR(state.zoomPercent(), 100, 1e-9);
    QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(canvas.get(), QPoint(230, 170));
    QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, QPoint(230, 170));
    frame();
    const QPointF panned = canvas->previewGeometry().topLeft();

    canvas->setTexture(engine.gradient(EditParams()));  // a re-render
    AppStateTesting::setPhoto(state, photoAt("/photos/a.dng"));  // the same photo again
    frame();
    EXPECT_EQ(canvas->previewGeometry().topLeft(), panned);
    EXPECT_DOUBLE_EQ(canvas->previewGeometry().zoom(), 1 / scale())
        << "a zoom request is performed once";

    showPhoto("/photos/b.dng");
    EXPECT_TRUE(canvas->previewGeometry().fitMode());
    EXPECT_NEAR(state.zoomPercent(), kFit * scale() * 100, 1e-9);
}

TEST_F(PreviewCanvasTest, TheEditMenuAndKeysCopyAndPasteAsTheStateAllows) {
    const auto enabled = [this] {
        const std::unique_ptr<QMenu> menu = canvas->editContextMenu();
        EXPECT_EQ(menu->title(), "Photo Edit");
        const QList<QAction*> actions = menu->actions();
        EXPECT_EQ(actions[0]->text(), "Copy Edit");
        EXPECT_EQ(actions[1]->text(), "Paste Edit");
        return std::pair(actions[0]->isEnabled(), actions[1]->isEnabled());
    };
    EXPECT_EQ(enabled(), std::pair(false, false)) << "no photo";
    showPhoto();
    EXPECT_EQ(enabled(), std::pair(true, false)) << "nothing to paste";

    // Ctrl+C reaches the focused canvas before a window shortcut on the same keys.
    QAction windowCopy;
    windowCopy.setShortcut(QKeySequence::Copy);
    bool windowCopied = false;
    QObject::connect(&windowCopy, &QAction::triggered, [&] { windowCopied = true; });
    canvas->addAction(&windowCopy);
    canvas->setFocus();
    EditParams edit = state.editParams();
    edit.exposure = 1.5;
    state.setEditParams(edit);
    QTest::keyClick(canvas.get(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(harness.clipboard->params);
    EXPECT_EQ(harness.clipboard->params->exposure, 1.5);
    EXPECT_FALSE(windowCopied);
    EXPECT_EQ(enabled(), std::pair(true, true));

    state.setEditParams(EditParams());
    QTest::keyClick(canvas.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 1.5);

    AppStateTesting::setOpening(state, true);
    EXPECT_EQ(enabled(), std::pair(false, false)) << "while a photo opens";
}

}  // namespace
}  // namespace quillmere
