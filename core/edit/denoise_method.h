#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"

namespace quillmere {

// Which noise-reduction path the denoise amount drives.
//
// Enumerations with raw values follow one idiom: free functions give each case's raw value and
// display text, `<name>FromRawValue` turns a raw value back into a case (nothing for an unknown
// one), and `all<Name>s` lists the cases in their declared order.
enum class DenoiseMethod {
    natural,      // the RAW decoder's own noise reduction
    matchFilter,  // the tiled Detail model run on the sensor data
};

inline constexpr std::array<DenoiseMethod, 2> allDenoiseMethods{DenoiseMethod::natural,
                                                                DenoiseMethod::matchFilter};

// "natural" or "matchFilter"; also the JSON form.
std::string_view rawValue(DenoiseMethod method);
// Exactly the raw values, case-sensitive; a title is not a raw value.
std::optional<DenoiseMethod> denoiseMethodFromRawValue(std::string_view rawValue);
// "Natural" or "Detail", as shown to the user.
std::string_view title(DenoiseMethod method);

json::Json encodeDenoiseMethod(DenoiseMethod method);
// A string holding a raw value; any other string is data-corrupted.
DenoiseMethod decodeDenoiseMethod(const json::Json& value, const CodingPath& path = {});

}  // namespace quillmere
