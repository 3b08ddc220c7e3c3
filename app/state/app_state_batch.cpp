// The batch operations: saving every edit, exporting photos and syncing the selected photos.
// Each is a job on the heap that visits its photos one by one; every engine answer comes back to
// the GUI thread as the next step.

#include <exception>
#include <memory>
#include <string>
#include <system_error>

#include "app/state/app_state.h"
#include "app/state/file_error.h"
#include "core/common/file_io.h"

namespace quillmere {
namespace {

constexpr const char* kBusy = "Wait for the current operation to finish.";

std::string describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        return failure.what();
    } catch (...) {
        return "An unknown error occurred.";
    }
}

// A failure line of a batch: the photo's file name, ": " and the reason.
std::string failureLine(const std::filesystem::path& photo, std::exception_ptr error) {
    return photo.filename().string() + ": " + describe(error);
}

std::string joinedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

PhotoSessionState& AppState::sessionStateForOpenedPhoto(const OpenedPhoto& photo,
                                                        const PhotoFileEdits& edits) {
    const PhotoURL& url = photo.id.url;
    PhotoSessionState state = initialStateForPhoto(photo, edits);
    if (const auto pending = pendingSelectionEdits_.find(url);
        pending != pendingSelectionEdits_.end()) {
        for (const PresetValues& values : pending->second) {
            state.params = applying(state.params, values);
        }
    }
    useOfferedDenoiser(state.params, photo);
    pendingSelectionEdits_.erase(url);
    return sessionStates_[url] = std::move(state);
}

void AppState::openForBatch(
    const PhotoURL& url,
    std::function<void(AppState&, RenderResult<OpenedPhoto>, const PhotoFileEdits&)> next) {
    engine_->open(url, {}, [post = mainPost(), next](RenderResult<OpenedPhoto> result) {
        post([next, result](AppState& state) mutable {
            if (!result.hasValue()) {
                next(state, result, {});
                return;
            }
            state.withFileEdits(result.value(),
                                [next, result](AppState& state, const PhotoFileEdits& edits) {
                                    next(state, result, edits);
                                });
        });
    });
}

// Visits the photos in order. After the last it opens the photo that was open at the start again.
class BatchJob : public std::enable_shared_from_this<BatchJob> {
  public:
    virtual ~BatchJob() = default;

    void start(AppState& state) {
        restore_ = state.photoURL();
        advance(state);
    }

  protected:
    // A photo is either done with at once, or waits for the engine; the job then calls `advance`
    // once it has handled the engine's answer.
    enum class Visit { done, waiting };

    virtual Visit visit(AppState& state, std::size_t index) = 0;
    // After the final reopen; `reopenFailure` holds its error, if any.
    virtual void finish(AppState& state, std::exception_ptr reopenFailure) = 0;

    // A loop rather than a call per photo, so that a long run of photos done at once (a session
    // of cached photos being saved) does not deepen the stack.
    void advance(AppState& state) {
        while (next_ < photos.size()) {
            if (visit(state, next_++) == Visit::waiting) return;
        }
        if (!restore_) {
            finish(state, nullptr);
            return;
        }
        state.openForBatch(
            *restore_, [job = shared_from_this()](AppState& state, RenderResult<OpenedPhoto> result,
                                                  const PhotoFileEdits&) {
                job->finish(state, result.error());
            });
    }

    // Opens the photo and hands the result to `then`, keeping the job alive meanwhile.
    template <class Job>
    void openThen(AppState& state, std::size_t index,
                  void (Job::*then)(AppState&, std::size_t, RenderResult<OpenedPhoto>,
                                    const PhotoFileEdits&)) {
        state.openForBatch(
            photos[index],
            [job = std::static_pointer_cast<Job>(shared_from_this()), index, then](
                AppState& state, RenderResult<OpenedPhoto> result, const PhotoFileEdits& edits) {
                ((*job).*then)(state, index, std::move(result), edits);
            });
    }

    std::vector<AppState::PhotoURL> photos;
    std::vector<std::string> failures;

  private:
    std::size_t next_ = 0;
    std::optional<AppState::PhotoURL> restore_;
};

class SaveAllEditsJob final : public BatchJob {
  public:
    using Completion = std::function<void(std::optional<AppState::SessionError>)>;
    SaveAllEditsJob(std::vector<AppState::PhotoURL> urls, Completion completion)
        : completion_(std::move(completion)) {
        photos = std::move(urls);
    }

  private:
    Visit visit(AppState& state, std::size_t index) override {
        const auto cached = state.sessionStates_.find(photos[index]);
        if (cached == state.sessionStates_.end()) {
            openThen(state, index, &SaveAllEditsJob::saveOpened);
            return Visit::waiting;
        }
        save(state, index, [&]() -> const PhotoSessionState& { return cached->second; });
        return Visit::done;
    }

    void saveOpened(AppState& state, std::size_t index, RenderResult<OpenedPhoto> result,
                    const PhotoFileEdits& edits) {
        save(state, index, [&]() -> const PhotoSessionState& {
            return state.sessionStateForOpenedPhoto(result.value(), edits);
        });
        advance(state);
    }

    template <class StateOf>
    void save(AppState& state, std::size_t index, StateOf stateOf) {
        try {
            const PhotoSessionState& saving = stateOf();
            state.photoEditStore_.save(saving, photos[index]);
            state.storedEdits_[photos[index]] = saving.stored();
        } catch (...) {
            failures.push_back(failureLine(photos[index], std::current_exception()));
        }
    }

    void finish(AppState& state, std::exception_ptr reopenFailure) override {
        if (reopenFailure) failures.push_back(describe(reopenFailure));
        state.assign(state.isApplyingEdits_, false, AppState::Field::isApplyingEdits);
        completion_(failures.empty()
                        ? std::nullopt
                        : std::optional(AppState::SessionError(joinedLines(failures))));
    }

    Completion completion_;
};

void AppState::saveAllEdits(std::function<void(std::optional<SessionError>)> completion) {
    if (isBusy()) {
        completion(SessionError(kBusy));
        return;
    }
    captureCurrentPhoto();
    std::vector<PhotoURL> photos;
    for (const SessionPhoto& photo : sessionPhotos_) photos.push_back(photo.url);
    assign(isApplyingEdits_, true, Field::isApplyingEdits);
    std::make_shared<SaveAllEditsJob>(std::move(photos), std::move(completion))->start(*this);
}

class BatchExportJob final : public BatchJob {
  public:
    BatchExportJob(std::vector<AppState::PhotoURL> urls, ExportOptions options,
                   std::optional<AppState::PhotoURL> destination,
                   std::function<void(BatchExportResult)> completion)
        : options_(std::move(options)),
          destination_(std::move(destination)),
          completion_(std::move(completion)) {
        photos = std::move(urls);
    }

  private:
    Visit visit(AppState& state, std::size_t index) override {
        state.assign(state.exportStatus_,
                     std::to_string(index + 1) + " of " + std::to_string(photos.size()) + " · " +
                         photos[index].filename().string(),
                     AppState::Field::exportStatus);
        openThen(state, index, &BatchExportJob::exportOpened);
        return Visit::waiting;
    }

    void exportOpened(AppState& state, std::size_t index, RenderResult<OpenedPhoto> result,
                      const PhotoFileEdits& edits) {
        EditParams params;
        try {
            const OpenedPhoto& photo = result.value();
            const auto cached = state.sessionStates_.find(photos[index]);
            params = cached != state.sessionStates_.end()
                         ? cached->second.params
                         : state.sessionStateForOpenedPhoto(photo, edits).params;
            AppState::useOfferedDenoiser(params, photo);
        } catch (...) {
            fail(state, index, std::current_exception());
            return;
        }
        state.engine_->exportPhoto(
            result.value().id, params, options_, {},
            [post = state.mainPost(),
             job = std::static_pointer_cast<BatchExportJob>(shared_from_this()),
             index](RenderResult<std::string> bytes) {
                post([job, index, bytes](AppState& state) { job->write(state, index, bytes); });
            });
    }

    void write(AppState& state, std::size_t index, RenderResult<std::string> bytes) {
        try {
            outputs_.push_back(writeBeside(photos[index], bytes.value()));
        } catch (...) {
            fail(state, index, std::current_exception());
            return;
        }
        done(state, index);
    }

    // Writes the file under the first free name, never replacing anything.
    std::filesystem::path writeBeside(const AppState::PhotoURL& photo, const std::string& bytes) {
        const std::filesystem::path folder =
            destination_ ? *destination_ : photo.parent_path() / "exports";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) throw FileError::couldNotCreateFolder(folder, error);
        const std::string base = photo.stem().string() + "_edit";
        const std::string extension(fileExtension(options_.format));
        for (std::uint64_t counter = 0;; ++counter) {
            const std::filesystem::path candidate =
                folder /
                (base + (counter == 0 ? "" : "_" + std::to_string(counter)) + "." + extension);
            try {
                // A name already taken, the photo's own included, is never replaced: the next
                // one is tried.
                if (file_io::writeNewFile(candidate, bytes)) return candidate;
            } catch (const std::system_error& failure) {
                throw FileError::couldNotSave(candidate, failure.code());
            }
        }
    }

    void fail(AppState& state, std::size_t index, std::exception_ptr error) {
        failures.push_back(failureLine(photos[index], error));
        done(state, index);
    }

    void done(AppState& state, std::size_t index) {
        state.assign(state.exportProgress_,
                     static_cast<double>(index + 1) / static_cast<double>(photos.size()),
                     AppState::Field::exportProgress);
        advance(state);
    }

    void finish(AppState& state, std::exception_ptr reopenFailure) override {
        if (reopenFailure)
            failures.push_back("Could not restore preview: " + describe(reopenFailure));
        state.assign(state.isExporting_, false, AppState::Field::isExporting);
        state.assign(state.exportStatus_, std::nullopt, AppState::Field::exportStatus);
        completion_({std::move(outputs_), std::move(failures)});
    }

    ExportOptions options_;
    std::optional<AppState::PhotoURL> destination_;
    std::function<void(BatchExportResult)> completion_;
    std::vector<std::filesystem::path> outputs_;
};

void AppState::exportPhotos(ExportScope scope, const ExportOptions& options,
                            std::optional<PhotoURL> destination,
                            std::function<void(BatchExportResult)> completion) {
    if (isBusy()) {
        completion({{}, {kBusy}});
        return;
    }
    captureCurrentPhoto();
    const auto current = photoURL();
    std::vector<PhotoURL> photos;
    for (const SessionPhoto& photo : sessionPhotos_) {
        const bool chosen =
            scope == ExportScope::all || (scope == ExportScope::current && photo.url == current) ||
            (scope == ExportScope::selected && selectedPhotoIDs_.contains(photo.url));
        if (chosen) photos.push_back(photo.url);
    }
    if (photos.empty()) {
        completion({{}, {"No photos selected."}});
        return;
    }
    assign(isExporting_, true, Field::isExporting);
    assign(exportProgress_, 0.0, Field::exportProgress);
    std::make_shared<BatchExportJob>(std::move(photos), options, std::move(destination),
                                     std::move(completion))
        ->start(*this);
}

class SyncSelectedJob final : public BatchJob {
  public:
    SyncSelectedJob(std::vector<AppState::PhotoURL> urls, EditParams source,
                    std::function<void()> completion)
        : source_(std::move(source)), completion_(std::move(completion)) {
        photos = std::move(urls);
    }

  private:
    Visit visit(AppState& state, std::size_t index) override {
        openThen(state, index, &SyncSelectedJob::syncOpened);
        return Visit::waiting;
    }

    void syncOpened(AppState& state, std::size_t index, RenderResult<OpenedPhoto> result,
                    const PhotoFileEdits& edits) {
        try {
            const OpenedPhoto& photo = result.value();
            PhotoSessionState& target = state.sessionStateForOpenedPhoto(photo, edits);
            EditParams edit = source_;
            // Spot repairs stay with the photo they were painted on.
            edit.spotRepairs = target.params.spotRepairs;
            AppState::useOfferedDenoiser(edit, photo);
            target.params = std::move(edit);
            target.activeCheckpointID.reset();
            target.checkpointSnapshot.reset();
            target.presetID.reset();
            target.presetSnapshot.reset();
            if (const auto entry = state.sessionPhotoIndex(photos[index])) {
                state.markSessionPhoto(*entry, target.params != target.baseline);
            }
        } catch (...) {
            failures.push_back(failureLine(photos[index], std::current_exception()));
        }
        advance(state);
    }

    void finish(AppState& state, std::exception_ptr reopenFailure) override {
        if (reopenFailure) failures.push_back(describe(reopenFailure));
        if (!failures.empty()) state.setLastError(joinedLines(failures));
        state.assign(state.isApplyingEdits_, false, AppState::Field::isApplyingEdits);
        completion_();
    }

    EditParams source_;
    std::function<void()> completion_;
};

void AppState::applyCurrentEditsToSelected(std::function<void()> completion) {
    if (!photo_ || isBusy()) {
        completion();
        return;
    }
    captureCurrentPhoto();
    const auto current = photoURL();
    std::vector<PhotoURL> targets;
    for (const SessionPhoto& photo : sessionPhotos_) {
        if (photo.url != current && selectedPhotoIDs_.contains(photo.url)) {
            targets.push_back(photo.url);
        }
    }
    assign(isApplyingEdits_, true, Field::isApplyingEdits);
    std::make_shared<SyncSelectedJob>(std::move(targets), editParams_, std::move(completion))
        ->start(*this);
}

}  // namespace quillmere
