#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "core/common/uuid.h"
#include "tests/fixtures/synthetic_dng.h"

// The photos the end-to-end benchmarks develop.
namespace quillmere::bench {

// A 24-megapixel camera file (6000 × 4000 RGGB) of smooth ramps with a little sensor noise.
inline fixtures::SyntheticDNGOptions synthetic24MPOptions() {
    fixtures::SyntheticDNGOptions options;
    options.width = 6000;
    options.height = 4000;
    options.scene = fixtures::gradientScene(options.width, options.height);
    options.shotNoise = 0.0004;
    options.readNoiseVariance = 1e-6;
    return options;
}

// The 24-megapixel file, in the temporary folder while the program runs.
class Synthetic24MPPhoto {
  public:
    Synthetic24MPPhoto()
        : path_(std::filesystem::temp_directory_path() /
                ("quillmere-bench-" + UUID::random().uuidString() + ".dng")) {
        fixtures::writeSyntheticDNG(path_, synthetic24MPOptions());
    }
    ~Synthetic24MPPhoto() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    Synthetic24MPPhoto(const Synthetic24MPPhoto&) = delete;
    Synthetic24MPPhoto& operator=(const Synthetic24MPPhoto&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline const std::filesystem::path& synthetic24MPPhoto() {
    static const Synthetic24MPPhoto photo;
    return photo.path();
}

}  // namespace quillmere::bench
