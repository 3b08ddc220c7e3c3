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

// A new instance with the file at `path` opened, as every bridge call begins: fails with the
// stage "Open RAW", the sentence of a file without image data (requireImageData) or that of a
// colour filter no development describes (requireBayerQuad).
LibRawInstance openFile(const char* path);

// Fails with "Unsupported CFA layout." when the opened file's colour filter has three colours
// and repeats every two rows and columns but its quad is not a Bayer quad: a red and a blue on
// one diagonal, two greens on the other. LibRaw's development would demosaic such a mosaic as if
// it were one, into false colours, and the sensor record cannot describe it.
void requireBayerQuad(LibRaw& raw);

// Whether the opened file's colour filter is a three-colour Bayer pattern that repeats every two
// rows and columns of the visible area (no X-Trans, no rotated SuperCCD layout, no larger mosaic)
// and its samples are square. Samples of another shape are stretched into shape by LibRaw's
// development, which the sensor read and its development do not take.
bool isThreeColourBayer(LibRaw& raw);

// Fails with "Unexpected RAW sensor geometry." unless the visible area, shifted by the margins,
// lies inside the unpacked 16-bit sensor plane.
void checkSensorGeometry(const LibRaw& raw);

// Opens (openFile) and unpacks a three-colour Bayer file whose sensor plane can be read safely;
// fails as openFile does, with the stage "Unpack sensor", the three-colour Bayer sentence (before
// anything is unpacked) or the geometry one.
LibRawInstance unpack(const char* path);

}  // namespace quillmere::rawbridge
