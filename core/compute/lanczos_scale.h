#pragma once

#include "core/compute/texture.h"

namespace quillmere {

// Resamples the whole of `source` into the whole of `destination` (any sizes, any pixel
// formats) with a separable Lanczos-3 filter: the image is stretched or shrunk to exactly the
// destination's size. Texel centres map onto texel centres; when shrinking, the filter widens
// by the shrink factor so that detail finer than the new pixels is averaged away instead of
// aliasing. Taps beyond the edges repeat the edge texels and the weights of every output texel
// sum to one, so a flat image stays flat. Values are not clamped: the filter's small over- and
// undershoot at edges is kept, like extended-range values. Runs in parallel on the calling thread;
// equal sizes copy the texels unchanged.
void lanczosScale(const Texture& source, Texture& destination);

}  // namespace quillmere
