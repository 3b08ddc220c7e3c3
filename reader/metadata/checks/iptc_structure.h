#pragma once

#include <cstddef>
#include <string_view>

namespace quillmere::metadata {

// Checks an IPTC block as Exiv2 0.27 reads it, dataset by dataset: throws MetadataRefusal for
// more datasets than limits::iptcDatasets (Exiv2 looks each up among those before it) or for a
// dataset running past the block's end.
void checkIptcBlock(std::string_view block);

// The search for the IPTC block of Photoshop image resources ("8BIM" and its kin) as Exiv2 makes
// it, resource by resource from the start of `resources`.
struct PhotoshopIptc {
    enum class Result { found, absent, damaged } result = Result::absent;
    std::string_view iptc;  // when found
    std::size_t end = 0;    // when found: past the resource that holds it, with its padding
};
PhotoshopIptc photoshopIptc(std::string_view resources);

// Checks the IPTC block Exiv2 finds in Photoshop image resources, as checkIptcBlock does.
void checkPhotoshopIptc(std::string_view resources);

}  // namespace quillmere::metadata
