#include "core/imageio/dng_export_xmp.h"

#include <string_view>

#include "core/imageio/imageio_error.h"
#include "core/imageio/xmp_schema.h"

namespace quillmere {
namespace {

constexpr std::string_view kCreatorToolPath = "xmp:CreatorTool";
constexpr std::string_view kCreator = "Quillmere";

}  // namespace

std::string dngExportXmpPacket(XmpDocument xmp, const std::optional<std::string>& record,
                               bool includeSoftware) {
    xmp.remove(editRecordXmpPath);
    xmp.remove(legacyEditRecordXmpPath);
    xmp.remove(kCreatorToolPath);
    if (record) xmp.setText(editRecordXmpPath, *record);
    if (includeSoftware) {
        try {
            xmp.setText(kCreatorToolPath, kCreator);
        } catch (const ImageIOError&) {
            // The creator tool is a courtesy; the export goes on without it.
        }
    }
    if (xmp.empty()) return {};
    return xmp.serialize();
}

}  // namespace quillmere
