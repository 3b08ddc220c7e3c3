#include "core/decode/native_raw_frame.h"

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "core/compute/half_float.h"
#include "core/decode/native_raw_error.h"
#include "core/decode/raw_filter_error.h"

namespace quillmere {
namespace {

// `texture` (RGBA32Float or RGBA16Float of the packed size) as the bridge's packed plane: four
// floats per quad, rows top first.
void copyPlane(const Texture& texture, float* plane) {
    const std::size_t floatsPerRow = static_cast<std::size_t>(texture.width()) * 4;
    for (int y = 0; y < texture.height(); ++y) {
        float* row = plane + static_cast<std::size_t>(y) * floatsPerRow;
        if (texture.pixelFormat() == PixelFormat::rgba16Float) {
            convertHalfToFloat(texture.halfRow(y), {row, floatsPerRow});
        } else {
            std::memcpy(row, texture.rowData(y), floatsPerRow * sizeof(float));
        }
    }
}

// The file's development, its failures the frame's.
template <typename Develop>
std::shared_ptr<Texture> developedBy(const Develop& develop) {
    try {
        std::shared_ptr<Texture> output = develop();
        output->setLabel("Native linear RAW RGB");
        return output;
    } catch (const RAWFilterError& failure) {
        if (failure.code() == RAWFilterError::Code::outOfMemory) throw NativeRAWError::allocation();
        throw NativeRAWError::decoding(failure.what());
    }
}

}  // namespace

NativeRAWFrame::NativeRAWFrame(std::shared_ptr<const RAWFile> file,
                               std::shared_ptr<const Device> device)
    : file_(std::move(file)), device_(std::move(device)) {
    if (!device_) throw std::invalid_argument("A sensor frame needs a compute device.");
    if (!file_) throw std::invalid_argument("A sensor frame needs a RAW file.");
    metadata_.raw = file_->metadata();
    packedTexture_ = file_->plane();
}

std::shared_ptr<NativeRAWFrame> NativeRAWFrame::open(std::shared_ptr<const RAWFile> file,
                                                     std::shared_ptr<const Device> device) {
    return std::make_shared<NativeRAWFrame>(std::move(file), std::move(device));
}

std::shared_ptr<Texture> NativeRAWFrame::renderLinearRGB() const {
    return developedBy([&] { return file_->develop(); });
}

std::shared_ptr<Texture> NativeRAWFrame::renderLinearRGB(const Texture& texture) const {
    const bool compatible = texture.width() == metadata_.packedWidth() &&
                            texture.height() == metadata_.packedHeight() &&
                            texture.storageMode() == StorageMode::shared &&
                            (texture.pixelFormat() == PixelFormat::rgba32Float ||
                             texture.pixelFormat() == PixelFormat::rgba16Float);
    if (!compatible) throw NativeRAWError::incompatibleTexture();
    // The reader holds the frame's own plane already.
    if (&texture == packedTexture_.get()) return renderLinearRGB();
    return developedBy(
        [&] { return file_->develop([&](float* plane) { copyPlane(texture, plane); }); });
}

}  // namespace quillmere
