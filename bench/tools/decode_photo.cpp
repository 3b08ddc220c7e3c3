// quillmere_decode_photo [--properties | --thumbnail [--digest]] <photo>
//
// Decodes one photo as the program does and prints its size, or why it was refused: as opening it
// does (the loader's decode), or with --thumbnail as the filmstrip does. Run under
// /usr/bin/time -v, it shows what a file costs in time and memory; quillmere_bench_photos
// --hostile writes photos whose headers lie, which must cost next to nothing.
//
// A second line says more: with --properties, one line of JSON with what the window learns of the
// opened photo besides its pixels, {"properties": the image properties the open read (the capture
// details), "editRecord": the edit record the file embeds, or null}; with --digest, the SHA-256
// of the thumbnail's 8-bit RGB pixels as the filmstrip shows them.
#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/compute/device.h"
#include "core/decode/raw_loader.h"
#include "core/reading/photo_reader.h"
#include "core/render/engine/photo_thumbnail.h"
#include "core/render/export/embedded_metadata.h"

namespace {

int usage() {
    std::cerr << "usage: quillmere_decode_photo [--properties | --thumbnail [--digest]] <photo>\n";
    return 2;
}

std::string sha256Hex(const std::vector<std::uint8_t>& bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("Cannot digest the thumbnail.");
    std::string hex;
    for (unsigned int index = 0; index < length; ++index) {
        std::array<char, 3> pair{};
        std::snprintf(pair.data(), pair.size(), "%02x", digest[index]);
        hex += pair.data();
    }
    return hex;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillmere;
    bool properties = false, thumbnail = false, digest = false;
    int argument = 1;
    for (; argument < argc - 1; ++argument) {
        const std::string_view option = argv[argument];
        if (option == "--properties") {
            properties = true;
        } else if (option == "--thumbnail") {
            thumbnail = true;
        } else if (option == "--digest") {
            digest = true;
        } else {
            return usage();
        }
    }
    if (argument != argc - 1 || (properties && thumbnail) || (digest && !thumbnail)) return usage();
    const std::filesystem::path photo = argv[argument];
    try {
        // A missing photo reader stops the tool here, not at the photo.
        PhotoReader::forProcess();
        if (thumbnail) {
            const std::optional<Rgb8Image> picture = photoThumbnail(photo);
            if (!picture) {
                std::cerr << "quillmere_decode_photo: no thumbnail\n";
                return 1;
            }
            std::cout << picture->width << " × " << picture->height << '\n';
            if (digest) std::cout << sha256Hex(picture->rgb) << '\n';
            return 0;
        }
        RAWLoader loader(std::make_shared<Device>());
        const OpenedPhoto opened = loader.open(photo);
        std::cout << opened.pixelWidth << " × " << opened.pixelHeight << '\n';
        if (properties) {
            // The record as the application reads it when the photo opens.
            const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(photo);
            const json::Json shown{{"properties", opened.exif},
                                   {"editRecord", record ? record->encode() : json::Json()}};
            std::cout << json::dumpCompact(shown) << '\n';
        }
    } catch (const std::exception& error) {
        std::cerr << "quillmere_decode_photo: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
