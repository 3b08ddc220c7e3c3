#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// A 128-bit universally unique identifier, written in the standard hyphenated form in upper case.
class UUID {
public:
    // A random (version 4) identifier.
    static UUID random();
    // Parses "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" in either case; anything else gives nothing.
    static std::optional<UUID> fromString(std::string_view text);

    std::string uuidString() const;

    auto operator<=>(const UUID&) const = default;

private:
    explicit UUID(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}
    std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace quillmere
