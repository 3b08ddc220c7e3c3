#pragma once

#include <libraw/libraw.h>

namespace quillmere::rawbridge {

// Whether an opened file still holds its image data. Tools that strip a RAW file down to its
// metadata keep the header, which LibRaw opens, unpacks and develops "successfully" into a flat
// or garbage picture. Every encoding LibRaw reads spends well over an eighth of a bit on a
// sensor sample, so a file with fewer bytes than that after the start of its image data has
// none.
bool holdsImageData(LibRaw& raw);

// Fails with "The RAW file holds no image data." unless holdsImageData.
void requireImageData(LibRaw& raw);

}  // namespace quillmere::rawbridge
