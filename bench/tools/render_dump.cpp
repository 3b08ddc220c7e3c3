// quillmere_render_dump [--threads N] <photo> <folder>
// quillmere_render_dump --compare <folder A> <folder B>
//
// The first form renders a photo as the program does, through the engine, for the edits the
// benchmarks time (neutral, typical, every control, Detail and Natural denoise) at fit size and,
// for the typical and the Natural denoise edits, at full size, and writes each result's stored
// texels (RGBA16Float, bottom row first) to <folder>/<case>.rgba16. N limits the threads of the
// compute device (0, the default: every core).
//
// The second form compares two such folders case by case: how many texels differ and the largest
// difference, as a value and in steps of the 16-bit format. A change to a develop pass says what
// it does to the pixels by comparing the renders of the code before and after it; the renders of
// one build on 1 and on 8 threads must not differ at all.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_edits.h"
#include "core/compute/half_float.h"
#include "core/reading/photo_reader.h"
#include "core/render/engine/gpu_render_engine.h"

namespace {

using namespace quillmere;
namespace fs = std::filesystem;

struct RenderCase {
    const char* name;
    PreviewResolution resolution;
    std::function<EditParams(const OpenedPhoto&)> edit;
};

std::vector<RenderCase> renderCases() {
    const auto neutral = [](const OpenedPhoto& p) {
        return EditParams::neutral(p.asShotTemperature, p.asShotTint);
    };
    const auto typical = [](const OpenedPhoto& p) {
        return bench::typicalEdit(p.asShotTemperature, p.asShotTint);
    };
    const auto everyControl = [](const OpenedPhoto& p) {
        return bench::everyControl(p.asShotTemperature, p.asShotTint);
    };
    const auto denoised = [neutral](DenoiseMethod method, double amount) {
        return [=](const OpenedPhoto& p) {
            EditParams params = neutral(p);
            params.denoiseMethod = method;
            params.denoise = amount;
            return params;
        };
    };
    return {{"fit-neutral", PreviewResolution::fit, neutral},
            {"fit-typical", PreviewResolution::fit, typical},
            {"fit-every-control", PreviewResolution::fit, everyControl},
            {"fit-detail-50", PreviewResolution::fit, denoised(DenoiseMethod::matchFilter, 50)},
            {"fit-natural-30", PreviewResolution::fit, denoised(DenoiseMethod::natural, 30)},
            {"full-typical", PreviewResolution::full, typical},
            {"full-natural-30", PreviewResolution::full, denoised(DenoiseMethod::natural, 30)}};
}

int dump(const fs::path& photo, const fs::path& folder, int threads) {
    const auto device = std::make_shared<Device>(Device::withThreadCount(threads));
    GPURenderEngine engine(device, GPURenderEngine::standardCollaborators(device));
    const OpenedPhoto opened = engine.openSync(photo);
    fs::create_directories(folder);
    for (const RenderCase& c : renderCases()) {
        const auto texture =
            engine.previewSync(opened.id, c.edit(opened), c.resolution, [] { return false; });
        std::vector<char> bytes(texture->bytesPerRow() * static_cast<std::size_t>(texture->height()));
        texture->getBytes(bytes.data(), texture->bytesPerRow(),
                          {0, 0, texture->width(), texture->height()});
        std::ofstream file(folder / (std::string(c.name) + ".rgba16"), std::ios::binary);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!file.flush()) throw std::runtime_error("Cannot write into " + folder.string());
        std::cout << c.name << ": " << texture->width() << " × " << texture->height() << '\n';
    }
    return 0;
}

std::vector<std::uint16_t> readHalves(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<std::uint16_t> halves(bytes.size() / sizeof(std::uint16_t));
    std::memcpy(halves.data(), bytes.data(), halves.size() * sizeof(std::uint16_t));
    return halves;
}

// A half's position on a line where neighbouring finite values are one step apart.
int halfOrdinal(std::uint16_t h) { return (h & 0x8000u) ? -(h & 0x7fff) : (h & 0x7fff); }

int compare(const fs::path& before, const fs::path& after) {
    bool same = true;
    for (const RenderCase& c : renderCases()) {
        const std::string file = std::string(c.name) + ".rgba16";
        const auto a = readHalves(before / file), b = readHalves(after / file);
        if (a.size() != b.size()) {
            std::cout << c.name << ": sizes differ\n";
            same = false;
            continue;
        }
        std::size_t differing = 0;
        int largestSteps = 0;
        float largestValue = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] == b[i]) continue;
            ++differing;
            largestSteps = std::max(largestSteps, std::abs(halfOrdinal(a[i]) - halfOrdinal(b[i])));
            largestValue = std::max(largestValue, std::fabs(halfToFloat(a[i]) - halfToFloat(b[i])));
        }
        same = same && differing == 0;
        std::cout << c.name << ": " << differing << " of " << a.size() << " values differ";
        if (differing > 0) {
            std::cout << ", by at most " << largestValue << " (" << largestSteps << " steps)";
        }
        std::cout << '\n';
    }
    return same ? 0 : 1;
}

int usage() {
    std::cerr << "usage: quillmere_render_dump [--threads N] <photo> <folder>\n"
                 "       quillmere_render_dump --compare <folder A> <folder B>\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        if (arguments.size() == 3 && arguments[0] == "--compare") {
            return compare(arguments[1], arguments[2]);
        }
        // A missing photo reader stops the tool here, not at the photo.
        PhotoReader::forProcess();
        if (arguments.size() == 4 && arguments[0] == "--threads") {
            return dump(arguments[2], arguments[3], std::atoi(arguments[1].c_str()));
        }
        if (arguments.size() == 2) return dump(arguments[0], arguments[1], 0);
    } catch (const std::exception& error) {
        std::cerr << "quillmere_render_dump: " << error.what() << '\n';
        return 1;
    }
    return usage();
}
