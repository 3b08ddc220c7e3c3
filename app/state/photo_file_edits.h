#pragma once

#include <optional>

#include "core/edit/edit_params.h"
#include "core/photo/opened_photo.h"
#include "core/render/export/embedded_edit_record.h"

namespace quillmere {

// What a photo's files say of its starting edit: the Camera Raw sidecar beside it, laid over the
// photo's defaults, and the edit record embedded in it. Both are read from files, so they are read
// away from the GUI thread (readPhotoFileEdits) and handed to the open, which reads no file.
struct PhotoFileEdits {
    std::optional<EditParams> sidecar;
    std::optional<EmbeddedEditRecord> record;
};

// The starting edit of a photo with no edit of its own: neutral at its camera's white balance,
// with the classic sharpening for a RAW photo.
EditParams defaultEditOf(const OpenedPhoto& photo);

// Reads the sidecar (XMPSidecar) and the record (EmbeddedMetadata, through the photo reader) of
// `photo`. Reads files: never call it on the GUI thread. Never throws.
PhotoFileEdits readPhotoFileEdits(const OpenedPhoto& photo);

}  // namespace quillmere
