#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include "app/state/mock_render_engine.h"
#include "app/workspace/preview_canvas.h"
#include "core/compute/device.h"
#include "tests/app/support/state_harness.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {

// A 3000 × 2000 photo in a 400 × 300 canvas: fitted at zoom 400 / 3000, 16.7 below the top.
constexpr double kFit = 400.0 / 3000;
constexpr double kTop = (300 - 2000 * kFit) / 2;

class PreviewCanvasTest : public testing::StateTest {
  protected:
    PreviewCanvasTest() {
        canvas->resize(400, 300);
        canvas->show();
    }

    void showPhoto(const char* path = "/photos/a.dng", bool withTexture = true) {
        AppStateTesting::showPhoto(state, scriptedPhoto(path));
        if (withTexture) canvas->setTexture(engine.gradient(EditParams()));
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
    double scale() const { return canvas->devicePixelRatioF(); }
    void expectColor(const QImage& image, QPointF point, QColor color, int tolerance) {
        const QColor actual = image.pixelColor((point * scale()).toPoint());
        EXPECT_NEAR(actual.red(), color.red(), tolerance) << point.x() << ", " << point.y();
        EXPECT_NEAR(actual.green(), color.green(), tolerance);
        EXPECT_NEAR(actual.blue(), color.blue(), tolerance);
    }
    // The photo's pixel under a canvas point.
    QPointF pixelUnder(QPointF point) const {
        return (point - canvas->previewGeometry().topLeft()) / canvas->previewGeometry().zoom();
    }
    void wheel(QPoint pixels, QPoint angle) {
        const QPointF at(300, 100);
        QWheelEvent event(at, canvas->mapToGlobal(at), pixels, angle, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas.get(), &event);
    }

    // A texture of one colour, `texel` for the bottom row and `top` above it.
    RenderEngine::TexturePointer plain(msl::float4 texel, int width = 3, int height = 2,
                                       std::optional<msl::float4> top = std::nullopt) {
        return testing::makeTexture(device, PixelFormat::rgba16Float, width, height,
                                    [&](int, int y) { return y > 0 && top ? *top : texel; });
    }

    Device device;
    MockRenderEngine engine;
    std::unique_ptr<PreviewCanvas> canvas = std::make_unique<PreviewCanvas>(state);
};

}  // namespace quillmere
