#include <gtest/gtest.h>


#include "core/photo/denoise_backend.h"
#include "core/photo/opened_photo.h"

namespace quillmere {
namespace {

OpenedPhoto photo(const char* path, bool isRAW) {
    return OpenedPhoto(PhotoID{path}, 6000, 4000, 5500, 0, json::Json::object(),
                       DenoiseBackend::standard, isRAW, std::nullopt);
}

TEST(OpenedPhotoTest, DetailSupportDefaultsToRAWFilesNamedARW) {
    EXPECT_TRUE(photo("/p/a.arw", true).supportsDetailDenoise);
    EXPECT_TRUE(photo("/p/a.ARW", true).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/a.dng", true).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/a.arw", false).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/a.arw.dng", true).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/arw", true).supportsDetailDenoise);
}

TEST(DenoiseBackendTest, RawValuesMatchExactly) {
    EXPECT_EQ(denoiseBackendFromRawValue("standard"), DenoiseBackend::standard);
    EXPECT_EQ(denoiseBackendFromRawValue("neuralRAW9"), DenoiseBackend::neuralRAW9);
    EXPECT_EQ(denoiseBackendFromRawValue("Standard"), std::nullopt);
    EXPECT_EQ(denoiseBackendFromRawValue(""), std::nullopt);
}

}  // namespace
}  // namespace quillmere
