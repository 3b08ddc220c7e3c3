#include "core/decode/native_raw_frame.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <utility>

#include "core/compute/half_float.h"
#include "core/decode/bridge_output.h"
#include "core/decode/decoded_texture.h"
#include "core/decode/native_raw_error.h"
#include "core/decode/raw_file_vetting.h"
#include "core/decode/raw_filter_error.h"

namespace quillmere {
namespace {

// A half-float texture's texels as the bridge's packed plane: four floats per quad, rows top
// first.
std::unique_ptr<float[]> floatPlane(const Texture& texture) {
    const std::size_t floatsPerRow = static_cast<std::size_t>(texture.width()) * 4;
    std::unique_ptr<float[]> plane(
        new (std::nothrow) float[floatsPerRow * static_cast<std::size_t>(texture.height())]);
    if (!plane) throw NativeRAWError::allocation();
    for (int y = 0; y < texture.height(); ++y) {
        convertHalfToFloat(texture.halfRow(y),
                           {plane.get() + static_cast<std::size_t>(y) * floatsPerRow, floatsPerRow});
    }
    return plane;
}

}  // namespace

NativeRAWFrame::NativeRAWFrame(std::filesystem::path url, std::shared_ptr<const Device> device)
    : url_(std::move(url)), device_(std::move(device)) {
    if (!device_) throw std::invalid_argument("A sensor frame needs a compute device.");
    if (const std::optional<std::string> refusal = rawFileRefusal(url_)) {
        throw NativeRAWError::decoding(*refusal);
    }
    BridgeErrorBuffer error;
    float* pixels = nullptr;
    const std::int32_t result =
        qx_raw_read(url_.c_str(), &metadata_.raw, &pixels, error.data(), error.size());
    const BridgeBuffer<float> plane(pixels);
    if (result != 0 || !plane) {
        throw NativeRAWError::decoding(error.message("Unknown sensor decoding error."));
    }
    makePackedTexture();
    packedTexture_->replaceRegion({0, 0, metadata_.packedWidth(), metadata_.packedHeight()},
                                  plane.get(), packedTexture_->bytesPerRow());
}

NativeRAWFrame::NativeRAWFrame(std::shared_ptr<const RAWFile> file,
                               std::shared_ptr<const Device> device)
    : file_(std::move(file)), device_(std::move(device)) {
    if (!device_) throw std::invalid_argument("A sensor frame needs a compute device.");
    if (!file_) throw std::invalid_argument("A sensor frame needs a RAW file.");
    url_ = file_->file();
    metadata_.raw = file_->metadata();
    makePackedTexture();
    // The texture's rows lie back to back, top row first, as the packed plane's do.
    try {
        file_->readPlane(reinterpret_cast<float*>(packedTexture_->rowData(0)));
    } catch (const RAWFilterError& failure) {
        throw NativeRAWError::decoding(failure.what());
    }
}

std::shared_ptr<NativeRAWFrame> NativeRAWFrame::open(std::filesystem::path url,
                                                     std::shared_ptr<const Device> device) {
    return std::make_shared<NativeRAWFrame>(std::move(url), std::move(device));
}

std::shared_ptr<NativeRAWFrame> NativeRAWFrame::open(std::shared_ptr<const RAWFile> file,
                                                     std::shared_ptr<const Device> device) {
    return std::make_shared<NativeRAWFrame>(std::move(file), std::move(device));
}

void NativeRAWFrame::makePackedTexture() {
    packedTexture_ = makeDecodedTexture(*device_, PixelFormat::rgba32Float,
                                        metadata_.packedWidth(), metadata_.packedHeight());
    if (!packedTexture_) throw NativeRAWError::allocation();
    packedTexture_->setLabel("Normalized Bayer R G1 B G2");
}

std::shared_ptr<Texture> NativeRAWFrame::renderLinearRGB() const {
    return renderLinearRGB(*packedTexture_);
}

std::shared_ptr<Texture> NativeRAWFrame::renderLinearRGB(const Texture& texture) const {
    const bool compatible = texture.width() == metadata_.packedWidth() &&
                            texture.height() == metadata_.packedHeight() &&
                            texture.storageMode() == StorageMode::shared &&
                            (texture.pixelFormat() == PixelFormat::rgba32Float ||
                             texture.pixelFormat() == PixelFormat::rgba16Float);
    if (!compatible) throw NativeRAWError::incompatibleTexture();

    // A RAW file's kept sensor holds the frame's own plane already; a float texture's rows, back
    // to back, are the plane itself.
    std::unique_ptr<float[]> converted;
    const float* plane = nullptr;
    if (texture.pixelFormat() == PixelFormat::rgba16Float) {
        converted = floatPlane(texture);
        plane = converted.get();
    } else if (!file_ || &texture != packedTexture_.get()) {
        plane = reinterpret_cast<const float*>(texture.rowData(0));
    }
    std::shared_ptr<Texture> output =
        makeDecodedTexture(*device_, PixelFormat::rgba16Float, metadata_.outputWidth(),
                           metadata_.outputHeight());
    if (!output) throw NativeRAWError::allocation();
    output->setLabel("Native linear RAW RGB");
    develop(plane, *output);
    return output;
}

void NativeRAWFrame::develop(const float* plane, Texture& output) const {
    // Both the bridge and the texture keep the image's bottom row first, rows back to back.
    if (file_) {
        try {
            file_->develop(plane, reinterpret_cast<std::uint16_t*>(output.rowData(0)));
        } catch (const RAWFilterError& failure) {
            throw NativeRAWError::decoding(failure.what());
        }
        return;
    }
    // The file may have changed since the frame read it.
    if (const std::optional<std::string> refusal = rawFileRefusal(url_)) {
        throw NativeRAWError::decoding(*refusal);
    }
    BridgeErrorBuffer error;
    std::uint16_t* pixels = nullptr;
    const std::int32_t result =
        qx_raw_render(url_.c_str(), &metadata_.raw, plane, &pixels, error.data(), error.size());
    const BridgeBuffer<std::uint16_t> rgba(pixels);
    if (result != 0 || !rgba) {
        throw NativeRAWError::decoding(error.message("Unknown linear RAW rendering error."));
    }
    output.replaceRegion({0, 0, output.width(), output.height()}, rgba.get(),
                         output.bytesPerRow());
}

std::string NativeRAWFrame::decoderVersion() { return qx_raw_version(); }

}  // namespace quillmere
