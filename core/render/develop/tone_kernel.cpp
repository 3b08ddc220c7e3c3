#include "core/render/develop/tone_kernel.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "core/compute/kernel_errors.h"
#include "core/render/develop/tone_parameters.h"
#include "core/render/develop/tone_uniforms.h"
#include "core/render/develop/white_balance.h"

namespace quillmere {
namespace {

constexpr const char* kPrepareLabel = "Recovery: scene-linear luminance";
constexpr const char* kMeterLabel = "Recovery: scene white point";
constexpr const char* kBilateralLabel = "Recovery: edge-aware base";
constexpr const char* kToneLabel = "ToneKernel";

// The white-point reduction runs as one threadgroup of this many threads.
constexpr int kMeterThreads = 256;

std::shared_ptr<const ComputePipelineState> requirePipeline(const KernelLibrary& library,
                                                            const char* name,
                                                            const char* reportedName = nullptr) {
    std::shared_ptr<const ComputePipelineState> made = library.makePipeline(name);
    if (!made) throw KernelError::functionNotFound(reportedName ? reportedName : name);
    return made;
}

// Every pass writes all of its work texture, so one kept from an earlier render will do.
std::shared_ptr<Texture> makeWorkTexture(TextureRecycler& textures, PixelFormat format, int width,
                                         int height) {
    std::shared_ptr<Texture> texture =
        textures.texture({.pixelFormat = format,
                          .width = width,
                          .height = height,
                          .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
                          .storageMode = StorageMode::devicePrivate});
    if (!texture) throw BufferError::allocationFailed();
    return texture;
}

std::unique_ptr<ComputeCommandEncoder> makeEncoder(
    CommandBuffer& commandBuffer, const char* label,
    const std::shared_ptr<const ComputePipelineState>& pipeline) {
    std::unique_ptr<ComputeCommandEncoder> encoder = commandBuffer.makeComputeCommandEncoder();
    if (!encoder) throw KernelError::encoderCreationFailed();
    encoder->setLabel(label);
    encoder->setComputePipelineState(pipeline);
    return encoder;
}

// A grid of whole threadgroups covering `texture`, sized as the pipeline reports its limits; the
// kernels skip the threads that fall outside.
void dispatch(ComputeCommandEncoder& encoder, const ComputePipelineState& pipeline,
              const Texture& texture) {
    const int width = pipeline.threadExecutionWidth();
    const int height = std::max(pipeline.maxTotalThreadsPerThreadgroup() / width, 1);
    encoder.dispatchThreadgroups(
        {(texture.width() + width - 1) / width, (texture.height() + height - 1) / height},
        {width, height});
}

bool sameSize(const Texture& a, const Texture& b) {
    return a.width() == b.width() && a.height() == b.height();
}

}  // namespace

ToneKernel::ToneKernel(std::shared_ptr<const Device> device, const KernelLibrary& toneLibrary,
                       const KernelLibrary& sharpeningLibrary)
    : device(device),
      sharpening(device, sharpeningLibrary),
      curveTables(device),
      workTextures(device) {
    pipeline = requirePipeline(toneLibrary, "tone_kernel_main");
    constexpr const char* kRecoveryPair = "recovery_prepare / recovery_bilateral";
    recoveryPrepare = requirePipeline(toneLibrary, "recovery_prepare", kRecoveryPair);
    recoveryBilateral = requirePipeline(toneLibrary, "recovery_bilateral", kRecoveryPair);
    recoveryMeter = requirePipeline(toneLibrary, "recovery_meter");
    constexpr std::array<float, 4> zeros{};
    dummyLUTBuffer = this->device->makeBuffer(zeros.data(), sizeof zeros, StorageMode::shared);
    if (!dummyLUTBuffer) throw BufferError::allocationFailed();
}

void ToneKernel::encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                        const EditParams& params, double asShotTemperature, double asShotTint,
                        std::shared_ptr<Texture> denoisedInput, bool isRAW, double sourcePixelScale,
                        CommandBuffer& commandBuffer) const {
    if (!input || !output || input == output || !sameSize(*input, *output) ||
        (denoisedInput && (denoisedInput == output || !sameSize(*denoisedInput, *input)))) {
        throw std::invalid_argument(
            "The develop writes a separate output of its input's size, from a denoised input of "
            "that size when there is one.");
    }

    const bool sharpens = params.sharpening.sanitized().amount > 0 &&
                          params.visualizePointIndex < 0 && params.visualizeBandIndex < 0;
    const std::shared_ptr<Texture> toneOutput =
        sharpens ? makeWorkTexture(workTextures, PixelFormat::rgba16Float, output->width(),
                                   output->height())
                 : output;

    std::shared_ptr<Buffer> curveTable;
    if (!params.toneCurve.isIdentity()) curveTable = curveTables.lutBuffer(params.toneCurve);
    const ToneUniforms uniforms = makeToneUniforms(
        params, {.whiteBalanceGains = whiteBalanceGains(params.temperature, params.tint,
                                                        asShotTemperature, asShotTint),
                 .curveActive = curveTable != nullptr,
                 .hasDenoisedInput = denoisedInput != nullptr,
                 .isRAW = isRAW});
    const HSLUniforms hslUniforms = makeHSLUniforms(params.hsl);
    const PointColorUniforms pointUniforms = makePointColorUniforms(params);
    const std::shared_ptr<Texture> clean = denoisedInput ? denoisedInput : input;

    // Without recovery the tone pass reads neither texture 3 nor 4; the input stands in.
    std::shared_ptr<Texture> base = input;
    std::shared_ptr<Texture> whitePoint = input;
    if (uniforms.highlights < 0 || uniforms.shadows > 0) {
        const GridSize guideSize = recoveryGuideSize(input->width(), input->height());
        const auto guide =
            makeWorkTexture(workTextures, PixelFormat::r32Float, guideSize.width, guideSize.height);
        base =
            makeWorkTexture(workTextures, PixelFormat::r32Float, guideSize.width, guideSize.height);

        const auto prepare = makeEncoder(commandBuffer, kPrepareLabel, recoveryPrepare);
        prepare->setTexture(input, 0);
        prepare->setTexture(guide, 1);
        prepare->setTexture(clean, 2);
        prepare->setBytes(&uniforms, sizeof uniforms, 0);
        dispatch(*prepare, *recoveryPrepare, *guide);
        prepare->endEncoding();

        if (uniforms.highlights < 0) {
            whitePoint = makeWorkTexture(workTextures, PixelFormat::r32Float, 1, 1);
            std::unique_ptr<ComputeCommandEncoder> meter =
                commandBuffer.makeComputeCommandEncoder();
            if (!meter) throw BufferError::allocationFailed();
            meter->setLabel(kMeterLabel);
            meter->setComputePipelineState(recoveryMeter);
            meter->setTexture(guide, 0);
            meter->setTexture(whitePoint, 1);
            meter->dispatchThreadgroups({1, 1}, {kMeterThreads, 1});
            meter->endEncoding();
        }

        const auto bilateral = makeEncoder(commandBuffer, kBilateralLabel, recoveryBilateral);
        bilateral->setTexture(guide, 0);
        bilateral->setTexture(base, 1);
        dispatch(*bilateral, *recoveryBilateral, *base);
        bilateral->endEncoding();
    }

    const auto tone = makeEncoder(commandBuffer, kToneLabel, pipeline);
    tone->setTexture(input, 0);
    tone->setTexture(toneOutput, 1);
    tone->setTexture(clean, 2);
    tone->setTexture(base, 3);
    tone->setTexture(whitePoint, 4);
    tone->setBytes(&uniforms, sizeof uniforms, 0);
    tone->setBuffer(curveTable ? curveTable : dummyLUTBuffer, 0, 1);
    tone->setBytes(&hslUniforms, sizeof hslUniforms, 2);
    tone->setBytes(&pointUniforms, sizeof pointUniforms, 3);
    dispatch(*tone, *pipeline, *output);
    tone->endEncoding();

    if (sharpens) {
        sharpening.encode(toneOutput, std::move(output), params.sharpening, sourcePixelScale,
                          commandBuffer);
    }
}

}  // namespace quillmere
