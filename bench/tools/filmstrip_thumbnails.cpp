// quillmere_filmstrip_thumbnails [--threads N] <photo>...
//
// Makes the filmstrip's thumbnails of the photos given, as the application does when they are
// opened together: side by side on as many threads as the machine has logical processors, as the
// application's thumbnail workers make them (each RAW file's by a reader of its own, which the
// reader room admits by the memory it claims), or on N threads. Prints how many were made and the
// seconds they took; run it under hyperfine or /usr/bin/time -v to compare builds.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <thread>
#include <vector>

#include "core/reading/photo_reader.h"
#include "core/render/engine/photo_thumbnail.h"

int main(int argc, char** argv) {
    using namespace quillmere;
    int first = 1;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    if (argc > 2 && std::strcmp(argv[1], "--threads") == 0) {
        const char* end = argv[2] + std::strlen(argv[2]);
        if (std::from_chars(argv[2], end, threads).ptr != end || threads == 0) threads = 0;
        first = 3;
    }
    if (first >= argc || threads == 0) {
        std::cerr << "usage: quillmere_filmstrip_thumbnails [--threads N] <photo>...\n";
        return 2;
    }
    const std::vector<std::filesystem::path> photos(argv + first, argv + argc);
    try {
        // A missing photo reader stops the tool here, not at the photos.
        PhotoReader::forProcess();
    } catch (const std::exception& error) {
        std::cerr << "quillmere_filmstrip_thumbnails: " << error.what() << '\n';
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    std::atomic<std::size_t> next = 0, made = 0;
    {
        std::vector<std::jthread> makers;
        for (unsigned maker = 0; maker < threads; ++maker) {
            makers.emplace_back([&] {
                for (std::size_t index; (index = next++) < photos.size();) {
                    if (photoThumbnail(photos[index])) ++made;
                }
            });
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << made << " of " << photos.size() << " thumbnails in " << took.count() << " s\n";
    return made == photos.size() ? 0 : 1;
}
