#include "core/render/display/preview_compositor.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/compute/msl_math.h"

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

float encodeSRGB(float linear) {
    return linear <= 0.0031308f ? 12.92f * linear : 1.055f * std::pow(linear, 1 / 2.4f) - 0.055f;
}

// `value` lies within 0...1.
std::uint8_t toByte(float value) { return static_cast<std::uint8_t>(value * 255 + 0.5f); }

// Straight-alpha "over": the photo's colour covers the background by the photo's alpha. Both
// colours lie within 0...1; an opaque photo, the usual case, simply replaces the background.
std::array<std::uint8_t, 4> over(msl::float4 top, msl::float4 bottom) {
    if (top.w == 1) return {toByte(top.x), toByte(top.y), toByte(top.z), 255};
    const float uncovered = bottom.w * (1 - top.w);
    const float alpha = top.w + uncovered;
    // Rounding may carry a quotient a hair above 1.
    const auto blended = [&](float topValue, float bottomValue) {
        return alpha > 0 ? toByte(msl::min((topValue * top.w + bottomValue * uncovered) / alpha, 1))
                         : std::uint8_t{0};
    };
    return {blended(top.x, bottom.x), blended(top.y, bottom.y), blended(top.z, bottom.z),
            toByte(alpha)};
}

// The two texels a position falls between along one axis, and the second's weight: linear
// sampling at texel centres with clamp-to-edge, as the compute device's sampler does, worked out
// once per row and column instead of once per pixel.
struct Tap {
    int first;
    int second;
    float weight;
};

Tap tap(double position, int size) {
    const double centred = std::fmin(std::fmax(position - 0.5, 0.0), size - 1.0);
    const int first = static_cast<int>(centred);
    return {first, std::min(first + 1, size - 1), static_cast<float>(centred - first)};
}

msl::float4 displayColor(msl::float4 texel, ColorSpace colorSpace) {
    msl::float4 color{msl::saturate(texel.x), msl::saturate(texel.y), msl::saturate(texel.z),
                      msl::saturate(texel.w)};
    if (colorSpace == ColorSpace::extendedLinearSRGB) {
        color = {encodeSRGB(color.x), encodeSRGB(color.y), encodeSRGB(color.z), color.w};
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

    const auto channel = [](double value) { return msl::saturate(static_cast<float>(value)); };
    const msl::float4 background{channel(backgroundColor.red), channel(backgroundColor.green),
                                 channel(backgroundColor.blue), channel(backgroundColor.alpha)};
    const std::array<std::uint8_t, 4> backgroundBytes = over(background, msl::float4{});
    const bool withPhoto = placesPhoto(destination);

    // The photo's rectangle in bottom-up coordinates: its lower-left corner sits on the
    // destination's bottom edge.
    const double scale = destination.width / texture->width();
    const double left = destination.x;
    const double bottom = drawableSize.height - destination.y - destination.height;

    // The photo covers one run of columns, since positions grow with the column.
    std::vector<Tap> columns;
    int firstColumn = 0;
    for (int column = 0; withPhoto && column < image.width; ++column) {
        const double u = (column + 0.5 - left) / scale;
        if (u < 0) {
            firstColumn = column + 1;
        } else if (u < texture->width()) {
            columns.push_back(tap(u, texture->width()));
        } else {
            break;
        }
    }
    // The texels those columns read.
    const int firstTexel = columns.empty() ? 0 : columns.front().first;
    const auto texelCount =
        static_cast<std::size_t>(columns.empty() ? 0 : columns.back().second - firstTexel + 1);

    tbb::parallel_for(tbb::blocked_range<int>(0, image.height), [&](const auto& rows) {
        std::vector<msl::float4> lower(texelCount);
        std::vector<msl::float4> upper(texelCount);
        for (int row = rows.begin(); row != rows.end(); ++row) {
            std::uint8_t* const rowBytes =
                image.rgba.data() + static_cast<std::size_t>(row) * image.width * 4;
            for (int column = 0; column < image.width; ++column) {
                std::copy(backgroundBytes.begin(), backgroundBytes.end(), rowBytes + column * 4);
            }
            // Output rows run top first; texture positions are measured from the bottom.
            const double v = (image.height - row - 0.5 - bottom) / scale;
            if (columns.empty() || !(v >= 0 && v < texture->height())) continue;
            const Tap vertical = tap(v, texture->height());
            texture->readRow(firstTexel, vertical.first, lower);
            texture->readRow(firstTexel, vertical.second, upper);
            std::uint8_t* pixel = rowBytes + static_cast<std::size_t>(firstColumn) * 4;
            for (const Tap& horizontal : columns) {
                const std::size_t leftTexel = horizontal.first - firstTexel;
                const std::size_t rightTexel = horizontal.second - firstTexel;
                const msl::float4 texel =
                    msl::mix(msl::mix(lower[leftTexel], lower[rightTexel], horizontal.weight),
                             msl::mix(upper[leftTexel], upper[rightTexel], horizontal.weight),
                             vertical.weight);
                const std::array<std::uint8_t, 4> bytes =
                    over(displayColor(texel, colorSpace), background);
                pixel = std::copy(bytes.begin(), bytes.end(), pixel);
            }
        }
    });
    return image;
}

}  // namespace quillmere::PreviewCompositor
