#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/decode/configurable_raw_filter.h"

namespace quillmere::RAWFilterConfiguration {

// The neural decoder version the filter offers: "9", else "9.dng"; nothing when it offers
// neither.
std::optional<std::string> neuralVersion(const ConfigurableRAWFilter& filter);

// The Natural decode without noise reduction: decoder version 8 where offered, no boost,
// exposure or shadow bias, no gamut mapping, extended range kept up to 2, full size, no noise
// reduction. A DNG also loses its baseline exposure and local tone mapping; other RAW files keep
// the camera's.
void configureForDecode(ConfigurableRAWFilter& filter, const std::filesystem::path& url);

// The Natural denoised decode: the same development with full noise reduction (luminance 0.8
// with the neural decoder, 1 otherwise), sharpening, contrast and detail off. The decoder version
// is left to the caller: the neural one when there is one, otherwise the filter's default.
void configureForNoiseReduction(ConfigurableRAWFilter& filter, const std::filesystem::path& url,
                                bool neural);

// The undenoised RAW-texture decode: the exposure and development of configureForDecode, so that
// turning the texture on keeps the photo's brightness, with every noise reduction, sharpening and
// moiré reduction off.
void configureForRAWTexture(ConfigurableRAWFilter& filter, const std::filesystem::path& url);

}  // namespace quillmere::RAWFilterConfiguration
