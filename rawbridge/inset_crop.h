#pragma once

#include <libraw/libraw.h>

namespace quillmere::rawbridge {

// Makes LibRaw's inset (default) crop the visible area of an unpacked instance, so that
// development yields the cropped image. The crop is taken when both its edges are known, it lies
// inside the raw buffer and it keeps at least `minimumFraction` of the visible width and height;
// the new margins and sizes go into both copies LibRaw keeps (development restores the one of
// imgdata.rawdata). Colour-filter and black-level patterns are anchored at the visible area's
// top-left sample, so a crop that moves it by an odd amount moves both patterns along. Returns
// whether the crop was applied.
bool adjustToRawInsetCrop(LibRaw& raw, float minimumFraction);

}  // namespace quillmere::rawbridge
