#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "core/compute/command_buffer.h"
#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/decode/configurable_raw_filter.h"
#include "core/decode/core_ml_denoiser.h"
#include "core/decode/native_raw_frame.h"
#include "core/decode/neural_model_resources.h"
#include "core/decode/photo_loader.h"
#include "core/decode/raw_filter_adapter.h"
#include "core/decode/raw_texture_kernel.h"
#include "core/edit/denoise_method.h"
#include "core/photo/opened_photo.h"
#include "core/photo/photo_id.h"
#include "core/photo/preview_resolution.h"
#include "core/reading/photo_file_metadata.h"
#include "core/reading/photo_reader.h"

namespace quillmere {

// Turns photo files into linear textures for the render engine. Each file is opened once and its
// record kept for the life of the loader; one photo at a time is active, and the active photo's
// decoded source and every texture made from it are cached until another photo becomes active.
//
// Three decode paths: Natural (the RAW filter, the raster decoder or the LibRaw fallback, with
// their own noise reduction for the denoised variant), Detail (the sensor read through LibRaw and
// the tiled Detail denoiser) and RAW texture (an undenoised decode whose colour noise alone is
// smoothed). Every texture handed out is RGBA16Float, shared, shader read and write, extended
// linear sRGB, bottom row first, and is never changed afterwards: callers only read it.
//
// Every operation holds the loader's lock for its whole duration, decoding included. Lock order:
// the engine's lock is taken before this one, and the loader never calls back into the engine.
class RAWLoader final : public PhotoLoader {
  public:
    // Polled between the long steps of a decode; true ends it with CancellationError.
    using ShouldCancel = std::function<bool()>;
    // Fractions from 0 to 1, reported on the calling thread.
    using Progress = std::function<void(double fraction)>;

    // The long edge, in pixels, of a fit-resolution texture.
    static constexpr int previewLongEdge = 2048;

    // `device` may be null (no compute device): photos still open, except through the LibRaw
    // fallback, which develops on the device, but no texture can be made (gpuUnavailable).
    // `filters` makes the RAW filters; the program's own unless a test gives others. `reader`
    // reads the files the loader reads itself (raster photos, the LibRaw fallback's developments,
    // and the time verdicts an open forgets): the program's own (PhotoReader::forProcess) when
    // null.
    explicit RAWLoader(std::shared_ptr<const Device> device,
                       std::shared_ptr<const RAWFilterProvider> filters =
                           std::make_shared<RAWFilterAdapterProvider>(),
                       NeuralModelTimeouts neuralModelTimeouts = {}, PhotoReader* reader = nullptr);

    RAWLoader(const RAWLoader&) = delete;
    RAWLoader& operator=(const RAWLoader&) = delete;

    // The photo's record: its size, as-shot white balance, properties and denoise options. A
    // photo opened before is answered from memory without reading the file or changing the
    // active photo; a new one becomes the active photo. Throws RAWLoaderError: fileNotFound when
    // the file does not exist, unsupportedFile when no decoder can read it; a failed open leaves
    // the previous photo active.
    OpenedPhoto open(const std::filesystem::path& url) override;

    // A texture of an opened photo, undenoised or denoised, at fit or full resolution. The
    // request's method and RAW-texture switch are the edit's; Detail applies only to photos that
    // support it and otherwise quietly falls back to Natural. Decodes only what is not cached.
    // `shouldCancel` is asked before anything happens and between the Detail path's steps;
    // `progress` hears only the Detail denoiser's work. Throws CancellationError, RAWLoaderError
    // (notOpened, fileNotFound, unsupportedFile, renderFailed, gpuUnavailable), or the sensor
    // frame's, the Detail denoiser's and the chroma kernel's own errors.
    std::shared_ptr<Texture> texture(const PhotoID& id, const TextureRequest& request,
                                     const ShouldCancel& shouldCancel,
                                     const Progress& progress = nullptr) override;

    // Both variants, as two texture calls give them. Along the Detail path, when neither is
    // cached, the undenoised development runs on its own thread beside the Detail model and the
    // denoised development. It cannot be stopped midway: a cancelled or failed request waits for
    // it, and keeps it when it succeeded, as the undenoised call made first would have.
    SourceAndClean sourceAndClean(const PhotoID& id, TextureRequest request,
                                  const ShouldCancel& shouldCancel,
                                  const Progress& progress = nullptr) override;

    // The size of a fit-resolution texture for a full-resolution one: the long edge scaled to at
    // most previewLongEdge (never enlarged), each side rounded half away from zero and at least 1.
    static PixelSize fitSize(PixelSize full);

  private:
    // The cached textures of the active photo, by path, variant and resolution. A fit texture is
    // always scaled from the full texture of its slot pair, which is cached first.
    struct ActiveTextures {
        std::shared_ptr<Texture> fullOriginal, fullDenoised, fitOriginal, fitDenoised;
        std::shared_ptr<Texture> textureOriginal, textureFitOriginal;
        std::shared_ptr<Texture> detailOriginal, detailDenoised, detailFitOriginal,
            detailFitDenoised;
    };

    // The decoded source of a photo; after activation exactly one of the first three members is
    // set.
    struct DecodedSource {
        std::unique_ptr<ConfigurableRAWFilter> filter;
        std::shared_ptr<Texture> rasterImage;
        // A raster photo's metadata, read from the version whose pixels were read.
        std::shared_ptr<const PhotoFileMetadata> rasterMetadata;
        std::shared_ptr<Texture> fallbackImage;
        // Whether the fallback's reader found the file's sensor fit for the Detail denoiser.
        bool fallbackSupportsDetail = false;
        QXRAWCaptureInfo fallbackCapture{};
    };

    // Makes `id` the active photo (decoding its source unless it already is) and returns its RAW
    // filter, or null for a raster or fallback photo. On failure nothing changes.
    ConfigurableRAWFilter* activate(const PhotoID& id);
    DecodedSource decodeSource(const std::filesystem::path& url) const;
    // A new RAW filter of the file; null when the filter does not read it. Throws RAWLoaderError
    // (ofReading) for a reading that ended otherwise.
    std::unique_ptr<ConfigurableRAWFilter> makeFilter(const std::filesystem::path& url) const;
    PhotoReader& reader() const;

    // Runs `decode` for the opened photo `id`, made the active one, under the loader's lock
    // (which the caller holds): asks `shouldCancel` first, and turns a library's own exception
    // into unsupportedFile.
    void decodeActive(const PhotoID& id, const ShouldCancel& shouldCancel,
                      const std::function<void(const OpenedPhoto&)>& decode);
    std::shared_ptr<Texture> activeTexture(const OpenedPhoto& photo, const TextureRequest& request,
                                           const ShouldCancel& shouldCancel,
                                           const Progress& progress);
    std::shared_ptr<Texture> naturalTexture(const OpenedPhoto& photo, bool denoised,
                                            PreviewResolution resolution);
    std::shared_ptr<Texture> cleanImage(const PhotoID& id);
    std::shared_ptr<Texture> detailTexture(const OpenedPhoto& photo, bool denoised,
                                           PreviewResolution resolution,
                                           const ShouldCancel& shouldCancel,
                                           const Progress& progress);
    SourceAndClean detailTextures(const OpenedPhoto& photo, PreviewResolution resolution,
                                  const ShouldCancel& shouldCancel, const Progress& progress);
    // Reads the active photo's sensor unless it has been read, and checks that it lines up with
    // the photo.
    void openNativeFrame(const OpenedPhoto& photo);
    std::shared_ptr<Texture> detailDenoised(const ShouldCancel& shouldCancel,
                                            const Progress& progress);
    std::shared_ptr<Texture> fineTexture(const OpenedPhoto& photo, PreviewResolution resolution);
    std::shared_ptr<Texture> chromaSmoothed(std::shared_ptr<Texture> base);

    // The slot pair's texture at `resolution`: the cached one, or the full texture from
    // `makeFull` (cached on success) and its fit version.
    std::shared_ptr<Texture> cachedTexture(
        std::shared_ptr<Texture>& full, std::shared_ptr<Texture>& fit, PreviewResolution resolution,
        const std::function<std::shared_ptr<Texture>()>& makeFull);
    // A new, empty texture in the form handed to the engine; null when the device cannot hold
    // it. Throws gpuUnavailable without a device.
    std::shared_ptr<Texture> makeEngineTexture(PixelSize size) const;
    // A new engine texture of `size` holding `image` resampled to it.
    std::shared_ptr<Texture> render(const Texture& image, PixelSize size) const;
    // A decoded full-size image as the engine takes it: the image itself when it already has the
    // engine's form (nobody writes to it afterwards), else a copy. Throws gpuUnavailable without
    // a device.
    std::shared_ptr<Texture> engineTexture(std::shared_ptr<Texture> image) const;

    const std::shared_ptr<const Device> device;
    // Decoded source images live in host memory, whether or not there is a compute device.
    const Device hostMemory;
    const std::shared_ptr<CommandQueue> commandQueue;
    const std::shared_ptr<const RAWFilterProvider> filters;
    const NeuralModelTimeouts neuralModelTimeouts;
    PhotoReader* const photoReader;

    std::mutex lock;
    std::unordered_map<PhotoID, OpenedPhoto> photos;
    std::optional<PhotoID> activeID;
    std::unique_ptr<ConfigurableRAWFilter> originalFilter;
    std::shared_ptr<Texture> rasterImage;
    std::shared_ptr<const PhotoFileMetadata> rasterMetadata;
    std::shared_ptr<Texture> fallbackImage;
    bool fallbackSupportsDetail = false;
    QXRAWCaptureInfo fallbackCapture{};
    ActiveTextures textures;
    // The active photo's sensor, read on its first Detail request; serves both variants.
    std::shared_ptr<NativeRAWFrame> nativeFrame;
    // Made on first use and kept across photos.
    std::optional<RAWTextureKernel> rawTextureKernel;
    std::unique_ptr<CoreMLDenoiser> matchFilter;
};

}  // namespace quillmere
