#include "reader/heif/inflated_size.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>

namespace quillmere::heif {

std::uint64_t inflatedSize(std::string_view compressed, std::uint64_t limit) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return 0;
    std::array<unsigned char, 64 * 1024> buffer{};
    std::uint64_t inflated = 0;
    // zlib takes at most 4 GiB of input at a time.
    constexpr std::size_t kChunk = std::numeric_limits<uInt>::max();
    int status = Z_OK;
    while (status == Z_OK && inflated < limit) {
        if (stream.avail_in == 0 && !compressed.empty()) {
            const std::size_t taken = std::min(compressed.size(), kChunk);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
            stream.avail_in = static_cast<uInt>(taken);
            compressed.remove_prefix(taken);
        }
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        inflated += buffer.size() - stream.avail_out;
    }
    inflateEnd(&stream);
    return std::min(inflated, limit);
}

}  // namespace quillmere::heif
