#include "core/reading/dng_xmp_packet.h"

#include <cstring>

#include "core/reading/dng_xmp_exchange.h"
#include "core/reading/photo_reader.h"
#include "core/reading/sealed_file.h"
#include "core/reading/wire.h"

namespace quillmere {

std::optional<std::string> readerBuiltDngXmpPacket(PhotoReader& reader, const OpenedFile& source,
                                                   std::string_view packet,
                                                   const std::optional<std::string>& record,
                                                   bool includeSoftware) {
    if (packet.empty()) return std::nullopt;
    ReaderRequest request{reader_protocol::JobKind::dngXmp,
                          dng_xmp_exchange::encodeParams({packet.size(), record, includeSoftware}),
                          {}};
    UniqueDescriptor sealed = makeSealedFile(
        packet.size(), [&](std::byte* bytes) { std::memcpy(bytes, packet.data(), packet.size()); });
    if (!sealed) return std::nullopt;
    request.files.push_back(std::move(sealed));
    try {
        const ReaderAnswer answer = reader.ask(source, std::move(request));
        if (!answer.files.empty()) return std::nullopt;
        return dng_xmp_exchange::decodeAnswer(answer.body);
    } catch (const ReadingError&) {
        return std::nullopt;
    } catch (const WireError&) {
        return std::nullopt;
    }
}

}  // namespace quillmere
