#pragma once

#include <string>
#include <string_view>

#include "core/edit/edit_params.h"

// The bytes an edit travels as on the clipboard: compact JSON {"version":1,"params":{...}}, keys
// in that order.
namespace quillmere::EditClipboardPayload {

// The clipboard format the payload is stored under.
inline constexpr std::string_view mimeType = "com.dornavelte.quillmere.edit-settings";

// Throws EncodingError for a non-finite number in the edit.
std::string encode(const EditParams& params);
// Both keys are required and the edit must decode (DecodingError); a version other than 1 is
// EditClipboardError::unsupportedVersion.
EditParams decode(std::string_view bytes);

}  // namespace quillmere::EditClipboardPayload
