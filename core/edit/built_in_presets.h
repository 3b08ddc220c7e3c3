#pragma once

#include <vector>

#include "core/edit/preset.h"

// The nineteen presets that ship with the program, in four read-only folders.
namespace quillmere::BuiltInPresets {

// "Essentials", "Black & White", "Film" and "Rescue", in that order, each preset in its display
// order. Built once, safely on first use from any thread, and never changed.
const std::vector<PresetFolder>& folders();

}  // namespace quillmere::BuiltInPresets
