#include "app/state/scripted_engine.h"

#include <utility>

namespace quillmere {
namespace {

template <class Request>
Request take(std::deque<Request>& requests, std::size_t index) {
    Request request = std::move(requests.at(index));
    requests.erase(requests.begin() + static_cast<std::ptrdiff_t>(index));
    return request;
}

}  // namespace

OpenedPhoto scriptedPhoto(const std::filesystem::path& url, bool supportsDetail) {
    return OpenedPhoto(PhotoID{url}, 3000, 2000, 4300, 7, json::Json::object(),
                       DenoiseBackend::standard, true, supportsDetail);
}

void ScriptedEngine::open(const std::filesystem::path& url, std::stop_token stopToken,
                          RenderCompletion<OpenedPhoto> completion) {
    openedURLs.push_back(url);
    opens.push_back({url, std::move(stopToken), std::move(completion)});
}

void ScriptedEngine::preview(const PhotoID& photo, const EditParams& params,
                             std::stop_token stopToken,
                             RenderCompletion<TexturePointer> completion) {
    preview(photo, params, PreviewResolution::fit, {}, std::move(stopToken),
            std::move(completion));
}

void ScriptedEngine::preview(const PhotoID& photo, const EditParams& params,
                             PreviewResolution resolution, std::stop_token stopToken,
                             RenderCompletion<TexturePointer> completion) {
    preview(photo, params, resolution, {}, std::move(stopToken), std::move(completion));
}

void ScriptedEngine::preview(const PhotoID& photo, const EditParams& params,
                             PreviewResolution resolution, ProgressCallback progress,
                             std::stop_token stopToken,
                             RenderCompletion<TexturePointer> completion) {
    previews.push_back({photo, params, resolution, std::move(progress), std::move(stopToken),
                        std::move(completion)});
}

void ScriptedEngine::exportPhoto(const PhotoID& photo, const EditParams& params,
                                 const ExportOptions& options, std::stop_token stopToken,
                                 RenderCompletion<std::string> completion) {
    exports.push_back({photo, params, options, std::move(stopToken), std::move(completion)});
}

void ScriptedEngine::exportJPEG(const PhotoID& photo, const EditParams& params, double quality,
                                std::stop_token stopToken,
                                RenderCompletion<std::string> completion) {
    ExportOptions options;
    options.quality = quality;
    exportPhoto(photo, params, options, std::move(stopToken), std::move(completion));
}

void ScriptedEngine::completeOpen(std::size_t index, std::optional<OpenedPhoto> photo) {
    OpenRequest request = take(opens, index);
    request.completion(photo ? std::move(*photo) : scriptedPhoto(request.url));
}

void ScriptedEngine::failOpen(std::size_t index, std::exception_ptr error) {
    take(opens, index).completion(std::move(error));
}

void ScriptedEngine::completePreview(std::size_t index, TexturePointer texture) {
    take(previews, index).completion(std::move(texture));
}

void ScriptedEngine::failPreview(std::size_t index, std::exception_ptr error) {
    take(previews, index).completion(std::move(error));
}

void ScriptedEngine::completeExport(std::size_t index, std::string bytes) {
    take(exports, index).completion(std::move(bytes));
}

void ScriptedEngine::failExport(std::size_t index, std::exception_ptr error) {
    take(exports, index).completion(std::move(error));
}

}  // namespace quillmere
