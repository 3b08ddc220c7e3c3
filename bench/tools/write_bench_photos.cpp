// quillmere_bench_photos [--hostile] <folder>
//
// Writes the benchmark photos into <folder>: "synthetic24MP.dng", the 6000 × 4000 synthetic
// camera file the end-to-end benchmark develops, and "colourChart.dng", the tests' colour chart.
// With --hostile it writes instead small photos whose headers promise far more than they hold,
// for quillmere_decode_photo: JPEGs that claim 36864 × 6144 pixels in two kilobytes, or
// 16384 × 16384 in 128 KiB padded with a comment, or end in the middle of their data; HEIC files
// that state one size and hide a far larger picture, grid or overlay canvas, some beside a size
// that no item uses, or under a thin size, or in boxes appended to an honest file's, or behind a
// second set of boxes libheif cannot read, or behind the NAL length size its configuration
// declares; grids that name one small tile in every place, or grids of grids; arithmetic-coded
// and progressive JPEGs whose coded data cannot hold what they state; and a real-sized JPEG cut
// after a tenth of its rows.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "bench/bench_photos.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/test_pattern.h"

namespace {

namespace fs = std::filesystem;
using namespace quillmere;
using namespace quillmere::fixtures;

void write(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("Cannot write " + path.string());
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
}

}  // namespace

int main(int argc, char** argv) {
    const bool hostile = argc == 3 && std::strcmp(argv[1], "--hostile") == 0;
    if (argc != 2 && !hostile) {
        std::cerr << "usage: quillmere_bench_photos [--hostile] <folder>\n";
        return 2;
    }
    try {
        const fs::path folder = argv[argc - 1];
        fs::create_directories(folder);
        if (hostile) {
            writeHostilePhotos(folder);
            return 0;
        }
        writeSyntheticDNG(folder / "synthetic24MP.dng", quillmere::bench::synthetic24MPOptions());
        fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng",
                      folder / "colourChart.dng", fs::copy_options::overwrite_existing);
    } catch (const std::exception& error) {
        std::cerr << "quillmere_bench_photos: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
