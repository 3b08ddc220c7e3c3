#include "rawbridge/bridge_steps.h"

#include <exception>

#include "rawbridge/full_development.h"
#include "rawbridge/image_data.h"
#include "rawbridge/libraw_instance.h"
#include "rawbridge/sensor_metadata.h"
#include "rawbridge/thumbnail_development.h"

namespace quillmere::rawbridge {

void takeBridgeSteps(const char* path) {
    bool bayer = false;
    {
        LibRawInstance raw = newLibRawInstance();
        check(raw->open_file(path), "Open RAW");
        // Without image data every call fails here, before anything is unpacked.
        requireImageData(*raw);
        bayer = isThreeColourBayer(*raw);
    }
    if (!bayer) {
        developThumbnail(path);
        developFully(path);
        return;
    }
    try {
        LibRawInstance raw = unpack(path);
        metadataFor(*raw);
    } catch (const std::exception&) {
        developFully(path);
    }
}

}  // namespace quillmere::rawbridge
