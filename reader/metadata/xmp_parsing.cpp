#include "reader/metadata/xmp_parsing.h"

#include <exiv2/exiv2.hpp>
#include <new>
#include <string>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/xmp_document_storage.h"

namespace quillmere {

std::optional<XmpDocument> parseXmpPacket(std::string_view packet) {
    XmpDocument::Storage storage;
    Exiv2Lock lock;
    try {
        if (Exiv2::XmpParser::decode(storage.data, std::string(packet)) != 0) return std::nullopt;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return XmpDocument(std::move(storage));
}

}  // namespace quillmere
