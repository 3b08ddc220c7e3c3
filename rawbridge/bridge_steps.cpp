#include "rawbridge/bridge_steps.h"

#include <exception>

#include "rawbridge/libraw_instance.h"
#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {

void takeBridgeSteps(const char* path, const DevelopmentTaken& taken) {
    // Every call fails here, before anything is unpacked, on a file without the image data it
    // states or with a colour filter no development describes.
    if (isThreeColourBayer(*openFile(path))) {
        try {
            metadataFor(*unpack(path));
            return;
        } catch (const std::exception&) {
            // The program develops the file with LibRaw instead, as below.
        }
    }
    taken(DevelopmentSize::half, developFully(path, DevelopmentSize::half));
    taken(DevelopmentSize::full, developFully(path));
}

}  // namespace quillmere::rawbridge
