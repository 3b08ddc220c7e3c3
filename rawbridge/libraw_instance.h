#pragma once

#include <libraw/libraw.h>

#include <memory>

namespace quillmere::rawbridge {

// One LibRaw instance per bridge call, destroyed on every way out.
using LibRawInstance = std::unique_ptr<LibRaw>;

// A new instance (flags 0) that reports damaged data through its return codes only, instead of
// printing to the program's standard error.
LibRawInstance newLibRawInstance();

// Fails with "<stage>: <LibRaw's error text>" unless `returnCode` is 0.
void check(int returnCode, const char* stage);

// Whether the opened file's colour filter is a three-colour Bayer pattern that repeats every two
// rows and columns of the visible area (no X-Trans, no rotated SuperCCD layout, no larger mosaic).
bool isThreeColourBayer(LibRaw& raw);

// Fails with "Unexpected RAW sensor geometry." unless the visible area, shifted by the margins,
// lies inside the unpacked 16-bit sensor plane.
void checkSensorGeometry(const LibRaw& raw);

// Opens and unpacks a three-colour Bayer file whose sensor plane can be read safely; fails with
// the stages "Open RAW" and "Unpack sensor", the sentence of a file without image data
// (requireImageData), the three-colour Bayer sentence or the geometry one.
LibRawInstance unpack(const char* path);

}  // namespace quillmere::rawbridge
