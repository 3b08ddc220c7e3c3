#include "app/workspace/render_scheduler.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "app/state/mock_render_engine.h"
#include "core/photo/gpu_render_engine_error.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::milliseconds;

// Time the test moves by hand: a wait fires once the clock has passed its deadline.
class ManualClock {
  public:
    RenderScheduler::Wait wait() {
        return [this](Clock delay, std::function<void()> fire) {
            timers_.push_back({now_ + delay, std::move(fire)});
        };
    }

    void advance(Clock step) {
        now_ += step;
        for (;;) {
            const auto due = std::min_element(
                timers_.begin(), timers_.end(),
                [](const Timer& a, const Timer& b) { return a.deadline < b.deadline; });
            if (due == timers_.end() || due->deadline > now_) return;
            const std::function<void()> fire = std::move(due->fire);
            timers_.erase(due);
            fire();
        }
    }

  private:
    struct Timer {
        Clock deadline;
        std::function<void()> fire;
    };
    Clock now_{0};
    std::vector<Timer> timers_;
};

class RenderSchedulerTest : public ::testing::Test {
  protected:
    // Lets the scheduler see what the state announced and the engine's answers arrive.
    void settle() {
        for (int turn = 0; turn < 3; ++turn) {
            QCoreApplication::processEvents();
            harness.executor->runPending();
        }
    }
    void wait() {
        clock.advance(RenderScheduler::renderDelay);
        settle();
    }
    void edit(double exposure) {
        state.updateEditParams([exposure](EditParams& params) { params.exposure = exposure; });
        settle();
    }
    // Opens the photo and lets its first render reach the engine.
    void openAndRender(const std::filesystem::path& url) {
        harness.open(url);
        settle();
        wait();
    }
    RenderEngine::TexturePointer texture(double exposure = 0) {
        return mock.gradient([exposure] {
            EditParams params;
            params.exposure = exposure;
            return params;
        }());
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    ScriptedEngine& engine = *harness.engine;
    MockRenderEngine mock;
    ManualClock clock;
    RenderScheduler scheduler{state, harness.executor, clock.wait()};
    const std::filesystem::path a = harness.file("a.dng");
    const std::filesystem::path b = harness.file("b.dng");
};

TEST_F(RenderSchedulerTest, ABurstOfChangesRendersOnceWithTheLastEdit) {
    harness.open(a);
    settle();
    const std::uint64_t start = scheduler.generation();
    for (int step = 1; step <= 10; ++step) {
        edit(step / 10.0);
        clock.advance(3ms);
    }
    EXPECT_EQ(scheduler.generation(), start + 10);
    EXPECT_TRUE(engine.previews.empty());
    EXPECT_TRUE(state.isRendering());

    wait();
    ASSERT_EQ(engine.previews.size(), 1u);
    EXPECT_EQ(engine.previews[0].params.exposure, 1.0);
    EXPECT_EQ(engine.previews[0].resolution, PreviewResolution::fit);
    const auto developed = texture();
    engine.completePreview(0, developed);
    settle();
    EXPECT_EQ(scheduler.texture(), developed);
    EXPECT_FALSE(state.isRendering());
    EXPECT_EQ(harness.histograms->items.size(), 1u) << "the texture goes on to the histogram";

    // Zoomed into detail, the photo renders at its own size.
    state.setIsInspectingDetail(true);
    settle();
    wait();
    ASSERT_EQ(engine.previews.size(), 1u);
    EXPECT_EQ(engine.previews[0].resolution, PreviewResolution::full);
}

TEST_F(RenderSchedulerTest, AResultAfterANewerSchedulingStoresAndReportsNothing) {
    openAndRender(a);
    ASSERT_EQ(engine.previews.size(), 1u);
    edit(1);
    EXPECT_TRUE(engine.previews[0].stopToken.stop_requested()) << "the engine stops early";
    engine.previews[0].progress(0.5);
    engine.completePreview(0, texture());
    settle();
    EXPECT_EQ(scheduler.texture(), nullptr);
    EXPECT_TRUE(state.isRendering());
    EXPECT_EQ(state.renderProgress(), std::nullopt);
    EXPECT_TRUE(harness.histograms->items.empty());

    wait();
    edit(2);
    engine.failPreview(0, std::make_exception_ptr(std::runtime_error("late")));
    settle();
    EXPECT_EQ(state.lastError(), std::nullopt);
    EXPECT_TRUE(state.isRendering());
}

TEST_F(RenderSchedulerTest, SchedulingWhileOpeningOnlyCancelsAndTheOpensEndRendersAgain) {
    openAndRender(a);
    state.setColorSamplerActive(true);
    settle();
    harness.request({b});
    ASSERT_TRUE(state.isOpening());
    const std::uint64_t before = scheduler.generation();
    // An edit seen before the open's own announcement.
    scheduler.scheduleRender();
    EXPECT_EQ(scheduler.generation(), before + 1);
    EXPECT_TRUE(state.isRendering()) << "left alone while opening";
    settle();
    EXPECT_FALSE(state.isRendering()) << "the open's start ends the render";
    wait();
    EXPECT_EQ(engine.previews.size(), 1u) << "only the cancelled request of the first photo";
    EXPECT_TRUE(engine.previews[0].stopToken.stop_requested());

    harness.answerOpen();
    settle();
    EXPECT_FALSE(state.colorSamplerActive()) << "the colour tools belong to the old photo";
    wait();
    ASSERT_EQ(engine.previews.size(), 2u);
    EXPECT_EQ(engine.previews[1].photo.url, b);
}

TEST_F(RenderSchedulerTest, WithoutAPhotoNothingRenders) {
    openAndRender(a);
    engine.completePreview(0, texture());
    settle();
    ASSERT_NE(scheduler.texture(), nullptr);

    AppStateTesting::setPhoto(state, std::nullopt);
    settle();
    wait();
    EXPECT_EQ(scheduler.texture(), nullptr);
    EXPECT_FALSE(state.isRendering());
    EXPECT_TRUE(engine.previews.empty());

    scheduler.appear();
    wait();
    EXPECT_TRUE(engine.previews.empty());
}

TEST_F(RenderSchedulerTest, AFailureClearsThePictureOnceAndCancellationIsSilent) {
    openAndRender(a);
    engine.completePreview(0, texture());
    settle();
    state.setHistogram(HistogramData::empty);

    edit(1);
    wait();
    engine.failPreview(0, std::make_exception_ptr(GPURenderEngineError::gpuUnavailable()));
    settle();
    EXPECT_EQ(scheduler.texture(), nullptr);
    EXPECT_EQ(state.histogram(), std::nullopt);
    EXPECT_EQ(state.lastError(), "A Metal GPU is required.");
    EXPECT_FALSE(state.isRendering());

    state.setLastError(std::nullopt);
    edit(2);
    wait();
    engine.failPreview(0, std::make_exception_ptr(CancellationError()));
    settle();
    EXPECT_EQ(state.lastError(), std::nullopt);
    EXPECT_FALSE(state.isRendering());

    // Hidden, the view leaves nothing rendering and nothing waiting.
    edit(3);
    scheduler.disappear();
    EXPECT_FALSE(state.isRendering());
    wait();
    EXPECT_TRUE(engine.previews.empty());
}

TEST_F(RenderSchedulerTest, TheColourSampleRendersFirstOncePerColourToolChange) {
    openAndRender(a);
    engine.completePreview(0, texture());
    state.updateEditParams([](EditParams& params) {
        params.vibrance = 30;
        params.hsl.hue[2] = 40;
    });
    settle();
    wait();
    engine.completePreview(0, texture());
    settle();

    // Each step: what changes, then how many engine calls its render makes.
    const std::vector<std::pair<std::function<void()>, std::size_t>> steps = {
        {[&] { state.setColorSamplerActive(true); }, 2},
        {[&] { edit(1); }, 1},
        {[&] { state.setColorTargetChannel("Hue"); }, 2},
        {[&] { state.setColorTargetChannel("Saturation"); }, 2},
        {[&] {
             state.setColorSamplerActive(false);
             state.setColorTargetChannel(std::nullopt);
         },
         1},
    };
    for (std::size_t index = 0; index < steps.size(); ++index) {
        SCOPED_TRACE(index);
        steps[index].first();
        settle();
        wait();
        std::size_t calls = 0;
        while (!engine.previews.empty()) {
            const ScriptedEngine::PreviewRequest& request = engine.previews[0];
            const bool isSample = request.params.hsl == HSLAdjustments::neutral();
            if (isSample) {
                EXPECT_EQ(request.params.vibrance, 0);
                EXPECT_EQ(request.params.saturation, 0);
                EXPECT_FALSE(request.progress) << "the sample reports no progress";
            } else {
                EXPECT_EQ(request.params.vibrance, 30);
            }
            const auto developed = texture();
            engine.completePreview(0, developed);
            settle();
            if (isSample) EXPECT_EQ(scheduler.colorSampleTexture(), developed);
            ++calls;
        }
        EXPECT_EQ(calls, steps[index].second);
    }
    EXPECT_EQ(scheduler.colorSampleTexture(), nullptr);
}

TEST_F(RenderSchedulerTest, ProgressIsClampedAndOnlyTheRunningRenderReportsIt) {
    openAndRender(a);
    EXPECT_EQ(state.renderProgress(), std::nullopt);
    const std::vector<std::pair<double, double>> reports = {
        {0.35, 0.35}, {1.7, 1}, {-0.2, 0}, {std::nan(""), 0}};
    for (const auto& [reported, stored] : reports) {
        engine.previews[0].progress(reported);
        settle();
        EXPECT_EQ(state.renderProgress(), stored) << reported;
    }
    const auto progress = engine.previews[0].progress;
    engine.completePreview(0, texture());
    settle();
    progress(0.5);
    settle();
    EXPECT_EQ(state.renderProgress(), std::nullopt);
}

// Which point colour the render visualises.
TEST(RenderSchedulerParams, PointVisualisationFollowsTheSelectedColourUnlessHiddenOrBypassed) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    EditParams params;
    params.hsl.points = {PointColor(10, 0.5, 0.5), PointColor(200, 0.5, 0.5)};
    // Never stored in practice; here it shows when the effective edit's index is kept.
    params.visualizePointIndex = 5;
    harness.showPhoto(harness.file("a.dng"), true, params);
    state.setVisualizeColorBand(3);

    const UUID second = params.hsl.points[1].id;
    struct Case {
        bool sampler;
        std::optional<std::string> channel;
        bool visualize;
        bool original;
        bool mixerBypassed;
        std::optional<UUID> selected;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        {false, {}, true, false, false, second, 1},
        {false, {}, true, false, false, UUID::random(), -1},
        {false, {}, true, false, false, {}, -1},
        {false, {}, true, false, true, second, 5},
        {false, {}, true, true, false, second, -1},
        {false, {}, false, false, false, second, 5},
        {true, {}, true, false, false, second, -1},
        {false, "Hue", true, false, false, second, -1},
    };
    for (const Case& test : cases) {
        // First: toggling a layer ends the comparisons.
        if (test.mixerBypassed != state.disabledEditLayers().contains(EditLayer::colorMixer)) {
            state.toggleEditLayer(EditLayer::colorMixer);
        }
        state.setColorSamplerActive(test.sampler);
        state.setColorTargetChannel(test.channel);
        state.setVisualizePointColor(test.visualize);
        state.setShowOriginal(test.original);
        state.setSelectedPointColor(test.selected);
        const EditParams rendered = RenderScheduler::renderParams(state);
        EXPECT_EQ(rendered.visualizePointIndex, test.expected) << &test - cases.data();
        EXPECT_EQ(rendered.visualizeBandIndex, 3);
    }
}

}  // namespace
}  // namespace quillmere
