#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "core/common/json_coding.h"
#include "core/photo/denoise_backend.h"
#include "core/photo/path_extension.h"
#include "core/photo/photo_id.h"

namespace quillmere {

// What opening a photo yields: its identity, full-resolution size, as-shot white balance,
// image properties and how it can be denoised. Defined in this header alone because the RAW
// loader, below the render library, builds it.
struct OpenedPhoto {
    // Without `supportsDetailDenoise`, a RAW photo named .arw (in any case) is taken as
    // Detail-capable and every other photo as not.
    OpenedPhoto(PhotoID id, std::int64_t pixelWidth, std::int64_t pixelHeight,
                double asShotTemperature, double asShotTint, json::Json exif,
                DenoiseBackend denoiseBackend, bool isRAW,
                std::optional<bool> supportsDetailDenoise = std::nullopt)
        : id(std::move(id)),
          pixelWidth(pixelWidth),
          pixelHeight(pixelHeight),
          asShotTemperature(asShotTemperature),
          asShotTint(asShotTint),
          exif(std::move(exif)),
          denoiseBackend(denoiseBackend),
          isRAW(isRAW),
          supportsDetailDenoise(supportsDetailDenoise.value_or(
              isRAW && lowercasedExtension(this->id.url) == "arw")) {}

    PhotoID id;
    std::int64_t pixelWidth;
    std::int64_t pixelHeight;
    // Kelvin and tint the camera recorded; the neutral point of the white-balance controls.
    double asShotTemperature;
    double asShotTint;
    // The file's image properties ("{Exif}", "{TIFF}", ... nested); an empty object when none.
    json::Json exif;
    DenoiseBackend denoiseBackend;
    bool isRAW;
    bool supportsDetailDenoise;
};

}  // namespace quillmere
