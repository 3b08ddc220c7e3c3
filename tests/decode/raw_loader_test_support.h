#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/compute/device.h"
#include "core/decode/raw_loader.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "tests/decode/decode_test_support.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"

namespace quillmere::loader_testing {

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A JPEG of the test pattern at `path`, with its EXIF.
inline void writeJpeg(const std::filesystem::path& path, const fixtures::TestPattern& pattern,
                      const fixtures::TestExif& exif = {}) {
    writeFile(path, fixtures::withExif(encodeJpeg(fixtures::makePattern(pattern), 0.95), exif));
}

// A loader on a compute device with the program's own RAW filter, and a folder for its photos.
class LoaderTest : public ::testing::Test {
  protected:
    std::filesystem::path photoPath(const std::string& name) const { return folder.path() / name; }

    std::filesystem::path syntheticDNG(const std::string& name,
                                       const fixtures::SyntheticDNGOptions& options = {}) {
        const std::filesystem::path path = photoPath(name);
        fixtures::writeSyntheticDNG(path, options);
        return path;
    }

    std::shared_ptr<Texture> texture(const std::filesystem::path& path, bool denoised,
                                     PreviewResolution resolution,
                                     DenoiseMethod method = DenoiseMethod::natural,
                                     bool preserveRAWTexture = false) {
        return loader->texture(PhotoID{path}, {denoised, resolution, method, preserveRAWTexture},
                               testing::never);
    }

    testing::TemporaryFolder folder;
    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::unique_ptr<RAWLoader> loader = std::make_unique<RAWLoader>(device);
};

}  // namespace quillmere::loader_testing
