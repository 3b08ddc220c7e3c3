#include "app/workspace/preview_view.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/state/mock_render_engine.h"
#include "app/workspace/busy_indicator.h"
#include "app/workspace/preview_badge_text.h"
#include "app/workspace/preview_canvas.h"
#include "core/photo/gpu_render_engine_error.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

TEST(PreviewBadgeText, PercentagesRoundHalfAwayFromZero) {
    EXPECT_EQ(PreviewBadgeText::zoom(35, true), "35% · Before denoise");
    EXPECT_EQ(PreviewBadgeText::zoom(99.5, false), "100%");
    EXPECT_EQ(PreviewBadgeText::zoom(-0.4, false), "0%");
    EXPECT_EQ(PreviewBadgeText::processing(std::nullopt), "Processing…");
    EXPECT_EQ(PreviewBadgeText::processing(0.125), "Processing 13%");
    EXPECT_EQ(PreviewBadgeText::processing(1), "Processing 100%");
}

class PreviewViewTest : public ::testing::Test {
  protected:
    PreviewViewTest() {
        view->resize(480, 320);
        view->show();
    }

    void settle() {
        for (int turn = 0; turn < 2; ++turn) {
            QCoreApplication::processEvents();
            harness.executor->runPending();
        }
    }
    // Waits for the render the view schedules after its pause.
    void awaitRenderRequest() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !engine.previews.empty(); }));
    }
    template <class Widget = QWidget>
    Widget& child(const char* name) {
        auto* widget = view->findChild<Widget*>(name);
        if (!widget) throw std::logic_error(name);
        return *widget;
    }
    QString text(const char* name) { return child<QLabel>(name).text(); }
    bool shown(const char* name) { return child(name).isVisible(); }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    ScriptedEngine& engine = *harness.engine;
    std::unique_ptr<PreviewView> view = std::make_unique<PreviewView>(state);
    const std::filesystem::path photo = harness.file("a.dng");
};

TEST_F(PreviewViewTest, TheBadgeShowsZoomComparisonsAndProgress) {
    EXPECT_FALSE(shown("zoomBadge"));
    harness.open(photo);
    state.setZoomPercent(35);
    state.setShowDenoiseOriginal(true);
    settle();
    EXPECT_TRUE(shown("zoomBadge"));
    EXPECT_EQ(text("zoomText"), "35% · Before denoise");
    EXPECT_FALSE(shown("beforeRecoveryText"));
    EXPECT_EQ(text("processingText"), "Processing…");

    state.setShowRecoveryOriginal(true);
    settle();
    EXPECT_TRUE(shown("beforeRecoveryText"));
    EXPECT_EQ(text("beforeRecoveryText"), "· Before recovery");

    awaitRenderRequest();
    engine.previews[0].progress(0.35);
    QTRY_COMPARE(text("processingText"), QString("Processing 35%"));
    engine.failPreview(0, std::make_exception_ptr(CancellationError()));
    QTRY_VERIFY(!shown("processingText"));
}

TEST_F(PreviewViewTest, WithoutAPhotoTheEmptyStateOffersToOpenPhotos) {
    EXPECT_TRUE(shown("dropZoneHint"));
    EXPECT_FALSE(shown("photoPreview"));
    QTest::mouseClick(&child<QPushButton>("openPhotosButton"), Qt::LeftButton);
    EXPECT_FALSE(harness.prompts->extensions.empty()) << "the open panel was shown";

    harness.request({photo});
    settle();
    EXPECT_TRUE(shown("previewSpinner"));
    EXPECT_FALSE(shown("dropZoneHint"));
    EXPECT_FALSE(shown("photoPreview"));
}

TEST_F(PreviewViewTest, AFailedRenderShowsTheSpinnerUntilAGoodRenderReplacesIt) {
    harness.open(photo);
    settle();
    awaitRenderRequest();
    EXPECT_TRUE(shown("photoPreview"));
    EXPECT_TRUE(shown("previewSpinner"));
    engine.failPreview(0, std::make_exception_ptr(GPURenderEngineError::gpuUnavailable()));
    QTRY_COMPARE(state.lastError(), std::optional<std::string>("A Metal GPU is required."));
    settle();
    EXPECT_TRUE(shown("previewSpinner"));
    EXPECT_EQ(child("previewSpinner").geometry().center(), view->rect().center());

    state.updateEditParams([](EditParams& params) { params.exposure = 1; });
    awaitRenderRequest();
    const auto developed = MockRenderEngine().gradient(engine.previews[0].params);
    engine.completePreview(0, developed);
    QTRY_VERIFY(!shown("previewSpinner"));
    EXPECT_EQ(view->canvas().texture(), developed);

    // Hidden, the view renders nothing.
    state.updateEditParams([](EditParams& params) { params.exposure = 2; });
    settle();
    view->hide();
    EXPECT_FALSE(state.isRendering());
}

TEST_F(PreviewViewTest, TheBackgroundAndTheCanvasFollowTheWindowsAppearance) {
    for (const bool light : {true, false}) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::Window, light ? QColor(236, 236, 236) : QColor(40, 40, 40));
        view->setPalette(palette);
        EXPECT_EQ(view->canvas().isLightAppearance(), light);
        const QColor corner = view->grab().toImage().pixelColor(2, 2);
        EXPECT_EQ(corner, light ? QColor(209, 209, 209) : QColor(0, 0, 0));
    }
}

}  // namespace
}  // namespace quillmere
