#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/decode/native_raw_metadata.h"
#include "core/decode/raw_file.h"

namespace quillmere {

// One RAW file's sensor on the compute device, for the Detail path: the packed plane of
// normalised Bayer quads as a texture, and the bridge's record of the sensor. It develops that
// plane, or a processed copy of it (the Detail denoiser's output), into linear RGB.
//
// A frame never changes once made and takes no lock of its own: a frame read from its path calls
// the bridge with a new LibRaw instance each time, one made from a RAW file goes through the
// file, which serialises its developments.
class NativeRAWFrame final {
  public:
    // Reads the file's sensor and uploads it: a `packedWidth` × `packedHeight` RGBA32Float texture
    // (shared, shader read and write, labelled "Normalized Bayer R G1 B G2") whose texel (x, y)
    // holds quad (x, y) of the sensor as R, G1, B, G2, row 0 at the top of the sensor.
    // Throws NativeRAWError: decoding with the bridge's sentence when the file is unreadable or
    // not a three-colour Bayer RAW, or with the RAW checking helper's refusal (rawFileRefusal);
    // allocation when the texture cannot be made. Throws std::invalid_argument for a null device.
    NativeRAWFrame(std::filesystem::path url, std::shared_ptr<const Device> device);
    static std::shared_ptr<NativeRAWFrame> open(std::filesystem::path url,
                                                std::shared_ptr<const Device> device);
    // The same from a file the RAW filter has read, without reading it again: the texture is
    // filled from the file's kept sensor, which also develops every texture. Its failures are
    // the file's own (RAWFilterError) with their words, as NativeRAWError::decoding.
    NativeRAWFrame(std::shared_ptr<const RAWFile> file, std::shared_ptr<const Device> device);
    static std::shared_ptr<NativeRAWFrame> open(std::shared_ptr<const RAWFile> file,
                                                std::shared_ptr<const Device> device);

    NativeRAWFrame(const NativeRAWFrame&) = delete;
    NativeRAWFrame& operator=(const NativeRAWFrame&) = delete;

    const NativeRAWMetadata& metadata() const { return metadata_; }
    std::shared_ptr<const Texture> packedTexture() const { return packedTexture_; }
    NativeRAWNoiseProfile noiseProfile() const { return metadata_.noiseProfile(); }

    // Develops the frame's own packed texture, or `texture`: a shared RGBA32Float or RGBA16Float
    // texture of the packed size in the same layout. The result is a new
    // `outputWidth` × `outputHeight` RGBA16Float texture (shared, shader read and write, labelled
    // "Native linear RAW RGB") of extended linear sRGB, bottom row first, cropped and oriented.
    // A frame read from the path reads the file again (once the helper got through it as it is
    // now); one made from a RAW file develops its kept sensor (one development at a time, the
    // file's own plane without a copy). Either way every call costs a full demosaic, and calls
    // may run on several threads at once.
    // Throws NativeRAWError: incompatibleTexture before anything is read when the texture does
    // not fit; decoding with the bridge's sentence (the file changed, a non-finite sample, a
    // failed demosaic); allocation when memory for the plane or the result is not there.
    std::shared_ptr<Texture> renderLinearRGB() const;
    std::shared_ptr<Texture> renderLinearRGB(const Texture& texture) const;

    // LibRaw's version text.
    static std::string decoderVersion();

  private:
    // The frame's packed texture of `packedWidth` × `packedHeight` texels, unfilled.
    void makePackedTexture();
    // Develops `plane` (the file's own when null) into `output`.
    void develop(const float* plane, Texture& output) const;

    std::filesystem::path url_;
    // Null for a frame read from its path.
    std::shared_ptr<const RAWFile> file_;
    NativeRAWMetadata metadata_;
    std::shared_ptr<Texture> packedTexture_;
    std::shared_ptr<const Device> device_;
};

}  // namespace quillmere
