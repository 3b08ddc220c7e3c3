#include "core/render/opened_photo.h"

#include <utility>

#include "core/render/path_extension.h"

namespace quillmere {

OpenedPhoto::OpenedPhoto(PhotoID id, std::int64_t pixelWidth, std::int64_t pixelHeight,
                         double asShotTemperature, double asShotTint, json::Json exif,
                         DenoiseBackend denoiseBackend, bool isRAW,
                         std::optional<bool> supportsDetailDenoise)
    : id(std::move(id)),
      pixelWidth(pixelWidth),
      pixelHeight(pixelHeight),
      asShotTemperature(asShotTemperature),
      asShotTint(asShotTint),
      exif(std::move(exif)),
      denoiseBackend(denoiseBackend),
      isRAW(isRAW),
      supportsDetailDenoise(
          supportsDetailDenoise.value_or(isRAW && lowercasedExtension(this->id.url) == "arw")) {}

}  // namespace quillmere
