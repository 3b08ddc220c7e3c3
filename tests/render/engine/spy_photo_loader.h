#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

#include "core/common/error.h"
#include "core/compute/device.h"
#include "core/decode/photo_loader.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere::testing {

// A loader that records every call and serves textures of `scene`: the photo's own size at full
// resolution, its long edge limited to 2048 at fit.
class SpyPhotoLoader : public PhotoLoader {
  public:
    using TextureCall = TextureRequest;

    explicit SpyPhotoLoader(std::int64_t width = 64, std::int64_t height = 48)
        : width(width), height(height) {}

    OpenedPhoto open(const std::filesystem::path& url) override {
        if (url == heldOpen) {
            openHeld.release();
            releaseOpen.acquire();
        }
        if (onCall) onCall();
        std::lock_guard guard(lock);
        opens.push_back(url);
        return OpenedPhoto(PhotoID{url}, width, height, 5000, 10, json::Json::object(),
                           DenoiseBackend::standard, true, false);
    }

    std::shared_ptr<Texture> texture(const PhotoID&, const TextureRequest& request,
                                     const std::function<bool()>& shouldCancel,
                                     const std::function<void(double)>&) override {
        if (onCall) onCall();
        if (holdUntilCancelled) {
            textureCallHeld.release();
            while (!shouldCancel()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (shouldCancel()) throw CancellationError();
        {
            std::lock_guard guard(lock);
            textureCalls.push_back(request);
        }
        const double scale = request.resolution == PreviewResolution::full
                                 ? 1.0
                                 : std::min(2048.0 / std::max(width, height), 1.0);
        const int textureWidth = static_cast<int>(std::lround(width * scale));
        const int textureHeight = static_cast<int>(std::lround(height * scale));
        return makeTexture(device, PixelFormat::rgba16Float, textureWidth, textureHeight,
                           [&](int x, int y) {
                               return scene((x + 0.5) / textureWidth, (y + 0.5) / textureHeight);
                           });
    }

    std::vector<std::filesystem::path> recordedOpens() const {
        std::lock_guard guard(lock);
        return opens;
    }
    std::vector<TextureCall> recordedTextureCalls() const {
        std::lock_guard guard(lock);
        return textureCalls;
    }

    // Called on the caller's thread as every call starts, before anything is recorded: tests
    // watch for overlapping calls here.
    std::function<void()> onCall;
    // The picture at normalised texture position (u, v) (v from the bottom row); linear grey
    // 0.18 unless a test paints its own.
    std::function<msl::float4(double u, double v)> scene = [](double, double) {
        return msl::float4{0.18f, 0.18f, 0.18f, 1};
    };
    // An open of `heldOpen` signals `openHeld`, then waits for `releaseOpen`.
    std::filesystem::path heldOpen;
    std::binary_semaphore openHeld{0}, releaseOpen{0};
    // Texture calls signal `textureCallHeld`, then wait until their request is cancelled.
    std::atomic<bool> holdUntilCancelled = false;
    std::counting_semaphore<> textureCallHeld{0};

  private:
    std::int64_t width;
    std::int64_t height;
    Device device;
    mutable std::mutex lock;
    std::vector<std::filesystem::path> opens;
    std::vector<TextureCall> textureCalls;
};

}  // namespace quillmere::testing
