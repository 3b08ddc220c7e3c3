#pragma once

#include <cstddef>
#include <deque>
#include <exception>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

#include "core/render/engine/render_engine.h"

namespace quillmere {

// The photo a scripted open answers with unless the test gives another: 3000 × 2000, shot at
// 4300 K and tint +7, RAW, Detail support as given.
OpenedPhoto scriptedPhoto(const std::filesystem::path& url, bool supportsDetail = true);

// An engine that answers nothing by itself: every request waits, in order, until the test
// completes it, so the test decides when and in which order answers arrive. Completions are
// called on the test's thread.
class ScriptedEngine final : public RenderEngine {
  public:
    struct OpenRequest {
        std::filesystem::path url;
        std::stop_token stopToken;
        RenderCompletion<OpenedPhoto> completion;
    };
    struct PreviewRequest {
        PhotoID photo;
        EditParams params;
        PreviewResolution resolution;
        // Empty when the caller asked for no progress reports.
        ProgressCallback progress;
        std::stop_token stopToken;
        RenderCompletion<TexturePointer> completion;
    };
    struct ExportRequest {
        PhotoID photo;
        EditParams params;
        ExportOptions options;
        std::stop_token stopToken;
        RenderCompletion<std::string> completion;
    };

    using RenderEngine::preview;

    void open(const std::filesystem::path& url, std::stop_token stopToken,
              RenderCompletion<OpenedPhoto> completion) override;
    // The plain preview is a request at the fit resolution.
    void preview(const PhotoID& photo, const EditParams& params, std::stop_token stopToken,
                 RenderCompletion<TexturePointer> completion) override;
    void preview(const PhotoID& photo, const EditParams& params, PreviewResolution resolution,
                 std::stop_token stopToken,
                 RenderCompletion<TexturePointer> completion) override;
    void preview(const PhotoID& photo, const EditParams& params, PreviewResolution resolution,
                 ProgressCallback progress, std::stop_token stopToken,
                 RenderCompletion<TexturePointer> completion) override;
    void exportPhoto(const PhotoID& photo, const EditParams& params, const ExportOptions& options,
                     std::stop_token stopToken, RenderCompletion<std::string> completion) override;
    void exportJPEG(const PhotoID& photo, const EditParams& params, double quality,
                    std::stop_token stopToken, RenderCompletion<std::string> completion) override;

    // Answers the waiting open at `index` (0 is the oldest) and forgets it. Without a photo the
    // scripted photo of its URL.
    void completeOpen(std::size_t index = 0, std::optional<OpenedPhoto> photo = std::nullopt);
    void failOpen(std::size_t index, std::exception_ptr error);
    void completePreview(std::size_t index, TexturePointer texture);
    void failPreview(std::size_t index, std::exception_ptr error);
    void completeExport(std::size_t index = 0, std::string bytes = "exported");
    void failExport(std::size_t index, std::exception_ptr error);

    std::deque<OpenRequest> opens;
    std::deque<PreviewRequest> previews;
    std::deque<ExportRequest> exports;
    // Every URL ever asked to open, in order.
    std::vector<std::filesystem::path> openedURLs;
};

}  // namespace quillmere
