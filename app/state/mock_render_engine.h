#pragma once

#include <memory>

#include "core/common/error.h"
#include "core/compute/device.h"
#include "core/render/engine/render_engine.h"
#include "core/render/engine/serial_queue.h"

namespace quillmere {

// A render engine that reads no file and draws synthetic images, so that the application state
// can be driven without photos. Every request runs on its own worker thread, as a real engine's
// does, and ends with CancellationError when stopped before it runs.
//
// - open: a 6000 × 4000 RAW photo shot at 5992 K and tint -1.3, properties {"Model": "ILCE-7M3
//   (mock)"}, standard denoise backend, Detail support by the record's own rule.
// - preview (every variant, resolution and progress ignored): a 256 × 170 RGBA16Float gradient;
//   with g = 2^exposure, u = x / 255 and v = y / 169 (texture row y), red = min(u·g, 1),
//   green = min((u + v)·0.5·g, 1), blue = min(v·g, 1), alpha 1.
// - exportJPEG: a 64 × 64 JPEG of grey min(2^exposure · 0.5, 1) at the given quality.
// - exportPhoto: the engine's default (JPEG without a size limit only).
class MockRenderEngine final : public RenderEngine {
  public:
    // The mock's failures; they have no sentences of their own.
    class MockError : public Error {
      public:
        enum class Code { noMetalDevice, textureAllocationFailed, jpegEncodeFailed };

        explicit MockError(Code code);
        Code code() const { return code_; }

      private:
        Code code_;
    };

    // Without a device every preview fails with MockError::noMetalDevice.
    explicit MockRenderEngine(bool hasDevice = true);

    using RenderEngine::preview;

    void open(const std::filesystem::path& url, std::stop_token stopToken,
              RenderCompletion<OpenedPhoto> completion) override;
    void preview(const PhotoID& photo, const EditParams& params, std::stop_token stopToken,
                 RenderCompletion<TexturePointer> completion) override;
    void exportJPEG(const PhotoID& photo, const EditParams& params, double quality,
                    std::stop_token stopToken, RenderCompletion<std::string> completion) override;

    // The gradient itself, on the caller's thread.
    TexturePointer gradient(const EditParams& params) const;

  private:
    std::unique_ptr<Device> device_;
    // Last: its thread runs the requests and is joined first.
    SerialQueue queue_{"MockRender"};
};

}  // namespace quillmere
