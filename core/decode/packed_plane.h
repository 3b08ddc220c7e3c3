#pragma once

#include <cstddef>
#include <vector>

namespace quillmere {

// How a packed plane stores its four channels per texel.
enum class PackedPixelFormat { rgba32Float, rgba16Float };

// A two-dimensional image of packed sensor quads, four channels (R, G1, B, G2) per texel, rows top
// down, stored as 32-bit floats or as IEEE half floats. Reads widen to 32-bit floats and writes
// narrow to the stored format, so callers always work in floats.
class PackedPlane {
  public:
    // A plane of zeros. Throws std::bad_alloc when the memory cannot be had.
    PackedPlane(PackedPixelFormat pixelFormat, int width, int height);

    PackedPixelFormat pixelFormat() const { return pixelFormat_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Copies the texels of the rectangle at (x, y) of the given size into `into`, four floats per
    // texel, row by row. The rectangle must lie inside the plane.
    void getRegion(int x, int y, int regionWidth, int regionHeight, float* into) const;
    // Replaces the whole rows y ... y + rowCount - 1 with `from`, four floats per texel. Values
    // outside the half-float range become infinities in an RGBA16Float plane.
    void replaceRows(int y, int rowCount, const float* from);

  private:
    std::size_t texelIndex(int x, int y) const;

    PackedPixelFormat pixelFormat_;
    int width_;
    int height_;
    std::vector<float> floats_;
    std::vector<_Float16> halves_;
};

}  // namespace quillmere
