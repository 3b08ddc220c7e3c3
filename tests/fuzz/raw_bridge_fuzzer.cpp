// Reading a RAW file: any bytes, written to a file of their own, go to every path by which the
// program has LibRaw read a file, each behind the RAW checking helper's gate as the program takes
// it: the open (RAWFile: the sensor read and the capture information, then a development), the
// sensor frame's own read and development, the LibRaw fallback's development, the Detail
// question and the filmstrip's thumbnail. LibRaw crashes, hangs or runs away with memory on some
// such files: it must do so in the helper. Refusals (RAWFilterError, NativeRAWError) are the
// answer for what cannot be read; any other exception, a crash, a sanitizer report, an
// allocation beyond the fuzzer's memory limit or a hang of this process is a fault.

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
#include "core/decode/raw_file_vetting.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_thumbnail.h"

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
// clock, of one size, would otherwise be one version of one file to the gate.
fs::path writeInput(const std::uint8_t* data, std::size_t size) {
    static std::uint64_t count = 0;
    const fs::path file = inputFolder() / ("input" + std::to_string(count++) + ".dng");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return file;
}

void readAsTheProgramDoes(const fs::path& file, const std::shared_ptr<const Device>& device) {
    try {
        const RAWFile read(file);
        const QXRAWMetadata& record = read.metadata();
        std::vector<std::uint16_t> rgba(static_cast<std::size_t>(record.output_width) *
                                        static_cast<std::size_t>(record.output_height) * 4);
        read.develop(nullptr, rgba.data());
    } catch (const RAWFilterError&) {
    }
    try {
        NativeRAWFrame::open(file, device)->renderLinearRGB();
    } catch (const NativeRAWError&) {
    }
    try {
        LibRawFallback::decode(file, *device);
    } catch (const NativeRAWError&) {
    }
    LibRawFallback::supportsDetail(file);
    linearRAWThumbnail(file, *device, 180);
}

}  // namespace

// The fuzzer's inputs are at most 64 KiB: no honest check of one takes seconds, and a helper that
// hangs is ended well before the fuzzer's own timeout would end this process.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RAWFileVetting::forProcess().setLimits({.processorTime = std::chrono::seconds(2),
                                            .backstop = std::chrono::seconds(5),
                                            .memoryBytes = RAWCheckLimits::standard().memoryBytes});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::shared_ptr<const Device> device = std::make_shared<Device>();
    const fs::path file = writeInput(data, size);
    readAsTheProgramDoes(file, device);
    fs::remove(file);
    return 0;
}
