#include "app/state/photo_file_edits.h"

#include "core/edit/sharpening_settings.h"
#include "core/edit/xmp_sidecar.h"
#include "core/render/export/embedded_metadata.h"

namespace quillmere {

EditParams defaultEditOf(const OpenedPhoto& photo) {
    EditParams defaults = EditParams::neutral(photo.asShotTemperature, photo.asShotTint);
    if (photo.isRAW) defaults.sharpening = SharpeningSettings::classic();
    return defaults;
}

PhotoFileEdits readPhotoFileEdits(const OpenedPhoto& photo) {
    return {XMPSidecar::editParams(photo.id.url, defaultEditOf(photo)),
            EmbeddedMetadata::read(photo.id.url)};
}

}  // namespace quillmere
