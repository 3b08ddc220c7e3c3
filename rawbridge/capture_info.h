#pragma once

#include <libraw/libraw.h>

#include "rawbridge/qx_raw.h"

namespace quillmere::rawbridge {

// The capture record of an opened (not necessarily unpacked) file.
QXRAWCaptureInfo captureInfoFor(LibRaw& raw);

}  // namespace quillmere::rawbridge
