#include "core/render/engine/photo_thumbnail.h"

#include <tbb/task_arena.h>

#include <memory>

#include "core/compute/device.h"
#include "core/decode/photo_format.h"
#include "core/decode/raster_reading.h"
#include "core/decode/raw_thumbnail.h"
#include "core/edit/edit_params.h"
#include "core/render/develop/tone_kernel.h"
#include "core/render/display/display_rgb8.h"

namespace quillmere {
namespace {

// One device and one develop pass serve every thumbnail; the pass encodes safely from several
// threads at once.
struct ThumbnailDevelop {
    std::shared_ptr<const Device> device = std::make_shared<Device>();
    ToneKernel tone{device};
};

const ThumbnailDevelop& thumbnailDevelop() {
    static const ThumbnailDevelop develop;
    return develop;
}

std::optional<Rgb8Image> rawThumbnail(const std::filesystem::path& url, int longestSide) {
    const ThumbnailDevelop& develop = thumbnailDevelop();
    const std::shared_ptr<Texture> linear = linearRAWThumbnail(url, longestSide);
    if (!linear) return std::nullopt;
    const std::shared_ptr<Texture> developed = develop.device->makeTexture(
        {.pixelFormat = PixelFormat::rgba16Float,
         .width = linear->width(),
         .height = linear->height(),
         .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite});
    if (!developed) return std::nullopt;
    // The neutral edit at the photo's as-shot white balance: the develop pass then applies no
    // white-balance gain, no exposure and no sharpening, only its rendering of the scene.
    const EditParams neutral;
    const std::shared_ptr<CommandBuffer> commands =
        develop.device->makeCommandQueue()->makeCommandBuffer();
    develop.tone.encode(linear, developed, neutral, neutral.temperature, neutral.tint, nullptr,
                        true, 1.0, *commands);
    commands->commit();
    commands->waitUntilCompleted();
    if (commands->error()) return std::nullopt;
    return displayRgb8(*developed);
}

std::optional<Rgb8Image> makeThumbnail(const std::filesystem::path& url, int longestSide) {
    try {
        if (PhotoFormat::isRAW(url)) return rawThumbnail(url, longestSide);
        if (!PhotoFormat::isRaster(url)) return std::nullopt;
        return readRasterThumbnail(PhotoReader::forProcess(), url, longestSide);
    } catch (const std::exception&) {
        // A file its reader could not read, out of memory while copying pixels, or a develop
        // pass that could not be built: no thumbnail rather than no program.
        return std::nullopt;
    }
}

}  // namespace

std::optional<Rgb8Image> photoThumbnail(const std::filesystem::path& url, int longestSide) {
    // Made on the calling thread alone: a thumbnail keeps its caller's low priority and leaves
    // the shared worker threads to the preview.
    tbb::task_arena callingThreadOnly(1);
    return callingThreadOnly.execute([&] { return makeThumbnail(url, longestSide); });
}

}  // namespace quillmere
