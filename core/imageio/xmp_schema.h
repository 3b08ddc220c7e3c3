#pragma once

#include <string_view>

namespace quillmere {

// An XMP schema: the prefix its properties are written with and the URI that identifies it.
struct XmpSchema {
    const char* prefix;
    const char* uri;
};

// The program's own schema, which holds the edit record in exported files. Files written earlier
// are found by this URI, so it never changes.
inline constexpr XmpSchema productXmpSchema{"quillmere",
                                            "https://quillmere.dornavelte.com/ns/1.0/"};

// The schema of files written under the product's previous name; read, never written.
inline constexpr XmpSchema legacyXmpSchema{"starlingmoor",
                                           "https://starlingmoor.dornavelte.com/ns/1.0/"};

// Adobe's schema of notes about how a file stores its XMP; it names a JPEG's extended XMP. Exiv2
// does not know it by itself.
inline constexpr XmpSchema xmpNoteSchema{"xmpNote", "http://ns.adobe.com/xmp/note/"};

// The property that holds the edit record in an exported file, and the one that held it under the
// product's previous name (read when the first is absent, and removed from every export).
inline constexpr std::string_view editRecordXmpPath = "quillmere:EditRecord";
inline constexpr std::string_view legacyEditRecordXmpPath = "starlingmoor:EditRecord";

}  // namespace quillmere
