#pragma once

#include <functional>

#include "rawbridge/full_development.h"

namespace quillmere::rawbridge {

// What becomes of each development takeBridgeSteps makes, as soon as it is made.
using DevelopmentTaken = std::function<void(DevelopmentSize size, DevelopedImage developed)>;

// Takes the RAW file at `path` through every step in which the bridge has LibRaw parse or decode
// the file's bytes, with the bridge's own calls and options, and returns when they are done:
//
// - LibRaw opens the file and the bridge checks what it states (the first step of every bridge
//   call; reading the capture information and asking whether the file is a supported Bayer RAW
//   go no further);
// - a three-colour Bayer file is unpacked and its record read, as the sensor read, the RAW filter
//   and the thumbnail do;
// - any other file, and a Bayer file whose sensor the bridge refuses, is developed by LibRaw at
//   half size (its thumbnail) and at full size (how the program opens it), each once the bridge
//   has checked what the development will make. Each development goes to `taken` as soon as it
//   is made, before the next step: it is exactly what the thumbnail (developThumbnail) and the
//   photo's development (developFully at full size) of the same file give.
//
// The development of a Bayer sensor (its demosaicing) is not among them: it reads nothing of the
// file but the sensor data the unpacking gave. Fails as the bridge's calls fail, with the
// bridge's sentence for a file LibRaw or the bridge refuses.
void takeBridgeSteps(const char* path, const DevelopmentTaken& taken);

}  // namespace quillmere::rawbridge
