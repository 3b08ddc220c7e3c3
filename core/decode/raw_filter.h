#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/compute/texture.h"
#include "core/decode/raw_file.h"
#include "core/decode/raw_filter_settings.h"
#include "core/imageio/image_properties.h"

namespace quillmere {

// The RAW filter: develops a three-colour Bayer RAW photo through LibRaw (in the file's reader)
// in floats (values above 1 kept), with its own noise reduction on the sensor data, and tells the
// photo's as-shot white balance and properties. The RAW loader makes one per photo, configures it
// with RAWFilterSettings and asks it for the developed texture. Other RAW files (no Bayer filter,
// or a larger mosaic) are refused here and take LibRaw's full development.
//
// The filter keeps the file's unpacked sensor data from construction on (a RAWFile, which the
// filters of one photo share), so developing it again, with other settings or by another filter
// of the same photo, reads nothing from the file. It is not copied; outputTexture may run on
// several threads at once.
class RAWFilter {
  public:
    // Reads the sensor data and header of the RAW file (RAWFile). Throws RAWFilterError:
    // unsupportedFile when LibRaw cannot open or unpack the file, it is not a three-colour Bayer
    // RAW, or it holds no image data (a file stripped to its metadata); outOfMemory when the photo
    // is larger than the program allocates. Throws ReadingError as RAWFile does.
    explicit RAWFilter(const std::filesystem::path& file);
    // A filter of a file already read.
    explicit RAWFilter(std::shared_ptr<const RAWFile> file);

    RAWFilter(const RAWFilter&) = delete;
    RAWFilter& operator=(const RAWFilter&) = delete;
    RAWFilter(RAWFilter&&) noexcept = default;
    RAWFilter& operator=(RAWFilter&&) noexcept = default;

    // The decoder versions the filter offers: "8" only (there is no neural decoder).
    static const std::vector<std::string>& supportedDecoderVersions();

    const std::shared_ptr<const RAWFile>& rawFile() const { return file_; }

    // The settings a new filter starts from, before the file's own baseline exposure. The
    // development is scene-linear: no tone curve, no shadow lift, no gamut compression, no draft
    // mode, no scaling, and none of the optional adjustments (local tone mapping, sharpness,
    // contrast, detail, moiré reduction); those settings hold the one value that describes it.
    static RAWFilterSettings initialSettings();

    // Starts as initialSettings() with the file's own baseline exposure.
    const RAWFilterSettings& settings() const { return settings_; }
    // Takes all the settings at once. Throws RAWFilterError::unsupportedSetting, naming the
    // first setting that the development cannot honour, and then keeps the settings it had.
    // Exposures are honoured within -10...10 EV, the dynamic range amount within 0...2 (0 clips
    // at 1) and the noise-reduction amounts within 0...1.
    void setSettings(const RAWFilterSettings& settings);

    // The white balance the photo was taken with (asShotWhiteBalance): the neutral point of the
    // photo's white-balance controls.
    float neutralTemperature() const { return static_cast<float>(file_->neutral().temperature); }
    float neutralTint() const { return static_cast<float>(file_->neutral().tint); }

    // The size of the developed image, orientation applied; known without developing.
    int outputWidth() const { return file_->metadata().output_width; }
    int outputHeight() const { return file_->metadata().output_height; }

    // The photo's capture properties (completedRAWProperties).
    const ImageProperties& properties() const { return file_->properties(); }

    // Develops the photo with the current settings into a new outputWidth() × outputHeight()
    // texture: RGBA16Float, shared, shader read and write, extended linear sRGB with the bottom
    // row first, the file's development by its reader (RAWFile::develop) without a copy, its
    // noise reduced in the plane sent for it and its exposure applied in place. Throws
    // RAWFilterError: developFailed with LibRaw's words, outOfMemory; ReadingError as the file's
    // developments do.
    std::shared_ptr<Texture> outputTexture() const;

  private:
    std::shared_ptr<const RAWFile> file_;
    RAWFilterSettings settings_ = initialSettings();
};

}  // namespace quillmere
