// quillmere_decode_photo [--thumbnail] <photo>
//
// Decodes one photo as the program does and prints its size, or why it was refused: as opening it
// does (the loader's decode), or with --thumbnail as the filmstrip does. Run under
// /usr/bin/time -v, it shows what a file costs in time and memory; quillmere_bench_photos
// --hostile writes photos whose headers lie, which must cost next to nothing.
#include <cstring>
#include <iostream>
#include <memory>

#include "core/compute/device.h"
#include "core/decode/raw_file_vetting.h"
#include "core/decode/raw_loader.h"
#include "core/render/engine/photo_thumbnail.h"

int main(int argc, char** argv) {
    using namespace quillmere;
    const bool thumbnail = argc == 3 && std::strcmp(argv[1], "--thumbnail") == 0;
    if (argc != 2 && !thumbnail) {
        std::cerr << "usage: quillmere_decode_photo [--thumbnail] <photo>\n";
        return 2;
    }
    const std::filesystem::path photo = argv[argc - 1];
    try {
        // A missing RAW checking helper stops the tool here, not at the photo.
        RAWFileVetting::forProcess();
        if (thumbnail) {
            const std::optional<Rgb8Image> picture = photoThumbnail(photo);
            if (!picture) {
                std::cerr << "quillmere_decode_photo: no thumbnail\n";
                return 1;
            }
            std::cout << picture->width << " × " << picture->height << '\n';
            return 0;
        }
        RAWLoader loader(std::make_shared<Device>());
        const OpenedPhoto opened = loader.open(photo);
        std::cout << opened.pixelWidth << " × " << opened.pixelHeight << '\n';
    } catch (const std::exception& error) {
        std::cerr << "quillmere_decode_photo: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
