#include "core/render/preview_compositor.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <array>
#include <cmath>
#include <stdexcept>

#include "core/compute/sampler.h"

namespace quillmere::PreviewCompositor {
namespace {

// Whole pixels of one drawable edge.
int pixelCount(double edge) {
    if (!(edge > 0) || !std::isfinite(edge)) return 0;
    if (edge >= kMaximumDrawableEdge + 0.5) {
        throw std::invalid_argument("A drawable edge of " + std::to_string(edge) +
                                    " pixels is larger than any display.");
    }
    return static_cast<int>(std::lround(edge));
}

// 0...1; NaN gives 0 so that a stray NaN never becomes an arbitrary byte.
double unitClamp(double value) { return std::fmin(std::fmax(value, 0.0), 1.0); }

double encodeSRGB(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

using Rgba = std::array<double, 4>;

// Straight-alpha "over": the photo's colour covers the background by the photo's alpha.
std::array<std::uint8_t, 4> over(const Rgba& top, const Rgba& bottom) {
    const double alpha = top[3] + bottom[3] * (1 - top[3]);
    std::array<std::uint8_t, 4> bytes{};
    for (int channel = 0; channel < 3; ++channel) {
        const double premultiplied =
            top[channel] * top[3] + bottom[channel] * bottom[3] * (1 - top[3]);
        const double value = alpha > 0 ? premultiplied / alpha : 0;
        bytes[channel] = static_cast<std::uint8_t>(std::lround(unitClamp(value) * 255));
    }
    bytes[3] = static_cast<std::uint8_t>(std::lround(alpha * 255));
    return bytes;
}

Rgba displayColor(msl::float4 texel, ColorSpace colorSpace) {
    Rgba color{unitClamp(texel.x), unitClamp(texel.y), unitClamp(texel.z), unitClamp(texel.w)};
    if (colorSpace == ColorSpace::extendedLinearSRGB) {
        for (int channel = 0; channel < 3; ++channel) color[channel] = encodeSRGB(color[channel]);
    }
    return color;
}

bool placesPhoto(const Rect& destination) {
    return destination.width > 0 && std::isfinite(destination.width) &&
           std::isfinite(destination.x) && std::isfinite(destination.y) &&
           std::isfinite(destination.height);
}

}  // namespace

std::optional<Rgba8Image> scene(const std::shared_ptr<const Texture>& texture, Rect destination,
                                Size drawableSize, ColorSpace colorSpace, Color backgroundColor) {
    if (!texture) return std::nullopt;

    Rgba8Image image;
    image.width = pixelCount(drawableSize.width);
    image.height = pixelCount(drawableSize.height);
    image.rgba.resize(static_cast<std::size_t>(image.width) * image.height * 4);

    const Rgba background{unitClamp(backgroundColor.red), unitClamp(backgroundColor.green),
                          unitClamp(backgroundColor.blue), unitClamp(backgroundColor.alpha)};
    const std::array<std::uint8_t, 4> backgroundBytes = over(background, Rgba{});
    const bool withPhoto = placesPhoto(destination);

    // The photo's rectangle in bottom-up coordinates: its lower-left corner sits on the
    // destination's bottom edge.
    const double scale = destination.width / texture->width();
    const double left = destination.x;
    const double bottom = drawableSize.height - destination.y - destination.height;

    tbb::parallel_for(tbb::blocked_range<int>(0, image.height), [&](const auto& rows) {
        for (int row = rows.begin(); row != rows.end(); ++row) {
            std::uint8_t* pixel =
                image.rgba.data() + static_cast<std::size_t>(row) * image.width * 4;
            // Output rows run top first; texture positions are measured from the bottom.
            const double v = withPhoto ? (image.height - row - 0.5 - bottom) / scale : -1;
            const bool rowInPhoto = v >= 0 && v < texture->height();
            for (int column = 0; column < image.width; ++column, pixel += 4) {
                const double u = (column + 0.5 - left) / scale;
                std::array<std::uint8_t, 4> bytes = backgroundBytes;
                if (rowInPhoto && u >= 0 && u < texture->width()) {
                    const msl::float4 texel =
                        samplePixel(*texture, {static_cast<float>(u), static_cast<float>(v)});
                    bytes = over(displayColor(texel, colorSpace), background);
                }
                std::copy(bytes.begin(), bytes.end(), pixel);
            }
        }
    });
    return image;
}

}  // namespace quillmere::PreviewCompositor
