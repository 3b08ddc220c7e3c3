#pragma once

#include <chrono>

#include "core/decode/configurable_raw_filter.h"

namespace quillmere {

// How long the Natural denoiser waits for its neural decoder's model resources: the download is
// given `download`, and the caller stops waiting after `wait` (a little longer, so the download
// can report its own timeout first).
struct NeuralModelTimeouts {
    std::chrono::milliseconds download{60'000};
    std::chrono::milliseconds wait{65'000};
};

// Fetches the model resources of the filter's neural decoder version and blocks until they are
// there. Throws RAWLoaderError (renderFailed): "The local denoise model could not be prepared.
// Please try again when online." when the wait runs out (the download is then cancelled), or
// "Could not prepare the local denoise model: " and the download's own description when it
// failed. A completion that arrives after the wait gave up is harmless.
void prepareNeuralModelResources(ConfigurableRAWFilter& filter,
                                 const NeuralModelTimeouts& timeouts);

}  // namespace quillmere
