// The program's own readers around a photo's metadata, which read untrusted bytes: the claim's
// bound on what Exiv2 will read of a file (JPEG segments, ISO base media boxes and items), and the
// decoding of a metadata answer and of a DNG XMP request. Nothing may throw but WireError from the
// decoders; a crash, a sanitizer report, a hang, or a bound beyond the file is a fault.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/reading/dng_xmp_exchange.h"
#include "core/reading/metadata_answer.h"
#include "core/reading/wire.h"
#include "reader/metadata/metadata_extent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (quillmere::metadataExtentOf(bytes) > bytes.size()) std::abort();
    try {
        quillmere::metadata_answer::decode(bytes);
    } catch (const quillmere::WireError&) {
    }
    try {
        quillmere::dng_xmp_exchange::decodeParams(bytes);
    } catch (const quillmere::WireError&) {
    }
    return 0;
}
