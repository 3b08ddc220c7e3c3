#pragma once

#include <exception>
#include <filesystem>

#include "core/common/error.h"
#include "core/decode/raw_loader_error.h"
#include "core/reading/reading_error.h"

namespace quillmere {

// Runs one step of a photo decoder and returns its result. However the decoder fails (its own
// error, a library exception, memory running out on a hostile file), the photo is reported as
// one that cannot be decoded, but for a reading of the file that ended otherwise than in an
// answer or a refusal (RAWLoaderError::ofReading), which keeps its own sentence; cancellation
// passes through as it is.
template <typename Step>
auto decodeOrRefuse(const std::filesystem::path& url, Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const CancellationError&) {
        throw;
    } catch (const ReadingError& error) {
        throw RAWLoaderError::ofReading(url, error);
    } catch (const std::exception&) {
        throw RAWLoaderError::unsupportedFile(url);
    }
}

}  // namespace quillmere
