#pragma once

#include <cstdint>
#include <memory>

#include "core/compute/command_buffer.h"
#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/render/display/histogram_data.h"

namespace quillmere {

// Counts the red, green and blue values of a rendered RGBA16Float texture into 64 bins per
// channel, sampling the pixels whose x and y are both multiples of the stride (the top-left one
// always among them). Runs on the caller's thread and keeps a staging texture between calls, so
// one builder serves one call at a time.
class HistogramBuilder {
  public:
    // A stride below 1 is taken as 1.
    explicit HistogramBuilder(std::int64_t stride);

    std::int64_t stride() const { return stride_; }

    // Never throws: a missing texture, one without pixels, one of another pixel format, or a
    // private texture that cannot be copied gives HistogramData::empty. A private texture is
    // first copied into a shared staging texture, which is kept while size and format match.
    HistogramData histogram(const std::shared_ptr<Texture>& texture);

  private:
    // The texture copied into `staging`, or nullptr when the copy failed.
    std::shared_ptr<const Texture> blitToShared(const std::shared_ptr<Texture>& texture);
    HistogramData bin(const Texture& texture) const;

    std::int64_t stride_;
    // Made on the first private texture and kept. On the CPU device every texture lives in host
    // memory, so any device can copy it.
    std::unique_ptr<Device> device;
    std::shared_ptr<CommandQueue> commandQueue;
    std::shared_ptr<Texture> staging;
};

}  // namespace quillmere
