#include "core/reading/dng_xmp_exchange.h"

#include "core/reading/reader_protocol.h"
#include "core/reading/wire.h"

namespace quillmere::dng_xmp_exchange {

std::string encodeParams(const Params& params) {
    WireWriter writer;
    writer.u64(params.packetBytes).boolean(params.record.has_value());
    if (params.record) writer.text(*params.record);
    return writer.boolean(params.includeSoftware).take();
}

Params decodeParams(std::string_view body) {
    WireReader reader(body);
    Params params;
    params.packetBytes = reader.u64();
    if (reader.boolean()) params.record = reader.text(reader_protocol::kMaxBodyBytes);
    params.includeSoftware = reader.boolean();
    reader.finish();
    return params;
}

std::string encodeAnswer(std::string_view packet) { return WireWriter().bytes(packet).take(); }

std::string decodeAnswer(std::string_view body) {
    WireReader reader(body);
    std::string packet = reader.text(reader_protocol::kMaxBodyBytes);
    reader.finish();
    return packet;
}

}  // namespace quillmere::dng_xmp_exchange
