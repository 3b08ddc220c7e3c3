#pragma once

#include <optional>
#include <string_view>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"

namespace quillmere {

// Which Natural denoiser a photo gets: the RAW decoder's neural one, or the standard one.
enum class DenoiseBackend { neuralRAW9, standard };

std::string_view rawValue(DenoiseBackend backend);
// Exact, case-sensitive match of the raw value; anything else gives nothing.
std::optional<DenoiseBackend> denoiseBackendFromRawValue(std::string_view rawValue);

// Coded as its raw string; decoding an unknown string fails.
json::Json encode(DenoiseBackend backend);
DenoiseBackend decodeDenoiseBackend(const json::Json& value, const CodingPath& path = {});

}  // namespace quillmere
