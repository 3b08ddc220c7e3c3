#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/common/error.h"
#include "core/compute/device.h"
#include "core/render/engine/photo_loader.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere::testing {

// A loader that records every call and serves textures of `scene`: the photo's own size at full
// resolution, its long edge limited to 2048 at fit. Textures are kept per photo, variant and
// resolution, as the real loader keeps them for the active photo.
class SpyPhotoLoader : public PhotoLoader {
  public:
    struct TextureCall {
        bool denoised;
        PreviewResolution resolution;
        DenoiseMethod method;
        bool preserveRAWTexture;
    };

    explicit SpyPhotoLoader(std::int64_t width = 64, std::int64_t height = 48)
        : width(width), height(height) {}

    OpenedPhoto open(const std::filesystem::path& url) override {
        enter("open " + url.native());
        std::lock_guard guard(lock);
        opens.push_back(url);
        return OpenedPhoto(PhotoID{url}, width, height, 5000, 10, json::Json::object(),
                           DenoiseBackend::standard, true, false);
    }

    std::shared_ptr<Texture> texture(const PhotoID& id, bool denoised, PreviewResolution resolution,
                                     DenoiseMethod method, bool preserveRAWTexture,
                                     const std::function<bool()>& shouldCancel,
                                     const std::function<void(double)>&) override {
        enter("texture " + id.url.native());
        while (holdUntilCancelled && !shouldCancel()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (shouldCancel()) throw CancellationError();
        std::lock_guard guard(lock);
        textureCalls.push_back({denoised, resolution, method, preserveRAWTexture});
        std::shared_ptr<Texture>& texture = cache[{id.url.native(), denoised, resolution}];
        if (!texture) {
            const double scale = resolution == PreviewResolution::full
                                     ? 1.0
                                     : std::min(2048.0 / std::max(width, height), 1.0);
            const int textureWidth = static_cast<int>(std::lround(width * scale));
            const int textureHeight = static_cast<int>(std::lround(height * scale));
            texture = makeTexture(
                device, PixelFormat::rgba16Float, textureWidth, textureHeight, [&](int x, int y) {
                    return scene(denoised, (x + 0.5) / textureWidth, (y + 0.5) / textureHeight);
                });
        }
        return texture;
    }

    std::vector<std::filesystem::path> recordedOpens() const {
        std::lock_guard guard(lock);
        return opens;
    }
    std::vector<TextureCall> recordedTextureCalls() const {
        std::lock_guard guard(lock);
        return textureCalls;
    }
    std::size_t callCount() const {
        std::lock_guard guard(lock);
        return opens.size() + textureCalls.size();
    }

    // Called at the start of every call, on the caller's thread, before anything is recorded:
    // tests hold a job here or watch for overlapping calls.
    std::function<void(const std::string& call)> onCall;
    // The picture at normalised texture position (u, v) (v from the bottom row); linear grey
    // 0.18 unless a test paints its own.
    std::function<msl::float4(bool denoised, double u, double v)> scene = [](bool, double, double) {
        return msl::float4{0.18f, 0.18f, 0.18f, 1};
    };
    // Texture calls wait until their request is cancelled.
    std::atomic<bool> holdUntilCancelled = false;

  private:
    void enter(const std::string& call) {
        if (onCall) onCall(call);
    }

    std::int64_t width;
    std::int64_t height;
    Device device;
    mutable std::mutex lock;
    std::vector<std::filesystem::path> opens;
    std::vector<TextureCall> textureCalls;
    std::map<std::tuple<std::string, bool, PreviewResolution>, std::shared_ptr<Texture>> cache;
};

}  // namespace quillmere::testing
