#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "core/compute/texture.h"
#include "core/decode/color_temperature.h"
#include "core/decode/sensor_noise_reduction.h"
#include "core/imageio/image_properties.h"
#include "core/reading/opened_file.h"
#include "core/reading/photo_reader.h"
#include "rawbridge/qx_raw.h"

namespace quillmere {

// A three-colour Bayer RAW file read once: opened once (OpenedFile), its sensor read by a reader
// that keeps it for more developments (a session of rawSensor and rawDevelop requests), with the
// record, capture information, noise profile, as-shot white balance, baseline exposure and the
// packed plane from the reader's first answer, and the properties read alongside. The RAW filters
// and the sensor frame of one photo share it, so that every development of the photo, denoised or
// not, starts from the one read. It develops the version of the file it opened, whatever is
// written or renamed over its path meanwhile. Immutable but for its session, whose developments
// follow one another.
class RAWFile {
  public:
    // Opens the file and has a reader of `reader` read its sensor. Throws RAWFilterError:
    // unsupportedFile for a file that is not there, no regular file, cannot be opened, or that the
    // reader refuses (LibRaw cannot open or unpack it, it is not a three-colour Bayer RAW or holds
    // no image data), in the reader's words; outOfMemory when the photo is larger than the program
    // allocates. Throws ReadingError for a reading that did not end in an answer or a refusal:
    // the file needs more memory or processor time than its claim allows, its reader crashed or
    // could not be started, or its answer is no answer.
    explicit RAWFile(const std::filesystem::path& file,
                     PhotoReader& reader = PhotoReader::forProcess());
    ~RAWFile();

    RAWFile(const RAWFile&) = delete;
    RAWFile& operator=(const RAWFile&) = delete;

    const std::filesystem::path& file() const { return file_; }
    const QXRAWMetadata& metadata() const { return metadata_; }
    const SensorNoiseProfile& noise() const { return noise_; }
    const TemperatureTint& neutral() const { return neutral_; }
    const ImageProperties& properties() const { return properties_; }
    // The file's own baseline exposure in EV, as it states it.
    float baselineExposure() const { return baselineExposure_; }
    // Whether the Detail denoiser takes the file's sensor (qx_raw_is_supported_bayer).
    bool supportsDetail() const { return supportsDetail_; }

    // Whether `file` is this file's path and the file there is still the version read.
    bool isCurrent(const std::filesystem::path& file) const;

    // The sensor's packed plane: a packed_width × packed_height RGBA32Float texture (shared,
    // shader read and write, labelled "Normalized Bayer R G1 B G2") whose texel (x, y) holds quad
    // (x, y) of the sensor as R, G1, B, G2, row 0 at the top of the sensor, its rows back to back.
    // Its texels are the reader's sealed file, mapped, never copied.
    const std::shared_ptr<const Texture>& plane() const { return plane_; }

    // Develops the sensor's own plane, or the plane `fill` writes (packed_width × packed_height × 4
    // floats, rows top first, as plane() holds them), into a new output_width × output_height
    // RGBA16Float texture (shared, shader read and write) of extended linear sRGB, bottom row
    // first, cropped and oriented: the reader's sealed file, mapped, never copied. Developments
    // follow one another. A reader that ended is started again for the next development, which
    // the file then reads anew (a file changed in place since is refused). Throws RAWFilterError:
    // developFailed with the reader's words; outOfMemory when memory for the plane ran out.
    // Throws ReadingError as the constructor does.
    std::shared_ptr<Texture> develop() const;
    std::shared_ptr<Texture> develop(const std::function<void(float* plane)>& fill) const;

  private:
    // The development the reader answers `request` with.
    std::shared_ptr<Texture> developed(ReaderRequest request) const;
    // The session's answer to `request`, from a new session when the last one's reader ended.
    ReaderAnswer ask(ReaderRequest request) const;
    // A session of a new reader of the file; its first answer in `answer`.
    std::unique_ptr<ReaderSession> openSession(ReaderAnswer& answer) const;

    std::filesystem::path file_;
    PhotoReader& reader_;
    // Before the session, which reads it while it lives.
    std::shared_ptr<const OpenedFile> opened_;
    QXRAWMetadata metadata_{};
    std::shared_ptr<const Texture> plane_;
    SensorNoiseProfile noise_;
    TemperatureTint neutral_;
    ImageProperties properties_;
    float baselineExposure_ = 0.0f;
    bool supportsDetail_ = false;
    mutable std::mutex sessionLock_;
    // Null once its reader ended, until the next development starts another.
    mutable std::unique_ptr<ReaderSession> session_;
    // What ended a reader of the file in a way that is the file's own (it crashed the reader,
    // needed more memory or processor time than it claimed): every later development fails so.
    mutable std::optional<ReadingError> ended_;
};

}  // namespace quillmere
