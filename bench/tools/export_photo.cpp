// quillmere_export_photo [--denoise N] [--quality Q] [--dng] [--sheet-defaults] <photo> <output>
//
// A cold export as the program does it: a new engine opens the photo and exports it as a JPEG at
// full size with the photo's neutral edit (its as-shot white balance, every other control at
// rest), optionally with the Natural denoise amount N (0 to 100). Quality Q is 0 to 1 (0.9).
// --dng exports a DNG instead (a DNG source's own data, as the DNG exporter writes it), and
// --sheet-defaults writes what the export sheet's boxes write when left checked: the creator
// identification and the embedded edit record.
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "core/reading/photo_reader.h"
#include "core/render/engine/gpu_render_engine.h"

namespace {

int usage() {
    std::cerr << "usage: quillmere_export_photo [--denoise N] [--quality Q] [--dng] "
                 "[--sheet-defaults] <photo> <output>\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillmere;
    double denoise = 0;
    ExportOptions options;
    options.quality = 0.9;
    int argument = 1;
    for (; argument < argc && std::string(argv[argument]).starts_with("--"); ++argument) {
        const std::string option = argv[argument];
        if (option == "--dng") {
            options.format = ExportFormat::dng;
        } else if (option == "--sheet-defaults") {
            options.includeSoftware = true;
            options.includeEditParameters = true;
        } else if (option == "--denoise" && argument + 1 < argc) {
            denoise = std::atof(argv[++argument]);
        } else if (option == "--quality" && argument + 1 < argc) {
            options.quality = std::atof(argv[++argument]);
        } else {
            return usage();
        }
    }
    if (argc - argument != 2) return usage();
    const std::filesystem::path photo = argv[argument], output = argv[argument + 1];
    try {
        // A missing photo reader stops the tool here, not at the photo.
        PhotoReader::forProcess();
        GPURenderEngine engine(std::make_shared<Device>());
        const OpenedPhoto opened = engine.openSync(photo);
        EditParams params = EditParams::neutral(opened.asShotTemperature, opened.asShotTint);
        params.denoise = denoise;
        const std::string bytes = futureOf<std::string>([&](auto done) {
                                      engine.exportPhoto(opened.id, params, options, {}, done);
                                  }).get();
        std::ofstream file(output, std::ios::binary);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!file.flush()) throw std::runtime_error("Cannot write " + output.string());
    } catch (const std::exception& error) {
        std::cerr << "quillmere_export_photo: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
