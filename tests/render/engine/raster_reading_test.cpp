#include "core/decode/raster_reading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/compute/device.h"
#include "core/compute/half_float.h"
#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/reading/raster_answers.h"
#include "core/render/engine/photo_thumbnail.h"
#include "reader/raster/raster_decoder.h"
#include "reader/raster/thumbnail.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/test_profiles.h"

namespace quillmere {
namespace {

using fixtures::PixelExtent;

class RasterReading : public ::testing::Test {
  protected:
    std::filesystem::path write(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder.path() / name, std::ios::binary) << bytes;
        return folder.path() / name;
    }

    // Honest photos of every kind the reader decodes, each a few dozen pixels.
    std::vector<std::pair<std::string, std::string>> photos() const {
        const Rgb8Image picture = fixtures::noisePicture(40, 30);
        const std::string baseline = encodeJpeg(picture, 0.9);
        std::vector<std::pair<std::string, std::string>> files{
            {"baseline.jpg", baseline},
            {"progressive.jpg", fixtures::encodeJpegWith(picture, {.progressive = true})},
            {"grey.jpg", fixtures::encodeJpegWith(picture, {.grey = true})},
            {"cmyk.jpg", fixtures::encodeJpegWith(picture, {.adobeCmyk = true,
                                                            .iccProfile = fixtures::cmykProfile()})},
            {"table profile.jpg",
             fixtures::encodeJpegWith(picture, {.iccProfile = fixtures::lookupTableRgbProfile()})},
        };
        for (int orientation = 2; orientation <= 8; ++orientation) {
            files.emplace_back("orientation " + std::to_string(orientation) + ".jpg",
                               fixtures::withExif(baseline, {.orientation = orientation}));
        }
        if (!fixtures::canEncodeHeic()) return files;
        files.emplace_back("single.heic", fixtures::encodeTestHeic(picture, {.orientation = 6}));
        std::vector<fixtures::HevcStream> tiles;
        for (int tile = 0; tile < 4; ++tile) {
            tiles.push_back(fixtures::encodeHevc(fixtures::noisePicture(64, 64), {.quality = 60}));
        }
        files.emplace_back("grid.heic", fixtures::tiledHeif(tiles, {64, 64}, 2, 2, {100, 120},
                                                            fixtures::lookupTableRgbProfile()));
        fixtures::DeepRgbImage deep{picture.width, picture.height, 10, {}};
        for (const std::uint8_t value : picture.rgb) {
            deep.rgb.push_back(static_cast<std::uint16_t>(value << 2 | value >> 6));
        }
        files.emplace_back("10-bit.heic", fixtures::encodeTestHeic(deep, {}));
        files.emplace_back("alpha.heic",
                           fixtures::withAlphaHeif(tiles[0], {64, 64}, tiles[1], {64, 64}));
        return files;
    }

    testing::TemporaryFolder folder;
};

// The reader answers the pixels the in-process decoder gives, in the program's texture: RGBA half
// floats rounded from the decoder's floats, rows bottom first, the photo upright.
TEST_F(RasterReading, ThePhotoIsTheInProcessDecodersRoundedToHalves) {
    for (const auto& [name, bytes] : photos()) {
        SCOPED_TRACE(name);
        const std::shared_ptr<Texture> texture =
            readRasterImage(PhotoReader::forProcess(), write(name, bytes));
        const LinearImage expected = decodeRasterData(bytes);
        ASSERT_EQ(texture->width(), expected.width);
        ASSERT_EQ(texture->height(), expected.height);
        EXPECT_EQ(texture->pixelFormat(), PixelFormat::rgba16Float);
        const std::size_t rowLength = static_cast<std::size_t>(expected.width) * 4;
        std::vector<std::uint16_t> halves(rowLength);
        int differingRows = 0;
        for (int y = 0; y < expected.height; ++y) {
            convertFloatToHalf({expected.rgba.data() + rowLength * static_cast<std::size_t>(y),
                                rowLength},
                               halves);
            const std::span<const std::uint16_t> row = texture->halfRow(y);
            differingRows += !std::equal(halves.begin(), halves.end(), row.begin());
        }
        EXPECT_EQ(differingRows, 0);
    }
}

TEST_F(RasterReading, TheThumbnailIsTheInProcessThumbnail) {
    for (const auto& [name, bytes] : photos()) {
        SCOPED_TRACE(name);
        for (const int longestSide : {180, 17}) {
            const Rgb8Image thumbnail =
                readRasterThumbnail(PhotoReader::forProcess(), write(name, bytes), longestSide);
            const std::optional<Rgb8Image> expected = Thumbnail::raster(bytes, longestSide);
            ASSERT_TRUE(expected);
            EXPECT_EQ(std::pair(thumbnail.width, thumbnail.height),
                      std::pair(expected->width, expected->height));
            EXPECT_TRUE(thumbnail.rgb == expected->rgb) << longestSide;
        }
    }
}

// A profile that costs LittleCMS a thousand times an honest one's cost for each pixel ends the
// reader within the photo's budget: the user hears why, the program goes on, and the same photo
// with an honest profile (one LittleCMS also converts pixel by pixel) opens.
TEST_F(RasterReading, ACostlyProfileIsRefusedWithinItsBudgetAndAnHonestOneOpens) {
    const std::string costly = fixtures::costlyRgbProfile(),
                      honest = fixtures::lookupTableRgbProfile();
    struct Door {
        std::string name;
        int side;
        std::function<std::string(const std::string& profile)> write;
    };
    std::vector<Door> doors;
    for (const int side : {64, 1024}) {
        doors.push_back({"costly " + std::to_string(side) + ".jpg", side, [side](const auto& profile) {
                             return fixtures::encodeJpegWith(fixtures::noisePicture(side, side),
                                                             {.iccProfile = profile});
                         }});
    }
    if (fixtures::canEncodeHeic()) {
        doors.push_back({"costly 64.heic", 64, [](const std::string& profile) {
                             return fixtures::encodeTestHeic(fixtures::noisePicture(64, 64),
                                                             {.iccProfile = profile});
                         }});
    }
    RAWLoader loader(std::make_shared<Device>());
    for (const Door& door : doors) {
        SCOPED_TRACE(door.name);
        const std::filesystem::path file = write(door.name, door.write(costly));
        const std::string size = std::to_string(door.side) + " × " + std::to_string(door.side);
        try {
            loader.open(file);
            ADD_FAILURE() << "opened";
        } catch (const RAWLoaderError& error) {
            EXPECT_EQ(error.code(), RAWLoaderError::Code::readingFailed);
            EXPECT_EQ(std::string(error.what()), door.name + " needs more processor time than a photo of " +
                                                     size + " pixels may take.");
        }
        const OpenedPhoto opened = loader.open(write("honest " + door.name, door.write(honest)));
        EXPECT_EQ(opened.pixelWidth, door.side);
        EXPECT_EQ(opened.pixelHeight, door.side);
    }
}

// The raster jobs take their params as the program writes them, and nothing else: a request they
// cannot read says nothing of the photo, and is not read.
TEST_F(RasterReading, ARequestTheJobsCannotReadIsNotRead) {
    const auto file = OpenedFile::open(write("photo.jpg", encodeJpeg(fixtures::noisePicture(8, 8), 0.9)));
    const struct {
        reader_protocol::JobKind kind;
        std::string params;
    } requests[] = {
        {reader_protocol::JobKind::rasterImage, "x"},
        {reader_protocol::JobKind::rasterThumbnail, ""},
        {reader_protocol::JobKind::rasterThumbnail, raster_answers::ThumbnailRequest{0}.encode()},
    };
    for (const auto& [kind, params] : requests) {
        try {
            PhotoReader::forProcess().ask(*file, {kind, params, {}});
            ADD_FAILURE() << "answered";
        } catch (const ReadingError& error) {
            EXPECT_EQ(error.kind(), ReadingError::Kind::notRead);
        }
    }
}

// A file that is no photo the reader reads is one the loader cannot decode, and shows no
// thumbnail; so is a header promising more pixels than its data hold, refused by its claims.
TEST_F(RasterReading, AFileNoReaderReadsIsNoSupportedPhoto) {
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"notes.jpg", "just text"},
        {"notes.heic", "just text"},
        {"lying.jpg", fixtures::claimingSize(encodeJpeg(fixtures::noisePicture(16, 16), 0.9),
                                             30000, 30000)},
    };
    RAWLoader loader(std::make_shared<Device>());
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::filesystem::path file = write(name, bytes);
        try {
            loader.open(file);
            ADD_FAILURE() << "opened";
        } catch (const RAWLoaderError& error) {
            EXPECT_EQ(error.code(), RAWLoaderError::Code::unsupportedFile);
            EXPECT_EQ(std::string(error.what()),
                      "Cannot decode " + std::string(name) + " as a supported photo.");
        }
        EXPECT_EQ(photoThumbnail(file), std::nullopt);
    }
}

}  // namespace
}  // namespace quillmere
