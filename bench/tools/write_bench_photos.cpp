// quillmere_bench_photos [--hostile | --large | --metadata | --non-bayer | --profiles] <folder>
//
// Writes the benchmark photos into <folder>: "synthetic24MP.dng", the 6000 × 4000 synthetic
// camera file the end-to-end benchmark develops, and "colourChart.dng", the tests' colour chart;
// and photos as cameras and phones write them, of a scene with shading, texture and sensor noise
// (a flat picture compresses far better than a photo and decodes faster): "camera24MP.jpg"
// (6000 × 4000, quality 0.92, no profile, so read as sRGB), "phone9MP.jpg" (4000 × 2250, Display
// P3) and "phone12MP.heic" (3024 × 4032, 4:2:0, Display P3, a grid of 512 × 512 tiles).
// With --large it writes only "phone200MP.heic", the same kind of file at 12240 × 16320, which
// takes minutes and hundreds of megabytes of memory to write.
// With --non-bayer it writes 24-megapixel camera files that LibRaw develops whole, the program's
// RAW filter taking no Bayer sensor from them: "linear24MP.dng" (full-colour pixels) and
// "fourColour24MP.dng" (a cyan, magenta, yellow and green mosaic).
// With --metadata it writes photos whose metadata names far more than it holds, each beside an
// honest neighbour: EXIF whose entries all name one shared block in a 24 × 16 JPEG, a 64 × 64
// HEIC and a 128 × 96 DNG; XMP of 200,000 properties of one schema as a DNG's packet and as a
// JPEG's extended XMP, and of 6,500 in a JPEG's one XMP segment; XMP nested 990 structures of
// 300-letter names deep as a DNG's packet and as a JPEG's extended XMP.
// With --profiles it writes photos described by an ICC profile that costs LittleCMS about a
// thousand times what an honest one does for each pixel: "costlyProfile64.jpg",
// "costlyProfile1024.jpg", "costlyProfile64.heic" and "costlyProfile1024.heic" (64 × 64 and
// 1024 × 1024), each beside its twin described by an honest lookup-table profile, which LittleCMS
// also converts pixel by pixel ("tableProfile64.jpg", ...).
// With --hostile it writes instead small photos whose headers promise far more than they hold,
// for quillmere_decode_photo: JPEGs that claim 36864 × 6144 pixels in two kilobytes, or
// 16384 × 16384 in 128 KiB padded with a comment, or end in the middle of their data; HEIC files
// that state one size and hide a far larger picture, grid or overlay canvas, some beside a size
// that no item uses, or under a thin size, or in boxes appended to an honest file's, or behind a
// second set of boxes libheif cannot read, or behind the NAL length size its configuration
// declares; grids that name one small tile in every place, or grids of grids, or one flat tile
// beside hundreds of kilobytes of NAL units of no picture, or a one-tile grid whose tile codes one
// block of a 16384 × 16384 picture beside 270 KB of a slice of another layer, which libde265 drops
// unread; HEIC files of 19,999 items sharing one picture's data, of a primary image derived by
// identity 19,000 levels deep, of an Exif item naming the whole 16 MB file 32 times, of 1,000
// pictures sharing a 300 KB configuration, of an XMP item inflating to 200 MB, of a primary
// picture predicted from another; arithmetic-coded and progressive JPEGs whose coded data cannot
// hold what they state; and a real-sized JPEG cut after a tenth of its rows.
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>
#include <vector>

#include "bench/bench_photos.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/render/export/dng_directory_rewrite.h"
#include "tests/fixtures/hostile_heif.h"
#include "tests/fixtures/hostile_jpeg.h"
#include "tests/fixtures/hostile_metadata.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/test_profiles.h"

namespace {

namespace fs = std::filesystem;
using namespace quillmere;
using namespace quillmere::fixtures;

void write(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("Cannot write " + path.string());
}

std::uint32_t mixed(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7feb352dU;
    value ^= value >> 15;
    value *= 0x846ca68bU;
    return value ^ value >> 16;
}

// A random value from 0 to 1 for each point of a lattice, the same every time.
float latticeValue(std::uint32_t x, std::uint32_t y, std::uint32_t salt) {
    return static_cast<float>(mixed(x * 0x9E3779B1U ^ mixed(y + salt * 0x85EBCA77U)) >> 8) /
           static_cast<float>(1 << 24);
}

// A scene of `width` × `height` pixels that compresses like a photo: broad shading that differs
// by channel, texture at three scales (lattice noise, the finest shared by the channels like
// detail in light) and a few codes of noise on every pixel.
class PhotoScene {
  public:
    PhotoScene(int width, int height) {
        for (int channel = 0; channel < 3; ++channel) {
            for (int x = 0; x < width; ++x) {
                across_[channel].push_back(0.5f + 0.3f * static_cast<float>(std::cos(
                    2 * std::numbers::pi * x / width * (1.0 + 0.4 * channel))));
            }
            for (int y = 0; y < height; ++y) {
                down_[channel].push_back(0.6f + 0.4f * static_cast<float>(std::sin(
                    2 * std::numbers::pi * y / height * (1.5 - 0.3 * channel))));
            }
        }
    }

    // Rows `first` to `first + rows` of the scene, columns `left` to `left + picture.width`,
    // into `picture` (its width and height set), clipped to the scene with its edge repeated.
    void paint(Rgb8Image& picture, int left, int first) const {
        picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
        std::uint8_t* out = picture.rgb.data();
        const int lastX = static_cast<int>(across_[0].size()) - 1;
        const int lastY = static_cast<int>(down_[0].size()) - 1;
        for (int row = 0; row < picture.height; ++row) {
            const int y = std::min(first + row, lastY);
            for (int column = 0; column < picture.width; ++column) {
                const int x = std::min(left + column, lastX);
                for (std::uint32_t channel = 0; channel < 3; ++channel) {
                    const float texture = 0.16f * (smooth(x, y, 40, channel) - 0.5f) +
                                          0.12f * (smooth(x, y, 5, channel + 3) - 0.5f) +
                                          0.10f * (smooth(x, y, 2, 6) - 0.5f);
                    const float noise =
                        static_cast<float>(mixed(static_cast<std::uint32_t>(y * 65521 + x) * 3 +
                                                 channel) % 13) - 6.0f;
                    const float value = 255.0f * (across_[channel][x] * down_[channel][y] + texture) + noise;
                    *out++ = static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
                }
            }
        }
    }

  private:
    // Lattice noise with `cell` pixels between lattice points, interpolated across each cell.
    static float smooth(int x, int y, int cell, std::uint32_t salt) {
        const auto cellX = static_cast<std::uint32_t>(x / cell), cellY = static_cast<std::uint32_t>(y / cell);
        const float fx = static_cast<float>(x % cell) / cell, fy = static_cast<float>(y % cell) / cell;
        const float top = std::lerp(latticeValue(cellX, cellY, salt), latticeValue(cellX + 1, cellY, salt), fx);
        const float bottom =
            std::lerp(latticeValue(cellX, cellY + 1, salt), latticeValue(cellX + 1, cellY + 1, salt), fx);
        return std::lerp(top, bottom, fy);
    }

    std::array<std::vector<float>, 3> across_, down_;
};

void writePhotoJpeg(const fs::path& path, int width, int height, double quality,
                    const std::string& iccProfile) {
    const PhotoScene scene(width, height);
    const auto rows = [&](int first, int count, std::uint8_t* rgb) {
        Rgb8Image band{width, count, {}};
        scene.paint(band, 0, first);
        std::copy(band.rgb.begin(), band.rgb.end(), rgb);
    };
    write(path, encodeJpeg(width, height, rows, quality, iccProfile));
}

// A HEIC file as phones write one: 4:2:0 chroma, a grid of 512 × 512 tiles cropped to the photo.
void writePhotoHeic(const fs::path& path, int width, int height) {
    constexpr int kTile = 512;
    const int columns = (width + kTile - 1) / kTile, rows = (height + kTile - 1) / kTile;
    const PhotoScene scene(width, height);
    std::vector<HevcStream> tiles(static_cast<std::size_t>(columns) * rows);
    tbb::parallel_for(std::size_t{0}, tiles.size(), [&](std::size_t index) {
        Rgb8Image tile{kTile, kTile, {}};
        scene.paint(tile, static_cast<int>(index % columns) * kTile,
                    static_cast<int>(index / columns) * kTile);
        tiles[index] = encodeHevc(tile, {.quality = 60, .chroma = "420"});
    });
    write(path, tiledHeif(tiles, {kTile, kTile}, columns, rows,
                          {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)},
                          displayP3IccProfile()));
}

void writePhotos(const fs::path& folder) {
    writeSyntheticDNG(folder / "synthetic24MP.dng", quillmere::bench::synthetic24MPOptions());
    fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng",
                  folder / "colourChart.dng", fs::copy_options::overwrite_existing);
    writePhotoJpeg(folder / "camera24MP.jpg", 6000, 4000, 0.92, "");
    writePhotoJpeg(folder / "phone9MP.jpg", 4000, 2250, 0.92, displayP3IccProfile());
    if (canEncodeHeic()) writePhotoHeic(folder / "phone12MP.heic", 3024, 4032);
}

void writeNonBayerPhotos(const fs::path& folder) {
    SyntheticDNGOptions linear = quillmere::bench::synthetic24MPOptions();
    linear.linearRaw = true;
    writeSyntheticDNG(folder / "linear24MP.dng", linear);
    SyntheticDNGOptions fourColour = quillmere::bench::synthetic24MPOptions();
    fourColour.cfaColours = std::array<std::uint8_t, 4>{3, 4, 5, 1};
    writeSyntheticDNG(folder / "fourColour24MP.dng", fourColour);
}

std::string readWhole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void writeHostileMetadataPhotos(const fs::path& folder) {
    const std::string jpeg = encodeJpeg(makePattern({.width = 24, .height = 16}), 0.9);
    write(folder / "shared_exif_24x16.jpg",
          withApp1Segment(jpeg, exifIdentifier, sharedValueExif(255, 50000)));
    write(folder / "camera_exif_24x16.jpg",
          withExif(jpeg, {.isoSpeedRatings = {200}, .make = "Canon", .model = "Camera",
                          .exposureTime = "1/250", .makerNote = true, .thumbnail = true,
                          .gps = true, .iptcCaption = "Neighbour"}));
    if (canEncodeHeic()) {
        const Rgb8Image picture = makePattern({.width = 64, .height = 64});
        write(folder / "shared_exif_64x64.heic",
              encodeTestHeic(picture, {.exif = sharedValueExif(255, 900000)}));
        write(folder / "camera_exif_64x64.heic",
              encodeTestHeic(picture, {.exif = exifBlock({.isoSpeedRatings = {200},
                                                          .make = "Canon", .model = "Camera",
                                                          .gps = true})}));
    }
    SyntheticDNGOptions camera;
    camera.iso = 200;
    writeSyntheticDNG(folder / "camera_exif_128x96.dng", camera);
    const std::string dng = readWhole(folder / "camera_exif_128x96.dng");
    write(folder / "shared_exif_128x96.dng", withSharedValueDirectories(dng, 255, 900000));
    const std::string properties = xmpPacketOfProperties(200000);
    write(folder / "xmp_properties_128x96.dng",
          rewriteDNGDirectory(dng, [&](auto) { return properties; }, false));
    write(folder / "xmp_extended_24x16.jpg", withExtendedXmp(jpeg, properties));
    write(folder / "xmp_schema_24x16.jpg",
          withApp1Segment(jpeg, xmpIdentifier, xmpPacketOfProperties(6500)));
    const std::string deep = xmpPacketOfDeepAncestry(990, 300);
    write(folder / "xmp_deep_128x96.dng",
          rewriteDNGDirectory(dng, [&](auto) { return deep; }, false));
    write(folder / "xmp_deep_24x16.jpg", withExtendedXmp(jpeg, deep));
}

void writeHostilePhotos(const fs::path& folder) {
    write(folder / "claims_36864x6144.jpg",
          claimingSize(encodeJpeg(makePattern({}), 0.9), 36864, 6144));
    const std::string whole = noiseJpeg(1200, 800);
    const std::string cut = whole.substr(0, whole.size() * 6 / 10);
    write(folder / "ends_mid_scan.jpg", cut);
    write(folder / "end_marker_mid_scan.jpg", cut + "\xFF\xD9");
    write(folder / "claims_16384x16384_padded_to_128KiB.jpg",
          withCommentPadding(claimingSize(encodeJpeg(makePattern({}), 0.9), 16384, 16384),
                             128 << 10));
    const std::string large = noiseJpeg(6000, 4000);
    write(folder / "6000x4000_cut_after_a_tenth.jpg", large.substr(0, large.size() / 10));

    const HevcStream tile = encodeFlatHevc(64);
    const auto coding = [&](std::uint32_t width, std::uint32_t height) {
        HevcStream stream = tile;
        stream.sps = withPictureSize(tile.sps, width, height);
        return stream;
    };
    write(folder / "states_24x16_codes_13312x14848.heic",
          singleImageHeif(coding(13312, 14848), {24, 16}));
    write(folder / "states_64x64_codes_19568x27760.heic",
          singleImageHeif(coding(19568, 27760), {64, 64}));
    write(folder / "states_24x16_overlay_28534x27648.heic",
          overlayHeif(tile, {64, 64}, {28534, 27648}, {24, 16}));
    for (const PixelExtent unused : {PixelExtent{65535, 0}, PixelExtent{16384, 16384}}) {
        const std::string beside =
            "_beside_unused_" + std::to_string(unused.width) + "x" + std::to_string(unused.height);
        write(folder / ("states_64x64_codes_16384x16384" + beside + ".heic"),
              singleImageHeif(coding(16384, 16384), {64, 64}, unused));
        write(folder / ("states_64x64_grid_16384x16384" + beside + ".heic"),
              gridHeif(tile, {64, 64}, 1, 1, {16384, 16384}, {64, 64}, unused));
    }
    write(folder / "states_16384x16_grid_16384x16384.heic",
          gridHeif(tile, {64, 64}, 1, 1, {16384, 16384}, {16384, 16}));
    write(folder / "honest_then_codes_16384x16384_stating_64x64.heic",
          singleImageHeif(tile, {64, 64}) + singleImageHeif(coding(16384, 16384), {64, 64}));
    write(folder / "codes_16384x16384_stating_64x64_then_unreadable_honest_meta.heic",
          withUnreadableSecondMeta(coding(16384, 16384), {64, 64}, tile));
    write(folder / "states_64x16384_sps_16384x16384_behind_one_byte_lengths.heic",
          parameterSetInDataHeif(tile, {64, 16384}, coding(16384, 16384).sps));
    write(folder / "grid_16384x16384_of_one_flat_1024_tile.heic",
          gridHeif(encodeFlatHevc(1024), {1024, 1024}, 16, 16, {16384, 16384}, {16384, 16384}));
    write(folder / "grid_16x16_of_grid_16x16_of_one_64_tile.heic", nestedGridHeif(tile, {64, 64}, 16, 16));
    const CodedPicture noise64 = hevcPicture(encodeHevc(noisePicture(64, 64), {.quality = 50}));
    write(folder / "items_19999_sharing_one_flat_64x64_picture.heic",
          manyItemsHeif(hevcPicture(tile), {64, 64}, 19999));
    write(folder / "identity_chain_19000_deep.heic", identityChainHeif(noise64, {64, 64}, 19000));
    write(folder / "exif_naming_the_whole_16MB_file_32_times.heic",
          exifNamingTheFileHeif(noise64, {64, 64}, 32, 16 << 20));
    write(folder / "grid_16384x16384_of_one_flat_1024_tile_beside_270KB_of_unspecified_units.heic",
          paddedConfigurationGridHeif(encodeFlatHevc(1024), {1024, 1024}, 16, 16, 270000));
    write(folder / "grid_16384x16384_of_one_block_beside_270KB_of_a_layer_1_slice.heic",
          layerPaddedGridHeif(coding(16384, 16384), 16384, 270000, 1));
    CodedPicture paddedConfiguration = hevcPicture(tile);
    paddedConfiguration.configuration = paddedHvcC(tile, 300000);
    write(folder / "pictures_1000_sharing_a_300KB_configuration.heic",
          manyItemsHeif(paddedConfiguration, {64, 64}, 1000));
    heif_boxes::HeifLayout inflating = onePicture(noise64, {64, 64});
    inflating.items.push_back({.id = 2, .type = "mime", .data = deflated(std::string(200 << 20, '\0')),
                               .contentType = "application/rdf+xml", .contentEncoding = "deflate"});
    inflating.references.push_back({"cdsc", 2, {1}});
    write(folder / "xmp_inflating_to_200MB.heic", writeHeif(inflating));
    heif_boxes::HeifLayout predicted = onePicture(noise64, {64, 64});
    predicted.items.front().hidden = true;
    predicted.items.push_back({.id = 2, .type = "hvc1", .properties = {1, 2}, .sameDataAs = 1});
    predicted.primary = 2;
    predicted.references.push_back({"pred", 2, {1}});
    write(folder / "primary_predicted_from_a_hidden_picture.heic", writeHeif(predicted));

    write(folder / "arithmetic_grey_16384x8192_padded.jpg", paddedArithmeticJpeg(16384, 8192, 65533));
    write(folder / "arithmetic_grey_16384x16384_padded_to_128KiB.jpg",
          paddedArithmeticJpeg(16384, 16384, 128 << 10));
    write(folder / "arithmetic_grey_16384x8192_restart_markers.jpg",
          restartArithmeticJpeg(16384, 8192, 64));
    const auto noise = [](int side, bool grey) {
        Rgb8Image image{side, side, std::vector<std::uint8_t>(std::size_t(side) * side * 3)};
        std::uint32_t state = 12345;
        for (std::uint8_t& value : image.rgb) value = static_cast<std::uint8_t>((state = state * 1664525 + 1013904223) >> 24);
        return encodeJpegWith(image, {.progressive = true, .grey = grey, .fullChroma = !grey, .quality = 85});
    };
    write(folder / "progressive_444_16384x16384_in_400KB.jpg", claimingSize(noise(512, false), 16384, 16384));
    write(folder / "progressive_grey_16384x16384_in_140KB.jpg", claimingSize(noise(512, true), 16384, 16384));
    // Scans that go over a 2560 × 2560 picture's 102400 blocks a thousand times, each coding only
    // end-of-band runs, after a DC scan that pays for the blocks once.
    const Rgb8Image squares = flatSquares(2560, 2560);
    const std::vector<JpegScanStep> refinedOnce{
        {{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 1}, {{0}, 1, 63, 1, 0}};
    const std::vector<JpegScanStep> acOnce{{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}};
    for (const bool arithmetic : {false, true}) {
        const std::string coding = arithmetic ? "_arithmetic" : "";
        write(folder / ("progressive_grey_2560" + coding + "_refinement_repeated_to_999_scans.jpg"),
              withScanRepeated(encodeJpegWith(squares, {.grey = true, .arithmetic = arithmetic,
                                                        .script = refinedOnce}),
                               2, 996));
        write(folder / ("progressive_grey_2560" + coding + "_every_coefficient_over_11_bits.jpg"),
              encodeJpegWith(squares, {.grey = true, .arithmetic = arithmetic,
                                       .script = coefficientByCoefficientScript(1, 10)}));
    }
    write(folder / "progressive_grey_2560_ac_scan_repeated_to_999_scans.jpg",
          withScanRepeated(encodeJpegWith(squares, {.grey = true, .script = acOnce}), 1, 997));
    const std::string refined =
        encodeJpegWith(makePattern({}), {.grey = true, .script = refinedOnce});
    write(folder / "progressive_refinement_repeated_once.jpg", withScanRepeated(refined, 2, 1));
}

void writeProfilePhotos(const fs::path& folder) {
    const std::string costly = costlyRgbProfile(), table = lookupTableRgbProfile();
    for (const int side : {64, 1024}) {
        const Rgb8Image picture = noisePicture(side, side);
        const std::string size = std::to_string(side);
        write(folder / ("costlyProfile" + size + ".jpg"),
              encodeJpegWith(picture, {.iccProfile = costly}));
        write(folder / ("tableProfile" + size + ".jpg"), encodeJpegWith(picture, {.iccProfile = table}));
        if (!canEncodeHeic()) continue;
        write(folder / ("costlyProfile" + size + ".heic"), encodeTestHeic(picture, {.iccProfile = costly}));
        write(folder / ("tableProfile" + size + ".heic"), encodeTestHeic(picture, {.iccProfile = table}));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string option = argc == 3 ? argv[1] : "";
    if (argc != 2 && option != "--hostile" && option != "--large" && option != "--metadata" &&
        option != "--non-bayer" && option != "--profiles") {
        std::cerr << "usage: quillmere_bench_photos [--hostile | --large | --metadata | "
                     "--non-bayer | --profiles] <folder>\n";
        return 2;
    }
    try {
        const fs::path folder = argv[argc - 1];
        fs::create_directories(folder);
        if (option == "--hostile") {
            writeHostilePhotos(folder);
        } else if (option == "--metadata") {
            writeHostileMetadataPhotos(folder);
        } else if (option == "--profiles") {
            writeProfilePhotos(folder);
        } else if (option == "--non-bayer") {
            writeNonBayerPhotos(folder);
        } else if (option == "--large") {
            if (!canEncodeHeic()) throw std::runtime_error("libheif here has no HEVC encoder");
            writePhotoHeic(folder / "phone200MP.heic", 12240, 16320);
        } else {
            writePhotos(folder);
        }
    } catch (const std::exception& error) {
        std::cerr << "quillmere_bench_photos: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
