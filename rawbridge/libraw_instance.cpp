#include "rawbridge/libraw_instance.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "rawbridge/bridge_call.h"

namespace quillmere::rawbridge {
namespace {

constexpr unsigned kNoColourFilter = 0;
constexpr unsigned kXTransFilter = 9;
// LibRaw's colour patterns repeat within 16 rows and columns (its largest table, Leaf's, is
// 16 × 16), so a window of that size shows whether a pattern is a plain 2 × 2 Bayer quad.
constexpr int kPatternWindow = 16;

// Decoders that read bit by bit may run a few bytes past the end of their data, and bulk reads
// may ask for a little padding; a file whose sensor data is really missing falls short by far
// more than this.
constexpr std::uint64_t kToleratedMissingBytes = 4096;
// Every mosaic format LibRaw decodes spends at least a bit on each sample, and far more in
// practice; a file whose image data was stripped gives the decoder a few bytes for millions of
// samples. One byte for every 64 samples tells the two apart with a wide margin.
constexpr std::uint64_t kSamplesPerByteAtMost = 64;

}  // namespace

// Zero-fills and counts whatever a read could not take from the file, so the decoder never
// works on uninitialised memory and the bridge can tell a truncated file.
class EndCheckedFileStream : public LibRaw_file_datastream {
public:
    using LibRaw_file_datastream::LibRaw_file_datastream;

    int read(void* pointer, size_t size, size_t count) override {
        const int read = LibRaw_file_datastream::read(pointer, size, count);
        const size_t complete = read > 0 ? static_cast<size_t>(read) : 0;
        readBytes_ += complete * size;
        if (complete < count && size != 0) {
            const size_t missing = (count - complete) * size;
            std::memset(static_cast<char*>(pointer) + complete * size, 0, missing);
            missingBytes_ += missing;
        }
        return read;
    }

    int get_char() override {
        const int character = LibRaw_file_datastream::get_char();
        if (character < 0) {
            ++missingBytes_;
        } else {
            ++readBytes_;
        }
        return character;
    }

    std::uint64_t missingBytes() const { return missingBytes_; }
    std::uint64_t readBytes() const { return readBytes_; }
    void resetCounts() {
        missingBytes_ = 0;
        readBytes_ = 0;
    }

private:
    std::uint64_t missingBytes_ = 0;
    std::uint64_t readBytes_ = 0;
};

BridgeLibRaw::BridgeLibRaw() : LibRaw(0) {}

BridgeLibRaw::~BridgeLibRaw() {
    // LibRaw's own teardown must not outlive the stream it reads from.
    recycle();
}

int BridgeLibRaw::openFile(const char* path) {
    recycle();
    stream_ = std::make_unique<EndCheckedFileStream>(path);
    if (!stream_->valid()) {
        stream_.reset();
        return LIBRAW_IO_ERROR;
    }
    return open_datastream(stream_.get());
}

int BridgeLibRaw::unpackSensorData() {
    if (stream_) stream_->resetCounts();
    const int code = unpack();
    if (code != LIBRAW_SUCCESS || !stream_) return code;
    if (stream_->missingBytes() > kToleratedMissingBytes) return LIBRAW_IO_ERROR;
    // Lossy and linear formats may be read by codecs outside the stream; the mosaic decoders all
    // read through it, so only for them is the byte count a measure of the data present.
    const std::uint64_t samples =
        std::uint64_t{imgdata.sizes.raw_width} * std::uint64_t{imgdata.sizes.raw_height};
    if (imgdata.idata.filters != 0 && stream_->readBytes() * kSamplesPerByteAtMost < samples) {
        return LIBRAW_IO_ERROR;
    }
    return code;
}

LibRawInstance newLibRawInstance() {
    LibRawInstance raw = std::make_unique<BridgeLibRaw>();
    raw->set_dataerror_handler(nullptr, nullptr);
    raw->set_memerror_handler(nullptr, nullptr);
    return raw;
}

void check(int returnCode, const char* stage) {
    if (returnCode != 0) {
        throw std::runtime_error(std::string(stage) + ": " + libraw_strerror(returnCode));
    }
}

bool isThreeColourBayer(LibRaw& raw) {
    const unsigned filters = raw.imgdata.idata.filters;
    if (filters == kNoColourFilter || filters == kXTransFilter || raw.imgdata.idata.colors != 3) {
        return false;
    }
    // A rotated SuperCCD sensor keeps its samples on a diagonal grid that no 2 × 2 quad describes.
    if (raw.get_internal_data_pointer()->internal_output_params.fuji_width != 0) return false;
    for (int row = 0; row < kPatternWindow; ++row) {
        for (int col = 0; col < kPatternWindow; ++col) {
            if (raw.COLOR(row, col) != raw.COLOR(row & 1, col & 1)) return false;
        }
    }
    return true;
}

void checkSensorGeometry(const LibRaw& raw) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const std::uint64_t pitch = sizes.raw_pitch != 0 ? sizes.raw_pitch / 2 : sizes.raw_width;
    const bool inside = raw.imgdata.rawdata.raw_image != nullptr && pitch >= sizes.raw_width &&
                        std::uint64_t{sizes.left_margin} + sizes.width <= sizes.raw_width &&
                        std::uint64_t{sizes.top_margin} + sizes.height <= sizes.raw_height;
    if (!inside) fail("Unexpected RAW sensor geometry.");
}

LibRawInstance unpack(const char* path) {
    LibRawInstance raw = newLibRawInstance();
    check(raw->openFile(path), "Open RAW");
    check(raw->unpackSensorData(), "Unpack sensor");
    if (raw->imgdata.rawdata.raw_image == nullptr || !isThreeColourBayer(*raw)) {
        fail("The research denoiser currently requires a three-color Bayer RAW.");
    }
    checkSensorGeometry(*raw);
    return raw;
}

}  // namespace quillmere::rawbridge
