#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillmere {

// Reads one environment variable: its value (possibly empty) when set, nothing when unset.
// Code that depends on the environment takes one of these so tests can hand in their own.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The environment of this process.
std::optional<std::string> processEnvironment(const char* name);

}  // namespace quillmere
