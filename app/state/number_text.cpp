#include "app/state/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace quillmere {

std::string fixedText(double value, int decimals) {
    // Room for the largest double written out in full.
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                            std::chars_format::fixed, std::max(decimals, 0));
    if (error != std::errc()) return "";
    return std::string(buffer, end);
}

std::string roundedText(double value) { return fixedText(std::round(value) + 0.0, 0); }

std::string signedText(double value, int decimals) {
    if (decimals == 0) value = std::round(value);
    std::string text = fixedText(value, decimals);
    if (value > 0) return "+" + text;
    if (value == 0) {
        if (decimals == 0) return "0";
        std::erase(text, '-');
    }
    return text;
}

std::string compactText(std::string text, double value, bool signedForm) {
    if (text.size() <= kLongestNumberText) return text;
    char digits[32];
    const auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 3);
    const std::string exponent(digits, error == std::errc() ? end : digits);
    return signedForm && value > 0 ? "+" + exponent : exponent;
}

}  // namespace quillmere
