#pragma once

// LittleCMS profiles owned by smart pointers, for the colour code of this folder.

#include <memory>
#include <type_traits>

#include <lcms2.h>

#include "core/imageio/color_profiles.h"

namespace quillmere::lcms {

struct ProfileCloser {
    void operator()(cmsHPROFILE profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<std::remove_pointer_t<cmsHPROFILE>, ProfileCloser>;

// The RGB profile with these primaries and curve; empty when LittleCMS cannot build it.
Profile rgbProfile(const RgbPrimaries& primaries, TransferCurve curve);

}  // namespace quillmere::lcms
