#include "reader/jpeg/jpeg_decompression.h"

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "core/imageio/imageio_error.h"
#include "reader/jpeg/jpeg_data_bound.h"
#include "reader/raster/linear_image_assembler.h"

namespace quillmere {
namespace {

// What libjpeg needs beside a progressive file's coefficients: tables and the row buffers of
// the widest image a JPEG can hold.
constexpr std::uint64_t kWorkingMemory = 64 * 1024 * 1024;

struct MallocFreer {
    void operator()(JOCTET* data) const { std::free(data); }
};

}  // namespace

JpegDecompression::Libjpeg::Libjpeg() {
    jpeg_errors::install(errors, *reinterpret_cast<jpeg_common_struct*>(&info));
}

JpegDecompression::Libjpeg::~Libjpeg() {
    if (created) jpeg_destroy_decompress(&info);
}

JpegDecompression::JpegDecompression(std::string_view bytes) {
    jpeg_decompress_struct& info = libjpeg_.info;
    run([&] { jpeg_create_decompress(&info); });
    libjpeg_.created = true;
    run([&] {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
        jpeg_read_header(&info, TRUE);
    });
    LinearImageAssembler::checkSize(info.image_width, info.image_height);
    const std::vector<jpeg_scans::Scan> scans = jpeg_scans::readScans(bytes, info);
    const std::uint64_t codedBytes = jpeg_data_bound::codedByteCount(scans);
    for (const auto& implausible : {jpeg_data_bound::implausibleSize(info, codedBytes),
                                    jpeg_data_bound::implausiblePasses(scans)}) {
        if (implausible) throw ImageIOError(ImageIOError::Code::corruptImage, *implausible);
    }
    std::vector<std::uint64_t> scanBlocks;
    for (const jpeg_scans::Scan& scan : scans) {
        scanBlocks.push_back(scan.blocks);
        scanBlocks_ += scan.blocks;
    }
    libjpeg_.scanWatch.watch(info, std::move(scanBlocks));
    // libjpeg allocates a progressive or multi-scan file's coefficients at once, and fails rather
    // than take more than this; with the blocks bounded by the coded data it never needs to.
    const std::uint64_t coefficients = jpeg_data_bound::kCoefficientBytesPerBlock *
                                       jpeg_data_bound::kMaxBlocksPerByte * codedBytes;
    info.mem->max_memory_to_use = static_cast<long>(coefficients + kWorkingMemory);
}

std::string JpegDecompression::iccProfile() {
    JOCTET* data = nullptr;
    unsigned int size = 0;
    bool found = false;
    run([&] { found = jpeg_read_icc_profile(&libjpeg_.info, &data, &size); });
    const std::unique_ptr<JOCTET, MallocFreer> owned(data);
    if (!found || data == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(data), size);
}

void JpegDecompression::start() {
    run([this] { jpeg_start_decompress(&libjpeg_.info); });
    throwIfTruncated();
}

void JpegDecompression::readRow(JSAMPROW row) {
    JDIMENSION read = 0;
    run([&] { read = jpeg_read_scanlines(&libjpeg_.info, &row, 1); });
    throwIfTruncated();
    if (read != 1) throw ImageIOError(ImageIOError::Code::corruptImage);
}

void JpegDecompression::throwIfTruncated() const {
    if (libjpeg_.errors.truncated) {
        throw ImageIOError(ImageIOError::Code::corruptImage,
                           "Its image data ends before the image does.");
    }
}

}  // namespace quillmere
