#pragma once

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
// A frame is made from a RAW file the reader has read, whose reader develops every texture; it
// never changes once made and takes no lock of its own (the file's developments follow one
// another).
class NativeRAWFrame final {
  public:
    // The frame of `file`'s sensor, without reading anything again: its packed texture is the
    // file's plane (RAWFile::plane), a `packedWidth` × `packedHeight` RGBA32Float texture (shared,
    // shader read and write, labelled "Normalized Bayer R G1 B G2") whose texel (x, y) holds quad
    // (x, y) of the sensor as R, G1, B, G2, row 0 at the top of the sensor. Throws
    // std::invalid_argument for a null file or device.
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
    // "Native linear RAW RGB") of extended linear sRGB, bottom row first, cropped and oriented,
    // developed by the file's reader: its own plane without sending it, another sent as the reader
    // takes planes. Every call costs a full demosaic; calls may come from several threads at once.
    // Throws NativeRAWError: incompatibleTexture before anything is sent when the texture does not
    // fit; decoding with the reader's sentence (a non-finite sample, a failed demosaic);
    // allocation when memory for the plane is not there. Throws ReadingError as the file's
    // developments do.
    std::shared_ptr<Texture> renderLinearRGB() const;
    std::shared_ptr<Texture> renderLinearRGB(const Texture& texture) const;

  private:
    std::shared_ptr<const RAWFile> file_;
    NativeRAWMetadata metadata_;
    std::shared_ptr<const Texture> packedTexture_;
    std::shared_ptr<const Device> device_;
};

}  // namespace quillmere
