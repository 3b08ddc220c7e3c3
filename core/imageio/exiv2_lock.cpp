#include "core/imageio/exiv2_lock.h"

#include <exiv2/exiv2.hpp>

#include "core/imageio/xmp_schema.h"

namespace quillmere {
namespace {

std::mutex& exiv2Mutex() {
    static std::mutex mutex;
    return mutex;
}

void registerSchema(const XmpSchema& schema) {
    Exiv2::XmpProperties::registerNs(schema.uri, schema.prefix);
}

}  // namespace

Exiv2Lock::Exiv2Lock() : lock_(exiv2Mutex()) {
    static bool initialised = false;
    if (!initialised) {
        Exiv2::XmpParser::initialize();
        // Hostile or merely unusual files make Exiv2 print warnings; the program keeps no log and
        // reports failures through its own errors instead.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::enableBMFF(true);
        initialised = true;
    }
    registerSchema(productXmpSchema);
    registerSchema(legacyXmpSchema);
    registerSchema(xmpNoteSchema);
}

}  // namespace quillmere
