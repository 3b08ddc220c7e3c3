#pragma once

#include <string>
#include <string_view>

namespace quillmere {

// `text` without the white space and line breaks at either end: every Unicode space separator,
// the line and paragraph separators, tab, line feed, vertical tab, form feed, carriage return and
// next line. Invalid UTF-8 is never trimmed. The result is a view into `text`.
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

// Full Unicode lower-casing, independent of the user's language (the root locale). Invalid UTF-8
// sequences become U+FFFD.
std::string lowercased(std::string_view text);

}  // namespace quillmere
