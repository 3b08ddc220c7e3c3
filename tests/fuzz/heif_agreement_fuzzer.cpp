// The checks decide whether libheif may decode a HEIF file from their own reading of its boxes.
// For every input, either they refuse it, or libheif refuses to read it, or libheif reads it as
// they did: the same primary image, the same images of the file's own, each stating the same
// size. A file read otherwise is a fault in the checks' reading, and ends the run.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "reader/heif/heif_item_checks.h"
#include "reader/heif/heif_items.h"
#include "reader/heif/heif_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillmere::heif;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::optional<Items> items;
    try {
        items = Items::read(bytes);
    } catch (const Malformed&) {
        return 0;
    } catch (const Items::Ambiguous&) {
        return 0;
    } catch (const Items::Refused&) {
        return 0;
    }
    if (checkHeifItems(*items).fault) return 0;
    const Pointer<heif_context> context(heif_context_alloc());
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code !=
        heif_error_Ok) {
        return 0;
    }
    if (!libheifReadsAlike(*context, *items)) std::abort();
    return 0;
}
