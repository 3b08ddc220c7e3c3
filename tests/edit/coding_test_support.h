#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/common/coding_error.h"
#include "core/common/json_coding.h"

namespace quillmere::testing {

// The DecodingError that `decode` throws; records a test failure when it throws none.
template <class Decode>
DecodingError decodingErrorOf(Decode decode) {
    try {
        decode();
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a DecodingError";
    return DecodingError::dataCorrupted({}, "no error was thrown");
}

// The keys of a JSON object, sorted.
inline std::vector<std::string> keysOf(const json::Json& object) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace quillmere::testing
