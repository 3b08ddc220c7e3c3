#include "core/decode/linear_image_texture.h"

#include <sys/mman.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/compute/half_float.h"
#include "core/decode/decoded_texture.h"

namespace quillmere {
namespace {

// Rows converted before their memory goes back, a band to a task: at the widest photos a few
// megabytes.
constexpr int kBandRows = 32;

// Gives the whole pages that `values` spans back to the system; reading them again would give
// zeros.
void releasePages(std::span<const float> values) {
    const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(values.data());
    const std::uintptr_t first = (begin + pageSize - 1) / pageSize * pageSize;
    const std::uintptr_t last = (begin + values.size_bytes()) / pageSize * pageSize;
    // Advice only: where the system declines, the pages stay until the image is freed.
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

}  // namespace

std::shared_ptr<Texture> makeHalfFloatTexture(const Device& device, LinearImage image) {
    const std::size_t rowLength = static_cast<std::size_t>(image.width) * 4;
    if (image.width < 1 || image.height < 1 ||
        image.rgba.size() != rowLength * static_cast<std::size_t>(image.height)) {
        return nullptr;
    }
    std::shared_ptr<Texture> texture =
        makeDecodedTexture(device, PixelFormat::rgba16Float, image.width, image.height);
    if (!texture) return nullptr;
    tbb::parallel_for(
        tbb::blocked_range<int>(0, image.height, kBandRows),
        [&](const tbb::blocked_range<int>& rows) {
            for (int y = rows.begin(); y < rows.end(); ++y) {
                const std::span<const float> row(
                    image.rgba.data() + rowLength * static_cast<std::size_t>(y), rowLength);
                convertFloatToHalf(row, texture->halfRow(y));
            }
            releasePages({image.rgba.data() + rowLength * static_cast<std::size_t>(rows.begin()),
                          rowLength * static_cast<std::size_t>(rows.size())});
        },
        tbb::simple_partitioner());
    return texture;
}

}  // namespace quillmere
