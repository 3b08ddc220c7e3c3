#include <gtest/gtest.h>

#include "core/photo/denoise_backend.h"
#include "core/photo/opened_photo.h"

namespace quillmere {
namespace {

TEST(OpenedPhoto, DetailSupportDefaultsToRAWFilesNamedARW) {
    const auto supports = [](const char* path, bool isRAW) {
        return OpenedPhoto(PhotoID{path}, 6000, 4000, 5500, 0, json::Json::object(),
                           DenoiseBackend::standard, isRAW, std::nullopt)
            .supportsDetailDenoise;
    };
    EXPECT_TRUE(supports("/p/a.ARW", true));
    EXPECT_FALSE(supports("/p/a.dng", true));
    EXPECT_FALSE(supports("/p/a.arw", false));
    EXPECT_FALSE(supports("/p/a.arw.dng", true));
}

TEST(DenoiseBackend, RawValuesMatchExactly) {
    EXPECT_EQ(denoiseBackendFromRawValue("standard"), DenoiseBackend::standard);
    EXPECT_EQ(denoiseBackendFromRawValue("neuralRAW9"), DenoiseBackend::neuralRAW9);
    EXPECT_EQ(denoiseBackendFromRawValue("Standard"), std::nullopt);
}

}  // namespace
}  // namespace quillmere
