#include "app/workspace/preview_view.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "app/state/mock_render_engine.h"
#include "app/workspace/preview_badge_text.h"
#include "app/workspace/preview_canvas.h"
#include "core/decode/raw_loader_error.h"
#include "core/photo/gpu_render_engine_error.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

TEST(PreviewBadgeText, PercentagesRoundHalfAwayFromZero) {
    EXPECT_EQ(PreviewBadgeText::zoom(99.5, false) + PreviewBadgeText::zoom(-0.4, false), "100%0%");
    EXPECT_EQ(PreviewBadgeText::processing(0.125), "Processing 13%");
}

class PreviewViewTest : public testing::StateTest {
  protected:
    PreviewViewTest() {
        view->resize(480, 320);
        view->show();
    }

    // Waits for the render the view schedules after its pause.
    void awaitRenderRequest() {
        ASSERT_TRUE(testing::eventually([&] { return !engine.previews.empty(); }));
    }
    QString text(const char* name) { return view->findChild<QLabel*>(name)->text(); }
    bool shown(const char* name) { return view->findChild<QWidget*>(name)->isVisible(); }

    ScriptedEngine& engine = *harness.engine;
    std::unique_ptr<PreviewView> view = std::make_unique<PreviewView>(state);
    const std::filesystem::path photo = harness.file("a.dng");
};

TEST_F(PreviewViewTest, TheBadgeShowsZoomComparisonsAndProgress) {
    EXPECT_FALSE(shown("zoomBadge"));
    harness.open(photo);
    state.setZoomPercent(35);
    state.setShowDenoiseOriginal(true);
    harness.settle();
    EXPECT_TRUE(shown("zoomBadge"));
    EXPECT_EQ(text("zoomText"), "35% · Before denoise");
    EXPECT_FALSE(shown("beforeRecoveryText"));
    EXPECT_EQ(text("processingText"), "Processing…");
    state.setShowRecoveryOriginal(true);
    harness.settle();
    EXPECT_TRUE(shown("beforeRecoveryText"));

    awaitRenderRequest();
    // Each step of the render's progress is shown as it arrives. It is reported on the newest
    // request, the current render's: a request made before the last change is stale, whenever
    // its pause ended, and its reports are not shown.
    for (const auto& [fraction, shownText] : {std::pair(0.35, QString("Processing 35%")),
                                              std::pair(0.6, QString("Processing 60%"))}) {
        ASSERT_TRUE(testing::eventually([&] {
            engine.previews.back().progress(fraction);
            return state.renderProgress() == fraction;
        }));
        harness.settle();
        EXPECT_EQ(text("processingText"), shownText);
    }
}

TEST_F(PreviewViewTest, WithoutAPhotoTheEmptyStateOffersToOpenPhotos) {
    EXPECT_TRUE(shown("dropZoneHint"));
    EXPECT_FALSE(shown("photoPreview"));
    QTest::mouseClick(view->findChild<QPushButton*>("openPhotosButton"), Qt::LeftButton);
    EXPECT_FALSE(harness.prompts->extensions.empty()) << "the open panel was shown";

    harness.request({photo});
    harness.settle();
    EXPECT_TRUE(shown("previewSpinner"));
    EXPECT_FALSE(shown("dropZoneHint"));
}

TEST_F(PreviewViewTest, AFailedRenderLeavesThePhotoShownAndNoSpinnerWaitingForNothing) {
    harness.open(photo);
    harness.settle();
    awaitRenderRequest();
    EXPECT_TRUE(shown("previewSpinner"));
    // A first render that fails has no picture to leave, and nothing is under way any more.
    engine.failPreview(0, std::make_exception_ptr(GPURenderEngineError::gpuUnavailable()));
    ASSERT_TRUE(testing::eventually([&] { return state.lastError().has_value(); }));
    harness.settle();
    EXPECT_TRUE(shown("photoPreview"));
    EXPECT_FALSE(shown("previewSpinner"));

    state.setLastError(std::nullopt);
    state.updateEditParams([](EditParams& params) { params.exposure = 1; });
    awaitRenderRequest();
    EXPECT_TRUE(shown("previewSpinner"));
    EXPECT_EQ(view->findChild<QWidget*>("previewSpinner")->geometry().center(),
              view->rect().center());
    const auto developed = MockRenderEngine().gradient(engine.previews[0].params);
    engine.completePreview(0, developed);
    ASSERT_TRUE(testing::eventually([&] { return !shown("previewSpinner"); }));
    EXPECT_EQ(view->canvas().texture(), developed);

    // Detail chosen while its model is missing: the error, and the photo as it was.
    state.updateEditParams([](EditParams& params) {
        params.denoiseMethod = DenoiseMethod::matchFilter;
        params.denoise = 50;
    });
    awaitRenderRequest();
    EXPECT_FALSE(shown("previewSpinner")) << "the photo shows while it renders again";
    engine.failPreview(0, std::make_exception_ptr(RAWLoaderError::renderFailed(
                              "The Detail model is missing. Build Quillmere with its prepared "
                              "model resources.")));
    ASSERT_TRUE(testing::eventually([&] { return state.lastError().has_value(); }));
    harness.settle();
    EXPECT_EQ(view->canvas().texture(), developed);
    EXPECT_FALSE(shown("previewSpinner"));

    // Hidden, the view renders nothing.
    state.updateEditParams([](EditParams& params) { params.exposure = 2; });
    harness.settle();
    view->hide();
    EXPECT_FALSE(state.isRendering());
}

// A picture kept after a failed render is marked, over the photo, as not the current edit until a
// render succeeds: a pill of black at 60 % over it.
TEST_F(PreviewViewTest, APictureKeptAfterAFailedRenderIsMarkedOutdated) {
    auto* mark = view->findChild<QWidget*>("outdatedPictureMark");
    harness.open(photo);
    harness.settle();
    const auto renderThen = [&](double exposure, const std::function<void()>& answer) {
        state.updateEditParams([exposure](EditParams& params) { params.exposure = exposure; });
        awaitRenderRequest();
        answer();
        harness.settle();
    };
    const auto succeed = [&] {
        engine.completePreview(0, MockRenderEngine().gradient(engine.previews[0].params));
    };
    const auto fail = [&] {
        engine.failPreview(0, std::make_exception_ptr(RAWLoaderError::renderFailed("no model")));
    };
    renderThen(0.5, succeed);
    ASSERT_TRUE(testing::eventually([&] { return view->canvas().texture() != nullptr; }));
    EXPECT_FALSE(mark->isVisible());
    const auto pixelAt = [&](QPoint point) {
        const QImage image = view->grab().toImage();
        return image.pixelColor(point * image.devicePixelRatio());
    };
    const QPoint probe(mark->geometry().center().x(), mark->geometry().top() + 1);
    const QColor photoThere = pixelAt(probe);
    ASSERT_GT(photoThere.lightness(), 60) << "a probe where the photo is bright enough to darken";

    renderThen(-1, fail);
    ASSERT_TRUE(testing::eventually([&] { return mark->isVisible(); }));
    EXPECT_EQ(view->findChild<QLabel*>("outdatedPictureText")->text(),
              "Out of date: the current edit could not be rendered");
    const QColor marked = pixelAt(probe);
    for (const auto& [shown, under] :
         {std::pair(marked.red(), photoThere.red()), std::pair(marked.green(), photoThere.green()),
          std::pair(marked.blue(), photoThere.blue())}) {
        EXPECT_NEAR(shown, under * 0.4, 3);
    }
    renderThen(1, succeed);
    EXPECT_TRUE(testing::eventually([&] { return !mark->isVisible(); }));
}

TEST_F(PreviewViewTest, TheBackgroundAndTheCanvasFollowTheWindowsAppearance) {
    for (const bool light : {true, false}) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::Window, QColor::fromHsl(0, 0, light ? 128 : 127));
        view->setPalette(palette);
        EXPECT_EQ(view->canvas().isLightAppearance(), light);
        const int grey = light ? 209 : 0;  // 0.82 × 255
        EXPECT_EQ(view->grab().toImage().pixel(2, 2), qRgb(grey, grey, grey));
    }
}

}  // namespace
}  // namespace quillmere
