#include "app/workspace/histogram_view.h"

#include <gtest/gtest.h>

#include <QImage>

namespace quillmere {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 90;

QPalette palette(bool light) {
    QPalette palette;
    palette.setColor(QPalette::Window, light ? QColor(236, 236, 236) : QColor(40, 40, 40));
    palette.setColor(QPalette::Base, light ? QColor(255, 255, 255) : QColor(30, 30, 30));
    return palette;
}

// The view drawn, read at the centres of its points whatever the display's scale.
class Drawing {
  public:
    explicit Drawing(const std::optional<HistogramData>& data, bool light = false) {
        HistogramView view;
        view.setPalette(palette(light));
        view.resize(kWidth, kHeight);
        view.setData(data);
        image_ = view.grab().toImage();
    }
    QColor pixelColor(int x, int y) const {
        const double scale = image_.devicePixelRatio();
        return image_.pixelColor(static_cast<int>((x + 0.5) * scale),
                                 static_cast<int>((y + 0.5) * scale));
    }
    QColor pixelColor(QPoint point) const { return pixelColor(point.x(), point.y()); }

  private:
    QImage image_;
};

void expectNear(QColor actual, QColor expected, int tolerance, const char* what) {
    EXPECT_NEAR(actual.red(), expected.red(), tolerance) << what;
    EXPECT_NEAR(actual.green(), expected.green(), tolerance) << what;
    EXPECT_NEAR(actual.blue(), expected.blue(), tolerance) << what;
}

HistogramData filled(float red, float green, float blue) {
    HistogramData data;
    data.r.fill(red);
    data.g.fill(green);
    data.b.fill(blue);
    return data;
}

TEST(HistogramView, WithoutDataOnlyTheCaptionIsDrawn) {
    const Drawing image(std::nullopt);
    const QColor base(30, 30, 30);
    int caption = 0;
    for (int y = HistogramView::inset; y < kHeight - HistogramView::inset; ++y) {
        for (int x = HistogramView::inset; x < kWidth - HistogramView::inset; ++x) {
            if (image.pixelColor(x, y) == base) continue;
            // Anything else is the caption, in the middle.
            EXPECT_LT(std::abs(y - kHeight / 2), 12) << x << ", " << y;
            EXPECT_LT(std::abs(x - kWidth / 2), 40) << x << ", " << y;
            ++caption;
        }
    }
    EXPECT_GT(caption, 20);
}

TEST(HistogramView, AnEmptyChannelIsAFlatLineAlongTheBottom) {
    const Drawing image(filled(0, 0, 0));
    const int bottom = kHeight - HistogramView::inset - 1;
    for (int x : {20, kWidth / 2, kWidth - 20}) {
        EXPECT_NE(image.pixelColor(x, bottom), QColor(30, 30, 30)) << x;
        EXPECT_EQ(image.pixelColor(x, bottom - 3), QColor(30, 30, 30)) << x;
        EXPECT_EQ(image.pixelColor(x, kHeight / 2), QColor(30, 30, 30)) << x;
    }
}

TEST(HistogramView, OverlappingChannelsAddUpWhenDarkAndMultiplyWhenLight) {
    // Red and green fill the whole graph at opacity 0.55; blue is empty. The channel colours are
    // red (255, 59, 48) and green (40, 205, 65).
    const HistogramData data = filled(1, 1, 0);
    const QPoint middle(kWidth / 2, kHeight / 2);
    const double alpha = 0.55;
    const double red[3] = {255, 59, 48}, green[3] = {40, 205, 65};

    // Plus: the premultiplied colours add up; together they are opaque.
    QColor added;
    added.setRgbF((red[0] + green[0]) * alpha / 255, (red[1] + green[1]) * alpha / 255,
                  (red[2] + green[2]) * alpha / 255);
    expectNear(Drawing(data, false).pixelColor(middle), added, 3, "dark");

    // Multiply on a transparent layer: green over red is s·d + s·(1 − αd) + d·(1 − αs) in
    // premultiplied values, and the layer then lies over the white background.
    double multiplied[3];
    const double layerAlpha = alpha + alpha - alpha * alpha;
    for (int channel = 0; channel < 3; ++channel) {
        const double s = green[channel] * alpha / 255, d = red[channel] * alpha / 255;
        multiplied[channel] = s * d + s * (1 - alpha) + d * (1 - alpha) + (1 - layerAlpha);
    }
    QColor expected;
    expected.setRgbF(multiplied[0], multiplied[1], multiplied[2]);
    expectNear(Drawing(data, true).pixelColor(middle), expected, 3, "light");
}

TEST(HistogramView, OnlyTheHighestChannelReachesTheTop) {
    HistogramData data = filled(0.5f, 0.5f, 0.5f);
    data.b[32] = 1;
    const Drawing image(data);
    // Bin 32 of 64 lies 32/63 of the way across the graph.
    const int top = HistogramView::inset;
    const int peak = HistogramView::inset + (kWidth - 2 * HistogramView::inset) * 32 / 63;
    int bluest = 0;
    for (int y = top; y <= top + 1; ++y) {
        for (int x = peak - 2; x <= peak + 2; ++x) {
            const QColor color = image.pixelColor(x, y);
            bluest = std::max(bluest, color.blue() - std::max(color.red(), color.green()));
        }
    }
    EXPECT_GT(bluest, 20) << "the blue curve alone";
    EXPECT_EQ(image.pixelColor(20, top + 2), QColor(30, 30, 30));
}

}  // namespace
}  // namespace quillmere
