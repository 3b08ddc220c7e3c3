#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/decode/native_raw_metadata.h"

namespace quillmere {

// One RAW file's sensor on the compute device, for the Detail path: the packed plane of
// normalised Bayer quads as a texture, and the bridge's record of the sensor. It develops that
// plane, or a processed copy of it (the Detail denoiser's output), into linear RGB.
//
// A frame never changes once made. It takes no lock: the RAW loader makes and uses it under its
// own lock. Each call into the bridge works on its own LibRaw instance.
class NativeRAWFrame final {
  public:
    // Reads the file's sensor and uploads it: a `packedWidth` × `packedHeight` RGBA32Float texture
    // (shared, shader read and write, labelled "Normalized Bayer R G1 B G2") whose texel (x, y)
    // holds quad (x, y) of the sensor as R, G1, B, G2, row 0 at the top of the sensor.
    // Throws NativeRAWError: decoding with the bridge's sentence when the file is unreadable or
    // not a three-colour Bayer RAW, allocation when the texture cannot be made. Throws
    // std::invalid_argument for a null device.
    NativeRAWFrame(std::filesystem::path url, std::shared_ptr<const Device> device);
    static std::shared_ptr<NativeRAWFrame> open(std::filesystem::path url,
                                                std::shared_ptr<const Device> device);

    NativeRAWFrame(const NativeRAWFrame&) = delete;
    NativeRAWFrame& operator=(const NativeRAWFrame&) = delete;

    const std::filesystem::path& url() const { return url_; }
    const NativeRAWMetadata& metadata() const { return metadata_; }
    std::shared_ptr<const Texture> packedTexture() const { return packedTexture_; }
    NativeRAWNoiseProfile noiseProfile() const { return metadata_.noiseProfile(); }

    // Develops the frame's own packed texture, or `texture`: a shared RGBA32Float or RGBA16Float
    // texture of the packed size in the same layout. The result is a new
    // `outputWidth` × `outputHeight` RGBA16Float texture (shared, shader read and write, labelled
    // "Native linear RAW RGB") of extended linear sRGB, bottom row first, cropped and oriented.
    // The file is read again, so this costs a full demosaic every call.
    // Throws NativeRAWError: incompatibleTexture before anything is read when the texture does
    // not fit; decoding with the bridge's sentence (the file changed, a non-finite sample, a
    // failed demosaic); allocation when memory for the plane or the result is not there.
    std::shared_ptr<Texture> renderLinearRGB() const;
    std::shared_ptr<Texture> renderLinearRGB(const Texture& texture) const;

    // LibRaw's version text.
    static std::string decoderVersion();

  private:
    std::filesystem::path url_;
    NativeRAWMetadata metadata_;
    std::shared_ptr<Texture> packedTexture_;
    std::shared_ptr<const Device> device_;
};

}  // namespace quillmere
