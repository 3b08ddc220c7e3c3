#include "core/decode/raw_loader.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <string>
#include <system_error>
#include <utility>

#include "core/compute/lanczos_scale.h"
#include "core/decode/decoded_texture.h"
#include "core/decode/decoder_failure.h"
#include "core/decode/libraw_fallback.h"
#include "core/decode/photo_format.h"
#include "core/decode/raster_reading.h"
#include "core/decode/raw_filter_configuration.h"
#include "core/decode/raw_image_properties.h"
#include "core/decode/raw_loader_error.h"
#include "core/imageio/image_properties.h"
#include "core/reading/photo_file_metadata.h"

namespace quillmere {
namespace {

// The white balance of a photo without a RAW filter: daylight, no tint.
constexpr double kDefaultTemperature = 5500.0;
constexpr double kDefaultTint = 0.0;

PixelSize sizeOf(const Texture& texture) { return {texture.width(), texture.height()}; }

// The file's first image's properties; an empty dictionary when it states none. A raster
// photo's pixel size is the size of the picture as decoded, stated before its orientation turns
// it, as the file itself does: a HEIF file may state its size with the sides exchanged, and
// several sizes where only its primary image's counts.
json::Json imageProperties(const PhotoFileMetadata& metadata, const Texture* rasterImage) {
    ImageProperties properties = metadata.properties;
    if (rasterImage) {
        const bool turned = properties.orientation.value_or(1) >= 5;
        properties.pixelWidth = turned ? rasterImage->height() : rasterImage->width();
        properties.pixelHeight = turned ? rasterImage->width() : rasterImage->height();
    }
    return properties.json();
}

}  // namespace

RAWLoader::RAWLoader(std::shared_ptr<const Device> device,
                     std::shared_ptr<const RAWFilterProvider> filters,
                     NeuralModelTimeouts neuralModelTimeouts, PhotoReader* reader)
    : device(std::move(device)),
      commandQueue(this->device ? this->device->makeCommandQueue() : nullptr),
      filters(std::move(filters)),
      neuralModelTimeouts(neuralModelTimeouts),
      photoReader(reader) {}

OpenedPhoto RAWLoader::open(const std::filesystem::path& url) {
    const std::lock_guard guard(lock);
    const PhotoID id{url};
    if (const auto known = photos.find(id); known != photos.end()) return known->second;
    // The user opens the photo (again): a file that ran out of time gets another reading.
    decodeOrRefuse(url, [&] { reader().forgetTimeVerdicts(url); });

    ConfigurableRAWFilter* const filter = activate(id);
    const std::optional<PixelSize> size = decodeOrRefuse(url, [&]() -> std::optional<PixelSize> {
        if (rasterImage) return sizeOf(*rasterImage);
        if (filter) return filter->outputSize();
        if (fallbackImage) return sizeOf(*fallbackImage);
        return std::nullopt;
    });
    if (!size || size->width < 1 || size->height < 1) throw RAWLoaderError::unsupportedFile(url);

    double temperature = kDefaultTemperature;
    double tint = kDefaultTint;
    if (filter) {
        decodeOrRefuse(url, [&] {
            temperature = filter->neutralTemperature();
            tint = filter->neutralTint();
        });
    }

    std::optional<json::Json> exif;
    if (filter) {
        try {
            exif = filter->properties();
        } catch (const std::exception&) {
            // Unreadable properties never fail an open; the file's own are read instead.
        }
    }
    if (fallbackImage) {
        // What LibRaw read of the capture completes the file's metadata, as for the RAW filter's
        // photos; the size is the development's.
        exif = completedRAWProperties(readPhotoFileMetadata(url)->properties, fallbackCapture,
                                      size->width, size->height)
                   .json();
    } else if (!exif || !exif->is_object()) {
        exif = imageProperties(rasterMetadata ? *rasterMetadata : *readPhotoFileMetadata(url),
                               rasterImage.get());
    }

    const bool neural = filter && decodeOrRefuse(url, [&] {
                            return RAWFilterConfiguration::neuralVersion(*filter).has_value();
                        });
    const bool isRAW = !rasterImage;
    // Answered by the reader that read the file: the RAW filter's, or the fallback's.
    const bool supportsDetailDenoise =
        isRAW && (filter ? decodeOrRefuse(url, [&] { return filter->supportsDetail(); })
                         : fallbackSupportsDetail);

    OpenedPhoto photo(id, size->width, size->height, temperature, tint, std::move(*exif),
                      neural ? DenoiseBackend::neuralRAW9 : DenoiseBackend::standard, isRAW,
                      supportsDetailDenoise);
    photos.emplace(id, photo);
    return photo;
}

ConfigurableRAWFilter* RAWLoader::activate(const PhotoID& id) {
    if (activeID == id) return originalFilter.get();

    DecodedSource source;
    try {
        source = decodeSource(id.url);
    } catch (const RAWLoaderError& error) {
        // Every decoder fails on a file that is gone; the user should hear that it is gone.
        std::error_code unknown;
        if (error.code() == RAWLoaderError::Code::unsupportedFile &&
            !std::filesystem::exists(id.url, unknown) && !unknown) {
            throw RAWLoaderError::fileNotFound(id.url);
        }
        throw;
    }
    rasterImage = std::move(source.rasterImage);
    rasterMetadata = std::move(source.rasterMetadata);
    fallbackImage = std::move(source.fallbackImage);
    fallbackSupportsDetail = source.fallbackSupportsDetail;
    fallbackCapture = source.fallbackCapture;
    activeID = id;
    originalFilter = std::move(source.filter);
    textures = {};
    nativeFrame.reset();
    return originalFilter.get();
}

RAWLoader::DecodedSource RAWLoader::decodeSource(const std::filesystem::path& url) const {
    DecodedSource source;
    if (PhotoFormat::isRaster(url)) {
        // A raster file that its reader refuses is no supported photo (decodeOrRefuse); no other
        // decoder tries it.
        // Its metadata is read from the same opened version by a reader of its own meanwhile: the
        // open waits for the longer of the two readings, not for both in turn.
        const std::shared_ptr<const OpenedFile> opened =
            decodeOrRefuse(url, [&] { return OpenedFile::open(url); });
        std::future<std::shared_ptr<const PhotoFileMetadata>> metadata =
            std::async(std::launch::async, [opened] { return readPhotoFileMetadata(*opened); });
        source.rasterImage =
            decodeOrRefuse(url, [&] { return readRasterImage(reader(), *opened); });
        source.rasterMetadata = metadata.get();
        return source;
    }
    if ((source.filter = makeFilter(url))) {
        decodeOrRefuse(url,
                       [&] { RAWFilterConfiguration::configureForDecode(*source.filter, url); });
        return source;
    }
    // LibRaw's own development, for RAW files the RAW filter cannot read. Its error is dropped:
    // the user learns that the photo cannot be decoded, not which decoder gave up last.
    if (!PhotoFormat::isRAW(url) || !device) throw RAWLoaderError::unsupportedFile(url);
    LibRawFallbackImage developed =
        decodeOrRefuse(url, [&] { return LibRawFallback::decode(url, reader()); });
    source.fallbackImage = std::move(developed.texture);
    source.fallbackSupportsDetail = developed.supportsDetail;
    source.fallbackCapture = developed.capture;
    return source;
}

std::unique_ptr<ConfigurableRAWFilter> RAWLoader::makeFilter(
    const std::filesystem::path& url) const {
    try {
        return filters->makeFilter(url);
    } catch (const ReadingError& error) {
        // A reading that ended in neither an answer nor a refusal is not the filter's to hide.
        throw RAWLoaderError::ofReading(url, error);
    } catch (const std::exception&) {
        return nullptr;
    }
}

PhotoReader& RAWLoader::reader() const {
    return photoReader ? *photoReader : PhotoReader::forProcess();
}

PixelSize RAWLoader::fitSize(PixelSize full) {
    const double scale =
        std::min(static_cast<double>(previewLongEdge) / std::max(full.width, full.height), 1.0);
    // Both sides are at most previewLongEdge after scaling, so the rounded values fit an int.
    const auto scaled = [&](int side) {
        return std::max(static_cast<int>(std::lround(scale * side)), 1);
    };
    return {scaled(full.width), scaled(full.height)};
}

std::shared_ptr<Texture> RAWLoader::cachedTexture(
    std::shared_ptr<Texture>& full, std::shared_ptr<Texture>& fit, PreviewResolution resolution,
    const std::function<std::shared_ptr<Texture>()>& makeFull) {
    if (resolution == PreviewResolution::fit && fit) return fit;
    if (!full) full = makeFull();
    if (resolution == PreviewResolution::full) return full;
    fit = render(*full, fitSize(sizeOf(*full)));
    return fit;
}

std::shared_ptr<Texture> RAWLoader::makeEngineTexture(PixelSize size) const {
    if (!device || !commandQueue) throw RAWLoaderError::gpuUnavailable();
    return makeDecodedTexture(*device, PixelFormat::rgba16Float, size.width, size.height);
}

std::shared_ptr<Texture> RAWLoader::render(const Texture& image, PixelSize size) const {
    std::shared_ptr<Texture> texture = makeEngineTexture(size);
    if (!texture) {
        throw RAWLoaderError::renderFailed("Could not allocate " + std::to_string(size.width) +
                                           " × " + std::to_string(size.height) + " RAW texture.");
    }
    lanczosScale(image, *texture);
    return texture;
}

std::shared_ptr<Texture> RAWLoader::engineTexture(std::shared_ptr<Texture> image) const {
    if (!device || !commandQueue) throw RAWLoaderError::gpuUnavailable();
    const bool engineForm =
        image->pixelFormat() == PixelFormat::rgba16Float &&
        image->storageMode() == StorageMode::shared &&
        image->usage() == (TextureUsage::shaderRead | TextureUsage::shaderWrite);
    if (engineForm) return image;
    return render(*image, sizeOf(*image));
}

}  // namespace quillmere
