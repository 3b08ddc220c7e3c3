// Reading a RAW file: any bytes, written to a file of their own, go to every path by which the
// program has LibRaw read a file, each through the photo reader as the program takes it: the open
// (RAWFile: the sensor read and the capture information, then a development of its own plane and
// of a plane the program sends), the sensor frame, the LibRaw fallback's development and the
// filmstrip's thumbnail. LibRaw crashes, hangs or runs away with memory on some such files: it
// must do so in the reader. Refusals (RAWFilterError, NativeRAWError, ReadingError) are the answer
// for what cannot be read; any other exception, a crash, a sanitizer report, an allocation beyond
// the fuzzer's memory limit or a hang of this process is a fault.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/compute/device.h"
#include "core/decode/libraw_fallback.h"
#include "core/decode/native_raw_error.h"
#include "core/decode/native_raw_frame.h"
#include "core/decode/raw_file.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_thumbnail.h"
#include "core/reading/reading_error.h"

namespace {

namespace fs = std::filesystem;
using namespace quillmere;

const fs::path& inputFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "quillmere-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return fs::path(pattern);
    }();
    return folder;
}

// Each input under a name of its own: two inputs written within one tick of the file system's
// clock, of one size, would otherwise be one version of one file to the reader's kept verdicts.
fs::path writeInput(const std::uint8_t* data, std::size_t size) {
    static std::uint64_t count = 0;
    const fs::path file = inputFolder() / ("input" + std::to_string(count++) + ".dng");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return file;
}

void readAsTheProgramDoes(const fs::path& file, const std::shared_ptr<const Device>& device) {
    try {
        const auto read = std::make_shared<const RAWFile>(file);
        const auto frame = NativeRAWFrame::open(read, device);
        frame->renderLinearRGB();
        // Its own plane sent as the program sends a processed one.
        const Texture& own = *frame->packedTexture();
        const std::shared_ptr<Texture> sent =
            device->makeTexture({own.pixelFormat(), own.width(), own.height()});
        if (sent) {
            sent->replaceRegion({0, 0, own.width(), own.height()}, own.rowData(0),
                                own.bytesPerRow());
            frame->renderLinearRGB(*sent);
        }
    } catch (const RAWFilterError&) {
    } catch (const NativeRAWError&) {
    } catch (const ReadingError&) {
    }
    try {
        LibRawFallback::decode(file);
    } catch (const NativeRAWError&) {
    } catch (const ReadingError&) {
    }
    linearRAWThumbnail(file, 180);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::shared_ptr<const Device> device = std::make_shared<Device>();
    const fs::path file = writeInput(data, size);
    readAsTheProgramDoes(file, device);
    fs::remove(file);
    return 0;
}
