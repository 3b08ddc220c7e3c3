// Writes the fuzzers' seed photos into FOLDER/jpeg, FOLDER/heif and FOLDER/raw, and the metadata
// fuzzers' own into FOLDER/metadata/{jpeg,heif,raw}: small files of
// every kind the photo readers take, made by the tests' photo writers, so that the fuzzers start
// from the code paths real photos reach instead of having to find the formats themselves. Each
// JPEG and HEIF seed is decoded once as it is written; the program fails when one does not
// decode, as a seed that is refused at its header would start nothing. The RAW seeds are the
// tests' synthetic DNGs of each sensor layout the bridge reads, and the file whose TIFF directory
// runs past its end.
//
// Usage: fuzz_seeds FOLDER

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/imageio/imageio_error.h"
#include "reader/raster/raster_decoder.h"
#include "tests/fixtures/hostile_heif.h"
#include "tests/fixtures/hostile_jpeg.h"
#include "tests/fixtures/hostile_metadata.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"

namespace quillmere::fixtures {
namespace {

namespace fs = std::filesystem;

Rgb8Image seedPattern() { return makePattern({.width = 32, .height = 24, .markerSize = 8}); }

TestExif cameraExif(int orientation) {
    return {.orientation = orientation,
            .isoSpeedRatings = {400},
            .make = "Quillmere",
            .model = "Seed Camera",
            .exposureTime = "1/125",
            .fNumber = "28/10",
            .focalLength = "35/1",
            .lensModel = "35mm F2.8",
            .dateTimeOriginal = "2024:05:17 10:42:00"};
}

void writeSeed(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    const LinearImage decoded = decodeRasterData(bytes);
    std::cout << file.string() << ": " << bytes.size() << " bytes, " << decoded.width << " × "
              << decoded.height << " pixels\n";
}

// A seed the decoder refuses, as the fuzzer's mutations of it mostly are too.
void writeRefusedSeed(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    try {
        decodeRasterData(bytes);
    } catch (const ImageIOError& error) {
        std::cout << file.string() << ": " << bytes.size() << " bytes, refused: " << error.what()
                  << '\n';
        return;
    }
    throw std::runtime_error(file.string() + " was decoded");
}

void writeJpegSeeds(const fs::path& folder) {
    const Rgb8Image pattern = seedPattern();
    const std::string baseline = encodeJpeg(pattern, 0.75);
    writeSeed(folder / "baseline.jpg", baseline);
    writeSeed(folder / "progressive.jpg", encodeJpegWith(pattern, {.progressive = true}));
    writeSeed(folder / "grey.jpg", encodeJpegWith(pattern, {.grey = true}));
    writeSeed(folder / "adobe_cmyk.jpg", encodeJpegWith(pattern, {.adobeCmyk = true}));
    writeSeed(folder / "progressive_444.jpg",
              encodeJpegWith(pattern, {.progressive = true, .fullChroma = true}));
    writeSeed(folder / "arithmetic.jpg", encodeJpegWith(pattern, {.arithmetic = true}));
    writeSeed(folder / "arithmetic_progressive.jpg",
              encodeJpegWith(pattern, {.progressive = true, .arithmetic = true}));
    writeSeed(folder / "restart_every_row.jpg", encodeJpegWith(pattern, {.restartRows = 1}));
    writeSeed(folder / "exif_orientation_6.jpg", withExif(baseline, cameraExif(6)));
    TestExif everything = cameraExif(8);
    everything.makerNote = everything.thumbnail = everything.gps = true;
    everything.iptcCaption = "Seed";
    writeSeed(folder / "exif_thumbnail_gps_iptc.jpg", withExif(baseline, everything));
    writeSeed(folder / "display_p3.jpg", encodeJpeg(pattern, 0.75, displayP3IccProfile()));
    writeSeed(folder / "progressive_422_restarts.jpg",
              encodeJpegWith(
                  pattern,
                  {.progressive = true, .restartRows = 2, .sampling = {{2, 1}, {1, 1}, {1, 1}}}));
    writeSeed(folder / "ycck_progressive.jpg",
              encodeJpegWith(pattern, {.progressive = true, .adobeCmyk = true, .ycck = true}));
    writeSeed(folder / "crush_script.jpg", encodeJpegWith(pattern, {.script = crushScript()}));
    const std::vector<JpegScanStep> refinedOnce{
        {{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 1}, {{0}, 1, 63, 1, 0}};
    const std::string refined = encodeJpegWith(pattern, {.grey = true, .script = refinedOnce});
    writeSeed(folder / "refined_once.jpg", refined);
    writeRefusedSeed(folder / "refinement_repeated.jpg", withScanRepeated(refined, 2, 2));
    const std::string acOnce = encodeJpegWith(
        flatSquares(256, 256), {.grey = true, .script = {{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}}});
    writeRefusedSeed(folder / "ac_scan_repeated_300_times.jpg", withScanRepeated(acOnce, 1, 299));
}

void writeHeifSeeds(const fs::path& folder) {
    // libheif codes whole 64-pixel blocks: a picture of other sides it writes as a grid of one
    // tile, cropped to the picture.
    writeSeed(folder / "single.heic",
              encodeTestHeic(makePattern({.width = 64, .height = 64}), {.quality = 30}));
    const Rgb8Image pattern = seedPattern();
    writeSeed(folder / "cropped_grid.heic", encodeTestHeic(pattern, {.quality = 30}));
    writeSeed(folder / "rotated_irot.heic",
              encodeTestHeic(pattern, {.quality = 30, .orientation = 6}));
    writeSeed(folder / "transposed_irot_imir.heic",
              encodeTestHeic(pattern, {.quality = 30, .orientation = 5}));
    writeSeed(folder / "exif.heic",
              encodeTestHeic(pattern, {.quality = 30, .exif = exifBlock(cameraExif(1))}));
    writeSeed(folder / "display_p3.heic",
              encodeTestHeic(pattern, {.quality = 30, .iccProfile = displayP3IccProfile()}));
    // Files laid out by the tests' own box writer rather than libheif's.
    const HevcStream tile = encodeFlatHevc(64);
    const PixelExtent side{64, 64};
    writeSeed(folder / "single_item.heic", singleImageHeif(tile, side));
    writeSeed(folder / "overlay.heic", overlayHeif(tile, side, side, side));
    // A tile named in several places codes enough only when it is textured, as a photo's are.
    const HevcStream textured = encodeHevc(noisePicture(64, 64), {.quality = 30});
    writeSeed(folder / "grid.heic", gridHeif(textured, side, 2, 2, {128, 128}, {128, 128}));
    writeSeed(folder / "nested_grid.heic", nestedGridHeif(textured, side, 2, 2));
    writeSeed(folder / "alpha.heic", withAlphaHeif(tile, side, tile, side));
    writeSeed(folder / "essential_properties.heic", essentialPropertiesHeif(tile, side));
    // Items whose count, depth, data or coding the checks bound, each small.
    const CodedPicture picture = hevcPicture(tile);
    writeSeed(folder / "identity_chain.heic", identityChainHeif(picture, side, 3));
    writeSeed(folder / "exif_naming_the_file.heic", exifNamingTheFileHeif(picture, side, 2));
    writeSeed(folder / "padded_configuration_grid.heic",
              paddedConfigurationGridHeif(textured, side, 2, 2, 2000));
    // A hidden picture predicted from the primary one, which is never decoded.
    heif_boxes::HeifLayout predicted = onePicture(picture, side);
    predicted.items.push_back(
        {.id = 2, .type = "hvc1", .hidden = true, .properties = {1, 2}, .sameDataAs = 1});
    predicted.references.push_back({"pred", 2, {1}});
    writeSeed(folder / "predicted.heic", heif_boxes::writeHeif(predicted));
    if (canEncodeAvif()) {
        writeSeed(folder / "single.avif", encodeTestHeic(makePattern({.width = 64, .height = 64}),
                                                         {.quality = 30, .av1 = true}));
    }
}

void writeRawSeeds(const fs::path& folder) {
    SyntheticDNGOptions bayer;
    bayer.width = 64;
    bayer.height = 48;
    bayer.iso = 400;
    bayer.scene = gradientScene(64, 48);
    writeSyntheticDNG(folder / "bayer.dng", bayer);
    SyntheticDNGOptions patterned = bayer;
    patterned.width = 70;
    patterned.height = 52;
    patterned.cfaPattern = CFAPattern::GBRG;
    patterned.whiteLevel = 4095;
    patterned.blackLevels = {240, 256, 250, 262};
    patterned.blackRepeatRows = patterned.blackRepeatColumns = 2;
    patterned.activeArea = SensorRect{2, 3, 66, 48};
    patterned.orientation = 6;
    patterned.baselineExposure = 0.5;
    writeSyntheticDNG(folder / "patterned.dng", patterned);
    SyntheticDNGOptions linear = bayer;
    linear.linearRaw = true;
    writeSyntheticDNG(folder / "linear.dng", linear);
    std::ofstream(folder / "directory_past_the_end.nef", std::ios::binary)
        << tiffDirectoryPastTheEnd();
    std::cout << folder.string() << ": 4 RAW files\n";
}

// The metadata fuzzers' own seeds: EXIF whose entries all name one block (small enough to fuzz),
// beside a camera's EXIF with its maker note, GPS, thumbnail and IPTC, and XMP of many
// properties, in a JPEG, a HEIC and a DNG.
void writeMetadataSeeds(const fs::path& folder) {
    const std::string baseline = encodeJpeg(seedPattern(), 0.75);
    const std::string sharedExif = sharedValueExif(40, 8000);
    writeSeed(folder / "jpeg" / "shared_exif.jpg",
              withApp1Segment(baseline, exifIdentifier, sharedExif));
    TestExif camera = cameraExif(6);
    camera.make = "Canon";
    camera.makerNote = camera.thumbnail = camera.gps = true;
    camera.iptcCaption = "Seed";
    writeSeed(folder / "jpeg" / "camera_exif.jpg", withExif(baseline, camera));
    writeSeed(folder / "jpeg" / "xmp_properties.jpg",
              withApp1Segment(baseline, xmpIdentifier, xmpPacketOfProperties(400)));
    if (canEncodeHeic()) {
        writeSeed(folder / "heif" / "shared_exif.heic",
                  encodeTestHeic(makePattern({.width = 64, .height = 64}),
                                 {.quality = 30, .exif = sharedExif}));
    }
    SyntheticDNGOptions small;
    small.width = 32;
    small.height = 24;
    writeSyntheticDNG(folder / "raw" / "shared_exif.dng", small);
    std::ifstream dng(folder / "raw" / "shared_exif.dng", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(dng), {}};
    std::ofstream(folder / "raw" / "shared_exif.dng", std::ios::binary)
        << withSharedValueDirectories(bytes, 20, 4000);
    std::cout << folder.string() << ": metadata seeds\n";
}

}  // namespace
}  // namespace quillmere::fixtures

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using namespace quillmere::fixtures;
    if (argc != 2) {
        std::cerr << "Usage: fuzz_seeds FOLDER\n";
        return 2;
    }
    try {
        const fs::path folder = argv[1];
        fs::create_directories(folder / "jpeg");
        fs::create_directories(folder / "heif");
        fs::create_directories(folder / "raw");
        for (const char* kind : {"jpeg", "heif", "raw"}) {
            fs::create_directories(folder / "metadata" / kind);
        }
        writeJpegSeeds(folder / "jpeg");
        writeRawSeeds(folder / "raw");
        writeMetadataSeeds(folder / "metadata");
        if (canEncodeHeic()) {
            writeHeifSeeds(folder / "heif");
        } else {
            std::cerr << "libheif has no HEVC encoder here: no HEIF seeds\n";
        }
    } catch (const std::exception& error) {
        std::cerr << "fuzz_seeds: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
