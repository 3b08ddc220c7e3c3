#include "app/panels/histogram_view.h"

#include <gtest/gtest.h>

#include <QImage>

namespace quillmere {
namespace {

constexpr int kWidth = 200, kHeight = 90, kInset = HistogramView::inset;
const QColor kDarkBase(30, 30, 30);

// The view drawn on a dark or light palette, read at the centre of a point at any display scale.
QColor drawn(const std::optional<HistogramData>& data, bool light, QPoint point) {
    HistogramView view;
    QPalette palette;
    palette.setColor(QPalette::Window, light ? QColor(236, 236, 236) : QColor(40, 40, 40));
    palette.setColor(QPalette::Base, light ? QColor(255, 255, 255) : kDarkBase);
    view.setPalette(palette);
    view.resize(kWidth, kHeight);
    view.setData(data);
    const QImage image = view.grab().toImage();
    const double scale = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>((point.x() + 0.5) * scale),
                            static_cast<int>((point.y() + 0.5) * scale));
}

HistogramData filled(float red, float green, float blue) {
    HistogramData data;
    data.r.fill(red), data.g.fill(green), data.b.fill(blue);
    return data;
}

TEST(HistogramView, WithoutDataNoGraphIsDrawnAndAnEmptyChannelIsAFlatLine) {
    const int bottom = kHeight - kInset - 1;
    for (int x : {20, kWidth / 2, kWidth - 20}) {
        EXPECT_EQ(drawn(std::nullopt, false, {x, bottom}), kDarkBase) << x;
        EXPECT_NE(drawn(filled(0, 0, 0), false, {x, bottom}), kDarkBase) << x;
        EXPECT_EQ(drawn(filled(0, 0, 0), false, {x, bottom - 3}), kDarkBase) << x;
    }
}

TEST(HistogramView, OverlappingChannelsAddUpWhenDarkAndMultiplyWhenLight) {
    // Red (255, 59, 48) and green (40, 205, 65) fill the graph at opacity 0.55; blue is empty.
    const HistogramData data = filled(1, 1, 0);
    const QPoint middle(kWidth / 2, kHeight / 2);
    const QColor dark = drawn(data, false, middle), light = drawn(data, true, middle);
    const int darkValues[] = {dark.red(), dark.green(), dark.blue()};
    const int lightValues[] = {light.red(), light.green(), light.blue()};
    const double alpha = 0.55, red[3] = {255, 59, 48}, green[3] = {40, 205, 65};
    for (int channel = 0; channel < 3; ++channel) {
        // Plus: premultiplied colours add up, and together they are opaque.
        EXPECT_NEAR(darkValues[channel], (red[channel] + green[channel]) * alpha, 3) << channel;
        // Multiply on a transparent layer, s·d + s·(1 − αd) + d·(1 − αs), then over white.
        const double s = green[channel] * alpha / 255, d = red[channel] * alpha / 255;
        const double multiplied =
            s * d + s * (1 - alpha) + d * (1 - alpha) + (1 - alpha) * (1 - alpha);
        EXPECT_NEAR(lightValues[channel], multiplied * 255, 3) << channel;
    }
}

}  // namespace
}  // namespace quillmere
