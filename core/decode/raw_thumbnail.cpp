#include "core/decode/raw_thumbnail.h"

#include <cstdint>

#include "core/compute/lanczos_scale.h"
#include "core/decode/bridge_output.h"
#include "core/decode/decoded_texture.h"
#include "core/decode/raw_file_vetting.h"
#include "core/imageio/thumbnail.h"

namespace quillmere {

std::shared_ptr<Texture> linearRAWThumbnail(const std::filesystem::path& url, const Device& device,
                                            int longestSide) {
    if (rawFileRefusal(url)) return nullptr;
    BridgeErrorBuffer error;
    std::int32_t size[2] = {0, 0};
    std::uint16_t* pixels = nullptr;
    const std::int32_t result =
        qx_raw_thumbnail(url.c_str(), size, &pixels, error.data(), error.size());
    const BridgeBuffer<std::uint16_t> rgba(pixels);
    if (result != 0 || !rgba || size[0] < 1 || size[1] < 1) return nullptr;

    // Both the bridge and the texture keep the image's bottom row first.
    std::shared_ptr<Texture> developed = makeDecodedTexture(
        device, PixelFormat::rgba16Float, size[0], size[1], rgba.get(), "RAW thumbnail");
    const auto [width, height] = Thumbnail::fittedSize(size[0], size[1], longestSide);
    if (!developed || (width == size[0] && height == size[1])) return developed;
    std::shared_ptr<Texture> fitted =
        makeDecodedTexture(device, PixelFormat::rgba16Float, width, height);
    if (fitted) lanczosScale(*developed, *fitted);
    return fitted;
}

}  // namespace quillmere
