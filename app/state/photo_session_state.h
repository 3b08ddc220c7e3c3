#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/common/uuid.h"
#include "core/edit/edit_params.h"
#include "core/edit/spot_repair.h"

namespace quillmere {

// A whole spot-repair list, as the spot-repair undo history keeps it.
using SpotRepairList = std::vector<SpotRepair>;

// What a photo's edit file keeps of its state.
struct StoredPhotoEdit {
    EditParams params;
    EditParams baseline;
    bool xmpLoaded = false;

    bool operator==(const StoredPhotoEdit&) const = default;
};

// What the application remembers about a photo of the session while another photo is open: the
// live fields of the application state, captured when the photo is left and installed again when
// it is opened. Markers and spot-repair history live only as long as the process; the per-photo
// edit file keeps `params`, `baseline` and `xmpLoaded`.
struct PhotoSessionState {
    EditParams params;
    // The photo counts as edited while `params` differs from it.
    EditParams baseline;
    // The starting edit took settings from a Camera Raw XMP sidecar.
    bool xmpLoaded = false;
    // The checkpoint marker and the edit when it was set.
    std::optional<UUID> activeCheckpointID;
    std::optional<EditParams> checkpointSnapshot;
    // The preset marker (the preset's id) and the edit right after the preset was applied.
    std::optional<std::string> presetID;
    std::optional<EditParams> presetSnapshot;
    // Spot-repair undo and redo history, newest last.
    std::vector<SpotRepairList> undo;
    std::vector<SpotRepairList> redo;

    bool operator==(const PhotoSessionState&) const = default;

    StoredPhotoEdit stored() const { return {params, baseline, xmpLoaded}; }
};

}  // namespace quillmere
