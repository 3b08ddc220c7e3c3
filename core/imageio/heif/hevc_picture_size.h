#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// What an HEVC stream's sequence parameter sets say of its picture size, read without a decoder:
// the decoder sizes its picture buffers from them, whatever a file's boxes state.
namespace quillmere::hevc_picture_size {

struct CodedSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// The luma picture size one sequence parameter set NAL unit (its two-byte header included, with
// emulation prevention bytes) declares, before its conformance window crops it; nothing when the
// unit is not a sequence parameter set or ends before its size.
std::optional<CodedSize> ofParameterSet(std::string_view nal);

// The NAL units of an HEVC decoder configuration record ('hvcC') and its NAL length size.
struct Configuration {
    std::vector<std::string_view> units;
    int lengthSize = 4;
};
// Nothing when the record cannot be read.
std::optional<Configuration> configurationOf(std::string_view hvcC);

// The NAL units of a coded item's data: each behind its length, of `lengthSize` bytes. Nothing
// when a length runs past the data.
std::optional<std::vector<std::string_view>> unitsOf(std::string_view data, int lengthSize);

}  // namespace quillmere::hevc_picture_size
