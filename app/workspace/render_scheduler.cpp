#include "app/workspace/render_scheduler.h"

#include <cmath>
#include <exception>
#include <tuple>

#include "app/state/follow/state_watcher.h"
#include "core/common/error.h"

namespace quillmere {

// One request: what it renders, captured when it was scheduled.
struct RenderScheduler::Job {
    std::uint64_t generation;
    std::stop_token stop;
    OpenedPhoto photo;
    EditParams params;
    PreviewResolution resolution;
};

RenderScheduler::RenderScheduler(AppState& state, std::shared_ptr<MainExecutor> executor,
                                 Wait wait)
    : state_(state),
      executor_(std::move(executor)),
      wait_(std::move(wait)),
      watcher_(std::make_unique<StateWatcher>(state, nullptr)) {
    using Field = AppState::Field;
    watcher_->onChange({Field::photo}, [&state] { return state.photoURL(); },
                       [this](const auto&, const auto&) { photoChanged(); });
    watcher_->onChange({Field::colorSamplerActive, Field::colorTargetChannel},
                       [&state] {
                           return std::make_tuple(state.colorSamplerActive(),
                                                  state.colorTargetChannel());
                       },
                       [this](const auto&, const auto&) { colorToolChanged(); });
    watcher_->onChange({Field::showOriginal}, [&state] { return state.showOriginal(); },
                       [this](bool, bool showOriginal) {
                           // The brush paints on the edit, which the original hides.
                           if (showOriginal) state_.setIsSpotRepairActive(false);
                           scheduleRender();
                       });
    // Everything else the render reads, compared as one value.
    watcher_->onChange(
        {Field::editParams, Field::disabledEditLayers, Field::showDenoiseOriginal,
         Field::showRecoveryOriginal, Field::isInspectingDetail, Field::visualizeColorBand,
         Field::visualizePointColor, Field::selectedPointColor},
        [&state] {
            return std::make_tuple(state.editParams(), state.disabledEditLayers(),
                                   state.showDenoiseOriginal(), state.showRecoveryOriginal(),
                                   state.isInspectingDetail(), state.visualizeColorBand(),
                                   state.visualizePointColor(), state.selectedPointColor());
        },
        [this](const auto&, const auto&) { scheduleRender(); });
    watcher_->onChange({Field::isOpening}, [&state] { return state.isOpening(); },
                       [this](bool, bool isOpening) { openingChanged(isOpening); });
}

RenderScheduler::~RenderScheduler() { running_.request_stop(); }

EditParams RenderScheduler::renderParams(const AppState& state) {
    EditParams params = state.effectiveParams();
    if (state.colorSamplerActive() || state.colorTargetChannel()) {
        // The colour tools show the colours themselves, never a visualisation.
        params.visualizePointIndex = -1;
    } else if (state.visualizePointColor() && !state.showOriginal() &&
               !state.disabledEditLayers().contains(EditLayer::colorMixer)) {
        params.visualizePointIndex = -1;
        const std::vector<PointColor>& points = params.hsl.points;
        for (std::size_t index = 0; index < points.size(); ++index) {
            if (points[index].id == state.selectedPointColor()) {
                params.visualizePointIndex = static_cast<std::int64_t>(index);
                break;
            }
        }
    }
    params.visualizeBandIndex = state.visualizeColorBand();
    return params;
}

void RenderScheduler::supersede() {
    running_.request_stop();
    running_ = std::stop_source();
    ++generation_;
}

void RenderScheduler::scheduleRender() {
    supersede();
    if (state_.isOpening()) return;
    if (!state_.photo()) {
        setTexture(nullptr);
        state_.setIsRendering(false);
        return;
    }
    auto job = std::make_shared<Job>(Job{
        .generation = generation_,
        .stop = running_.get_token(),
        .photo = *state_.photo(),
        .params = renderParams(state_),
        .resolution =
            state_.isInspectingDetail() ? PreviewResolution::full : PreviewResolution::fit,
    });
    state_.setIsRendering(true);
    // The badge reads "Processing…" until the engine's first report.
    state_.setRenderProgress(std::nullopt);
    wait_(renderDelay, [alive = std::weak_ptr<void>(alive_), this, job] {
        if (alive.lock()) afterWait(job);
    });
}

void RenderScheduler::appear() { scheduleRender(); }

void RenderScheduler::disappear() {
    supersede();
    state_.setIsRendering(false);
}

void RenderScheduler::afterWait(const std::shared_ptr<Job>& job) {
    if (job->stop.stop_requested()) {
        finish(*job);
        return;
    }
    const bool colorToolOn = state_.colorSamplerActive() || state_.colorTargetChannel();
    if (colorToolOn && !colorSampleTexture_) {
        renderSample(job);
    } else {
        renderMain(job);
    }
}

void RenderScheduler::renderSample(const std::shared_ptr<Job>& job) {
    EditParams params = job->params;
    params.vibrance = 0;
    params.saturation = 0;
    params.hsl = HSLAdjustments::neutral();
    params.visualizePointIndex = -1;
    params.visualizeBandIndex = -1;
    state_.engine().preview(job->photo.id, params, job->resolution, job->stop,
                            completion(job, &RenderScheduler::sampleRendered));
}

void RenderScheduler::sampleRendered(const std::shared_ptr<Job>& job,
                                     RenderResult<RenderEngine::TexturePointer> result) {
    if (!result.hasValue()) {
        fail(*job, result.error());
        finish(*job);
        return;
    }
    if (job->stop.stop_requested() || !isCurrent(*job)) {
        finish(*job);
        return;
    }
    setColorSampleTexture(result.value());
    renderMain(job);
}

void RenderScheduler::renderMain(const std::shared_ptr<Job>& job) {
    auto progress = [post = post(), job](double fraction) {
        post([job, fraction](RenderScheduler& scheduler) {
            scheduler.reportProgress(*job, fraction);
        });
    };
    state_.engine().preview(job->photo.id, job->params, job->resolution, std::move(progress),
                            job->stop, completion(job, &RenderScheduler::mainRendered));
}

void RenderScheduler::mainRendered(const std::shared_ptr<Job>& job,
                                   RenderResult<RenderEngine::TexturePointer> result) {
    if (!result.hasValue()) {
        fail(*job, result.error());
    } else if (!job->stop.stop_requested() && isCurrent(*job)) {
        setTexture(result.value());
        setRenderFailed(false);
        state_.onPreviewTexture(texture_);
    }
    finish(*job);
}

bool RenderScheduler::isCurrent(const Job& job) const { return job.generation == generation_; }

void RenderScheduler::reportProgress(const Job& job, double fraction) {
    if (!isCurrent(job) || !state_.isRendering()) return;
    // Within 0 to 1; not a number counts as nothing done.
    state_.setRenderProgress(std::fmin(std::fmax(fraction, 0.0), 1.0));
}

void RenderScheduler::fail(const Job& job, const std::exception_ptr& error) {
    if (!isCurrent(job)) return;
    std::string description;
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        return;
    } catch (const std::exception& failure) {
        description = failure.what();
    } catch (...) {
        description = "The photo could not be rendered.";
    }
    // The picture stays: the photo as last developed, with its histogram. Dropping it would leave
    // nothing but a spinner waiting for no render, as long as every render fails the same way
    // (Detail without its model, until Natural is chosen again). Another photo's open drops it.
    // Until a render succeeds, the picture is marked as not the current edit.
    setRenderFailed(true);
    state_.setLastError(description);
}

void RenderScheduler::finish(const Job& job) {
    if (!isCurrent(job)) return;
    state_.setIsRendering(false);
    state_.setRenderProgress(std::nullopt);
}

void RenderScheduler::setTexture(RenderEngine::TexturePointer texture) {
    if (texture == texture_) return;
    texture_ = std::move(texture);
    if (pictureChanged_) pictureChanged_();
}

void RenderScheduler::setColorSampleTexture(RenderEngine::TexturePointer texture) {
    if (texture == colorSampleTexture_) return;
    colorSampleTexture_ = std::move(texture);
    if (pictureChanged_) pictureChanged_();
}

void RenderScheduler::setRenderFailed(bool failed) {
    if (failed == renderFailed_) return;
    renderFailed_ = failed;
    if (pictureChanged_) pictureChanged_();
}

void RenderScheduler::photoChanged() {
    setTexture(nullptr);
    // The colour tools belong to the photo they were used on.
    state_.setColorSamplerActive(false);
    state_.setColorTargetChannel(std::nullopt);
    state_.setVisualizePointColor(false);
    state_.setSelectedPointColor(std::nullopt);
    scheduleRender();
}

void RenderScheduler::colorToolChanged() {
    setColorSampleTexture(nullptr);
    scheduleRender();
}

void RenderScheduler::openingChanged(bool isOpening) {
    if (!isOpening) {
        scheduleRender();
        return;
    }
    supersede();
    state_.setIsRendering(false);
    state_.setRenderProgress(std::nullopt);
}

MainPost<RenderScheduler> RenderScheduler::post() { return {executor_, *this, alive_}; }

RenderCompletion<RenderEngine::TexturePointer> RenderScheduler::completion(
    const std::shared_ptr<Job>& job,
    void (RenderScheduler::*step)(const std::shared_ptr<Job>&,
                                  RenderResult<RenderEngine::TexturePointer>)) {
    return [post = post(), job, step](RenderResult<RenderEngine::TexturePointer> result) {
        post([job, step, result = std::move(result)](RenderScheduler& scheduler) {
            (scheduler.*step)(job, result);
        });
    };
}

}  // namespace quillmere
