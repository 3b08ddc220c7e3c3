#pragma once

#include "core/compute/command_pass.h"

namespace quillmere {

// The recovery guide's size for an input of width × height: the input scaled so that its long
// side is at most 256 texels (never enlarged), each side rounded to the nearest integer (halves
// away from zero) and at least 1. 6000 × 4000 gives 256 × 171.
GridSize recoveryGuideSize(int width, int height);

}  // namespace quillmere
