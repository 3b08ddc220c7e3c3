#pragma once

#include <string>
#include <vector>

#include "core/edit/preset_values.h"

namespace quillmere {

// A named partial edit in a folder. A stored preset's name is its file name without the
// extension; its folder is "" at the top level of the user's presets.
struct Preset {
    std::string name;
    std::string folder;
    PresetValues values;

    // folder + "/" + name; a top-level preset's id begins with "/". The application remembers the
    // last applied preset by it.
    std::string id() const { return folder + "/" + name; }

    bool operator==(const Preset&) const = default;
};

// A folder of presets as the preset sheets show it. Built-in folders are read-only; the user
// folder named "" is the top level of the user's presets.
struct PresetFolder {
    std::string name;
    bool isBuiltIn = false;
    std::vector<Preset> presets;  // in display order

    // "builtin/" or "user/" followed by the name.
    std::string id() const { return (isBuiltIn ? "builtin/" : "user/") + name; }

    bool operator==(const PresetFolder&) const = default;
};

}  // namespace quillmere
