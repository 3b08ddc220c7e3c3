#include "app/state/mock_render_engine.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg/jpeg_encoder.h"

namespace quillmere {
namespace {

constexpr int kGradientWidth = 256;
constexpr int kGradientHeight = 170;
constexpr int kJpegSide = 64;

// Runs `work` on the queue unless the request was stopped first; its value or error goes to
// `completion`.
template <class T, class Work>
void runRequest(SerialQueue& queue, std::stop_token stopToken, RenderCompletion<T> completion,
                Work work) {
    queue.submit([stopToken = std::move(stopToken), completion = std::move(completion),
                  work = std::move(work)]() mutable {
        if (stopToken.stop_requested()) {
            completion(std::make_exception_ptr(CancellationError()));
            return;
        }
        std::exception_ptr failure;
        try {
            T value = work();
            completion(std::move(value));
            return;
        } catch (...) {
            failure = std::current_exception();
        }
        completion(failure);
    });
}

const char* caseName(MockRenderEngine::MockError::Code code) {
    switch (code) {
        case MockRenderEngine::MockError::Code::noMetalDevice:
            return "0";
        case MockRenderEngine::MockError::Code::textureAllocationFailed:
            return "1";
        case MockRenderEngine::MockError::Code::jpegEncodeFailed:
            return "2";
    }
    return "";
}

}  // namespace

MockRenderEngine::MockError::MockError(Code code)
    : Error(std::string("The operation couldn’t be completed. (MockRenderEngine.MockError error ") +
            caseName(code) + ".)"),
      code_(code) {}

MockRenderEngine::MockRenderEngine(bool hasDevice)
    : device_(hasDevice ? std::make_unique<Device>() : nullptr) {}

void MockRenderEngine::open(const std::filesystem::path& url, std::stop_token stopToken,
                            RenderCompletion<OpenedPhoto> completion) {
    runRequest(queue_, std::move(stopToken), std::move(completion), [url] {
        return OpenedPhoto(PhotoID{url}, 6000, 4000, 5992, -1.3,
                           json::Json{{"Model", "ILCE-7M3 (mock)"}}, DenoiseBackend::standard,
                           true);
    });
}

void MockRenderEngine::preview(const PhotoID&, const EditParams& params, std::stop_token stopToken,
                               RenderCompletion<TexturePointer> completion) {
    runRequest(queue_, std::move(stopToken), std::move(completion),
               [this, params] { return gradient(params); });
}

void MockRenderEngine::exportJPEG(const PhotoID&, const EditParams& params, double quality,
                                  std::stop_token stopToken,
                                  RenderCompletion<std::string> completion) {
    runRequest(queue_, std::move(stopToken), std::move(completion), [params, quality] {
        const double level = std::min(std::pow(2.0, params.exposure) * 0.5, 1.0);
        // A level that is not a number is black rather than an undefined byte.
        const auto grey = static_cast<std::uint8_t>(level > 0 ? std::lround(level * 255) : 0);
        Rgb8Image image;
        image.width = kJpegSide;
        image.height = kJpegSide;
        image.rgb.assign(static_cast<std::size_t>(kJpegSide) * kJpegSide * 3, grey);
        try {
            return encodeJpeg(image, quality);
        } catch (const ImageIOError&) {
            throw MockError(MockError::Code::jpegEncodeFailed);
        }
    });
}

RenderEngine::TexturePointer MockRenderEngine::gradient(const EditParams& params) const {
    if (!device_) throw MockError(MockError::Code::noMetalDevice);
    const auto gain = static_cast<float>(std::pow(2.0, params.exposure));
    TexturePointer texture = device_->makeTexture({.pixelFormat = PixelFormat::rgba16Float,
                                                   .width = kGradientWidth,
                                                   .height = kGradientHeight,
                                                   .usage = TextureUsage::shaderRead});
    if (!texture) throw MockError(MockError::Code::textureAllocationFailed);
    std::vector<msl::float4> row(kGradientWidth);
    for (int y = 0; y < kGradientHeight; ++y) {
        const float v = static_cast<float>(y) / (kGradientHeight - 1);
        for (int x = 0; x < kGradientWidth; ++x) {
            const float u = static_cast<float>(x) / (kGradientWidth - 1);
            row[static_cast<std::size_t>(x)] = {std::min(u * gain, 1.0f),
                                                std::min((v + u) * 0.5f * gain, 1.0f),
                                                std::min(v * gain, 1.0f), 1.0f};
        }
        texture->writeRow(0, y, row);
    }
    return texture;
}

}  // namespace quillmere
