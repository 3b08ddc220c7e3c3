#include <gtest/gtest.h>

#include <unordered_set>

#include "core/photo/denoise_backend.h"
#include "core/photo/opened_photo.h"
#include "core/photo/photo_id.h"

namespace quillmere {
namespace {

TEST(PhotoIDTest, SameSpellingIsTheSamePhoto) {
    const PhotoID a{"/photos/IMG_1.ARW"};
    const PhotoID b{"/photos/IMG_1.ARW"};
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<PhotoID>{}(a), std::hash<PhotoID>{}(b));

    // Another spelling of the same file is another photo: nothing is normalised.
    EXPECT_NE(a, PhotoID{"photos/IMG_1.ARW"});
    EXPECT_NE(a, PhotoID{"/photos//IMG_1.ARW"});
    EXPECT_NE(a, PhotoID{"/photos/./IMG_1.ARW"});
    const std::unordered_set<PhotoID> cache{a, PhotoID{"/photos//IMG_1.ARW"}};
    EXPECT_EQ(cache.size(), 2u);
}

OpenedPhoto photo(const char* path, bool isRAW, std::optional<bool> supportsDetail = {}) {
    return OpenedPhoto(PhotoID{path}, 6000, 4000, 5500, 0, json::Json::object(),
                       DenoiseBackend::standard, isRAW, supportsDetail);
}

TEST(OpenedPhotoTest, DetailSupportDefaultsToRAWFilesNamedARW) {
    EXPECT_TRUE(photo("/p/a.arw", true).supportsDetailDenoise);
    EXPECT_TRUE(photo("/p/a.ARW", true).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/a.dng", true).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/a.arw", false).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/a.arw.dng", true).supportsDetailDenoise);
    EXPECT_FALSE(photo("/p/arw", true).supportsDetailDenoise);
}

TEST(OpenedPhotoTest, ExplicitDetailSupportIsKept) {
    EXPECT_FALSE(photo("/p/a.arw", true, false).supportsDetailDenoise);
    EXPECT_TRUE(photo("/p/a.dng", true, true).supportsDetailDenoise);
}

TEST(DenoiseBackendTest, RawValuesMatchExactly) {
    EXPECT_EQ(denoiseBackendFromRawValue("standard"), DenoiseBackend::standard);
    EXPECT_EQ(denoiseBackendFromRawValue("neuralRAW9"), DenoiseBackend::neuralRAW9);
    EXPECT_EQ(denoiseBackendFromRawValue("Standard"), std::nullopt);
    EXPECT_EQ(denoiseBackendFromRawValue(""), std::nullopt);
}

TEST(DenoiseBackendTest, CodedAsItsRawString) {
    EXPECT_EQ(encode(DenoiseBackend::neuralRAW9), json::Json("neuralRAW9"));
    EXPECT_EQ(decodeDenoiseBackend(json::Json("standard")), DenoiseBackend::standard);
    EXPECT_THROW(decodeDenoiseBackend(json::Json("neural")), DecodingError);
    EXPECT_THROW(decodeDenoiseBackend(json::Json(9)), DecodingError);
}

}  // namespace
}  // namespace quillmere
