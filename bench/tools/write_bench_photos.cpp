// quillmere_bench_photos <folder>
//
// Writes the benchmark photos into <folder>: "synthetic24MP.dng", the 6000 × 4000 synthetic
// camera file the end-to-end benchmark develops, and "colourChart.dng", the tests' colour chart.
#include <filesystem>
#include <iostream>

#include "bench/bench_photos.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using namespace quillmere::fixtures;
    if (argc != 2) {
        std::cerr << "usage: quillmere_bench_photos <folder>\n";
        return 2;
    }
    try {
        const fs::path folder = argv[1];
        fs::create_directories(folder);
        writeSyntheticDNG(folder / "synthetic24MP.dng", quillmere::bench::synthetic24MPOptions());
        fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng",
                      folder / "colourChart.dng", fs::copy_options::overwrite_existing);
    } catch (const std::exception& error) {
        std::cerr << "quillmere_bench_photos: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
