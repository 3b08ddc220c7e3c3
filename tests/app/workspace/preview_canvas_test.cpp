#include <QAction>
#include <QMenu>
#include <cmath>

#include "tests/app/workspace/preview_canvas_fixture.h"

namespace quillmere {
namespace {

TEST_F(PreviewCanvasTest, PaintsTheBackgroundAndTheImageUprightAndReportsTheFirstFit) {
    showPhoto("/photos/a.dng", false);
    expectColor(frame(), {200, 150}, Qt::black, 1);
    EXPECT_EQ(harness.log->count(AppState::Field::zoomPercent), 0) << "no texture, no report";

    showPhoto();
    EXPECT_NEAR(state.zoomPercent(), kFit * scale() * 100, 1e-9);
    // The mock's gradient: black at the bottom-left, white at the top-right, (0, 0.5, 1) at the
    // top-left.
    const QImage image = frame();
    expectColor(image, {3, 300 - kTop - 3}, Qt::black, 8);
    expectColor(image, {397, kTop + 3}, Qt::white, 8);
    expectColor(image, {3, kTop + 3}, QColor(0, 128, 255), 8);

    canvas->setLightAppearance(true);
    expectColor(frame(), {200, kTop / 2}, QColor(209, 209, 209), 1);  // 0.82 × 255
}

TEST_F(PreviewCanvasTest, ZoomRequestsWheelsDoubleClicksAndPhotosSetTheViewReRendersKeepIt) {
    showPhoto();
    state.requestZoom(AppState::ZoomAction::actualSize);
    frame();
    EXPECT_NEAR(state.zoomPercent(), 100, 1e-9);
    EXPECT_TRUE(state.isInspectingDetail());
    wheel({}, {0, 120});  // a notch: 2^0.1 about the pointer
    QTest::mousePress(canvas.get(), Qt::LeftButton, {}, QPoint(300, 100));
    QTest::mouseMove(canvas.get(), QPoint(330, 120));
    QTest::mouseRelease(canvas.get(), Qt::LeftButton, {}, QPoint(330, 120));
    frame();
    const QPointF under = pixelUnder({330, 120});
    EXPECT_NEAR(canvas->previewGeometry().zoom(), std::exp2(0.1) / scale(), 1e-12);
    EXPECT_NEAR(under.x(), 1500 + 100 * scale(), 1e-9) << "the pixel once under the pointer";

    canvas->setTexture(engine.gradient(EditParams()));  // a re-render of the same photo
    showPhoto("/photos/a.dng", false);
    EXPECT_EQ(pixelUnder({330, 120}), under) << "the view stays and a request acts once";
    wheel({0, -10}, {0, -120});  // a touchpad's 10 pixels: 2^-0.1
    EXPECT_NEAR(canvas->previewGeometry().zoom(), 1 / scale(), 1e-12);
    wheel({}, {0, 120 * 100});
    EXPECT_NEAR(canvas->previewGeometry().zoom(), 8 / scale(), 1e-12) << "800 % at most";

    QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, QPoint(100, 120));
    frame();
    EXPECT_FALSE(state.isInspectingDetail()) << "back to the fit";
    QTest::mouseDClick(canvas.get(), Qt::LeftButton, {}, QPoint(100, 120));
    frame();
    EXPECT_NEAR(state.zoomPercent(), 100, 1e-9);
    EXPECT_NEAR(pixelUnder({100, 120}).y(), (120 - kTop) / kFit, 1e-6) << "about the click";

    showPhoto("/photos/b.dng");
    EXPECT_FALSE(state.isInspectingDetail());
}

TEST_F(PreviewCanvasTest, TheEditMenuAndKeysCopyAndPasteAsTheStateAllows) {
    const auto enabled = [this] {
        const std::unique_ptr<QMenu> menu = canvas->editContextMenu();
        const QList<QAction*> actions = menu->actions();
        return std::pair(actions[0]->isEnabled(), actions[1]->isEnabled());
    };
    EXPECT_EQ(enabled(), std::pair(false, false)) << "no photo";
    showPhoto();
    EXPECT_EQ(enabled(), std::pair(true, false)) << "nothing to paste";

    // Ctrl+C reaches the focused canvas before a window shortcut on the same keys.
    QAction windowCopy;
    windowCopy.setShortcut(QKeySequence::Copy);
    canvas->addAction(&windowCopy);
    canvas->setFocus();
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1.5; });
    QTest::keyClick(canvas.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(enabled(), std::pair(true, true));

    state.setEditParams(EditParams());
    QTest::keyClick(canvas.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 1.5);

    AppStateTesting::setOpening(state, true);
    EXPECT_EQ(enabled(), std::pair(false, false)) << "while a photo opens";
}

}  // namespace
}  // namespace quillmere
