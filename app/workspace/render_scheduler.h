#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "app/state/app_state.h"
#include "app/state/main_executor.h"
#include "core/render/engine/render_engine.h"

namespace quillmere {

class StateWatcher;

// Turns every change of what the developed preview depends on into one render: each change
// cancels the render in flight, waits 35 ms and asks the engine again, so only the last change of
// a burst is developed. Every request carries a generation; a result, progress report or error of
// an older generation is dropped, and only the newest request clears `isRendering`. A failed
// render reports its error and keeps the picture it would have replaced, which is then out of
// date until a render succeeds.
//
// While a colour tool is on (the eyedropper or targeted adjustment), the first render also makes
// the colour-sample texture: the photo without colour adjustments, which the tools read. It is
// kept until a colour tool changes again.
//
// The scheduler follows the state by itself: the edit, bypassed layers, the comparisons, the
// colour tools, the detail zoom, the open photo and opening. The view that hosts it reports when
// it is shown and hidden. Engine answers reach it through `executor` on the GUI thread; the wait
// is `wait`, so tests run it on a clock of their own.
class RenderScheduler {
  public:
    // Calls `fire` once on the GUI thread after `delay`.
    using Wait = std::function<void(std::chrono::milliseconds delay, std::function<void()> fire)>;

    // The pause that absorbs a burst of changes.
    static constexpr std::chrono::milliseconds renderDelay{35};

    RenderScheduler(AppState& state, std::shared_ptr<MainExecutor> executor, Wait wait);
    ~RenderScheduler();

    RenderScheduler(const RenderScheduler&) = delete;
    RenderScheduler& operator=(const RenderScheduler&) = delete;

    // Cancels the render in flight and starts a new one; without a photo, clears the picture.
    // While a photo opens it only cancels: the open's end schedules again.
    void scheduleRender();
    // The hosting view was shown: renders.
    void appear();
    // The hosting view was hidden: cancels and leaves nothing rendering.
    void disappear();

    // The developed image shown now: the open photo's last good render, kept when a later one
    // fails; nothing before the first render of a photo.
    const RenderEngine::TexturePointer& texture() const { return texture_; }
    const RenderEngine::TexturePointer& colorSampleTexture() const { return colorSampleTexture_; }
    // Whether the picture shown is not the current edit: a render failed after it was developed
    // and none has succeeded since. A cancelled or superseded render changes nothing; another
    // photo starts without a picture.
    bool isPictureOutdated() const { return texture_ && renderFailed_; }

    // Called whenever either texture changes or the picture becomes outdated or current again.
    void setPictureChanged(std::function<void()> callback) {
        pictureChanged_ = std::move(callback);
    }

    // The edit a render of the state's photo develops: the effective edit with the colour tools'
    // visualisations.
    static EditParams renderParams(const AppState& state);

  private:
    struct Job;

    // Ends the request in flight and starts a new generation.
    void supersede();
    bool isCurrent(const Job& job) const;
    // The job's steps, each on the GUI thread.
    void afterWait(const std::shared_ptr<Job>& job);
    void renderSample(const std::shared_ptr<Job>& job);
    void renderMain(const std::shared_ptr<Job>& job);
    void sampleRendered(const std::shared_ptr<Job>& job, RenderResult<RenderEngine::TexturePointer>);
    void mainRendered(const std::shared_ptr<Job>& job, RenderResult<RenderEngine::TexturePointer>);
    void reportProgress(const Job& job, double fraction);
    // A failed step: reported unless it was a cancellation or the job is stale.
    void fail(const Job& job, const std::exception_ptr& error);
    // Every exit of a job: the newest request leaves nothing rendering.
    void finish(const Job& job);

    void setTexture(RenderEngine::TexturePointer texture);
    void setColorSampleTexture(RenderEngine::TexturePointer texture);
    void setRenderFailed(bool failed);
    // What the state's changes do.
    void photoChanged();
    void colorToolChanged();
    void openingChanged(bool isOpening);

    // Runs `work` on the GUI thread while this scheduler exists; callable from any thread.
    MainPost<RenderScheduler> post();
    // Completion of an engine render, handed back to `step` on the GUI thread.
    RenderCompletion<RenderEngine::TexturePointer> completion(
        const std::shared_ptr<Job>& job,
        void (RenderScheduler::*step)(const std::shared_ptr<Job>&,
                                      RenderResult<RenderEngine::TexturePointer>));

    AppState& state_;
    std::shared_ptr<MainExecutor> executor_;
    Wait wait_;
    std::unique_ptr<StateWatcher> watcher_;

    std::uint64_t generation_ = 0;
    std::stop_source running_;
    RenderEngine::TexturePointer texture_;
    RenderEngine::TexturePointer colorSampleTexture_;
    // The newest render that ended, neither cancelled nor superseded, failed.
    bool renderFailed_ = false;
    std::function<void()> pictureChanged_;
    // Posted work and waits check that this still exists.
    std::shared_ptr<void> alive_ = std::make_shared<int>(0);
};

}  // namespace quillmere
