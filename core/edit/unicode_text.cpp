#include "core/edit/unicode_text.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <limits>

namespace quillmere {
namespace {

bool isWhitespaceOrNewline(UChar32 codePoint) {
    if (codePoint < 0) return false;
    if ((codePoint >= 0x09 && codePoint <= 0x0D) || codePoint == 0x85) return true;
    switch (u_charType(codePoint)) {
        case U_SPACE_SEPARATOR:
        case U_LINE_SEPARATOR:
        case U_PARAGRAPH_SEPARATOR:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string_view trimmingWhitespaceAndNewlines(std::string_view text) {
    // ICU's UTF-8 macros index with int32_t.
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return text;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());

    std::int32_t start = 0;
    while (start < length) {
        std::int32_t next = start;
        UChar32 codePoint = 0;
        U8_NEXT(bytes, next, length, codePoint);
        if (!isWhitespaceOrNewline(codePoint)) break;
        start = next;
    }
    std::int32_t end = length;
    while (end > start) {
        std::int32_t previous = end;
        UChar32 codePoint = 0;
        U8_PREV(bytes, start, previous, codePoint);
        if (!isWhitespaceOrNewline(codePoint)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

std::string lowercased(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return {};
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    std::string result;
    unicode.toLower(icu::Locale::getRoot()).toUTF8String(result);
    return result;
}

}  // namespace quillmere
