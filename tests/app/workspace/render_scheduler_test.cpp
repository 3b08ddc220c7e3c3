#include "app/workspace/render_scheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "app/state/mock_render_engine.h"
#include "core/decode/raw_loader_error.h"
#include "core/photo/gpu_render_engine_error.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

class RenderSchedulerTest : public testing::StateTest {
  protected:
    // Moves the test's clock: the waits whose time has come fire, oldest first.
    void advance(Milliseconds step) {
        now += step;
        while (!waits.empty() && waits.front().first <= now) {
            const std::function<void()> fire = std::move(waits.front().second);
            waits.pop_front();
            fire();
        }
        harness.settle();
    }
    void edit(double exposure) {
        state.updateEditParams([exposure](EditParams& edit) { edit.exposure = exposure; });
        harness.settle();
    }
    // After the pause, the newest request reaches the engine.
    void render() { advance(RenderScheduler::renderDelay); }
    void openAndRender(const std::filesystem::path& url) {
        harness.open(url);
        harness.settle();
        render();
    }
    RenderEngine::TexturePointer texture() { return MockRenderEngine().gradient({}); }

    ScriptedEngine& engine = *harness.engine;
    Milliseconds now{0};
    std::deque<std::pair<Milliseconds, std::function<void()>>> waits;
    RenderScheduler scheduler{state, harness.executor, [this](Milliseconds delay, auto fire) {
                                  waits.emplace_back(now + delay, std::move(fire));
                              }};
    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng");
};

TEST_F(RenderSchedulerTest, ABurstOfChangesRendersOnceWithTheLastEdit) {
    harness.open(a);
    harness.settle();
    for (int step = 1; step <= 10; ++step) {
        edit(step / 10.0);
        advance(3ms);
    }
    render();
    ASSERT_EQ(engine.previews.size(), 1u);
    EXPECT_EQ(engine.previews[0].params.exposure, 1.0);
    EXPECT_EQ(engine.previews[0].resolution, PreviewResolution::fit);
    const auto developed = texture();
    engine.completePreview(0, developed);
    harness.settle();
    EXPECT_EQ(scheduler.texture(), developed);
    EXPECT_FALSE(state.isRendering());
    EXPECT_EQ(harness.histograms->items.size(), 1u) << "the texture goes on to the histogram";

    state.setIsInspectingDetail(true);
    harness.settle();
    render();
    EXPECT_EQ(engine.previews.at(0).resolution, PreviewResolution::full);
}

TEST_F(RenderSchedulerTest, ProgressIsClampedAndAnswersToOlderRequestsAreDropped) {
    openAndRender(a);
    EXPECT_EQ(state.renderProgress(), std::nullopt) << "\"Processing…\" until the first report";
    const auto progress = engine.previews[0].progress;
    for (const auto& [reported, stored] :
         std::vector<std::pair<double, double>>{{0.35, 0.35}, {1.7, 1}, {-0.2, 0}, {NAN, 0}}) {
        progress(reported);
        harness.settle();
        EXPECT_EQ(state.renderProgress(), stored) << reported;
    }
    edit(1);
    EXPECT_TRUE(engine.previews[0].stopToken.stop_requested()) << "the engine stops early";
    progress(0.5);
    engine.completePreview(0, texture());
    render();
    EXPECT_EQ(state.renderProgress(), std::nullopt) << "the older render's report";
    edit(2);
    engine.failPreview(0, std::make_exception_ptr(std::runtime_error("late")));
    harness.settle();
    EXPECT_EQ(scheduler.texture(), nullptr);
    EXPECT_TRUE(state.isRendering()) << "for the newest request";
    EXPECT_EQ(state.lastError(), std::nullopt);
}

TEST_F(RenderSchedulerTest, SchedulingWhileOpeningOnlyCancelsAndTheOpensEndRendersAgain) {
    openAndRender(a);
    state.setColorSamplerActive(true);
    harness.request({b});
    // A change seen before the open's own announcement.
    scheduler.scheduleRender();
    harness.settle();
    EXPECT_FALSE(state.isRendering()) << "ended by the open's start";
    render();
    EXPECT_EQ(engine.previews.size(), 1u) << "only the first photo's, cancelled";

    harness.answerOpen();
    harness.settle();
    EXPECT_FALSE(state.colorSamplerActive()) << "the colour tools belong to the old photo";
    render();
    ASSERT_EQ(engine.previews.size(), 2u);
    EXPECT_EQ(engine.previews[1].photo.url, b);
}

TEST_F(RenderSchedulerTest, AFailureKeepsThePictureCancellationIsSilentAndNoPhotoRendersNothing) {
    openAndRender(a);
    const auto developed = texture();
    engine.completePreview(0, developed);
    harness.settle();
    harness.histograms->runAll();
    harness.settle();
    ASSERT_TRUE(state.histogram().has_value());
    // A render that fails (Detail while its model is missing, say) leaves the photo shown.
    edit(1);
    render();
    const std::string missing =
        "The Detail model is missing. Build Quillmere with its prepared model resources.";
    engine.failPreview(0, std::make_exception_ptr(RAWLoaderError::renderFailed(missing)));
    harness.settle();
    EXPECT_EQ(scheduler.texture(), developed);
    EXPECT_TRUE(state.histogram().has_value()) << "the histogram of the picture still shown";
    EXPECT_EQ(state.lastError(), missing);
    EXPECT_FALSE(state.isRendering());

    state.setLastError(std::nullopt);
    edit(2);
    render();
    engine.failPreview(0, std::make_exception_ptr(CancellationError()));
    harness.settle();
    EXPECT_EQ(state.lastError(), std::nullopt);
    edit(3);
    scheduler.disappear();
    EXPECT_FALSE(state.isRendering());
    AppStateTesting::setPhoto(state, std::nullopt);
    scheduler.appear();
    render();
    EXPECT_TRUE(engine.previews.empty());
}

// The picture kept after a failed render is not the current edit until a render succeeds; a
// cancelled or superseded render says nothing about it, and another photo starts afresh.
TEST_F(RenderSchedulerTest, AKeptPictureIsOutdatedFromAFailureUntilARenderSucceeds) {
    const auto failed = [&](std::exception_ptr error) {
        render();
        engine.failPreview(0, std::move(error));
        harness.settle();
        return scheduler.isPictureOutdated();
    };
    const auto detailFailure = std::make_exception_ptr(RAWLoaderError::renderFailed("no model"));
    openAndRender(a);
    EXPECT_FALSE(failed(detailFailure)) << "no picture is kept from before the first render";
    edit(1);
    render();
    engine.completePreview(0, texture());
    harness.settle();
    EXPECT_FALSE(scheduler.isPictureOutdated());

    edit(2);
    EXPECT_FALSE(failed(std::make_exception_ptr(CancellationError())));
    edit(3);
    EXPECT_TRUE(failed(detailFailure));
    // The answer of a superseded render leaves the mark.
    edit(4);
    render();
    edit(5);
    engine.completePreview(0, texture());
    harness.settle();
    EXPECT_TRUE(scheduler.isPictureOutdated());
    render();
    engine.completePreview(0, texture());
    harness.settle();
    EXPECT_FALSE(scheduler.isPictureOutdated());

    edit(6);
    EXPECT_TRUE(failed(detailFailure));
    harness.open(b);
    harness.settle();
    EXPECT_FALSE(scheduler.isPictureOutdated());
    EXPECT_FALSE(failed(detailFailure)) << "the other photo has no picture of its own yet";
}

TEST_F(RenderSchedulerTest, TheColourSampleRendersFirstOncePerColourToolChange) {
    openAndRender(a);
    engine.completePreview(0, texture());
    state.updateEditParams([](EditParams& edit) { edit.vibrance = 30; });
    // The engine calls the render after `change` makes; the first one's vibrance.
    double firstVibrance = 0;
    const auto calls = [&](const std::function<void()>& change) {
        change();
        harness.settle();
        render();
        int count = 0;
        for (firstVibrance = engine.previews.at(0).params.vibrance; !engine.previews.empty();
             ++count) {
            engine.completePreview(0, texture());
            harness.settle();
        }
        return count;
    };
    EXPECT_EQ(calls([&] { state.setColorSamplerActive(true); }), 2);
    EXPECT_EQ(firstVibrance, 0) << "the sample has no colour adjustments";
    EXPECT_NE(scheduler.colorSampleTexture(), nullptr);
    EXPECT_EQ(calls([&] { edit(1); }), 1);
    EXPECT_EQ(firstVibrance, 30);
    EXPECT_EQ(calls([&] { state.setColorTargetChannel("Hue"); }), 2);
    EXPECT_EQ(calls([&] { state.setColorTargetChannel("Saturation"); }), 2);
    EXPECT_EQ(calls([&] { state.setColorSamplerActive(false), state.setColorTargetChannel({}); }),
              1);
    EXPECT_EQ(scheduler.colorSampleTexture(), nullptr);
}

using RenderSchedulerParams = testing::StateTest;

TEST_F(RenderSchedulerParams, PointVisualisationFollowsTheSelectedColourUnlessOffOrBypassed) {
    EditParams params;
    params.hsl.points = {PointColor(10, 0.5, 0.5), PointColor(200, 0.5, 0.5)};
    // Never stored in practice; here it shows where the effective edit's index is kept.
    params.visualizePointIndex = 5;
    harness.showPhoto(harness.file("a.dng"), true, params);
    state.setVisualizeColorBand(3);
    const UUID second = params.hsl.points[1].id;
    struct Case {
        bool bypassed, sampler, visualize;
        std::optional<std::string> channel;
        std::optional<UUID> selected;
        std::int64_t expected;
    } cases[] = {
        {false, false, true, {}, second, 1},   {false, false, true, {}, UUID::random(), -1},
        {true, false, true, {}, second, 5},    {false, false, false, {}, second, 5},
        {false, true, true, {}, second, -1},   {false, false, true, "Hue", second, -1},
    };
    for (const Case& test : cases) {
        if (test.bypassed != state.disabledEditLayers().contains(EditLayer::colorMixer)) {
            state.toggleEditLayer(EditLayer::colorMixer);
        }
        state.setColorSamplerActive(test.sampler);
        state.setColorTargetChannel(test.channel);
        state.setVisualizePointColor(test.visualize);
        state.setSelectedPointColor(test.selected);
        const EditParams rendered = RenderScheduler::renderParams(state);
        EXPECT_EQ(rendered.visualizePointIndex, test.expected) << &test - cases;
        EXPECT_EQ(rendered.visualizeBandIndex, 3);
    }
}

// A comparison switch or a bypass changes only what the preview renders: each renders again at
// once without what it hides, and switched back renders the edit again.
TEST_F(RenderSchedulerTest, ComparisonsAndBypassesRenderAgainWithoutWhatTheyHide) {
    harness.open(a);
    state.updateEditParams([](EditParams& edit) {
        edit.exposure = 1;
        edit.denoise = 40;
        edit.highlights = -30;
        edit.shadows = 20;
        edit.whites = 10;
        edit.blacks = -5;
    });
    harness.settle();
    render();
    const EditParams edited = engine.previews.at(0).params;
    engine.completePreview(0, texture());
    const struct {
        const char* name;
        std::function<void(bool)> turn;
        std::function<void(EditParams&)> hide;
    } switches[] = {
        {"denoise comparison", [&](bool on) { state.setShowDenoiseOriginal(on); },
         [](EditParams& params) { params.denoise = 0; }},
        {"recovery comparison", [&](bool on) { state.setShowRecoveryOriginal(on); },
         [](EditParams& params) {
             params.highlights = params.shadows = params.whites = params.blacks = 0;
         }},
        {"exposure bypass", [&](bool) { state.toggleEditLayer(EditLayer::exposure); },
         [](EditParams& params) { params.exposure = 0; }},
    };
    for (const auto& each : switches) {
        for (const bool on : {true, false}) {
            each.turn(on);
            harness.settle();
            render();
            ASSERT_EQ(engine.previews.size(), 1u) << each.name << " " << on;
            EditParams expected = edited;
            if (on) each.hide(expected);
            EXPECT_EQ(engine.previews[0].params, expected) << each.name << " " << on;
            engine.completePreview(0, texture());
            harness.settle();
        }
    }
}

}  // namespace
}  // namespace quillmere
