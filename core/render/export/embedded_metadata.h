#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/imageio/xmp_schema.h"
#include "core/render/export/embedded_edit_record.h"

// The edit record as exported JPEG and DNG files carry it: the JSON text of an
// EmbeddedEditRecord as the simple XMP property "quillmere:EditRecord".
namespace quillmere::EmbeddedMetadata {

// The URI of the program's own XMP schema, registered with the prefix "quillmere". Files written
// earlier are found by it, so it never changes.
inline constexpr std::string_view namespaceURI = productXmpSchema.uri;

inline constexpr std::string_view editRecordPath = editRecordXmpPath;
// Written under the product's previous name; read when the current property is absent, and
// removed from every exported file so that a file never carries two records.
inline constexpr std::string_view legacyEditRecordPath = legacyEditRecordXmpPath;

// The record a photo file carries, or nothing: never fails. An unreadable file, a file without
// XMP or without the property, a file whose metadata the photo reader left out (past its budget)
// and a record that does not decode all give nothing. The schema version and the application are
// not examined. The file's metadata is read once per version (readPhotoFileMetadata), shared with
// the loader's properties and the export's capture metadata.
std::optional<EmbeddedEditRecord> read(const std::filesystem::path& url);

}  // namespace quillmere::EmbeddedMetadata
