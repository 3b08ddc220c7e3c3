#include <atomic>
#include <exception>
#include <future>
#include <string>
#include <utility>

#include "core/decode/decoder_failure.h"
#include "core/decode/match_filter_model.h"
#include "core/decode/native_raw_error.h"
#include "core/decode/noise_reduction_filter.h"
#include "core/decode/raw_filter_adapter.h"
#include "core/decode/raw_filter_configuration.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"

namespace quillmere {
namespace {

bool hasSize(const Texture& texture, const OpenedPhoto& photo) {
    return texture.width() == photo.pixelWidth && texture.height() == photo.pixelHeight;
}

void throwIfCancelled(const RAWLoader::ShouldCancel& shouldCancel) {
    if (shouldCancel()) throw CancellationError();
}

void report(const RAWLoader::Progress& progress, double fraction) {
    if (progress) progress(fraction);
}

// The noise the generic filter removes from a raster photo or a LibRaw development.
constexpr float kDevelopedPhotoNoiseLevel = 0.04f;

// The Detail model's tensors and the texels its neighbouring tiles share.
const CoreMLDenoiser::Configuration kMatchFilterConfiguration{"image", "denoised", 64};

}  // namespace

std::shared_ptr<Texture> RAWLoader::texture(const PhotoID& id, const TextureRequest& request,
                                            const ShouldCancel& shouldCancel,
                                            const Progress& progress) {
    const ShouldCancel cancelled = shouldCancel ? shouldCancel : [] { return false; };
    const std::lock_guard guard(lock);
    std::shared_ptr<Texture> texture;
    decodeActive(id, cancelled, [&](const OpenedPhoto& photo) {
        texture = activeTexture(photo, request, cancelled, progress);
    });
    return texture;
}

PhotoLoader::SourceAndClean RAWLoader::sourceAndClean(const PhotoID& id, TextureRequest request,
                                                      const ShouldCancel& shouldCancel,
                                                      const Progress& progress) {
    const ShouldCancel cancelled = shouldCancel ? shouldCancel : [] { return false; };
    const std::lock_guard guard(lock);
    SourceAndClean both;
    decodeActive(id, cancelled, [&](const OpenedPhoto& photo) {
        if (request.method == DenoiseMethod::matchFilter && photo.supportsDetailDenoise) {
            both = detailTextures(photo, request.resolution, cancelled, progress);
            return;
        }
        request.denoised = false;
        both.source = activeTexture(photo, request, cancelled, {});
        throwIfCancelled(cancelled);
        request.denoised = true;
        both.clean = activeTexture(photo, request, cancelled, progress);
    });
    return both;
}

void RAWLoader::decodeActive(const PhotoID& id, const ShouldCancel& shouldCancel,
                             const std::function<void(const OpenedPhoto&)>& decode) {
    throwIfCancelled(shouldCancel);
    const auto known = photos.find(id);
    if (known == photos.end()) throw RAWLoaderError::notOpened();
    const OpenedPhoto photo = known->second;
    try {
        activate(id);
        decode(photo);
    } catch (const Error&) {
        throw;
    } catch (const std::exception&) {
        // A library's own exception or memory running out: the photo cannot be decoded.
        throw RAWLoaderError::unsupportedFile(id.url);
    }
}

std::shared_ptr<Texture> RAWLoader::activeTexture(const OpenedPhoto& photo,
                                                  const TextureRequest& request,
                                                  const ShouldCancel& shouldCancel,
                                                  const Progress& progress) {
    const auto [denoised, resolution, method, preserveRAWTexture] = request;
    if (method == DenoiseMethod::matchFilter && photo.supportsDetailDenoise) {
        return detailTexture(photo, denoised, resolution, shouldCancel, progress);
    }
    if (preserveRAWTexture && photo.isRAW && !denoised) return fineTexture(photo, resolution);
    return naturalTexture(photo, denoised, resolution);
}

std::shared_ptr<Texture> RAWLoader::naturalTexture(const OpenedPhoto& photo, bool denoised,
                                                   PreviewResolution resolution) {
    std::shared_ptr<Texture>& full = denoised ? textures.fullDenoised : textures.fullOriginal;
    std::shared_ptr<Texture>& fit = denoised ? textures.fitDenoised : textures.fitOriginal;
    return cachedTexture(full, fit, resolution, [&] {
        std::shared_ptr<Texture> image;
        if (denoised) {
            image = cleanImage(photo.id);
        } else if (rasterImage) {
            image = rasterImage;
        } else if (originalFilter) {
            image = decodeOrRefuse(photo.id.url,
                                   [&] { return originalFilter->outputImage(hostMemory); });
        } else {
            image = fallbackImage;
        }
        if (!image) throw RAWLoaderError::renderFailed("RAW decoder returned no image.");
        if (!hasSize(*image, photo)) {
            throw RAWLoaderError::renderFailed(
                "Denoise changed the image geometry; rendering was stopped.");
        }
        return engineTexture(std::move(image));
    });
}

std::shared_ptr<Texture> RAWLoader::cleanImage(const PhotoID& id) {
    if (const std::shared_ptr<Texture>& developed = rasterImage ? rasterImage : fallbackImage) {
        // An already developed photo gets the generic noise filter, which keeps its size.
        std::shared_ptr<Texture> clean =
            reduceTextureNoise(*developed, hostMemory, kDevelopedPhotoNoiseLevel);
        if (!clean) throw RAWLoaderError::unsupportedFile(id.url);
        return clean;
    }
    std::unique_ptr<ConfigurableRAWFilter> filter = makeFilter(id.url);
    if (!filter) throw RAWLoaderError::unsupportedFile(id.url);
    const std::optional<std::string> version =
        decodeOrRefuse(id.url, [&] { return RAWFilterConfiguration::neuralVersion(*filter); });
    if (version) {
        filter->settings.decoderVersion = *version;
        prepareNeuralModelResources(*filter, neuralModelTimeouts);
    }
    std::shared_ptr<Texture> image = decodeOrRefuse(id.url, [&] {
        RAWFilterConfiguration::configureForNoiseReduction(*filter, id.url, version.has_value());
        return filter->outputImage(hostMemory);
    });
    if (!image) throw RAWLoaderError::renderFailed("The denoise decoder returned no image.");
    return image;
}

std::shared_ptr<Texture> RAWLoader::detailTexture(const OpenedPhoto& photo, bool denoised,
                                                  PreviewResolution resolution,
                                                  const ShouldCancel& shouldCancel,
                                                  const Progress& progress) {
    std::shared_ptr<Texture>& full = denoised ? textures.detailDenoised : textures.detailOriginal;
    std::shared_ptr<Texture>& fit =
        denoised ? textures.detailFitDenoised : textures.detailFitOriginal;
    return cachedTexture(full, fit, resolution, [&] {
        openNativeFrame(photo);
        throwIfCancelled(shouldCancel);
        std::shared_ptr<Texture> developed =
            denoised ? detailDenoised(shouldCancel, progress) : nativeFrame->renderLinearRGB();
        throwIfCancelled(shouldCancel);
        return developed;
    });
}

PhotoLoader::SourceAndClean RAWLoader::detailTextures(const OpenedPhoto& photo,
                                                      PreviewResolution resolution,
                                                      const ShouldCancel& shouldCancel,
                                                      const Progress& progress) {
    const auto cached = [&](const std::shared_ptr<Texture>& full,
                            const std::shared_ptr<Texture>& fit) {
        return full || (resolution == PreviewResolution::fit && fit);
    };
    if (cached(textures.detailOriginal, textures.detailFitOriginal) ||
        cached(textures.detailDenoised, textures.detailFitDenoised)) {
        // At most one development is left.
        SourceAndClean both{detailTexture(photo, false, resolution, shouldCancel, {}), nullptr};
        throwIfCancelled(shouldCancel);
        both.clean = detailTexture(photo, true, resolution, shouldCancel, progress);
        return both;
    }
    openNativeFrame(photo);
    throwIfCancelled(shouldCancel);
    // LibRaw's demosaic runs mostly on one core, the Detail model on all of them: the undenoised
    // development (and its fit-size texture) runs beside the model and the denoised development.
    // Its failure stops the denoised work at the next poll, and its error is the one reported.
    struct Developed {
        std::shared_ptr<Texture> full, fit;
    };
    std::atomic<bool> originalFailed = false;
    std::future<Developed> original =
        std::async(std::launch::async, [this, frame = nativeFrame, resolution, &originalFailed] {
            try {
                Developed developed{frame->renderLinearRGB(), nullptr};
                const Texture& full = *developed.full;
                if (resolution == PreviewResolution::fit) {
                    developed.fit = render(full, fitSize({full.width(), full.height()}));
                }
                return developed;
            } catch (...) {
                originalFailed = true;
                throw;
            }
        });
    std::shared_ptr<Texture> denoised;
    std::exception_ptr denoiseFailure;
    try {
        denoised = detailDenoised([&] { return originalFailed || shouldCancel(); }, progress);
    } catch (...) {
        denoiseFailure = std::current_exception();
    }
    Developed developed = original.get();
    textures.detailOriginal = std::move(developed.full);
    if (developed.fit) textures.detailFitOriginal = std::move(developed.fit);
    if (denoiseFailure) std::rethrow_exception(denoiseFailure);
    throwIfCancelled(shouldCancel);
    textures.detailDenoised = std::move(denoised);
    // Each full texture is cached; scaled to fit as its own call would scale it.
    return {detailTexture(photo, false, resolution, shouldCancel, {}),
            detailTexture(photo, true, resolution, shouldCancel, progress)};
}

void RAWLoader::openNativeFrame(const OpenedPhoto& photo) {
    if (!device) throw RAWLoaderError::gpuUnavailable();
    if (!nativeFrame) {
        // The program's RAW filter has read the sensor already; the frame shares that read while
        // the file is unchanged.
        const auto* adapter = dynamic_cast<const RAWFilterAdapter*>(originalFilter.get());
        std::shared_ptr<const RAWFile> file = adapter ? adapter->rawFile() : nullptr;
        if (!file || !file->isCurrent(photo.id.url)) {
            try {
                file = std::make_shared<const RAWFile>(photo.id.url, reader());
            } catch (const RAWFilterError& refused) {
                throw NativeRAWError::decoding(refused.what());
            }
        }
        nativeFrame = NativeRAWFrame::open(std::move(file), device);
    }
    // The bridge crops and orients on its own; where it disagrees with the decoder that sized the
    // photo, the two variants would not line up.
    const NativeRAWMetadata& sensor = nativeFrame->metadata();
    if (sensor.outputWidth() != photo.pixelWidth || sensor.outputHeight() != photo.pixelHeight) {
        throw RAWLoaderError::renderFailed(
            "Detail does not yet support this camera's crop. Please use Natural for this photo.");
    }
}

std::shared_ptr<Texture> RAWLoader::detailDenoised(const ShouldCancel& shouldCancel,
                                                   const Progress& progress) {
    report(progress, 0.0);
    if (!matchFilter) {
        matchFilter = MatchFilterModel::makeDenoiser(MatchFilterModel::processLocations(),
                                                     kMatchFilterConfiguration);
    }
    const NativeRAWNoiseProfile noise = nativeFrame->noiseProfile();
    const std::shared_ptr<Texture> denoisedPlane = matchFilter->denoise(
        *nativeFrame->packedTexture(), {noise.shot, noise.readVariance}, *device, shouldCancel,
        [&](double fraction) { report(progress, 0.02 + 0.94 * fraction); });
    throwIfCancelled(shouldCancel);
    std::shared_ptr<Texture> developed = nativeFrame->renderLinearRGB(*denoisedPlane);
    report(progress, 1.0);
    return developed;
}

std::shared_ptr<Texture> RAWLoader::fineTexture(const OpenedPhoto& photo,
                                                PreviewResolution resolution) {
    return cachedTexture(textures.textureOriginal, textures.textureFitOriginal, resolution, [&] {
        // LibRaw's development has no noise reduction of its own, so it is the undenoised decode
        // this path needs; a RAW filter could not open the file anyway.
        if (fallbackImage) return chromaSmoothed(fallbackImage);
        std::unique_ptr<ConfigurableRAWFilter> filter = makeFilter(photo.id.url);
        if (!filter) throw RAWLoaderError::unsupportedFile(photo.id.url);
        const std::shared_ptr<Texture> image = decodeOrRefuse(photo.id.url, [&] {
            RAWFilterConfiguration::configureForRAWTexture(*filter, photo.id.url);
            return filter->outputImage(hostMemory);
        });
        if (!image) throw RAWLoaderError::renderFailed("Could not decode the RAW texture.");
        if (!hasSize(*image, photo)) {
            throw RAWLoaderError::renderFailed("RAW texture changed the image geometry.");
        }
        return chromaSmoothed(engineTexture(image));
    });
}

std::shared_ptr<Texture> RAWLoader::chromaSmoothed(std::shared_ptr<Texture> base) {
    if (!device || !commandQueue) throw RAWLoaderError::gpuUnavailable();
    const std::shared_ptr<CommandBuffer> commandBuffer = commandQueue->makeCommandBuffer();
    if (!commandBuffer) throw RAWLoaderError::gpuUnavailable();
    if (!rawTextureKernel) rawTextureKernel.emplace();
    std::shared_ptr<Texture> output = makeEngineTexture({base->width(), base->height()});
    if (!output) throw RAWLoaderError::renderFailed("Could not allocate the RAW texture.");
    rawTextureKernel->encode(std::move(base), output, *commandBuffer);
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    if (commandBuffer->error()) throw RAWLoaderError::renderFailed(commandBuffer->error()->what());
    return output;
}

}  // namespace quillmere
