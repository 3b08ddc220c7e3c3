#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/compute/texture.h"

// The picture the preview view draws each frame: the rendered photo scaled into a destination
// rectangle of the view's drawable, over a plain background that fills the drawable. The result
// is an 8-bit sRGB image of the drawable's size, ready for the application to paint.
namespace quillmere::PreviewCompositor {

// In drawable pixels, from the drawable's top-left corner, y growing downward.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

struct Size {
    double width = 0;
    double height = 0;
};

// How the texture's values are to be read: already display-encoded sRGB (what the develop passes
// write), or extended linear sRGB light (what decoding gives).
enum class ColorSpace { sRGB, extendedLinearSRGB };

// sRGB-encoded components from 0 to 1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};

// Four bytes per pixel (red, green, blue, alpha, alpha not premultiplied), top row first, rows
// packed.
struct Rgba8Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// No drawable is larger than this on any edge.
inline constexpr int kMaximumDrawableEdge = 16384;

// The drawable's picture. Its size is the drawable's, rounded to whole pixels (a size that is not
// a finite positive number gives no pixels). The photo is scaled by destination width / texture
// width on both axes (the destination's height is not consulted for the scale), its top-left
// corner placed at the destination's, and sampled bilinearly; the texture's row 0 is the photo's
// bottom row. Whatever the photo leaves uncovered shows the background, and what lies outside the
// drawable is cut off. A destination whose width is not a finite positive number, or with a
// coordinate that is not finite, places no photo: the background alone.
//
// Gives nothing when there is no texture to show. Throws std::invalid_argument for a drawable
// edge above kMaximumDrawableEdge.
std::optional<Rgba8Image> scene(const std::shared_ptr<const Texture>& texture, Rect destination,
                                Size drawableSize, ColorSpace colorSpace, Color backgroundColor);

}  // namespace quillmere::PreviewCompositor
